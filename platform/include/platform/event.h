// Manual- and auto-reset events with waits on one, any or all, and the millisecond clock.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>

namespace platform {

inline constexpr uint32_t kInfinite = 0xFFFFFFFFu;
inline constexpr int kWaitTimeout = 258;  // WAIT_TIMEOUT
inline constexpr int kWaitFailed = -1;    // WAIT_FAILED: no events, or a null one

class Event {
 public:
  explicit Event(bool manual_reset, bool initially_signalled = false);
  ~Event();
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;
  bool ManualReset() const;

 private:
  friend struct EventWaiting;
  struct State;
  std::shared_ptr<State> state_;
};

// Each returns 0 (or the lowest index of a signalled event for WaitForAny), kWaitTimeout,
// or kWaitFailed for an empty list or a null event.
// An auto-reset event is reset by the wait that it satisfies; WaitForAll consumes all of
// its auto-reset events at once, and only when every event is signalled at the same time.
int WaitForOne(Event& event, uint32_t timeout_ms);
int WaitForAny(std::span<Event* const> events, uint32_t timeout_ms);
int WaitForAll(std::span<Event* const> events, uint32_t timeout_ms);
inline int WaitForAny(std::initializer_list<Event*> events, uint32_t timeout_ms) {
  return WaitForAny(std::span<Event* const>(events.begin(), events.size()), timeout_ms);
}
inline int WaitForAll(std::initializer_list<Event*> events, uint32_t timeout_ms) {
  return WaitForAll(std::span<Event* const>(events.begin(), events.size()), timeout_ms);
}

// Monotonic milliseconds since an arbitrary start; never goes backwards.
uint64_t TickCountMs();
void SleepMs(uint32_t ms);

}  // namespace platform
