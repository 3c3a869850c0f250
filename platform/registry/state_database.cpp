#include "registry/state_database.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "win/machine.h"

namespace kq {

namespace {
// Long enough for another process's transaction, short enough that a stuck peer shows as an error.
constexpr int kBusyTimeoutMs = 15000;

[[noreturn]] void Fail(sqlite3* db, const char* what) {
  throw DatabaseError(std::string(what) + ": " + (db ? sqlite3_errmsg(db) : "no database"));
}
}  // namespace

Statement::Statement(sqlite3_stmt* stmt) : stmt_(stmt) {}

Statement::~Statement() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

Statement& Statement::Bind(int index, std::int64_t value) {
  if (sqlite3_bind_int64(stmt_, index, value) != SQLITE_OK) Fail(sqlite3_db_handle(stmt_), "bind");
  return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
  if (sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT) != SQLITE_OK)
    Fail(sqlite3_db_handle(stmt_), "bind");
  return *this;
}

Statement& Statement::BindBlob(int index, const void* data, std::size_t size) {
  static const BYTE kEmpty = 0;
  // A zero-length blob, not NULL, so an empty value stays a value.
  if (sqlite3_bind_blob64(stmt_, index, size ? data : &kEmpty, size, SQLITE_TRANSIENT) != SQLITE_OK)
    Fail(sqlite3_db_handle(stmt_), "bind");
  return *this;
}

Statement& Statement::BindNull(int index) {
  if (sqlite3_bind_null(stmt_, index) != SQLITE_OK) Fail(sqlite3_db_handle(stmt_), "bind");
  return *this;
}

bool Statement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  Fail(sqlite3_db_handle(stmt_), "step");
}

void Statement::Run() {
  while (Step()) {
  }
}

std::int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::Text(int column) const {
  const auto* text = sqlite3_column_text(stmt_, column);
  const int size = sqlite3_column_bytes(stmt_, column);
  return text ? std::string(reinterpret_cast<const char*>(text), static_cast<std::size_t>(size)) : std::string();
}

std::vector<BYTE> Statement::Blob(int column) const {
  const auto* data = static_cast<const BYTE*>(sqlite3_column_blob(stmt_, column));
  const int size = sqlite3_column_bytes(stmt_, column);
  return data ? std::vector<BYTE>(data, data + size) : std::vector<BYTE>();
}

bool Statement::IsNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

namespace {

// A failure of the store in the platform's words: a full disk or a state root that cannot be written is not a
// damaged database. `otherwise` for every other failure.
DWORD StoreError(sqlite3* db, const std::filesystem::path& root, DWORD otherwise) {
  const int code = db ? sqlite3_errcode(db) & 0xFF : SQLITE_CANTOPEN;
  if (code == SQLITE_FULL) return ERROR_DISK_FULL;
  if (code == SQLITE_READONLY || code == SQLITE_PERM) return ERROR_ACCESS_DENIED;
  // An I/O error says no more than that; the system call that failed says why.
  const int cause = db ? sqlite3_system_errno(db) : 0;
  if (code == SQLITE_IOERR && (cause == ENOSPC || cause == EDQUOT)) return ERROR_DISK_FULL;
  if (code == SQLITE_IOERR || code == SQLITE_CANTOPEN) {
    if (::access(root.c_str(), W_OK) != 0) return ERROR_ACCESS_DENIED;
    struct statvfs disk;
    if (::statvfs(root.c_str(), &disk) == 0 && disk.f_bavail == 0) return ERROR_DISK_FULL;
  }
  return otherwise;
}

}  // namespace

StateDatabase::StateDatabase(Machine& machine) {
  std::error_code ec;
  root_ = machine.Root();
  std::filesystem::create_directories(machine.Root(), ec);
  const std::string path = (machine.Root() / kFileName).string();
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
  if (sqlite3_open_v2(path.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
    openError_ = StoreError(db_, root_, ERROR_CANTOPEN);
    return;
  }
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  sqlite3_extended_result_codes(db_, 1);
  if (sqlite3_exec(db_, "PRAGMA foreign_keys=ON; PRAGMA synchronous=NORMAL;", nullptr, nullptr, nullptr) != SQLITE_OK) {
    openError_ = StoreError(db_, root_, ERROR_BADDB);
    return;
  }
  // WAL lets readers go on while another process writes. The mode stays with the file, so when another process
  // holds the database during the switch, the one that made it (or the rollback journal) serves as well.
  sqlite3_exec(db_, "PRAGMA journal_mode=WAL;", nullptr, nullptr, nullptr);
}

StateDatabase::~StateDatabase() {
  for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
  sqlite3_close(db_);
}

Statement StateDatabase::Prepare(const std::string& sql) {
  auto it = statements_.find(sql);
  if (it == statements_.end()) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(db_, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) != SQLITE_OK)
      Fail(db_, "prepare");
    it = statements_.emplace(sql, stmt).first;
  }
  return Statement(it->second);
}

void StateDatabase::Execute(const char* sql) {
  if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(db_, "exec");
}

std::int64_t StateDatabase::LastInsertId() const { return sqlite3_last_insert_rowid(db_); }

int StateDatabase::Changes() const { return sqlite3_changes(db_); }

void StateDatabase::Setup(std::function<DWORD(StateDatabase&)> setup) {
  {
    std::lock_guard lock(mutex_);
    setups_.push_back(std::move(setup));
  }
  Write([] { return ERROR_SUCCESS; });
}

DWORD StateDatabase::RunSetups() {
  for (const auto& setup : setups_)
    if (const DWORD result = setup(*this); result != ERROR_SUCCESS) return result;
  return ERROR_SUCCESS;
}

DWORD StateDatabase::Write(const std::function<DWORD()>& work, DWORD failure) {
  return Transaction("BEGIN IMMEDIATE", work, failure);
}

DWORD StateDatabase::Read(const std::function<DWORD()>& work, DWORD failure) {
  return Transaction("BEGIN", work, failure);
}

DWORD StateDatabase::Transaction(const char* begin, const std::function<DWORD()>& work, DWORD failure) {
  std::lock_guard lock(mutex_);
  if (openError_ != ERROR_SUCCESS) return openError_;
  if (depth_ > 0) {
    // Already inside this thread's transaction, which a store made meanwhile has its tables made in too.
    const DWORD setup = RunSetups();
    return setup != ERROR_SUCCESS ? setup : work();
  }
  try {
    Execute(begin);
  } catch (const DatabaseError&) {
    return StoreError(db_, root_, failure);
  }
  ++depth_;
  DWORD result = failure;
  try {
    // Tables not made yet (the store could not be written when they were asked for) come first, so a failure
    // says why the store cannot be written instead of finding no table.
    result = RunSetups();
    if (result == ERROR_SUCCESS) result = work();
    --depth_;
    if (result == ERROR_SUCCESS) {
      Execute("COMMIT");
      setups_.clear();
      return ERROR_SUCCESS;
    }
  } catch (const DatabaseError&) {
    depth_ = 0;
    result = StoreError(db_, root_, failure);
  } catch (const std::bad_alloc&) {
    depth_ = 0;
    result = ERROR_NOT_ENOUGH_MEMORY;
  }
  sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  return result;
}

}  // namespace kq
