// The spooler's printers, printer data and forms in the machine's database. Names are kept as written and
// compared ignoring ASCII case; printer data is kept byte for byte with its type. Every call is one transaction.
#pragma once

#include <cstdint>
#include <vector>

#include "registry/state_database.h"
#include "win/base.h"

namespace kq {

class Machine;

using PrinterId = std::int64_t;

struct PrinterRecord {
  PrinterId id = 0;
  WString name;
  WString driverName;
  WString portName;
  DWORD attributes = 0;
};

struct FormRecord {
  WString name;
  DWORD flags = 0;
  LONG width = 0;
  LONG height = 0;
  LONG left = 0, top = 0, right = 0, bottom = 0;
};

struct PrinterValue {
  DWORD type = 0;
  std::vector<BYTE> data;
};

class SpoolerStore {
 public:
  explicit SpoolerStore(Machine& machine);

  // ERROR_PRINTER_ALREADY_EXISTS when the name is taken.
  DWORD AddPrinter(WStringView name, WStringView driverName, WStringView portName, DWORD attributes);
  // ERROR_INVALID_PRINTER_NAME when there is none of that name.
  DWORD FindPrinter(WStringView name, PrinterRecord* printer);
  DWORD Printers(std::vector<PrinterRecord>* printers);

  // ERROR_FILE_NOT_FOUND when the value is missing, ERROR_INVALID_HANDLE when the printer is gone.
  DWORD GetData(PrinterId printer, WStringView key, WStringView name, PrinterValue* value);
  DWORD SetData(PrinterId printer, WStringView key, WStringView name, DWORD type, const BYTE* data, std::size_t size);

  DWORD Forms(std::vector<FormRecord>* forms);
  // After the forms there are; ERROR_FILE_EXISTS when the name is taken.
  DWORD AddForm(const FormRecord& form);

  DWORD SetDriverLibrary(WStringView driverName, WStringView library);
  // ERROR_UNKNOWN_PRINTER_DRIVER when none is recorded for the driver.
  DWORD DriverLibrary(WStringView driverName, WString* library);
  // ERROR_INVALID_HANDLE when the printer is gone.
  DWORD PrinterById(PrinterId id, PrinterRecord* printer);

 private:
  StateDatabase& db_;
};

}  // namespace kq
