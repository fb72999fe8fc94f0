// The extension module _opos: the control objects with their OPOS members, taken from the
// control objects' member tables, the OPOS constants, and the event handlers. The package
// opos (opos/__init__.py) builds asyncio and the comforts on top in Python.
#include <pybind11/pybind11.h>

#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "control_objects/member_table.h"
#include "control_objects/opos_constants.h"
#include "device.h"
#include "module_thread.h"
#include "platform/variant.h"

namespace opos_python {

namespace {

using opos::control::MethodInfo;
using opos::control::ParamType;
using opos::control::PropertyInfo;
using opos::control::PropertyKind;
using platform::automation::Variant;

// Strings cross as UTF-8; bytes that are not UTF-8 come back as surrogate escapes, so a
// string read from a device can be written back unchanged. bytes are passed as they are.
std::string ToDeviceString(py::handle value) {
  if (py::isinstance<py::bytes>(value)) return value.cast<std::string>();
  if (!py::isinstance<py::str>(value)) throw py::type_error("expected str or bytes");
  auto encoded = py::reinterpret_steal<py::object>(
      PyUnicode_AsEncodedString(value.ptr(), "utf-8", "surrogateescape"));
  if (!encoded) throw py::error_already_set();
  return encoded.cast<std::string>();
}

py::str FromDeviceString(const std::string& text) {
  auto decoded = py::reinterpret_steal<py::str>(
      PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "surrogateescape"));
  if (!decoded) throw py::error_already_set();
  return decoded;
}

int32_t ToLong(py::handle value) {
  if (!py::isinstance<py::int_>(value)) throw py::type_error("expected int");
  long long number = value.cast<long long>();
  // Unsigned 32-bit values (masks, colours) are passed on as the same bits.
  if (number < INT32_MIN || number > UINT32_MAX) throw py::value_error("not a 32-bit number");
  return static_cast<int32_t>(static_cast<uint32_t>(number));
}

bool IsReference(ParamType type) {
  return type == ParamType::LongRef || type == ParamType::StringRef;
}

ObjectRef<ControlObject> LiveObject(Device& device) {
  ObjectRef<ControlObject> object = device.Object();
  if (!object) throw std::runtime_error("the opos module has shut down");
  return object;
}

// Calls a method of the member table. By-reference parameters may be left out at the end
// (they start as 0 or ""); with any, the result is (result, value of each one, ...).
py::object CallMember(Device& device, const MethodInfo& method, const py::args& args) {
  const size_t count = method.params.size();
  size_t required = count;
  while (required > 0 && IsReference(method.params[required - 1].type)) --required;
  if (args.size() < required || args.size() > count) {
    throw py::type_error(std::string(method.name) + "() takes " + std::to_string(required) +
                         (required == count ? "" : " to " + std::to_string(count)) +
                         " arguments (" + std::to_string(args.size()) + " given)");
  }
  struct Call {
    std::vector<int32_t> numbers;
    std::vector<std::string> strings;
    int32_t result = 0;
    platform::automation::HResult hr = 0;
  };
  auto call = std::make_shared<Call>();
  call->numbers.resize(count);
  call->strings.resize(count);
  for (size_t i = 0; i < args.size(); ++i) {
    try {
      switch (method.params[i].type) {
        case ParamType::Long:
        case ParamType::LongRef:
          call->numbers[i] = ToLong(args[i]);
          break;
        case ParamType::String:
        case ParamType::StringRef:
          call->strings[i] = ToDeviceString(args[i]);
          break;
      }
    } catch (const py::builtin_exception& error) {
      throw py::type_error(std::string(method.name) + "() argument " +
                           std::string(method.params[i].name) + ": " + error.what());
    }
  }
  ObjectRef<ControlObject> object = LiveObject(device);
  RunOnModuleThread([call, object, &method] {
    std::vector<Variant> values;
    for (size_t i = 0; i < method.params.size(); ++i) {
      switch (method.params[i].type) {
        case ParamType::Long: values.emplace_back(call->numbers[i]); break;
        case ParamType::String: values.emplace_back(call->strings[i]); break;
        case ParamType::LongRef: values.push_back(Variant::IntRef(&call->numbers[i])); break;
        case ParamType::StringRef: values.push_back(Variant::StringRef(&call->strings[i])); break;
      }
    }
    call->hr = object->CallMethod(method.name, values, call->result);
  });
  if (!platform::automation::Succeeded(call->hr))
    throw py::type_error(std::string(method.name) + "(): the call could not be made");
  py::list outcome;
  outcome.append(call->result);
  for (size_t i = 0; i < count; ++i) {
    if (method.params[i].type == ParamType::LongRef) outcome.append(call->numbers[i]);
    if (method.params[i].type == ParamType::StringRef)
      outcome.append(FromDeviceString(call->strings[i]));
  }
  if (outcome.size() == 1) return outcome[0];
  return py::tuple(outcome);
}

py::object ReadMember(Device& device, const PropertyInfo& property) {
  auto value = std::make_shared<Variant>();
  ObjectRef<ControlObject> object = LiveObject(device);
  RunOnModuleThread([value, object, &property] { object->GetProperty(property.name, *value); });
  switch (property.kind) {
    case PropertyKind::Bool: return py::bool_(value->ToInt32() != 0);
    case PropertyKind::String: return FromDeviceString(value->ToString());
    case PropertyKind::Number: break;
  }
  return py::int_(value->ToInt32());
}

void WriteMember(Device& device, const PropertyInfo& property, py::handle given) {
  auto value = std::make_shared<Variant>(property.kind == PropertyKind::String
                                             ? Variant(ToDeviceString(given))
                                             : Variant(ToLong(given)));
  ObjectRef<ControlObject> object = LiveObject(device);
  RunOnModuleThread([value, object, &property] { object->SetProperty(property.name, *value); });
}

const char* ParamTypeName(ParamType type) {
  switch (type) {
    case ParamType::Long: return "int";
    case ParamType::String: return "str";
    case ParamType::LongRef: return "int&";
    case ParamType::StringRef: return "str&";
  }
  return "";
}

// Names and doc strings stay alive as long as the module.
const char* Keep(std::string text) {
  static std::deque<std::string> kept;
  return kept.emplace_back(std::move(text)).c_str();
}

std::string Signature(const MethodInfo& method) {
  std::string text = std::string(method.name) + "(";
  for (size_t i = 0; i < method.params.size(); ++i) {
    if (i) text += ", ";
    text += std::string(method.params[i].name) + ": " + ParamTypeName(method.params[i].type);
  }
  return text + ") -> result code (with the by-reference values: a tuple)";
}

template <class Class>
void AddMembers(Class& cls, std::span<const PropertyInfo> properties,
                std::span<const MethodInfo> methods) {
  for (const MethodInfo& method : methods) {
    cls.def(
        Keep(std::string(method.name)),
        [&method](Device& device, const py::args& args) {
          return CallMember(device, method, args);
        },
        Keep(Signature(method)));
  }
  for (const PropertyInfo& property : properties) {
    py::cpp_function getter([&property](Device& device) { return ReadMember(device, property); });
    if (property.writable && property.index != 0) {
      py::cpp_function setter([&property](Device& device, py::handle value) {
        WriteMember(device, property, value);
      });
      cls.def_property(Keep(std::string(property.name)), getter, setter);
    } else {
      cls.def_property_readonly(Keep(std::string(property.name)), getter);
    }
  }
}

// The wrapper inside a Python object, or nullptr before __init__ has made it. Each bound
// class derives from Device alone, so its object starts with the Device part.
Device* WrapperOf(PyObject* self) {
  auto* instance = reinterpret_cast<py::detail::instance*>(self);
  auto holder = instance->get_value_and_holder();
  if (!holder || !holder.holder_constructed()) return nullptr;
  return static_cast<Device*>(holder.value_ptr());
}

// The handlers may refer back to their object; the collector must see them to free both.
void CollectableType(PyHeapTypeObject* heap_type) {
  PyTypeObject* type = &heap_type->ht_type;
  type->tp_flags |= Py_TPFLAGS_HAVE_GC;
  type->tp_traverse = [](PyObject* self, visitproc visit, void* arg) -> int {
    Py_VISIT(Py_TYPE(self));
    Device* device = WrapperOf(self);
    return device ? device->Traverse(visit, arg) : 0;
  };
  type->tp_clear = [](PyObject* self) -> int {
    if (Device* device = WrapperOf(self)) device->Clear();
    return 0;
  };
}

struct PrinterDevice : Device {
  PrinterDevice() : Device("POSPrinter") {}
};
struct DrawerDevice : Device {
  DrawerDevice() : Device("CashDrawer") {}
};
struct DisplayDevice : Device {
  DisplayDevice() : Device("LineDisplay") {}
};

void HandlerProperty(py::class_<Device>& cls, const char* name, EventKind kind) {
  cls.def_property(
      name, [kind](Device& device) { return device.Handler(kind); },
      [kind](Device& device, py::object handler) {
        if (!handler.is_none() && !PyCallable_Check(handler.ptr()))
          throw py::type_error("a handler must be callable or None");
        device.Handler(kind) = std::move(handler);
      });
}

// At interpreter exit: every object still open is closed on the module's thread, the
// handlers are dropped and the thread ends, before the interpreter finalizes.
void Shutdown() {
  auto objects = std::make_shared<std::vector<ObjectRef<ControlObject>>>();
  ForEachLiveDevice([&objects](Device& device) {
    device.Clear();
    if (auto object = device.TakeObject()) objects->push_back(std::move(object));
  });
  StopModuleThread([objects] {
    for (auto& object : *objects) {
      object->Close();
      object = ObjectRef<ControlObject>();
    }
  });
}

py::dict DescribeTable(const opos::control::DeviceTable& table, bool common) {
  py::list methods, properties;
  for (const MethodInfo& method : common ? table.common_methods : table.methods) {
    py::list params;
    for (const auto& param : method.params)
      params.append(py::make_tuple(std::string(param.name), ParamTypeName(param.type)));
    methods.append(py::make_tuple(std::string(method.name), params));
  }
  for (const PropertyInfo& property : common ? table.common_properties : table.properties) {
    const char* kind = property.kind == PropertyKind::Bool     ? "bool"
                       : property.kind == PropertyKind::String ? "str"
                                                               : "int";
    properties.append(py::make_tuple(std::string(property.name), kind,
                                     property.writable && property.index != 0));
  }
  py::dict out;
  out["methods"] = methods;
  out["properties"] = properties;
  return out;
}

}  // namespace

}  // namespace opos_python

