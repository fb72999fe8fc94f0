#include <unistd.h>

#include "database.h"
#include "platform/registry.h"
#include "platform/registry_fault.h"

namespace platform::registry {

using detail::Database;
using detail::Fail;
using detail::Failure;

namespace {
constexpr const char* kSavepoint = "caller";
}  // namespace

struct Transaction::State {
  std::unique_lock<std::recursive_mutex> lock;
  bool open = false;
  bool savepoint = false;  // nested in a transaction this thread already has open
  pid_t pid = 0;
  uint64_t generation = 0;
  Status committed = kSuccess;

  // The connection this transaction was begun on is still the one in use.
  bool SameConnection(Database& db) const {
    return pid == getpid() && generation == db.Generation();
  }
};

Transaction::Transaction() : state_(std::make_unique<State>()) {
  Database& db = Database::Instance();
  state_->lock = db.Lock();
  try {
    db.EnsureOpen();
    state_->savepoint = db.InTransaction();
    db.Execute(state_->savepoint ? "SAVEPOINT caller" : "BEGIN IMMEDIATE");
    state_->open = true;
    state_->pid = getpid();
    state_->generation = db.Generation();
  } catch (const Failure& failure) {
    detail::SetLastErrorMessage(failure.message);
    begun_ = failure.status;
    state_->lock.unlock();
  }
}

Transaction::~Transaction() {
  if (!state_->open) return;
  Database& db = Database::Instance();
  // A child after fork() has a fresh lock that this object never took.
  if (state_->pid != getpid()) {
    state_->lock.release();
    return;
  }
  // A child after fork() must not touch the parent's connection; after UseDatabase() the
  // old connection is closed and its transaction already rolled back.
  if (state_->SameConnection(db)) {
    if (state_->savepoint) {
      db.RollbackToSavepoint(kSavepoint);
    } else {
      db.Rollback();
    }
  }
}

Status Transaction::Commit() {
  if (begun_ != kSuccess) return begun_;
  if (!state_->open) return state_->committed;
  Database& db = Database::Instance();
  try {
    if (!state_->SameConnection(db)) {
      Fail(kBadDatabase, "registry database was switched to " + db.Path() +
                             " while a transaction was open; nothing was kept");
    }
    // SQLite rolls a whole transaction back by itself after some failures (a full disk,
    // an I/O error); the caller's changes are then gone and must not be reported as kept.
    if (!db.InTransaction()) {
      Fail(kBadDatabase, "registry database " + db.Path() +
                             " gave up the transaction after a failure; nothing was kept");
    }
    db.Execute(state_->savepoint ? "RELEASE caller" : "COMMIT");
    state_->open = false;
  } catch (const Failure& failure) {
    detail::SetLastErrorMessage(failure.message);
    state_->committed = failure.status;
    if (state_->open && state_->SameConnection(db)) {
      if (state_->savepoint) {
        db.RollbackToSavepoint(kSavepoint);
      } else {
        db.Rollback();
      }
    }
    state_->open = false;
  }
  if (state_->pid == getpid()) {
    state_->lock.unlock();
  } else {
    state_->lock.release();  // see the destructor
  }
  return state_->committed;
}

void InjectFaultAtChange(uint32_t count, InjectedFault fault) {
  Database& db = Database::Instance();
  auto lock = db.Lock();
  db.InjectFault(count, static_cast<int>(fault));
}

}  // namespace platform::registry
