// The spooler calls over the machine's spooler store, with the process's printer handles.
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "spooler/spooler_store.h"
#include "win/machine.h"
#include "win/registry.h"
#include "win/spooler.h"
#include "win/spooler_ui.h"

namespace {

using kq::PrinterId;
using kq::SpoolerStore;

struct OpenPrinter {
  std::shared_ptr<kq::Machine> machine;
  PrinterId printer = 0;
  ACCESS_MASK access = 0;
};

// The process's table of open printers. Numbers are never reused, so a closed handle stays invalid.
class PrinterHandles {
 public:
  static PrinterHandles& Process() {
    static PrinterHandles handles;
    return handles;
  }

  HANDLE Add(const std::shared_ptr<kq::Machine>& machine, PrinterId printer, ACCESS_MASK access) {
    std::lock_guard lock(mutex_);
    const ULONG_PTR value = next_;
    next_ += 4;
    open_.emplace(value, Entry{machine, printer, access});
    return reinterpret_cast<HANDLE>(value);
  }

  bool Remove(HANDLE handle) {
    std::lock_guard lock(mutex_);
    return open_.erase(reinterpret_cast<ULONG_PTR>(handle)) > 0;
  }

  bool Resolve(HANDLE handle, OpenPrinter* printer) {
    std::lock_guard lock(mutex_);
    auto it = open_.find(reinterpret_cast<ULONG_PTR>(handle));
    if (it == open_.end()) return false;
    printer->machine = it->second.machine.lock();
    printer->printer = it->second.printer;
    printer->access = it->second.access;
    return printer->machine != nullptr;
  }

