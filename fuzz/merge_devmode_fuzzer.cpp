// The merge of a caller's settings record into the printer's defaults: the bytes are a program's record, whose
// own dmSize and dmDriverExtra are kept within what the program really handed over, as the spooler's callers
// guarantee.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "printer_settings/printer_values.h"
#include "teloui/teloui.h"
#include "win/machine.h"
#include "win/spooler.h"

namespace {

struct Printer {
  Printer() : scope(machine.Get()) {
    kq::InstallVirtualPrinter();
    OpenPrinterW(kq::kVirtualPrinterName, &handle, nullptr);
    BuildDefaultDevMode(&defaults, handle);
  }
  kq::TemporaryMachine machine;
  kq::MachineScope scope;
  HANDLE handle = nullptr;
  DriverDevMode defaults{};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Printer printer;
  std::vector<BYTE> bytes(data, data + size);
  if (bytes.size() < offsetof(DEVMODEW, dmFields)) bytes.resize(offsetof(DEVMODEW, dmFields));
  WORD publicSize = 0, extra = 0;
  std::memcpy(&publicSize, bytes.data() + offsetof(DEVMODEW, dmSize), sizeof publicSize);
  std::memcpy(&extra, bytes.data() + offsetof(DEVMODEW, dmDriverExtra), sizeof extra);
  publicSize = static_cast<WORD>(std::min<std::size_t>(publicSize, bytes.size()));
  extra = static_cast<WORD>(std::min<std::size_t>(extra, bytes.size() - publicSize));
  std::memcpy(bytes.data() + offsetof(DEVMODEW, dmSize), &publicSize, sizeof publicSize);
  std::memcpy(bytes.data() + offsetof(DEVMODEW, dmDriverExtra), &extra, sizeof extra);

  DriverDevMode merged = printer.defaults;
  MergeDevMode(&merged, reinterpret_cast<const DEVMODEW*>(bytes.data()), printer.handle);
  // What the driver and the pages rely on.
  if (merged.priv.Folder[kDriverPathChars - 1] != 0 || merged.dm.dmFormName[CCHFORMNAME - 1] != 0 ||
      merged.priv.FontEmbed > 3 || merged.dm.dmScale < 1)
    __builtin_trap();
  return 0;
}
