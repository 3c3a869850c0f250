#include "printing/printer_dc.h"

#include <cstring>
#include <string>

#include "printer_settings/printer_values.h"
#include "win/spooler.h"

namespace kq {

namespace {

// An open spooler printer for the life of a device context.
class SpoolerConnection final : public PrinterConnection {
 public:
  SpoolerConnection(std::shared_ptr<Machine> machine, HANDLE printer)
      : machine_(std::move(machine)), printer_(printer) {}
  ~SpoolerConnection() override { ClosePrinter(printer_); }
  SpoolerConnection(const SpoolerConnection&) = delete;
  SpoolerConnection& operator=(const SpoolerConnection&) = delete;

  HANDLE Handle() const override { return printer_; }
  DWORD StartJob(WStringView) override { return NextPrintJobId(*machine_); }
  void EndJob(DWORD, bool) override {}

 private:
  std::shared_ptr<Machine> machine_;
  HANDLE printer_;
};

std::nullptr_t Fail(DdiFailure* failure, DWORD code, std::string message) {
  if (failure) *failure = DdiFailure{code, std::move(message)};
  SetLastError(code);
  return nullptr;
}

}  // namespace

std::vector<BYTE> PrinterDefaultSettings(HANDLE printer) {
  DriverDevMode record;
  BuildDefaultDevMode(&record, printer);
  std::vector<BYTE> bytes(sizeof record);
  std::memcpy(bytes.data(), &record, sizeof record);
  return bytes;
}

std::unique_ptr<DeviceContext> OpenPrinterByName(WStringView printerName,
                                                 std::optional<std::span<const BYTE>> settings,
                                                 DdiFailure* failure) {
  const WString name(printerName);
  HANDLE printer = nullptr;
  if (!OpenPrinterW(name.c_str(), &printer, nullptr)) {
    const DWORD error = GetLastError();
    if (error != ERROR_INVALID_PRINTER_NAME)
      return Fail(failure, error, "the printer \"" + Utf8FromWide(name) + "\" cannot be opened");
    return Fail(failure, error, "no printer named \"" + Utf8FromWide(name) + "\"");
  }
  auto connection = std::make_shared<SpoolerConnection>(CurrentMachineShared(), printer);

  PrinterDescription description;
  if (DWORD r = DescribePrinter(printer, &description); r != ERROR_SUCCESS) {
    return Fail(failure, r, "the printer \"" + Utf8FromWide(name) + "\" cannot be described");
  }
  if (description.driverLibrary.empty()) {
    return Fail(failure, ERROR_UNKNOWN_PRINTER_DRIVER,
                "the driver \"" + Utf8FromWide(description.driverName) + "\" of the printer \"" +
                    Utf8FromWide(description.name) + "\" has no library");
  }

  PrinterSettings open;
  open.driver = Utf8FromWide(description.driverLibrary);
  open.printerName = description.name;
  open.port = description.portName;
  if (settings) {
    open.devmode.assign(settings->begin(), settings->end());
  } else {
    open.devmode = PrinterDefaultSettings(printer);
  }
  open.connection = std::move(connection);
  return DeviceContext::OpenPrinter(open, failure);
}

}  // namespace kq
