#include "registry/registry_store.h"

#include <algorithm>
#include <chrono>

#include "win/machine.h"

namespace kq {

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS reg_keys("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  parent INTEGER REFERENCES reg_keys(id),"
    "  name TEXT NOT NULL,"
    "  fold TEXT NOT NULL,"
    "  written INTEGER NOT NULL DEFAULT 0,"
    "  UNIQUE(parent, fold));"
    "CREATE TABLE IF NOT EXISTS reg_values("
    "  key_id INTEGER NOT NULL REFERENCES reg_keys(id) ON DELETE CASCADE,"
    "  name TEXT NOT NULL,"
    "  fold TEXT NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  UNIQUE(key_id, fold));"
    "INSERT OR IGNORE INTO reg_keys(id, parent, name, fold) VALUES"
    "  (1, NULL, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE'),"
    "  (2, NULL, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER'),"
    "  (3, 1, 'SOFTWARE', 'SOFTWARE'),"
    "  (4, 3, 'Classes', 'CLASSES');";

// The largest fixed key id; fixed keys cannot be deleted.
constexpr KeyId kLastFixedKey = 4;

std::string Fold(WStringView name) {
  WString folded(name);
  for (auto& c : folded) c = FoldAscii(c);
  return Utf8FromWide(folded);
}

std::int64_t FileTimeNow() {
  using namespace std::chrono;
  constexpr std::int64_t kUnixEpochIn1601 = 116444736000000000;
  const auto since = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
  return kUnixEpochIn1601 + since / 100;
}

// Splits a key path at backslashes; empty parts (doubled or trailing separators) are skipped.
bool SplitPath(WStringView path, std::vector<WStringView>* parts) {
  if (!path.empty() && path.front() == u'\\') return false;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find(u'\\', start);
    if (end == WStringView::npos) end = path.size();
    if (end > start) parts->push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return true;
}

}  // namespace

RegistryStore::RegistryStore(Machine& machine) : db_(machine.Service<StateDatabase>()) {
  db_.Setup([](StateDatabase& db) {
    db.Execute(kSchema);
    return ERROR_SUCCESS;
  });
}

bool RegistryStore::Exists(KeyId key) {
  auto q = db_.Prepare("SELECT 1 FROM reg_keys WHERE id = ?1");
  q.Bind(1, key);
  return q.Step();
}

void RegistryStore::Touch(KeyId key) {
  auto q = db_.Prepare("UPDATE reg_keys SET written = ?2 WHERE id = ?1");
  q.Bind(1, key).Bind(2, FileTimeNow());
  q.Run();
}

DWORD RegistryStore::Resolve(KeyId base, WStringView path, bool create, KeyId* key, bool* created) {
  std::vector<WStringView> parts;
  if (!SplitPath(path, &parts)) return ERROR_BAD_PATHNAME;
  if (!Exists(base)) return ERROR_KEY_DELETED;
  if (created) *created = false;
  KeyId current = base;
  for (WStringView part : parts) {
    const std::string fold = Fold(part);
    auto find = db_.Prepare("SELECT id FROM reg_keys WHERE parent = ?1 AND fold = ?2");
    find.Bind(1, current).Bind(2, fold);
    if (find.Step()) {
      current = find.Int(0);
      continue;
    }
    if (!create) return ERROR_FILE_NOT_FOUND;
    auto insert = db_.Prepare("INSERT INTO reg_keys(parent, name, fold, written) VALUES (?1, ?2, ?3, ?4)");
    insert.Bind(1, current).Bind(2, Utf8FromWide(part)).Bind(3, fold).Bind(4, FileTimeNow());
    insert.Run();
    Touch(current);
    current = db_.LastInsertId();
    if (created) *created = true;
  }
  *key = current;
  return ERROR_SUCCESS;
}

DWORD RegistryStore::OpenKey(KeyId base, WStringView path, KeyId* key) {
  return db_.Read([&] { return Resolve(base, path, false, key, nullptr); });
}

DWORD RegistryStore::CreateKey(KeyId base, WStringView path, KeyId* key, bool* created) {
  // Look first, so opening an existing key does not wait for the write lock.
  DWORD result = db_.Read([&] { return Resolve(base, path, false, key, created); });
  if (result != ERROR_FILE_NOT_FOUND) return result;
  return db_.Write([&] { return Resolve(base, path, true, key, created); });
}

DWORD RegistryStore::DeleteKey(KeyId base, WStringView path) {
  return db_.Write([&] {
    KeyId key = 0;
    if (DWORD r = Resolve(base, path, false, &key, nullptr); r != ERROR_SUCCESS) return r;
    if (key <= kLastFixedKey) return ERROR_ACCESS_DENIED;
    auto children = db_.Prepare("SELECT 1 FROM reg_keys WHERE parent = ?1 LIMIT 1");
    children.Bind(1, key);
    if (children.Step()) return ERROR_ACCESS_DENIED;
    auto parent = db_.Prepare("SELECT parent FROM reg_keys WHERE id = ?1");
    parent.Bind(1, key);
    const KeyId parentId = parent.Step() ? parent.Int(0) : 0;
    auto del = db_.Prepare("DELETE FROM reg_keys WHERE id = ?1");
    del.Bind(1, key);
    del.Run();
    if (parentId) Touch(parentId);
    return ERROR_SUCCESS;
  });
}

DWORD RegistryStore::DeleteTree(KeyId base, WStringView path) {
  return db_.Write([&] {
    KeyId key = 0;
    if (DWORD r = Resolve(base, path, false, &key, nullptr); r != ERROR_SUCCESS) return r;
    const bool contentsOnly = path.empty();
    if (!contentsOnly && key <= kLastFixedKey) return ERROR_ACCESS_DENIED;
    // The fixed keys stay; below them everything goes. Values go with their keys (cascade).
    auto del = db_.Prepare(
        "WITH RECURSIVE tree(id) AS (SELECT ?1 UNION ALL SELECT k.id FROM reg_keys k JOIN tree t ON k.parent = t.id)"
        " DELETE FROM reg_keys WHERE id IN (SELECT id FROM tree) AND id > ?2 AND (?3 = 0 OR id <> ?1)");
    del.Bind(1, key).Bind(2, kLastFixedKey).Bind(3, contentsOnly ? 1 : 0);
    del.Run();
    if (contentsOnly) {
      auto values = db_.Prepare("DELETE FROM reg_values WHERE key_id = ?1");
      values.Bind(1, key);
      values.Run();
      Touch(key);
    }
    return ERROR_SUCCESS;
  });
}

DWORD RegistryStore::GetValue(KeyId key, WStringView name, StoredValue* value) {
  return db_.Read([&] {
    auto q = db_.Prepare("SELECT name, type, data FROM reg_values WHERE key_id = ?1 AND fold = ?2");
    q.Bind(1, key).Bind(2, Fold(name));
    if (!q.Step()) return Exists(key) ? ERROR_FILE_NOT_FOUND : ERROR_KEY_DELETED;
    value->name = WideFromUtf8(q.Text(0));
    value->type = static_cast<DWORD>(q.Int(1));
    value->data = q.Blob(2);
    return ERROR_SUCCESS;
  });
}

DWORD RegistryStore::SetValue(KeyId key, WStringView name, DWORD type, const BYTE* data, std::size_t size) {
  return db_.Write([&] {
    if (!Exists(key)) return ERROR_KEY_DELETED;
    // An existing value keeps its name as first written and its place in the enumeration.
    auto q = db_.Prepare(
        "INSERT INTO reg_values(key_id, name, fold, type, data) VALUES (?1, ?2, ?3, ?4, ?5)"
        " ON CONFLICT(key_id, fold) DO UPDATE SET type = excluded.type, data = excluded.data");
    q.Bind(1, key).Bind(2, Utf8FromWide(name)).Bind(3, Fold(name)).Bind(4, type).BindBlob(5, data, size);
    q.Run();
    Touch(key);
    return ERROR_SUCCESS;
  });
}

DWORD RegistryStore::DeleteValue(KeyId key, WStringView name) {
  return db_.Write([&] {
    if (!Exists(key)) return ERROR_KEY_DELETED;
    auto q = db_.Prepare("DELETE FROM reg_values WHERE key_id = ?1 AND fold = ?2");
    q.Bind(1, key).Bind(2, Fold(name));
    q.Run();
    if (db_.Changes() == 0) return ERROR_FILE_NOT_FOUND;
    Touch(key);
    return ERROR_SUCCESS;
  });
}

DWORD RegistryStore::SubKeyAt(KeyId key, DWORD index, SubKeyEntry* entry) {
  return db_.Read([&] {
    if (!Exists(key)) return ERROR_KEY_DELETED;
    auto q = db_.Prepare("SELECT name, written FROM reg_keys WHERE parent = ?1 ORDER BY fold LIMIT 1 OFFSET ?2");
    q.Bind(1, key).Bind(2, index);
    if (!q.Step()) return ERROR_NO_MORE_ITEMS;
    entry->name = WideFromUtf8(q.Text(0));
    entry->written = q.Int(1);
    return ERROR_SUCCESS;
  });
}

DWORD RegistryStore::ValueAt(KeyId key, DWORD index, StoredValue* value) {
  return db_.Read([&] {
    if (!Exists(key)) return ERROR_KEY_DELETED;
    auto q = db_.Prepare("SELECT name, type, data FROM reg_values WHERE key_id = ?1 ORDER BY rowid LIMIT 1 OFFSET ?2");
    q.Bind(1, key).Bind(2, index);
    if (!q.Step()) return ERROR_NO_MORE_ITEMS;
    value->name = WideFromUtf8(q.Text(0));
    value->type = static_cast<DWORD>(q.Int(1));
    value->data = q.Blob(2);
    return ERROR_SUCCESS;
  });
}

DWORD RegistryStore::QueryInfo(KeyId key, KeyInfo* info, const std::function<std::size_t(WStringView)>& measure) {
  auto length = [&](const std::string& utf8) {
    const WString name = WideFromUtf8(utf8);
    return static_cast<DWORD>(measure ? measure(name) : name.size());
  };
  return db_.Read([&] {
    auto k = db_.Prepare("SELECT written FROM reg_keys WHERE id = ?1");
    k.Bind(1, key);
    if (!k.Step()) return ERROR_KEY_DELETED;
    *info = KeyInfo{};
    info->written = k.Int(0);
    auto keys = db_.Prepare("SELECT name FROM reg_keys WHERE parent = ?1");
    keys.Bind(1, key);
    while (keys.Step()) {
      ++info->subKeys;
      info->maxSubKeyLength = std::max(info->maxSubKeyLength, length(keys.Text(0)));
    }
    auto values = db_.Prepare("SELECT name, length(data) FROM reg_values WHERE key_id = ?1");
    values.Bind(1, key);
    while (values.Step()) {
      ++info->values;
      info->maxValueNameLength = std::max(info->maxValueNameLength, length(values.Text(0)));
      info->maxValueSize = std::max<DWORD>(info->maxValueSize, static_cast<DWORD>(values.Int(1)));
    }
    return ERROR_SUCCESS;
  });
}

DWORD RegistryStore::CheckKey(KeyId key) {
  return db_.Read([&] { return Exists(key) ? ERROR_SUCCESS : ERROR_KEY_DELETED; });
}

}  // namespace kq
