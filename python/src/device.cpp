#include "device.h"

#include <algorithm>
#include <set>
#include <utility>
#include <stdexcept>

#include "module_thread.h"

namespace opos_python {

namespace {

std::set<Device*> live_devices;  // guarded by the GIL

int Slot(EventKind kind) {
  switch (kind) {
    case kStatusUpdate: return 0;
    case kOutputComplete: return 1;
    case kError: return 2;
    case kDirectIO: return 3;
  }
  return 0;
}

// Prints a handler's exception the way Python prints an exception nobody could catch
// (sys.unraisablehook), and lets the event go on with its default response.
// ("Exception ignored in: <the handler>" and the traceback).
void Report(py::error_already_set& error, const py::object& handler) {
  error.discard_as_unraisable(handler);
}

}  // namespace

// What the control object's handlers reach the wrapper through. `device` is cleared (with
// the GIL held) when the wrapper goes, so a late event finds nobody.
struct Device::Link {
  Device* device = nullptr;

  // On the module's thread. Calls the handler, then the observer; `values` may be changed by
  // the handler (error response, direct I/O data and text).
  void Deliver(EventKind kind, int32_t* values, std::string* text) {
    if (ModuleShuttingDown()) return;
    py::gil_scoped_acquire gil;
    if (!device) return;
    py::object handler = device->Handler(kind);
    py::object observer = device->observer;
    if (!handler.is_none()) {
      try {
        switch (kind) {
          case kStatusUpdate:
          case kOutputComplete:
            handler(values[0]);
            break;
          case kError: {
            py::object answer = handler(values[0], values[1], values[2], values[3]);
            if (!answer.is_none()) values[3] = answer.cast<int32_t>();
            break;
          }
          case kDirectIO: {
            py::object answer =
                handler(values[0], values[1], py::str(*text));
            if (!answer.is_none()) {
              auto pair = answer.cast<py::tuple>();
              if (pair.size() != 2) throw py::value_error("on_direct_io returns (data, text)");
              int32_t data = pair[0].cast<int32_t>();
              std::string new_text = pair[1].cast<std::string>();
              values[1] = data;
              *text = std::move(new_text);
            }
            break;
          }
        }
      } catch (py::error_already_set& error) {
        Report(error, handler);
      } catch (const std::exception& error) {
        // A bad answer (a cast that failed): reported the same way.
        PyErr_SetString(PyExc_TypeError, error.what());
        py::error_already_set python_error;
        Report(python_error, handler);
      }
    }
    if (observer.is_none()) return;
    try {
      py::tuple record;
      switch (kind) {
        case kStatusUpdate:
        case kOutputComplete:
          record = py::make_tuple(values[0]);
          break;
        case kError:
          record = py::make_tuple(values[0], values[1], values[2], values[3]);
          break;
        case kDirectIO:
          record = py::make_tuple(values[0], values[1], py::str(*text));
          break;
      }
      observer(static_cast<int>(kind), record);
    } catch (py::error_already_set& error) {
      Report(error, observer);
    }
  }
};

Device::Device(std::string_view class_name)
    : table_(*opos::control::FindDeviceTable(class_name)), link_(std::make_shared<Link>()) {
  for (auto& handler : handlers_) handler = py::none();
  std::shared_ptr<Link> link = link_;
  // Owned by the work: an interrupted wait leaves it to finish alone.
  auto created = std::make_shared<ObjectRef<ControlObject>>();
  RunOnModuleThread([created, link, name = std::string(class_name)] {
    ObjectRef<ControlObject> object = opos::control::CreateControlObject(name);
    object->on_status_update = [link](int32_t data) {
      int32_t values[4] = {data};
      link->Deliver(kStatusUpdate, values, nullptr);
    };
    object->on_output_complete = [link](int32_t id) {
      int32_t values[4] = {id};
      link->Deliver(kOutputComplete, values, nullptr);
    };
    object->on_error = [link](int32_t result, int32_t extended, int32_t locus,
                              int32_t& response) {
      int32_t values[4] = {result, extended, locus, response};
      link->Deliver(kError, values, nullptr);
      response = values[3];
    };
    object->on_direct_io = [link](int32_t number, int32_t& data, std::string& text) {
      int32_t values[4] = {number, data};
      link->Deliver(kDirectIO, values, &text);
      data = values[1];
    };
    *created = std::move(object);
  });
  object_ = std::move(*created);
  link_->device = this;
  live_devices.insert(this);
}

Device::~Device() {
  live_devices.erase(this);
  ObjectRef<ControlObject> object = TakeObject();
  if (!object) return;
  // Closing releases a claimed device. Calls made after this one wait behind it on the same
  // thread, so nobody has to wait here; from inside one of this object's own handlers the
  // close is deferred by the control object as usual.
  auto close = [object]() mutable {
    object->Close();
    object = ObjectRef<ControlObject>();
  };
  if (OnModuleThread()) {
    py::gil_scoped_release release;
    close();
  } else if (!PostToModuleThread(close)) {
    // The thread has ended (interpreter exit): the object stays as it is; the process ends.
    (void)new ObjectRef<ControlObject>(object);
  }
}

ObjectRef<ControlObject> Device::TakeObject() {
  link_->device = nullptr;
  ObjectRef<ControlObject> object = std::move(object_);
  object_ = ObjectRef<ControlObject>();
  return object;
}

py::object& Device::Handler(EventKind kind) { return handlers_[Slot(kind)]; }

int Device::Traverse(visitproc visit, void* arg) {
  for (auto& handler : handlers_) Py_VISIT(handler.ptr());
  Py_VISIT(observer.ptr());
  return 0;
}

void Device::Clear() {
  // A handler may hold the last reference to this very object: the handlers go only after
  // the last use of `this`.
  std::array<py::object, 5> dropped;
  for (size_t i = 0; i < handlers_.size(); ++i) dropped[i] = std::exchange(handlers_[i], py::none());
  dropped[4] = std::exchange(observer, py::none());
}

void ForEachLiveDevice(const std::function<void(Device&)>& visit) {
  // Visiting one may free others (their last reference was in its handlers).
  std::set<Device*> visited;
  for (;;) {
    auto next = std::find_if(live_devices.begin(), live_devices.end(),
                             [&visited](Device* device) { return !visited.count(device); });
    if (next == live_devices.end()) return;
    visited.insert(*next);
    visit(**next);
  }
}

}  // namespace opos_python
