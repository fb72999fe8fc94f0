#include "device_thread.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "byte_text.h"
#include "platform/message_queue.h"

namespace oposd {

using opos::control::ControlObject;

DeviceThread::DeviceThread(std::string device_class, EventSink sink, ClaimArbiter& arbiter)
    : device_class_(std::move(device_class)), sink_(std::move(sink)), arbiter_(arbiter) {
  wake_fd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  thread_ = std::thread([this] { Main(); });
}

DeviceThread::~DeviceThread() {
  Stop();
  Join();
  if (wake_fd_ >= 0) close(wake_fd_);
}

void DeviceThread::Join() {
  if (thread_.joinable()) thread_.join();
}

void DeviceThread::Run(Task task) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_ || finishing_) return;
    tasks_.push_back(std::move(task));
  }
  const uint64_t one = 1;
  (void)!write(wake_fd_, &one, sizeof one);
}

bool DeviceThread::StopRequested() {
  std::lock_guard lock(mutex_);
  return stopping_;
}

void DeviceThread::Finish(Task last) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_ || finishing_) return;
    tasks_.push_back(std::move(last));
    finishing_ = true;
  }
  const uint64_t one = 1;
  (void)!write(wake_fd_, &one, sizeof one);
}

bool DeviceThread::AnswerError(int32_t response) {
  {
    std::lock_guard lock(mutex_);
    if (!error_waiting_ || error_answered_) return false;
    error_answered_ = true;
    error_response_ = response;
  }
  answered_.notify_all();
  return true;
}

void DeviceThread::Stop() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    stopping_ = true;
    tasks_.clear();
  }
  answered_.notify_all();
  const uint64_t one = 1;
  (void)!write(wake_fd_, &one, sizeof one);
}

int32_t DeviceThread::WaitForErrorAnswer(int32_t proposal) {
  std::unique_lock lock(mutex_);
  if (stopping_) return proposal;
  error_waiting_ = true;
  error_answered_ = false;
  answered_.wait_for(lock, std::chrono::milliseconds(kErrorAnswerWaitMs),
                     [this] { return error_answered_ || stopping_; });
  const int32_t response = error_answered_ ? error_response_ : proposal;
  error_waiting_ = false;
  error_answered_ = false;
  return response;
}

void DeviceThread::AttachEvents(ControlObject& device) {
  auto stopping = [this] {
    std::lock_guard lock(mutex_);
    return stopping_;
  };
  device.on_status_update = [this, stopping](int32_t data) {
    if (!stopping()) sink_({{"type", "StatusUpdate"}, {"data", data}});
  };
  device.on_output_complete = [this, stopping](int32_t id) {
    if (!stopping()) sink_({{"type", "OutputComplete"}, {"outputId", id}});
  };
  device.on_error = [this, stopping](int32_t result, int32_t extended, int32_t locus,
                                     int32_t& response) {
    if (stopping()) return;
    sink_({{"type", "Error"},
           {"resultCode", result},
           {"resultCodeExtended", extended},
           {"errorLocus", locus},
           {"errorResponse", response}});
    response = WaitForErrorAnswer(response);
  };
  device.on_direct_io = [this, stopping](int32_t number, int32_t& data, std::string& text) {
    if (stopping()) return;
    nlohmann::json params = {{"type", "DirectIO"}, {"eventNumber", number}, {"data", data}};
    params["string"] = BytesToText(text);
    sink_(std::move(params));
  };
}

void DeviceThread::Main() {
  pollfd fds[2] = {{wake_fd_, POLLIN, 0}, {platform::QueueFd(), POLLIN, 0}};
  auto device = opos::control::CreateControlObject(device_class_);
  if (device) AttachEvents(*device);
  for (;;) {
    if (poll(fds, 2, -1) < 0 && errno != EINTR) break;
    if (fds[0].revents & POLLIN) {
      uint64_t count;
      (void)!read(wake_fd_, &count, sizeof count);
    }
    for (;;) {
      Task task;
      {
        std::lock_guard lock(mutex_);
        if (stopping_ || tasks_.empty()) break;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      if (device) task(*device);
      platform::PumpPendingMessages();
    }
    platform::PumpPendingMessages();
    std::lock_guard lock(mutex_);
    if (stopping_ || (finishing_ && tasks_.empty())) break;
  }
  if (device && device->IsOpen()) {
    if (device->Claimed()) device->ReleaseDevice();
    device->Close();
  }
  arbiter_.ReleaseAll(this);
  platform::PumpPendingMessages();  // a release deferred out of an event handler runs here
  device = {};
  platform::PumpPendingMessages();
  finished_ = true;
}

}  // namespace oposd
