// A service object must not be destroyed, nor its library unloaded, while it is still
// running the callback in which the application closed it. Such releases wait until the
// thread has finished handling the current message.
#pragma once

#include <vector>

#include "platform/dispatch.h"

namespace opos::control {

// Marks the calling thread as being inside a callback from a service object.
class CallbackDepth {
 public:
  CallbackDepth();
  ~CallbackDepth();
  CallbackDepth(const CallbackDepth&) = delete;
  CallbackDepth& operator=(const CallbackDepth&) = delete;
};

bool InsideCallback();

// Releases `objects` (in order) and unloads unused libraries on this thread's next pump,
// or when the thread ends.
void ReleaseAfterCallback(std::vector<platform::automation::DispatchPtr> objects);

}  // namespace opos::control
