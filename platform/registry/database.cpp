#include "database.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <new>
#include <system_error>

namespace platform::registry::detail {

namespace {

constexpr int kBusyTimeoutMs = 10000;
constexpr const char* kFormatName = "opos-registry";
constexpr const char* kFormatVersion = "1";

thread_local std::string last_error_message;

// Roots are rows 1 and 2 so that every key, roots included, is addressed by its id.
constexpr const char* kSchema = R"sql(
CREATE TABLE meta(name TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE keys(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  parent INTEGER NOT NULL,
  name TEXT NOT NULL,
  name_lc TEXT NOT NULL,
  UNIQUE(parent, name_lc));
CREATE TABLE vals(
  id INTEGER PRIMARY KEY AUTOINCREMENT,
  key_id INTEGER NOT NULL,
  name TEXT NOT NULL,
  name_lc TEXT NOT NULL,
  type INTEGER NOT NULL,
  data BLOB NOT NULL,
  UNIQUE(key_id, name_lc));
INSERT INTO keys(id, parent, name, name_lc) VALUES
  (1, 0, 'HKEY_LOCAL_MACHINE', 'hkey_local_machine'),
  (2, 0, 'HKEY_CLASSES_ROOT', 'hkey_classes_root');
)sql";

}  // namespace

void Fail(Status status, std::string message) { throw Failure{status, std::move(message)}; }

void SetLastErrorMessage(std::string message) { last_error_message = std::move(message); }

Database& Database::Instance() {
  // Never destroyed: keys may outlive other statics. The lock is held across fork() so a
  // child never inherits it locked by a thread that does not exist in the child.
  static Database* instance = [] {
    auto* db = new Database();
    // The child gets a fresh lock: a recursive mutex remembers its owner by thread id,
    // which is another one in the child, so it could never be unlocked there.
    pthread_atfork([] { Instance().mutex_.lock(); }, [] { Instance().mutex_.unlock(); },
                   [] { new (&Instance().mutex_) std::recursive_mutex(); });
    return db;
  }();
  return *instance;
}

std::string Database::Path() const {
  if (!override_path_.empty()) return override_path_;
  const char* env = std::getenv("OPOS_REGISTRY");
  if (env != nullptr && *env != '\0') return env;
  return DefaultDatabasePath();
}

void Database::Use(const std::string& path) {
  CloseConnection();
  override_path_ = path;
  ++generation_;
}

void Database::EnsureOpen() {
  if (connection_ != nullptr && owner_pid_ == getpid()) return;
  // A connection inherited through fork() must not be used or closed by the child.
  if (connection_ != nullptr) AbandonConnection();
  OpenFile(Path());
}

void Database::OpenFile(const std::string& path) {
  std::error_code ec;
  if (path == DefaultDatabasePath()) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
  }
  if (std::filesystem::is_directory(path, ec)) {
    Fail(kBadDatabase, "registry database " + path + " is a directory, not a database file");
  }
  sqlite3* handle = nullptr;
  int rc =
      sqlite3_open_v2(path.c_str(), &handle,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    std::string why = handle ? sqlite3_errmsg(handle) : sqlite3_errstr(rc);
    sqlite3_close(handle);
    if (path == DefaultDatabasePath()) why += " (set OPOS_REGISTRY to use another file)";
    Fail(kBadDatabase, "cannot open registry database " + path + ": " + why);
  }
  connection_ = handle;
  owner_pid_ = getpid();
  sqlite3_extended_result_codes(connection_, 1);
  sqlite3_busy_timeout(connection_, kBusyTimeoutMs);
  try {
    // Look before switching to write-ahead logging: that switch rewrites the file header,
    // and a file that is not ours must be left exactly as it was.
    RefuseForeignFile();
    {
      Statement mode = Prepare("PRAGMA journal_mode=WAL");
      if (!mode.Step() || mode.Text(0) != "wal") {
        Fail(kBadDatabase, "registry database " + path + " cannot use write-ahead logging");
      }
    }
    Execute("PRAGMA synchronous=FULL");
    CheckOrCreateSchema();
    Statement check = Prepare("PRAGMA quick_check");
    if (!check.Step() || check.Text(0) != "ok") {
      Fail(kBadDatabase, "registry database " + path + " is damaged: " + check.Text(0));
    }
  } catch (...) {
    CloseConnection();
    throw;
  }
}

bool Database::HasNoTables() {
  Statement tables = Prepare("SELECT count(*) FROM sqlite_master");
  tables.Step();
  return tables.Int(0) == 0;
}

void Database::RefuseForeignFile() {
  Transaction tx(*this, Transaction::kRead);
  if (HasNoTables()) return;
  bool has_meta = false;
  {
    Statement exists = Prepare("SELECT 1 FROM sqlite_master WHERE type='table' AND name='meta'");
    has_meta = exists.Step();
  }
  std::string format, version;
  if (has_meta) {
    Statement meta = Prepare("SELECT name, value FROM meta WHERE name IN ('format','version')");
    while (meta.Step()) (meta.Text(0) == "format" ? format : version) = meta.Text(1);
  }
  if (format != kFormatName) {
    Fail(kBadDatabase, "file " + Path() + " is an SQLite database but not a registry database");
  }
  if (version != kFormatVersion) {
    Fail(kBadDatabase, "registry database " + Path() + " has unknown format version " + version);
  }
  tx.Commit();
}

void Database::CheckOrCreateSchema() {
  Transaction tx(*this, Transaction::kWrite);
  if (HasNoTables()) {
    Execute(kSchema);
    Statement meta = Prepare("INSERT INTO meta(name, value) VALUES('format', ?), ('version', ?)");
    meta.Bind(1, kFormatName).Bind(2, kFormatVersion).Run();
  }
  tx.Commit();
}

