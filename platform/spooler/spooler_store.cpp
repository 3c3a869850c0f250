#include "spooler/spooler_store.h"

#include "spooler/builtin_forms.h"
#include "win/machine.h"
#include "win/spooler.h"

namespace kq {

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS spl_printers("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  name TEXT NOT NULL,"
    "  fold TEXT NOT NULL UNIQUE,"
    "  driver TEXT NOT NULL,"
    "  port TEXT NOT NULL,"
    "  attributes INTEGER NOT NULL);"
    "CREATE TABLE IF NOT EXISTS spl_printer_data("
    "  printer INTEGER NOT NULL REFERENCES spl_printers(id) ON DELETE CASCADE,"
    "  key_name TEXT NOT NULL,"
    "  key_fold TEXT NOT NULL,"
    "  name TEXT NOT NULL,"
    "  fold TEXT NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  UNIQUE(printer, key_fold, fold));"
    "CREATE TABLE IF NOT EXISTS spl_forms("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  name TEXT NOT NULL,"
    "  fold TEXT NOT NULL UNIQUE,"
    "  flags INTEGER NOT NULL,"
    "  width INTEGER NOT NULL, height INTEGER NOT NULL,"
    "  area_left INTEGER NOT NULL, area_top INTEGER NOT NULL, area_right INTEGER NOT NULL, area_bottom INTEGER NOT "
    "NULL);"
    "CREATE TABLE IF NOT EXISTS spl_drivers("
    "  fold TEXT PRIMARY KEY,"
    "  name TEXT NOT NULL,"
    "  library TEXT NOT NULL);";

std::string Fold(WStringView name) {
  WString folded(name);
  for (auto& c : folded) c = FoldAscii(c);
  return Utf8FromWide(folded);
}

PrinterRecord ReadPrinter(const Statement& q) {
  PrinterRecord p;
  p.id = q.Int(0);
  p.name = WideFromUtf8(q.Text(1));
  p.driverName = WideFromUtf8(q.Text(2));
  p.portName = WideFromUtf8(q.Text(3));
  p.attributes = static_cast<DWORD>(q.Int(4));
  return p;
}

}  // namespace

SpoolerStore::SpoolerStore(Machine& machine) : db_(machine.Service<StateDatabase>()) {
  db_.Setup([](StateDatabase& db) {
    db.Execute(kSchema);
    auto count = db.Prepare("SELECT count(*) FROM spl_forms WHERE flags = ?1");
    count.Bind(1, FORM_BUILTIN);
    if (count.Step() && count.Int(0) > 0) return ERROR_SUCCESS;
    // A new database: the built-in forms in paper-size order, each printable to its edges.
    for (const BuiltinForm& form : BuiltinForms()) {
      auto insert = db.Prepare(
          "INSERT OR IGNORE INTO spl_forms(name, fold, flags, width, height, area_left, area_top, area_right, "
          "area_bottom)"
          " VALUES (?1, ?2, ?3, ?4, ?5, 0, 0, ?4, ?5)");
      insert.Bind(1, Utf8FromWide(form.name)).Bind(2, Fold(form.name)).Bind(3, FORM_BUILTIN);
      insert.Bind(4, form.width).Bind(5, form.height);
      insert.Run();
    }
    return ERROR_SUCCESS;
  });
}

DWORD SpoolerStore::AddPrinter(WStringView name, WStringView driverName, WStringView portName, DWORD attributes) {
  return db_.Write([&] {
    auto find = db_.Prepare("SELECT 1 FROM spl_printers WHERE fold = ?1");
    find.Bind(1, Fold(name));
    if (find.Step()) return ERROR_PRINTER_ALREADY_EXISTS;
    auto insert =
        db_.Prepare("INSERT INTO spl_printers(name, fold, driver, port, attributes) VALUES (?1, ?2, ?3, ?4, ?5)");
    insert.Bind(1, Utf8FromWide(name)).Bind(2, Fold(name)).Bind(3, Utf8FromWide(driverName));
    insert.Bind(4, Utf8FromWide(portName)).Bind(5, attributes);
    insert.Run();
    return ERROR_SUCCESS;
  });
}

DWORD SpoolerStore::FindPrinter(WStringView name, PrinterRecord* printer) {
  return db_.Read([&] {
    auto q = db_.Prepare("SELECT id, name, driver, port, attributes FROM spl_printers WHERE fold = ?1");
    q.Bind(1, Fold(name));
    if (!q.Step()) return ERROR_INVALID_PRINTER_NAME;
    *printer = ReadPrinter(q);
    return ERROR_SUCCESS;
  });
}

DWORD SpoolerStore::Printers(std::vector<PrinterRecord>* printers) {
  return db_.Read([&] {
    printers->clear();
    auto q = db_.Prepare("SELECT id, name, driver, port, attributes FROM spl_printers ORDER BY id");
    while (q.Step()) printers->push_back(ReadPrinter(q));
    return ERROR_SUCCESS;
  });
}

DWORD SpoolerStore::GetData(PrinterId printer, WStringView key, WStringView name, PrinterValue* value) {
  return db_.Read([&] {
    auto q = db_.Prepare("SELECT type, data FROM spl_printer_data WHERE printer = ?1 AND key_fold = ?2 AND fold = ?3");
    q.Bind(1, printer).Bind(2, Fold(key)).Bind(3, Fold(name));
    if (q.Step()) {
      value->type = static_cast<DWORD>(q.Int(0));
      value->data = q.Blob(1);
      return ERROR_SUCCESS;
    }
    auto exists = db_.Prepare("SELECT 1 FROM spl_printers WHERE id = ?1");
    exists.Bind(1, printer);
    return exists.Step() ? ERROR_FILE_NOT_FOUND : ERROR_INVALID_HANDLE;
  });
}

DWORD SpoolerStore::SetData(PrinterId printer, WStringView key, WStringView name, DWORD type, const BYTE* data,
                            std::size_t size) {
  return db_.Write([&] {
    auto exists = db_.Prepare("SELECT 1 FROM spl_printers WHERE id = ?1");
    exists.Bind(1, printer);
    if (!exists.Step()) return ERROR_INVALID_HANDLE;
    auto q = db_.Prepare(
        "INSERT INTO spl_printer_data(printer, key_name, key_fold, name, fold, type, data)"
        " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"
        " ON CONFLICT(printer, key_fold, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
    q.Bind(1, printer).Bind(2, Utf8FromWide(key)).Bind(3, Fold(key)).Bind(4, Utf8FromWide(name));
    q.Bind(5, Fold(name)).Bind(6, type).BindBlob(7, data, size);
    q.Run();
    return ERROR_SUCCESS;
  });
}

DWORD SpoolerStore::PrinterById(PrinterId id, PrinterRecord* printer) {
  return db_.Read([&] {
    auto q = db_.Prepare("SELECT id, name, driver, port, attributes FROM spl_printers WHERE id = ?1");
    q.Bind(1, id);
    if (!q.Step()) return ERROR_INVALID_HANDLE;
    *printer = ReadPrinter(q);
    return ERROR_SUCCESS;
  });
}

DWORD SpoolerStore::SetDriverLibrary(WStringView driverName, WStringView library) {
  return db_.Write([&] {
    auto q = db_.Prepare(
        "INSERT INTO spl_drivers(fold, name, library) VALUES (?1, ?2, ?3)"
        " ON CONFLICT(fold) DO UPDATE SET name = excluded.name, library = excluded.library");
    q.Bind(1, Fold(driverName)).Bind(2, Utf8FromWide(driverName)).Bind(3, Utf8FromWide(library));
    q.Run();
    return ERROR_SUCCESS;
  });
}

DWORD SpoolerStore::DriverLibrary(WStringView driverName, WString* library) {
  return db_.Read([&] {
    auto q = db_.Prepare("SELECT library FROM spl_drivers WHERE fold = ?1");
    q.Bind(1, Fold(driverName));
    if (!q.Step()) return ERROR_UNKNOWN_PRINTER_DRIVER;
    *library = WideFromUtf8(q.Text(0));
    return ERROR_SUCCESS;
  });
}

DWORD SpoolerStore::Forms(std::vector<FormRecord>* forms) {
  return db_.Read([&] {
    forms->clear();
    auto q = db_.Prepare(
        "SELECT name, flags, width, height, area_left, area_top, area_right, area_bottom FROM spl_forms ORDER BY id");
    while (q.Step()) {
      FormRecord f;
      f.name = WideFromUtf8(q.Text(0));
      f.flags = static_cast<DWORD>(q.Int(1));
      f.width = static_cast<LONG>(q.Int(2));
      f.height = static_cast<LONG>(q.Int(3));
      f.left = static_cast<LONG>(q.Int(4));
      f.top = static_cast<LONG>(q.Int(5));
      f.right = static_cast<LONG>(q.Int(6));
      f.bottom = static_cast<LONG>(q.Int(7));
      forms->push_back(std::move(f));
    }
    return ERROR_SUCCESS;
  });
}

DWORD SpoolerStore::AddForm(const FormRecord& form) {
  return db_.Write([&] {
    auto find = db_.Prepare("SELECT 1 FROM spl_forms WHERE fold = ?1");
    find.Bind(1, Fold(form.name));
    if (find.Step()) return ERROR_FILE_EXISTS;
    auto insert = db_.Prepare(
        "INSERT INTO spl_forms(name, fold, flags, width, height, area_left, area_top, area_right, area_bottom)"
        " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    insert.Bind(1, Utf8FromWide(form.name)).Bind(2, Fold(form.name)).Bind(3, form.flags);
    insert.Bind(4, form.width).Bind(5, form.height).Bind(6, form.left).Bind(7, form.top);
    insert.Bind(8, form.right).Bind(9, form.bottom);
    insert.Run();
    return ERROR_SUCCESS;
  });
}

}  // namespace kq
