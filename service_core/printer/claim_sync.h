// The events a claimed printer's threads meet on. Created by ClaimDevice and destroyed by
// ReleaseDevice once every worker has ended. All are manual-reset.
#pragma once

#include "platform/event.h"

namespace service_core {

struct ClaimSync {
  // The two gates start in the state of the freeze flags, so events frozen before the
  // claim stay frozen after it.
  ClaimSync(bool property_frozen, bool control_object_frozen)
      : property_gate(true, !property_frozen), control_object_gate(true, !control_object_frozen) {}

  platform::Event stop{true};  // wakes every worker so it sees the stop flag

  platform::Event output_worker_ended{true};
  platform::Event status_event_ended{true};
  platform::Event status_poll_ended{true};
  platform::Event event_delivery_ended{true};

  platform::Event status{true};          // poll thread -> status event thread
  platform::Event poll{true};            // wakes the status poll thread
  platform::Event error_response{true};  // the application answered an error event
  platform::Event work{true};            // an asynchronous request was queued
  platform::Event slip_insertion{true};
  platform::Event slip_removal{true};

  platform::Event event_queue{true};  // the event queue is not empty
  platform::Event delivered{true};    // the hidden window has raised the posted event

  platform::Event property_gate;        // closed while FreezeEvents is on
  platform::Event control_object_gate;  // closed while COFreezeEvents is on
};

}  // namespace service_core
