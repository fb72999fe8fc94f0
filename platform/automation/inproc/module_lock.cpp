#include <atomic>

#include "platform/inproc_server.h"

namespace platform::automation {
namespace {

std::atomic<int32_t> module_locks{0};

}  // namespace

void LockModule() { module_locks.fetch_add(1); }

// Never below zero: an unbalanced LockServer(false) must not make a live library look free.
void UnlockModule() {
  int32_t current = module_locks.load();
  while (current > 0 && !module_locks.compare_exchange_weak(current, current - 1)) {
  }
}

int32_t ModuleLockCount() { return module_locks.load(); }

}  // namespace platform::automation
