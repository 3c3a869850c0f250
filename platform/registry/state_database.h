// The machine's one SQLite database (registry and spooler), shared by every process on the same state root.
// Every write runs in one IMMEDIATE transaction, every multi-statement read in one read transaction, so no
// reader sees half a write; a database busy with another process is waited for (busy timeout). Within a
// process the connection is used by one thread at a time.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "win/base.h"

namespace kq {

class Machine;

// A failed SQLite step inside a transaction; the transaction is rolled back.
struct DatabaseError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One prepared statement, reset and cleared when the binding goes out of scope.
class Statement {
 public:
  explicit Statement(sqlite3_stmt* stmt);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, std::int64_t value);
  Statement& Bind(int index, std::string_view text);
  Statement& BindBlob(int index, const void* data, std::size_t size);
  Statement& BindNull(int index);

  // Steps once: true when a row is ready, false when done.
  bool Step();
  // Steps to the end, for statements without rows.
  void Run();

  std::int64_t Int(int column) const;
  std::string Text(int column) const;
  std::vector<BYTE> Blob(int column) const;
  bool IsNull(int column) const;

 private:
  sqlite3_stmt* stmt_;
};

class StateDatabase {
 public:
  explicit StateDatabase(Machine& machine);
  ~StateDatabase();
  StateDatabase(const StateDatabase&) = delete;
  StateDatabase& operator=(const StateDatabase&) = delete;

  static constexpr const char* kFileName = "registry.db";

  // ERROR_SUCCESS when the database is open.
  DWORD OpenError() const { return openError_; }

  // Runs `setup` (a store's tables and first rows) in a write transaction now, and again at the start of every
  // later transaction until one commits: a store that cannot be written when it is made stays usable once it can.
  void Setup(std::function<DWORD(StateDatabase&)> setup);
  // Runs `work` in one write transaction: committed when it returns ERROR_SUCCESS, rolled back otherwise.
  // A database failure rolls back and answers `failure`.
  DWORD Write(const std::function<DWORD()>& work, DWORD failure = ERROR_CANTWRITE);
  // Runs `work` in one read transaction.
  DWORD Read(const std::function<DWORD()>& work, DWORD failure = ERROR_CANTREAD);

  // A cached statement; only inside Write or Read.
  Statement Prepare(const std::string& sql);
  // Runs statements without results; only inside Write.
  void Execute(const char* sql);
  std::int64_t LastInsertId() const;
  int Changes() const;

 private:
  DWORD Transaction(const char* begin, const std::function<DWORD()>& work, DWORD failure);
  // The setups not committed yet, inside the open transaction; the first failure.
  DWORD RunSetups();

  sqlite3* db_ = nullptr;
  DWORD openError_ = ERROR_SUCCESS;
  std::filesystem::path root_;  // the state root the database lies in
  std::recursive_mutex mutex_;
  int depth_ = 0;
  std::unordered_map<std::string, sqlite3_stmt*> statements_;
  std::vector<std::function<DWORD(StateDatabase&)>> setups_;  // not committed yet
};

}  // namespace kq
