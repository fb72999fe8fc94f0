// Pumping: the owner thread takes its queued messages in post order and runs the handlers
// of their windows. A handler may pump again (a nested pause, a message box); the nested
// pump simply continues with the messages that follow.
#include <cstdio>
#include <exception>

#include "platform/event.h"
#include "platform/message_queue.h"
#include "thread_queue.h"

namespace platform {

namespace {

using detail::QueuedMessage;
using detail::ThreadQueue;

void Dispatch(ThreadQueue& queue, QueuedMessage& message) {
  detail::WindowTarget& window = *message.window;
  try {
    if (window.handler) window.handler(message.command_id, message.payload);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "window \"%s\": command %u handler threw: %s\n", window.name.c_str(),
                 static_cast<unsigned>(message.command_id), e.what());
  } catch (...) {
    std::fprintf(stderr, "window \"%s\": command %u handler threw\n", window.name.c_str(),
                 static_cast<unsigned>(message.command_id));
  }
  queue.FinishDispatch(window);
}

}  // namespace

int PumpPendingMessages() {
  auto queue = ThreadQueue::ForCurrentThread();
  // Only what was queued on entry, so a handler that posts again cannot keep us here.
  const uint64_t last = queue->LastSequence();
  int count = 0;
  while (auto message = queue->TakeNow(last)) {
    Dispatch(*queue, *message);
    ++count;
  }
  return count;
}

void PumpMessages(uint32_t ms) {
  if (ms == 0) {
    PumpPendingMessages();
    return;
  }
  auto queue = ThreadQueue::ForCurrentThread();
  std::optional<ThreadQueue::Clock::time_point> deadline;
  if (ms != kInfinite) deadline = ThreadQueue::Clock::now() + std::chrono::milliseconds(ms);
  while (auto message = queue->TakeUntil(deadline)) {
    Dispatch(*queue, *message);
    if (deadline && ThreadQueue::Clock::now() >= *deadline) return;
  }
}

void MessagePumpingPause() { PumpMessages(kMessagePumpingPauseMs); }

int QueueFd() { return ThreadQueue::ForCurrentThread()->Fd(); }

}  // namespace platform