void Database::CloseConnection() {
  if (connection_ == nullptr) return;
  if (owner_pid_ != getpid()) return AbandonConnection();
  for (auto& [sql, stmt] : statements_) sqlite3_finalize(stmt);
  statements_.clear();
  sqlite3_close_v2(connection_);
  connection_ = nullptr;
}

void Database::AbandonConnection() {
  statements_.clear();
  connection_ = nullptr;
}

Statement Database::Prepare(const char* sql) {
  auto found = statements_.find(sql);
  if (found != statements_.end()) return Statement(*this, found->second);
  sqlite3_stmt* stmt = nullptr;
  int rc = sqlite3_prepare_v3(connection_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
  if (rc != SQLITE_OK) FailWithSqlite(rc, "prepare");
  statements_.emplace(sql, stmt);
  return Statement(*this, stmt);
}

void Database::Execute(const char* sql) {
  int rc = sqlite3_exec(connection_, sql, nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) FailWithSqlite(rc, "execute");
}

void Database::Rollback() {
  if (connection_ != nullptr) sqlite3_exec(connection_, "ROLLBACK", nullptr, nullptr, nullptr);
}

void Database::RollbackToSavepoint(const std::string& name) {
  if (connection_ == nullptr) return;
  // When SQLite has already rolled the whole transaction back (a full disk, an I/O error)
  // the savepoint is gone and these fail; the caller's commit then reports it.
  const std::string sql = "ROLLBACK TO " + name + "; RELEASE " + name;
  sqlite3_exec(connection_, sql.c_str(), nullptr, nullptr, nullptr);
}

bool Database::InTransaction() const {
  return connection_ != nullptr && sqlite3_get_autocommit(connection_) == 0;
}

void Database::InjectFault(uint32_t count, int kind) {
  fault_countdown_ = count;
  fault_kind_ = kind;
}

void Database::BeforeChange() {
  if (fault_countdown_ == 0 || --fault_countdown_ != 0) return;
  if (fault_kind_ == static_cast<int>(InjectedFault::Kill)) raise(SIGKILL);
  Fail(kBadDatabase, "registry database " + Path() + " failed: injected fault");
}

void Database::FailWithSqlite(int rc, std::string_view what) {
  std::string detail = connection_ ? sqlite3_errmsg(connection_) : sqlite3_errstr(rc);
  int primary = rc & 0xff;
  if (primary == SQLITE_BUSY || primary == SQLITE_LOCKED) {
    Fail(kBusy, "registry database " + Path() + " stayed locked by another user: " + detail);
  }
  if (primary == SQLITE_READONLY) {
    Fail(kAccessDenied, "registry database " + Path() + " is read-only: " + detail);
  }
  if (primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB) {
    Fail(kBadDatabase, "registry database " + Path() + " is damaged or not a database: " + detail);
  }
  Fail(kBadDatabase,
       "registry database " + Path() + " failed (" + std::string(what) + "): " + detail);
}

Statement::~Statement() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

Statement& Statement::Bind(int index, int64_t number) {
  sqlite3_bind_int64(stmt_, index, number);
  return *this;
}

Statement& Statement::Bind(int index, std::string_view text) {
  sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  return *this;
}

Statement& Statement::BindBlob(int index, const std::vector<uint8_t>& bytes) {
  // A zero-length blob must still be a blob, not NULL.
  static const uint8_t kEmpty = 0;
  sqlite3_bind_blob(stmt_, index, bytes.empty() ? &kEmpty : bytes.data(),
                    static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  return *this;
}

bool Statement::Step() {
  int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  db_->FailWithSqlite(rc, "step");
}

void Statement::Run() {
  while (Step()) {
  }
}

int64_t Statement::Int(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string Statement::Text(int column) const {
  const unsigned char* text = sqlite3_column_text(stmt_, column);
  int size = sqlite3_column_bytes(stmt_, column);
  return text ? std::string(reinterpret_cast<const char*>(text), size) : std::string();
}

std::vector<uint8_t> Statement::Blob(int column) const {
  const auto* data = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
  int size = sqlite3_column_bytes(stmt_, column);
  return data ? std::vector<uint8_t>(data, data + size) : std::vector<uint8_t>();
}

Transaction::Transaction(Database& db, Kind kind) : db_(db), savepoint_(db.InTransaction()) {
  if (savepoint_) {
    db_.Execute("SAVEPOINT operation");
  } else {
    db_.Execute(kind == kWrite ? "BEGIN IMMEDIATE" : "BEGIN");
  }
}

Transaction::~Transaction() {
  if (!open_) return;
  if (savepoint_) {
    db_.RollbackToSavepoint("operation");
  } else {
    db_.Rollback();
  }
}

void Transaction::Commit() {
  db_.Execute(savepoint_ ? "RELEASE operation" : "COMMIT");
  open_ = false;
}

}  // namespace platform::registry::detail

namespace platform::registry {

// One store per machine, like the registry it stands in for: the setup utility and every
// POS application on the till see the same device entries.
std::string DefaultDatabasePath() { return "/var/lib/opos/registry.sqlite"; }

std::string CurrentDatabasePath() {
  auto& db = detail::Database::Instance();
  auto lock = db.Lock();
  return db.Path();
}

void UseDatabase(const std::string& path) {
  auto& db = detail::Database::Instance();
  auto lock = db.Lock();
  db.Use(path);
}

std::string LastErrorMessage() { return detail::last_error_message; }

}  // namespace platform::registry
