// The events a claimed drawer's threads meet on. Created by ClaimDevice and destroyed by
// ReleaseDevice once every thread has ended. All are manual-reset.
#pragma once

#include "platform/event.h"

namespace service_core {

struct DrawerSync {
  // The gates start in the state of the freeze flags, so events frozen before the claim
  // stay frozen after it.
  DrawerSync(bool property_frozen, bool control_object_frozen)
      : events_not_frozen(true, !property_frozen),
        not_frozen_by_control_object(true, !control_object_frozen) {}

  platform::Event stop{true};  // wakes every sleep and wait of the threads at release

  platform::Event queue_not_empty{true};
  platform::Event events_not_frozen;
  platform::Event not_frozen_by_control_object;
  platform::Event drawer_closed{true, true};  // clear while the drawer is taken to be open
  platform::Event status_changed{true};       // wakes the status-change thread
  platform::Event poll{true};                 // wakes the poll thread
  platform::Event recheck{true};              // wakes the recheck thread
  platform::Event beep{true};                 // set while the beep thread is to keep beeping
  platform::Event delivered{true};            // the hidden window raised the posted event

  platform::Event delivery_ended{true};
  platform::Event status_change_ended{true};
  platform::Event poll_ended{true};
  platform::Event beep_ended{true};
  platform::Event recheck_ended{true};
};

}  // namespace service_core
