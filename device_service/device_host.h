// Every device thread of the service, so that a stop can release and close all of them and
// wait for them, and finished threads are joined off the network thread's way.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "device_thread.h"

namespace oposd {

class DeviceHost {
 public:
  ~DeviceHost() { StopAll(); }

  // A new device thread; joins the threads that have finished since the last start.
  std::shared_ptr<DeviceThread> Start(std::string device_class, DeviceThread::EventSink sink);

  // Stops every device thread (each releases and closes its device) and waits for them.
  void StopAll();

  size_t Running();
  ClaimArbiter& Arbiter() { return arbiter_; }

 private:
  ClaimArbiter arbiter_;  // before the threads, which use it until they end
  std::mutex mutex_;
  std::vector<std::shared_ptr<DeviceThread>> threads_;
};

}  // namespace oposd
