// Events with the kernel's wait rules: a Set satisfies the waits that it can, in the order
// they began, before anything else can reset the event. All events share one lock, which
// makes a wait on several events (in particular wait-for-all) a single atomic decision.
#include "platform/event.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace platform {

struct EventWaiting;

struct Event::State {
  explicit State(bool manual, bool signalled) : manual_reset(manual), signalled(signalled) {}
  const bool manual_reset;
  bool signalled;
  std::vector<EventWaiting*> waiters;  // in the order their waits began
};

namespace {

std::mutex& EventLock() {
  // Never destroyed: threads may still wait on events while the process exits.
  static std::mutex* lock = new std::mutex;
  return *lock;
}

}  // namespace

// One thread's wait on one or more events. Lives on the waiting thread's stack and is
// reachable from the events' waiter lists only while the wait is pending.
struct EventWaiting {
  std::vector<std::shared_ptr<Event::State>> events;
  bool wait_all = false;
  bool done = false;
  int result = kWaitTimeout;
  std::condition_variable wake;

  // Called with the event lock held. Consumes the events that satisfy this wait and
  // returns true, or returns false and changes nothing.
  bool TrySatisfy() {
    if (wait_all) {
      for (const auto& e : events)
        if (!e->signalled) return false;
      for (const auto& e : events)
        if (!e->manual_reset) e->signalled = false;
      result = 0;
      return true;
    }
    for (size_t i = 0; i < events.size(); ++i) {
      if (events[i]->signalled) {
        if (!events[i]->manual_reset) events[i]->signalled = false;
        result = static_cast<int>(i);
        return true;
      }
    }
    return false;
  }

  void Register() {
    for (const auto& e : events) {
      // An event named twice in one wait carries the waiter once.
      if (std::find(e->waiters.begin(), e->waiters.end(), this) == e->waiters.end())
        e->waiters.push_back(this);
    }
  }

  void Unregister() {
    for (const auto& e : events) std::erase(e->waiters, this);
  }

  static int Wait(std::span<Event* const> list, bool all, uint32_t timeout_ms) {
    if (list.empty()) return kWaitFailed;
    EventWaiting waiting;
    waiting.wait_all = all;
    waiting.events.reserve(list.size());
    for (Event* e : list) {
      if (e == nullptr) return kWaitFailed;
      waiting.events.push_back(e->state_);
    }

    std::unique_lock lock(EventLock());
    if (waiting.TrySatisfy()) return waiting.result;
    if (timeout_ms == 0) return kWaitTimeout;

    waiting.Register();
    if (timeout_ms == kInfinite) {
      waiting.wake.wait(lock, [&] { return waiting.done; });
      return waiting.result;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    if (waiting.wake.wait_until(lock, deadline, [&] { return waiting.done; }))
      return waiting.result;
    waiting.Unregister();
    return kWaitTimeout;
  }
};

Event::Event(bool manual_reset, bool initially_signalled)
    : state_(std::make_shared<State>(manual_reset, initially_signalled)) {}

Event::~Event() = default;

void Event::Set() {
  std::lock_guard lock(EventLock());
  state_->signalled = true;
  // Satisfying a waiter unregisters it, so walk a copy of the list.
  const std::vector<EventWaiting*> waiters = state_->waiters;
  for (EventWaiting* waiting : waiters) {
    if (!state_->signalled) break;  // an auto-reset event was consumed
    if (!waiting->TrySatisfy()) continue;
    waiting->Unregister();
    waiting->done = true;
    waiting->wake.notify_one();
  }
}

void Event::Reset() {
  std::lock_guard lock(EventLock());
  state_->signalled = false;
}

bool Event::IsSet() const {
  std::lock_guard lock(EventLock());
  return state_->signalled;
}

bool Event::ManualReset() const { return state_->manual_reset; }

int WaitForOne(Event& event, uint32_t timeout_ms) {
  Event* list[] = {&event};
  return EventWaiting::Wait(list, false, timeout_ms);
}

int WaitForAny(std::span<Event* const> events, uint32_t timeout_ms) {
  return EventWaiting::Wait(events, false, timeout_ms);
}

int WaitForAll(std::span<Event* const> events, uint32_t timeout_ms) {
  return EventWaiting::Wait(events, true, timeout_ms);
}

}  // namespace platform
