// One opened device of the service: a control object living on a thread of its own. The
// thread created the control object and opened it, so the service object raises its events
// there; between tasks the thread pumps its messages, so events flow while the client is
// idle. A slow call (a claim waiting for another client, a synchronous print) holds up only
// this device.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "claim_arbiter.h"
#include "control_objects/control_object.h"

namespace oposd {

class DeviceThread {
 public:
  // The parameters of an event notification ("type" and the event's OPOS fields, without
  // "handle"); called on the device thread.
  using EventSink = std::function<void(nlohmann::json params)>;
  using Task = std::function<void(opos::control::ControlObject& device)>;

  static constexpr int kErrorAnswerWaitMs = 30000;

  // `arbiter` outlives the thread; what this device holds there is given up when it ends.
  DeviceThread(std::string device_class, EventSink sink, ClaimArbiter& arbiter);
  ~DeviceThread();  // Stop(), then waits for the thread
  DeviceThread(const DeviceThread&) = delete;
  DeviceThread& operator=(const DeviceThread&) = delete;

  // Queues `task`; tasks run in order on the device thread. Ignored once stopping.
  void Run(Task task);

  // Queues `last` as the final task: nothing queued later runs, and the thread ends after it
  // (releasing and closing the device if `last` left it open).
  void Finish(Task last);

  // Answers the Error event the client was told about; false when none waits.
  bool AnswerError(int32_t response);

  // Drops the queued tasks, lets a waiting Error event keep its proposal, releases and closes
  // the device and ends the thread. Returns at once; Finished() tells when it is done.
  void Stop();
  bool Finished() const { return finished_; }
  bool StopRequested();
  void Join();

 private:
  void Main();
  void AttachEvents(opos::control::ControlObject& device);
  int32_t WaitForErrorAnswer(int32_t proposal);

  const std::string device_class_;
  const EventSink sink_;
  ClaimArbiter& arbiter_;
  int wake_fd_ = -1;

  std::mutex mutex_;
  std::condition_variable answered_;
  std::deque<Task> tasks_;
  bool stopping_ = false;
  bool finishing_ = false;
  bool error_waiting_ = false;
  bool error_answered_ = false;
  int32_t error_response_ = 0;

  std::atomic<bool> finished_{false};
  std::thread thread_;
};

}  // namespace oposd
