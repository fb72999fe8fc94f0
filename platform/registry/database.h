// The process-wide connection to the registry database file, with the statement and
// transaction helpers the key operations are written with. Internal to the registry layer.
#pragma once

#include <sqlite3.h>
#include <sys/types.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/registry_fault.h"

namespace platform::registry::detail {

// Thrown inside the layer, turned into a status and LastErrorMessage() at the API boundary.
struct Failure {
  Status status;
  std::string message;
};

[[noreturn]] void Fail(Status status, std::string message);
void SetLastErrorMessage(std::string message);

class Statement;

// One SQLite connection shared by all threads of the process; every use holds Lock().
// The lock is recursive so that a thread holding it for a whole caller's transaction
// (registry::Transaction) can still make its single calls.
class Database {
 public:
  static Database& Instance();

  std::unique_lock<std::recursive_mutex> Lock() {
    return std::unique_lock<std::recursive_mutex>(mutex_);
  }

  // Opens the current file on first use (and again after a fork or UseDatabase()).
  // Throws Failure(kBadDatabase) when the file is not a usable registry database.
  void EnsureOpen();
  Statement Prepare(const char* sql);
  void Execute(const char* sql);
  void Rollback();  // ignores errors: used while unwinding
  void RollbackToSavepoint(const std::string& name);  // ignores errors, releases it
  // True while a transaction (a caller's or one operation's) is open on the connection.
  bool InTransaction() const;
  // Called before every row a change writes or deletes; runs the injected fault when its
  // count is reached (see platform/registry_fault.h).
  void BeforeChange();
  void InjectFault(uint32_t count, int kind);
  [[noreturn]] void FailWithSqlite(int rc, std::string_view what);

  // Switches to another file; open key handles of the previous file become stale.
  void Use(const std::string& path);
  std::string Path() const;
  uint64_t Generation() const { return generation_; }

 private:
  Database() = default;
  void OpenFile(const std::string& path);
  bool HasNoTables();
  void RefuseForeignFile();
  void CheckOrCreateSchema();
  void CloseConnection();
  void AbandonConnection();

  std::recursive_mutex mutex_;
  sqlite3* connection_ = nullptr;
  pid_t owner_pid_ = 0;
  std::string override_path_;
  std::map<const char*, sqlite3_stmt*> statements_;
  uint64_t generation_ = 1;
  uint32_t fault_countdown_ = 0;
  int fault_kind_ = 0;
};

// A cached prepared statement, reset and unbound when it goes out of scope.
class Statement {
 public:
  Statement(Database& db, sqlite3_stmt* stmt) : db_(&db), stmt_(stmt) {}
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int index, int64_t number);
  Statement& Bind(int index, std::string_view text);
  Statement& BindBlob(int index, const std::vector<uint8_t>& bytes);
  bool Step();  // true while a row is available
  void Run();   // a statement without result rows
  int64_t Int(int column) const;
  std::string Text(int column) const;
  std::vector<uint8_t> Blob(int column) const;

 private:
  Database* db_;
  sqlite3_stmt* stmt_;
};

// One operation's transaction. BEGIN IMMEDIATE for writers (waits for the write lock up
// front, so a busy writer is retried by the busy timeout instead of failing on upgrade);
// BEGIN for consistent reads. Inside a transaction already open (a caller's
// registry::Transaction) it is a savepoint: a failing operation undoes only its own rows.
class Transaction {
 public:
  enum Kind { kRead, kWrite };
  Transaction(Database& db, Kind kind);
  ~Transaction();
  void Commit();

 private:
  Database& db_;
  bool open_ = true;
  bool savepoint_ = false;
};

}  // namespace platform::registry::detail

namespace platform::registry::detail {

// Runs `body` under the process lock with the database open; a Failure becomes the
// returned status and this thread's LastErrorMessage().
template <class Body>
Status Guarded(Body&& body) {
  Database& db = Database::Instance();
  try {
    auto lock = db.Lock();
    db.EnsureOpen();
    body(db);
    return kSuccess;
  } catch (const Failure& failure) {
    SetLastErrorMessage(failure.message);
    return failure.status;
  }
}

}  // namespace platform::registry::detail
