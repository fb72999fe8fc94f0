// The module's own thread: every control object of the module lives on it, every call runs
// there, and the objects' events are raised there without the program pumping anything.
#pragma once

#include <pybind11/pybind11.h>

#include <functional>

#include "control_objects/event_thread.h"

namespace opos_python {

// Runs `work` on the module's thread and waits for it with the GIL released. `work` must
// not touch Python objects, and must own what it uses: when Ctrl-C (or another signal
// handler that raises) interrupts the wait, the Python exception is raised here and the
// work finishes on its own.
void RunOnModuleThread(std::function<void()> work);

// Queues `work` without waiting (releasing an object); false once the thread has stopped.
bool PostToModuleThread(std::function<void()> work);

bool OnModuleThread();
// True once the interpreter is shutting down the module: no more calls into Python.
bool ModuleShuttingDown();

// Ends the thread after running `last` there (closing what is still open); waits at most
// a few seconds. Called at interpreter exit, with the GIL held.
void StopModuleThread(std::function<void()> last);

}  // namespace opos_python
