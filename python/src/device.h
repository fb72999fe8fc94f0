// A control object as seen from Python: the object itself lives on the module's thread; the
// wrapper holds the Python handlers, which that thread calls with the GIL held.
#pragma once

#include <pybind11/pybind11.h>

#include <array>
#include <memory>
#include <string>

#include "control_objects/control_object.h"

namespace opos_python {

namespace py = pybind11;
using opos::control::ControlObject;
using opos::control::ObjectRef;

// Event kinds, numbered as the service objects number their event records.
enum EventKind { kDirectIO = 2, kError = 3, kOutputComplete = 4, kStatusUpdate = 5 };

class Device {
 public:
  explicit Device(std::string_view class_name);
  virtual ~Device();
  Device(const Device&) = delete;
  Device& operator=(const Device&) = delete;

  const opos::control::DeviceTable& Table() const { return table_; }
  // A copy of the reference, for work handed to the module's thread.
  ObjectRef<ControlObject> Object() const { return object_; }

  // Handler slots by kind; `observer` hears every event after its handler (the Python
  // layer's asyncio side).
  py::object& Handler(EventKind kind);
  py::object observer = py::none();

  // Hands the control object over (to be closed on the module's thread at interpreter
  // exit); the wrapper then has none and hears no more events.
  ObjectRef<ControlObject> TakeObject();

  // For the collector: the handlers may refer back to the object.
  int Traverse(visitproc visit, void* arg);
  void Clear();

 private:
  struct Link;
  const opos::control::DeviceTable& table_;
  ObjectRef<ControlObject> object_;
  std::shared_ptr<Link> link_;
  std::array<py::object, 4> handlers_;
};

// Every wrapper still alive, for the shutdown at interpreter exit (GIL held).
void ForEachLiveDevice(const std::function<void(Device&)>& visit);

}  // namespace opos_python
