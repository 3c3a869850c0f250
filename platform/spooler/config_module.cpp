// The spooler's calls into a printer driver's configuration module, bound by name for each call.
#include <dlfcn.h>

#include <memory>

#include "win/ddihost.h"
#include "win/machine.h"
#include "win/prsht.h"
#include "win/spooler_ui.h"

namespace {

// The module of a printer's driver, loaded for the life of this object.
class ConfigModule {
 public:
  // Null with the last error set when the printer, its driver's record or the library is missing.
  static std::unique_ptr<ConfigModule> ForPrinter(HANDLE printer, kq::WString* printerName) {
    kq::PrinterDescription description;
    if (DWORD r = kq::DescribePrinter(printer, &description); r != ERROR_SUCCESS) {
      SetLastError(r);
      return nullptr;
    }
    if (printerName) *printerName = description.name;
    kq::WString library;
    if (DWORD r = kq::PrinterDriverConfigFile(kq::CurrentMachine(), description.driverName, &library);
        r != ERROR_SUCCESS) {
      SetLastError(r);
      return nullptr;
    }
    const auto path = kq::FindDriverLibrary(kq::Utf8FromWide(library));
    void* handle = path ? dlopen(path->c_str(), RTLD_NOW | RTLD_LOCAL) : nullptr;
    if (!handle) {
      SetLastError(ERROR_MOD_NOT_FOUND);
      return nullptr;
    }
    return std::unique_ptr<ConfigModule>(new ConfigModule(handle));
  }
  ~ConfigModule() { dlclose(handle_); }
  ConfigModule(const ConfigModule&) = delete;
  ConfigModule& operator=(const ConfigModule&) = delete;

  // The export, or null with ERROR_PROC_NOT_FOUND.
  template <class Function>
  Function Export(const char* name) const {
    auto function = reinterpret_cast<Function>(dlsym(handle_, name));
    if (!function) SetLastError(ERROR_PROC_NOT_FOUND);
    return function;
  }

 private:
  explicit ConfigModule(void* handle) : handle_(handle) {}
  void* handle_;
};

// A printer opened by name for the length of a call.
class NamedPrinter {
 public:
  explicit NamedPrinter(LPCWSTR name) { OpenPrinterW(name, &handle_, nullptr); }
  ~NamedPrinter() {
    if (handle_) ClosePrinter(handle_);
  }
  NamedPrinter(const NamedPrinter&) = delete;
  NamedPrinter& operator=(const NamedPrinter&) = delete;
  HANDLE Handle() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

}  // namespace

LONG DocumentPropertiesW(HWND owner, HANDLE printer, LPWSTR deviceName, PDEVMODEW out, PDEVMODEW in, DWORD mode) {
  kq::WString name;
  auto module = ConfigModule::ForPrinter(printer, &name);
  if (!module) return -1;
  auto sheets = module->Export<PFN_DrvDocumentPropertySheets>("DrvDocumentPropertySheets");
  if (!sheets) return -1;
  if (deviceName) name = deviceName;
  DOCUMENTPROPERTYHEADER header{sizeof(DOCUMENTPROPERTYHEADER), 0, printer, name.data(), in, out, 0, 0};
  // The record's size first, as a program asks for it, so the output record is taken to be that large.
  const LONG size = sheets(nullptr, reinterpret_cast<LPARAM>(&header));
  if (mode == 0 || size <= 0) return size;
  header.cbOut = out ? static_cast<DWORD>(size) : 0;
  header.fMode = mode;
  if (!(mode & DM_IN_PROMPT)) {
    const LONG built = sheets(nullptr, reinterpret_cast<LPARAM>(&header));
    return built > 0 ? IDOK : -1;
  }
  const kq::WString caption = name + u" Printing Preferences";
  DWORD result = 0;
  const LONG shown = CommonPropertySheetUIW(owner, sheets, reinterpret_cast<LPARAM>(&header), &result, caption.c_str());
  if (shown < 0) return -1;
  return shown == CPSUI_OK ? IDOK : IDCANCEL;
}

BOOL PrinterProperties(HWND owner, HANDLE printer) {
  kq::WString name;
  auto module = ConfigModule::ForPrinter(printer, &name);
  if (!module) return FALSE;
  auto sheets = module->Export<PFN_DrvDevicePropertySheets>("DrvDevicePropertySheets");
  if (!sheets) return FALSE;
  DEVICEPROPERTYHEADER header{sizeof(DEVICEPROPERTYHEADER), 0, printer, name.data()};
  const kq::WString caption = name + u" Properties";
  DWORD result = 0;
  return CommonPropertySheetUIW(owner, sheets, reinterpret_cast<LPARAM>(&header), &result, caption.c_str()) == CPSUI_OK
             ? TRUE
             : FALSE;
}

int DeviceCapabilitiesW(LPCWSTR device, LPCWSTR, WORD capability, LPWSTR output, const DEVMODEW* devmode) {
  NamedPrinter printer(device);
  if (!printer.Handle()) return -1;
  auto module = ConfigModule::ForPrinter(printer.Handle(), nullptr);
  if (!module) return -1;
  auto capabilities = module->Export<PFN_DrvDeviceCapabilities>("DrvDeviceCapabilities");
  if (!capabilities) return -1;
  kq::WString name(device);
  const DWORD answer = capabilities(printer.Handle(), name.data(), capability, output, const_cast<PDEVMODEW>(devmode));
  return answer == GDI_ERROR ? -1 : static_cast<int>(answer);
}

namespace kq {

BOOL ConvertDevModeThroughDriver(LPCWSTR printerName, PDEVMODEW in, PDEVMODEW out, PLONG size, DWORD mode) {
  NamedPrinter printer(printerName);
  if (!printer.Handle()) return FALSE;
  auto module = ConfigModule::ForPrinter(printer.Handle(), nullptr);
  if (!module) return FALSE;
  auto convert = module->Export<PFN_DrvConvertDevMode>("DrvConvertDevMode");
  if (!convert) return FALSE;
  WString name(printerName);
  return convert(name.data(), in, out, size, mode);
}

}  // namespace kq