PYBIND11_MODULE(_opos, m) {
  using namespace opos_python;
  m.doc() = "OPOS control objects: POSPrinter, CashDrawer, LineDisplay (binding; use opos)";

  const auto& printer_table = opos::control::PosPrinterTable();
  py::class_<Device> base(m, "ControlObject", py::custom_type_setup(CollectableType));
  base.doc() = "Members common to every OPOS control object.";
  HandlerProperty(base, "on_status_update", kStatusUpdate);
  HandlerProperty(base, "on_output_complete", kOutputComplete);
  HandlerProperty(base, "on_error", kError);
  HandlerProperty(base, "on_direct_io", kDirectIO);
  base.def_readwrite("_observer", &Device::observer);
  AddMembers(base, printer_table.common_properties, printer_table.common_methods);

  py::class_<PrinterDevice, Device> printer(m, "POSPrinter",
                                            py::custom_type_setup(CollectableType));
  printer.def(py::init<>());
  AddMembers(printer, printer_table.properties, printer_table.methods);
  const auto& drawer_table = opos::control::CashDrawerTable();
  py::class_<DrawerDevice, Device> drawer(m, "CashDrawer", py::custom_type_setup(CollectableType));
  drawer.def(py::init<>());
  AddMembers(drawer, drawer_table.properties, drawer_table.methods);
  const auto& display_table = opos::control::LineDisplayTable();
  py::class_<DisplayDevice, Device> display(m, "LineDisplay",
                                            py::custom_type_setup(CollectableType));
  display.def(py::init<>());
  AddMembers(display, display_table.properties, display_table.methods);

  for (const auto& constant : opos::control::OposConstants())
    m.attr(Keep(std::string(constant.name))) = constant.value;

  m.def("_member_table", [](const std::string& class_name, bool common) {
    const auto* table = opos::control::FindDeviceTable(class_name);
    if (!table) throw py::value_error("unknown device class");
    return DescribeTable(*table, common);
  });
  m.def("_on_module_thread", &OnModuleThread);
  py::module_::import("atexit").attr("register")(py::cpp_function(&Shutdown));
}
