// The configuration modules of printer drivers, in the machine's database beside the drivers' libraries.
#include <atomic>

#include "registry/state_database.h"
#include "win/machine.h"
#include "win/spooler_ui.h"

namespace kq {

namespace {

std::string Fold(WStringView name) {
  WString folded(name);
  for (auto& c : folded) c = FoldAscii(c);
  return Utf8FromWide(folded);
}

class DriverConfigStore {
 public:
  explicit DriverConfigStore(Machine& machine) : db_(machine.Service<StateDatabase>()) {
    db_.Setup([](StateDatabase& db) {
      db.Execute(
          "CREATE TABLE IF NOT EXISTS spl_driver_config("
          "  fold TEXT PRIMARY KEY,"
          "  name TEXT NOT NULL,"
          "  library TEXT NOT NULL);");
      return ERROR_SUCCESS;
    });
  }

  DWORD Set(WStringView driverName, WStringView library) {
    return db_.Write([&] {
      auto q = db_.Prepare(
          "INSERT INTO spl_driver_config(fold, name, library) VALUES (?1, ?2, ?3)"
          " ON CONFLICT(fold) DO UPDATE SET name = excluded.name, library = excluded.library");
      q.Bind(1, Fold(driverName)).Bind(2, Utf8FromWide(driverName)).Bind(3, Utf8FromWide(library));
      q.Run();
      return ERROR_SUCCESS;
    });
  }

  DWORD Get(WStringView driverName, WString* library) {
    return db_.Read([&] {
      auto q = db_.Prepare("SELECT library FROM spl_driver_config WHERE fold = ?1");
      q.Bind(1, Fold(driverName));
      if (!q.Step()) return ERROR_UNKNOWN_PRINTER_DRIVER;
      *library = WideFromUtf8(q.Text(0));
      return ERROR_SUCCESS;
    });
  }

 private:
  StateDatabase& db_;
};

struct PrinterAdministration {
  explicit PrinterAdministration(Machine&) {}
  std::atomic<bool> allowed{true};
};

}  // namespace

DWORD SetPrinterDriverConfigFile(Machine& machine, WStringView driverName, WStringView library) {
  if (driverName.empty() || library.empty()) return ERROR_INVALID_PARAMETER;
  return machine.Service<DriverConfigStore>().Set(driverName, library);
}

DWORD PrinterDriverConfigFile(Machine& machine, WStringView driverName, WString* library) {
  if (!library) return ERROR_INVALID_PARAMETER;
  return machine.Service<DriverConfigStore>().Get(driverName, library);
}

void SetUserMayAdministerPrinters(Machine& machine, bool may) {
  machine.Service<PrinterAdministration>().allowed = may;
}

bool UserMayAdministerPrinters(Machine& machine) { return machine.Service<PrinterAdministration>().allowed; }

}  // namespace kq
