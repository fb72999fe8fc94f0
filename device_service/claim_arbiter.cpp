#include "claim_arbiter.h"

#include <chrono>

namespace oposd {

bool ClaimArbiter::Acquire(const std::string& device, const void* owner, int32_t timeout_ms,
                           const std::function<bool()>& cancelled) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
  std::unique_lock lock(mutex_);
  for (;;) {
    auto it = holders_.find(device);
    if (it == holders_.end() || it->second == owner) {
      holders_[device] = owner;
      return true;
    }
    if (cancelled()) return false;
    const auto now = std::chrono::steady_clock::now();
    if (timeout_ms >= 0 && now >= deadline) return false;
    // Woken by a release; the slice keeps a stop of the waiting client noticed.
    auto until = now + std::chrono::milliseconds(100);
    if (timeout_ms >= 0 && deadline < until) until = deadline;
    released_.wait_until(lock, until);
  }
}

void ClaimArbiter::Release(const std::string& device, const void* owner) {
  {
    std::lock_guard lock(mutex_);
    auto it = holders_.find(device);
    if (it == holders_.end() || it->second != owner) return;
    holders_.erase(it);
  }
  released_.notify_all();
}

void ClaimArbiter::ReleaseAll(const void* owner) {
  {
    std::lock_guard lock(mutex_);
    std::erase_if(holders_, [owner](const auto& entry) { return entry.second == owner; });
  }
  released_.notify_all();
}

}  // namespace oposd
