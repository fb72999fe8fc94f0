// The worker threads of a claimed printer: start, stop, and the loops of the two status
// threads (the output worker's is in output_worker.cpp). Each ends on the stop flag and signals its own
// ended event.
#include "opos_codes.h"
#include "pos_printer.h"

namespace service_core {

namespace {
constexpr uint32_t kStatusPollIntervalMs = 500;
}  // namespace

void CPOSPrinter::StartWorkers(ClaimSync& sync) {
  event_delivery_ = std::thread([this, &sync] { EventDeliveryLoop(sync); });
  status_poll_ = std::thread([this, &sync] { StatusPollLoop(sync); });
  status_event_ = std::thread([this, &sync] { StatusEventLoop(sync); });
  output_worker_ = std::thread([this, &sync] { OutputWorkerLoop(sync); });
}

void CPOSPrinter::StopWorkers(ClaimSync& sync) {
  sync.stop.Set();
  sync.event_queue.Set();
  sync.property_gate.Set();
  sync.control_object_gate.Set();
  platform::WaitForAll({&sync.output_worker_ended, &sync.status_poll_ended,
                        &sync.status_event_ended, &sync.event_delivery_ended},
                       platform::kInfinite);
  for (std::thread* t : {&event_delivery_, &status_poll_, &status_event_, &output_worker_}) {
    if (t->joinable()) t->join();
  }
}

void CPOSPrinter::StatusPollLoop(ClaimSync& sync) {
  for (;;) {
    platform::WaitForAny({&sync.poll, &sync.stop}, platform::kInfinite);
    if (stop_) break;
    sync.poll.Reset();
    if (platform::WaitForOne(sync.stop, kStatusPollIntervalMs) == 0) break;
    if (claimed_ && device_enabled_) {
      // Turning the port's cover, paper and power conditions into status reports for
      // the status event thread (through sync.status) belongs to status monitoring.
    }
    sync.poll.Set();
  }
  sync.status_poll_ended.Set();
}

void CPOSPrinter::StatusEventLoop(ClaimSync& sync) {
  for (;;) {
    platform::WaitForAny({&sync.status, &sync.stop}, platform::kInfinite);
    if (stop_) break;
    sync.status.Reset();
    if (!claimed_) continue;
    // Raising the status update for the reported condition belongs to status monitoring.
  }
  sync.status_event_ended.Set();
}

}  // namespace service_core