 private:
  struct Entry {
    std::weak_ptr<kq::Machine> machine;
    PrinterId printer;
    ACCESS_MASK access;
  };
  std::mutex mutex_;
  std::unordered_map<ULONG_PTR, Entry> open_;
  ULONG_PTR next_ = 0x20000;
};

SpoolerStore& Store(kq::Machine& machine) { return machine.Service<SpoolerStore>(); }

kq::WStringView View(LPCWSTR s) { return s ? kq::WStringView(s) : kq::WStringView(); }

ACCESS_MASK GrantedAccess(LPPRINTER_DEFAULTSW defaults) {
  constexpr ACCESS_MASK kGenericAll = 0x10000000, kMaximumAllowed = 0x02000000;
  constexpr ACCESS_MASK kGenericReadWriteExecute = 0x80000000 | 0x40000000 | 0x20000000;
  ACCESS_MASK access = defaults ? defaults->DesiredAccess : 0;
  if (access == 0) return PRINTER_ACCESS_USE;
  if (access & (kGenericAll | kMaximumAllowed)) access |= PRINTER_ALL_ACCESS;
  if (access & kGenericReadWriteExecute) access |= PRINTER_ACCESS_USE;
  return access;
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// Lays records out at the start of a caller's buffer and their strings after them.
class RecordPacker {
 public:
  RecordPacker(LPBYTE buffer, std::size_t recordsSize) : buffer_(buffer), next_(recordsSize) {}

  LPWSTR String(kq::WStringView text) {
    BYTE* at = buffer_ + next_;
    std::memcpy(at, text.data(), text.size() * sizeof(WCHAR));
    std::memset(at + text.size() * sizeof(WCHAR), 0, sizeof(WCHAR));
    next_ += (text.size() + 1) * sizeof(WCHAR);
    return reinterpret_cast<LPWSTR>(at);
  }

  template <class Record>
  void Put(std::size_t index, const Record& record) {
    std::memcpy(buffer_ + index * sizeof(Record), &record, sizeof(Record));
  }

 private:
  LPBYTE buffer_;
  std::size_t next_;
};

std::size_t StringBytes(kq::WStringView text) { return (text.size() + 1) * sizeof(WCHAR); }

// The size check every enumeration makes: the caller learns the size it needs, and nothing is written unless the
// whole answer fits.
bool Fits(std::size_t needed, LPBYTE buffer, DWORD bufferSize, LPDWORD neededOut, LPDWORD returned) {
  *neededOut = static_cast<DWORD>(needed);
  if (needed > 0 && (!buffer || bufferSize < needed)) {
    *returned = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return false;
  }
  return true;
}

constexpr kq::WStringView kPrintProcessor = u"winprint";
constexpr kq::WStringView kDatatype = u"RAW";

kq::WString Description(const kq::PrinterRecord& p) { return p.name + u"," + p.driverName + u","; }

}  // namespace

BOOL OpenPrinterW(LPCWSTR printerName, LPHANDLE printer, LPPRINTER_DEFAULTSW defaults) {
  if (!printer) return Fail(ERROR_INVALID_PARAMETER);
  *printer = nullptr;
  if (!printerName || !*printerName) return Fail(ERROR_INVALID_PRINTER_NAME);
  auto machine = kq::CurrentMachineShared();
  kq::PrinterRecord record;
  if (DWORD r = Store(*machine).FindPrinter(printerName, &record); r != ERROR_SUCCESS) return Fail(r);
  const ACCESS_MASK access = GrantedAccess(defaults);
  if ((access & PRINTER_ACCESS_ADMINISTER) && !kq::UserMayAdministerPrinters(*machine))
    return Fail(ERROR_ACCESS_DENIED);
  *printer = PrinterHandles::Process().Add(machine, record.id, access);
  return TRUE;
}

BOOL ClosePrinter(HANDLE printer) {
  return PrinterHandles::Process().Remove(printer) ? TRUE : Fail(ERROR_INVALID_HANDLE);
}

BOOL EnumPrintersW(DWORD flags, LPCWSTR name, DWORD level, LPBYTE buffer, DWORD bufferSize, LPDWORD needed,
                   LPDWORD returned) {
  if (!needed || !returned) return Fail(ERROR_INVALID_PARAMETER);
  if (level != 1 && level != 2 && level != 4) return Fail(ERROR_INVALID_LEVEL);
  const bool local = (flags & PRINTER_ENUM_LOCAL) || ((flags & PRINTER_ENUM_NAME) && (!name || !*name));
  if ((flags & PRINTER_ENUM_NAME) && name && *name) return Fail(ERROR_INVALID_NAME);
  std::vector<kq::PrinterRecord> printers;
  if (local) {
    if (DWORD r = Store(kq::CurrentMachine()).Printers(&printers); r != ERROR_SUCCESS) return Fail(r);
  }

  const std::size_t recordSize = level == 1   ? sizeof(PRINTER_INFO_1W)
                                 : level == 2 ? sizeof(PRINTER_INFO_2W)
                                              : sizeof(PRINTER_INFO_4W);
  std::size_t size = printers.size() * recordSize;
  for (const auto& p : printers) {
    size += StringBytes(p.name);
    if (level == 1) size += StringBytes(Description(p));
    if (level == 2)
      size +=
          StringBytes(p.portName) + StringBytes(p.driverName) + StringBytes(kPrintProcessor) + StringBytes(kDatatype);
  }
  if (!Fits(size, buffer, bufferSize, needed, returned)) return FALSE;

  RecordPacker pack(buffer, printers.size() * recordSize);
  for (std::size_t i = 0; i < printers.size(); ++i) {
    const auto& p = printers[i];
    if (level == 1) {
      PRINTER_INFO_1W info{};
      info.Flags = PRINTER_ENUM_ICON8;
      info.pDescription = pack.String(Description(p));
      info.pName = pack.String(p.name);
      pack.Put(i, info);
    } else if (level == 2) {
      PRINTER_INFO_2W info{};
      info.pPrinterName = pack.String(p.name);
      info.pPortName = pack.String(p.portName);
      info.pDriverName = pack.String(p.driverName);
      info.pPrintProcessor = pack.String(kPrintProcessor);
      info.pDatatype = pack.String(kDatatype);
      info.Attributes = p.attributes;
      info.Priority = 1;
      pack.Put(i, info);
    } else {
      PRINTER_INFO_4W info{};
      info.pPrinterName = pack.String(p.name);
      info.Attributes = p.attributes;
      pack.Put(i, info);
    }
  }
  *returned = static_cast<DWORD>(printers.size());
  return TRUE;
}

DWORD GetPrinterDataExW(HANDLE printer, LPCWSTR keyName, LPCWSTR valueName, LPDWORD type, LPBYTE data, DWORD size,
                        LPDWORD needed) {
  OpenPrinter open;
  if (!PrinterHandles::Process().Resolve(printer, &open)) return ERROR_INVALID_HANDLE;
  if (!keyName || !*keyName || !needed || (!data && size)) return ERROR_INVALID_PARAMETER;
  kq::PrinterValue value;
  if (DWORD r = Store(*open.machine).GetData(open.printer, keyName, View(valueName), &value); r != ERROR_SUCCESS)
    return r;
  if (type) *type = value.type;
  *needed = static_cast<DWORD>(value.data.size());
  if (size < value.data.size()) return ERROR_MORE_DATA;
  if (!value.data.empty()) std::memcpy(data, value.data.data(), value.data.size());
  return ERROR_SUCCESS;
}

DWORD SetPrinterDataExW(HANDLE printer, LPCWSTR keyName, LPCWSTR valueName, DWORD type, const BYTE* data, DWORD size) {
  OpenPrinter open;
  if (!PrinterHandles::Process().Resolve(printer, &open)) return ERROR_INVALID_HANDLE;
  if (!(open.access & PRINTER_ACCESS_ADMINISTER)) return ERROR_ACCESS_DENIED;
  if (!keyName || !*keyName || (!data && size)) return ERROR_INVALID_PARAMETER;
  return Store(*open.machine).SetData(open.printer, keyName, View(valueName), type, data, size);
}

BOOL EnumFormsW(HANDLE printer, DWORD level, LPBYTE buffer, DWORD bufferSize, LPDWORD needed, LPDWORD returned) {
  OpenPrinter open;
  if (!PrinterHandles::Process().Resolve(printer, &open)) return Fail(ERROR_INVALID_HANDLE);
  if (!needed || !returned) return Fail(ERROR_INVALID_PARAMETER);
  if (level != 1) return Fail(ERROR_INVALID_LEVEL);
  std::vector<kq::FormRecord> forms;
  if (DWORD r = Store(*open.machine).Forms(&forms); r != ERROR_SUCCESS) return Fail(r);

  std::size_t size = forms.size() * sizeof(FORM_INFO_1W);
  for (const auto& f : forms) size += StringBytes(f.name);
  if (!Fits(size, buffer, bufferSize, needed, returned)) return FALSE;

  RecordPacker pack(buffer, forms.size() * sizeof(FORM_INFO_1W));
  for (std::size_t i = 0; i < forms.size(); ++i) {
    const auto& f = forms[i];
    FORM_INFO_1W info{};
    info.Flags = f.flags;
    info.pName = pack.String(f.name);
    info.Size.cx = f.width;
    info.Size.cy = f.height;
    info.ImageableArea.left = f.left;
    info.ImageableArea.top = f.top;
    info.ImageableArea.right = f.right;
    info.ImageableArea.bottom = f.bottom;
    pack.Put(i, info);
  }
  *returned = static_cast<DWORD>(forms.size());
  return TRUE;
}

BOOL AddFormW(HANDLE printer, DWORD level, LPBYTE form) {
  OpenPrinter open;
  if (!PrinterHandles::Process().Resolve(printer, &open)) return Fail(ERROR_INVALID_HANDLE);
  if (level != 1) return Fail(ERROR_INVALID_LEVEL);
  if (!form) return Fail(ERROR_INVALID_PARAMETER);
  FORM_INFO_1W info;
  std::memcpy(&info, form, sizeof info);
  if (!info.pName || !*info.pName || info.Size.cx < 1 || info.Size.cy < 1) return Fail(ERROR_INVALID_PARAMETER);
  if (!(open.access & PRINTER_ACCESS_ADMINISTER)) return Fail(ERROR_ACCESS_DENIED);
  kq::FormRecord record{info.pName, FORM_USER, info.Size.cx, info.Size.cy, info.ImageableArea.left,
                        info.ImageableArea.top, info.ImageableArea.right, info.ImageableArea.bottom};
  if (DWORD r = Store(*open.machine).AddForm(record); r != ERROR_SUCCESS) return Fail(r);
  return TRUE;
}

namespace kq {

DWORD AddLocalPrinter(Machine& machine, WStringView name, WStringView driverName, WStringView portName) {
  if (driverName.empty()) return ERROR_INVALID_PARAMETER;
  // Commas separate the fields of a printer's description and backslashes introduce server names.
  if (name.empty() || name.find_first_of(u",\\") != WStringView::npos) return ERROR_INVALID_PRINTER_NAME;
  return Store(machine).AddPrinter(name, driverName, portName, PRINTER_ATTRIBUTE_LOCAL);
}

DWORD SetPrinterDriverLibrary(Machine& machine, WStringView driverName, WStringView library) {
  if (driverName.empty() || library.empty()) return ERROR_INVALID_PARAMETER;
  return Store(machine).SetDriverLibrary(driverName, library);
}

DWORD DescribePrinter(HANDLE printer, PrinterDescription* description) {
  OpenPrinter open;
  if (!PrinterHandles::Process().Resolve(printer, &open)) return ERROR_INVALID_HANDLE;
  if (!description) return ERROR_INVALID_PARAMETER;
  SpoolerStore& store = Store(*open.machine);
  PrinterRecord record;
  if (DWORD r = store.PrinterById(open.printer, &record); r != ERROR_SUCCESS) return r;
  WString library;
  const DWORD found = store.DriverLibrary(record.driverName, &library);
  if (found != ERROR_SUCCESS && found != ERROR_UNKNOWN_PRINTER_DRIVER) return found;
  *description = PrinterDescription{record.name, record.driverName, record.portName, library};
  return ERROR_SUCCESS;
}

// Whether the printer is there as installing it would leave it: then installing writes nothing.
static bool VirtualPrinterInstalled(Machine& machine) {
  SpoolerStore& store = Store(machine);
  PrinterRecord printer;
  WString library, config;
  return store.FindPrinter(kVirtualPrinterName, &printer) == ERROR_SUCCESS &&
         store.DriverLibrary(kVirtualPrinterDriverName, &library) == ERROR_SUCCESS &&
         library == kVirtualPrinterDriverLibrary &&
         PrinterDriverConfigFile(machine, kVirtualPrinterDriverName, &config) == ERROR_SUCCESS &&
         config == kVirtualPrinterConfigLibrary;
}

DWORD InstallVirtualPrinter(Machine& machine) {
  if (VirtualPrinterInstalled(machine)) return ERROR_SUCCESS;
  DWORD r = AddLocalPrinter(machine, kVirtualPrinterName, kVirtualPrinterDriverName, kVirtualPrinterPort);
  if (r != ERROR_SUCCESS && r != ERROR_PRINTER_ALREADY_EXISTS) return r;
  r = SetPrinterDriverConfigFile(machine, kVirtualPrinterDriverName, kVirtualPrinterConfigLibrary);
  if (r != ERROR_SUCCESS) return r;
  return SetPrinterDriverLibrary(machine, kVirtualPrinterDriverName, kVirtualPrinterDriverLibrary);
}

namespace {

// The product's Uninstall entry, written once.
DWORD RegisterProduct() {
  const WString path = WString(u"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\") + kProductCode;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
    // The name is written first and the version last: an entry with its version is whole.
    const bool whole = RegQueryValueExW(key, u"DisplayVersion", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (whole) return ERROR_SUCCESS;
  }
  DWORD r = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (r != ERROR_SUCCESS) return r;
  const auto set = [&](LPCWSTR name, WStringView text) {
    const WString value(text);
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(WCHAR)));
  };
  r = set(u"DisplayName", kProductName);
  if (r == ERROR_SUCCESS) r = set(u"Publisher", u"Kelvo Software");
  if (r == ERROR_SUCCESS) r = set(u"DisplayVersion", kProductVersion);
  RegCloseKey(key);
  return r;
}

}  // namespace

DWORD InstallVirtualPrinter() {
  if (const DWORD r = InstallVirtualPrinter(CurrentMachine()); r != ERROR_SUCCESS) return r;
  return RegisterProduct();
}

}  // namespace kq
