// One event at a time handed from a service object's delivery thread to the application's
// thread. The delivery thread posts a command to the object's hidden window and waits until
// the window has raised the record or the claim ends; a message that outlives its claim
// finds nothing to raise.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>

#include "platform/event.h"
#include "platform/message_queue.h"

namespace platform {

template <class Record>
class EventHandOff {
 public:
  // Delivery thread: true once the application's thread raised `record`. False when the
  // window is gone or `stop` came first; the record is then withdrawn, so a thread that no
  // longer pumps cannot hold the claim's end hostage.
  bool Deliver(const Record& record, HiddenWindow& window, uint16_t command, Event& delivered,
               Event& stop) {
    // Reset before the record becomes visible: a stale message already queued for the
    // window may raise it at once.
    delivered.Reset();
    {
      std::lock_guard lock(mutex_);
      in_flight_ = record;
    }
    if (window.PostCommand(command, nullptr) &&
        WaitForAny({&delivered, &stop}, kInfinite) == 0) {
      return true;
    }
    Withdraw();
    return false;
  }

  // The window's handler: the record to raise, or nothing when its claim has ended.
  std::optional<Record> Take() {
    std::lock_guard lock(mutex_);
    std::optional<Record> record;
    record.swap(in_flight_);
    return record;
  }

  // The claim ends: a message still queued raises nothing.
  void Withdraw() {
    std::lock_guard lock(mutex_);
    in_flight_.reset();
  }

 private:
  std::mutex mutex_;
  std::optional<Record> in_flight_;
};

}  // namespace platform
