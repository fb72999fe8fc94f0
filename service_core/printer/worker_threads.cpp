// The worker threads of a claimed printer: start and stop. Their loops are in
// output_worker.cpp, status_monitor.cpp and event_delivery.cpp; each ends on the stop flag
// and signals its own ended event.
#include "opos_codes.h"
#include "pos_printer.h"

namespace service_core {

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

}  // namespace service_core
