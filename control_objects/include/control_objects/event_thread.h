// A thread that owns control objects and keeps their events flowing without the application
// pumping messages. Open the objects through Run(); their events are then raised on this
// thread, between the tasks it runs. Bindings for other languages (the Python module, the
// device service) call every member of their objects through it, so each object is only ever
// touched by one thread, the way the service objects expect.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

namespace opos::control {

class EventThread {
 public:
  // A task handed to the thread; the caller may wait for it, or stop waiting (an interrupted
  // wait) and let it finish on its own.
  class Task {
   public:
    // True once the task has run; false when `ms` passed first (0 only looks).
    bool Wait(uint32_t ms);
    bool Done();
    // False when the thread had stopped and the task will never run.
    bool Queued() const { return static_cast<bool>(state_); }

   private:
    friend class EventThread;
    struct State;
    std::shared_ptr<State> state_;
  };

  EventThread();
  // Runs what is still queued, then ends the thread and joins it.
  ~EventThread();
  EventThread(const EventThread&) = delete;
  EventThread& operator=(const EventThread&) = delete;

  // Queues `work` for the thread. From the thread itself the task runs at once (a handler
  // calling back into a device must not wait for itself). After Stop() nothing runs and the
  // returned task is not queued.
  Task Post(std::function<void()> work);
  // Post() and wait until it has run; false when it could not be queued.
  bool Run(std::function<void()> work);

  // Ends the thread after the tasks queued so far; true when it ended within `ms` (it is
  // then joined). A thread still busy after `ms` is left to finish on its own.
  bool Stop(uint32_t ms);
  bool OnThread() const;

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

}  // namespace opos::control
