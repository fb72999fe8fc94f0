// Per-thread message queue and hidden windows owned by a thread.
//
// A hidden window belongs to the thread that created it. PostCommand() may be called from
// any thread; the command runs in the window's handler when the owning thread pumps its
// queue (PumpMessages, MessagePumpingPause, or a foreign event loop watching QueueFd()).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace platform {

class HiddenWindow {
 public:
  // Returns true when the command was handled; false takes the default path (ignored).
  using CommandHandler = std::function<bool(uint16_t command_id, void* payload)>;

  HiddenWindow(std::string name, int id, CommandHandler handler);
  ~HiddenWindow();  // commands still queued for this window are dropped
  HiddenWindow(const HiddenWindow&) = delete;
  HiddenWindow& operator=(const HiddenWindow&) = delete;

  // Queues a WM_COMMAND-like message for the owner thread. False when the window or its
  // owner's queue is gone.
  bool PostCommand(uint16_t command_id, void* payload);

  const std::string& Name() const;
  int Id() const;
  std::thread::id OwnerThread() const;

 private:
  struct Impl;
  std::shared_ptr<Impl> impl_;
};

// Dispatches the calling thread's queued messages until `ms` milliseconds have passed.
void PumpMessages(uint32_t ms);
// Dispatches what is queued now without waiting; returns how many messages ran.
int PumpPendingMessages();
// The 200 ms message-pumping pause: keeps the calling thread's messages flowing.
void MessagePumpingPause();
inline constexpr uint32_t kMessagePumpingPauseMs = 200;
// A descriptor that is readable while the calling thread's queue holds messages.
int QueueFd();

}  // namespace platform
