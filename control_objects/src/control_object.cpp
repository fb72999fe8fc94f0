#include "control_objects/control_object.h"

#include <cctype>
#include <vector>

#include "callback_sink.h"
#include "control_objects/device_lookup.h"
#include "control_objects/opos_codes.h"
#include "deferred_release.h"
#include "platform/object_factory.h"

namespace opos::control {

namespace automation = platform::automation;
using automation::kBadParamCount;
using automation::kMemberNotFound;
using automation::kOk;
using automation::kTypeMismatch;
using automation::kUnknownName;

namespace {

constexpr int32_t kControlObjectVersion = 1008000;  // 1.8.0
constexpr int32_t kIndexResultCode = 6, kIndexResultCodeExtended = 7, kIndexState = 9;

std::string Lower(std::string_view name) {
  std::string out(name);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

// Keeps the control object alive while a callback runs. Its last reference may go at the
// end of the callback; the close that follows is then deferred like any other.
class ControlObject::CallbackScope {
 public:
  explicit CallbackScope(ControlObject& owner) : owner_(owner) { owner_.AddRef(); }
  ~CallbackScope() { owner_.Release(); }

 private:
  CallbackDepth depth_;
  ControlObject& owner_;
};

ControlObject::ControlObject(const DeviceTable& table)
    : table_(table), sink_(ObjectRef<CallbackSink>::Adopt(new CallbackSink(this))) {}

ControlObject::~ControlObject() {
  if (service_) Close();
  sink_->Detach();
}

int32_t ControlObject::Open(const std::string& device_name) {
  if (service_) return kIllegal;  // ResultCode stays the service object's
  auto finish = [this](int32_t result) {
    closed_result_ = result;
    open_result_ = result;
    return result;
  };

  DeviceEntry entry;
  if (FindDeviceEntry(table_.class_name, device_name, entry) != kSuccess) return finish(kNoExist);
  if (entry.prog_id.empty()) return finish(kNoService);

  DispatchPtr service;
  if (!automation::Succeeded(automation::CreateObject(entry.prog_id, service)) || !service)
    return finish(kNoService);

  std::vector<Variant> args{Variant(std::string(table_.class_name)), Variant(device_name),
                            Variant(static_cast<Dispatch*>(sink_.get()))};
  Variant result;
  automation::HResult hr =
      automation::InvokeByName(service.get(), "OpenService", InvokeKind::Method, args, &result);
  args.clear();  // drops the argument's reference to the sink
  bool ok = false;
  int32_t open_result = result.ToInt32(&ok);
  if (!automation::Succeeded(hr) || !ok) open_result = kNoService;
  if (open_result != kSuccess) {
    service.Reset();
    automation::FreeUnusedLibraries();
    return finish(open_result);
  }
  service_ = std::move(service);
  if (container_freezes_ > 0) ForwardContainerFreeze(true);
  return finish(kSuccess);
}

void ControlObject::FreezeContainerEvents(bool freeze) {
  if (freeze) {
    if (++container_freezes_ == 1 && service_) ForwardContainerFreeze(true);
  } else if (container_freezes_ > 0) {
    if (--container_freezes_ == 0 && service_) ForwardContainerFreeze(false);
  }
}

void ControlObject::ForwardContainerFreeze(bool freeze) {
  Variant args[] = {Variant(freeze ? 1 : 0)};
  InvokeService("COFreezeEvents", args, nullptr);  // its result carries nothing
}

int32_t ControlObject::Close() {
  if (!service_) return closed_result_ = kClosed;
  Variant result;
  int32_t close_result = kSuccess;
  if (automation::Succeeded(InvokeService("CloseService", {}, &result))) {
    bool ok = false;
    close_result = result.ToInt32(&ok);
    if (!ok) close_result = kSuccess;
  }
  closed_result_ = close_result;
  ReleaseService();
  return close_result;
}

void ControlObject::ReleaseService() {
  service_ids_.clear();
  if (InsideCallback()) {
    // The service object is still running the callback that asked for the close, and may
    // still call the sink before it returns.
    ReleaseAfterCallback({std::move(service_), DispatchPtr(sink_.get())});
    service_.Reset();
    return;
  }
  service_.Reset();
  automation::FreeUnusedLibraries();
}

HResult ControlObject::InvokeService(std::string_view so_name, std::span<Variant> args,
                                     Variant* result) {
  std::string key = Lower(so_name);
  auto it = service_ids_.find(key);
  if (it == service_ids_.end()) {
    DispId id = automation::kDispIdUnknown;
    HResult hr = service_->GetIDsOfNames(so_name, id);
    if (!automation::Succeeded(hr)) return hr;
    it = service_ids_.emplace(std::move(key), id).first;
  }
  // Keeps the service object alive if the application closes it from an event the call
  // delivers.
  DispatchPtr keep = service_;
  return keep->Invoke(it->second, InvokeKind::Method, args, result);
}

HResult ControlObject::CallMethod(std::string_view name, std::span<Variant> args, int32_t& result) {
  const MethodInfo* method = table_.FindMethod(name);
  if (!method) return kUnknownName;
  return ForwardMethod(*method, args, result);
}

HResult ControlObject::ForwardMethod(const MethodInfo& method, std::span<Variant> args,
                                     int32_t& result) {
  if (args.size() != method.params.size()) return kBadParamCount;
  if (method.dispid == kDispIdOpen) {
    bool ok = false;
    std::string name = args[0].ToString(&ok);
    if (!ok) return kTypeMismatch;
    result = Open(name);
    return kOk;
  }
  if (method.dispid == kDispIdClose) {
    result = Close();
    return kOk;
  }

  // Arguments the service object receives: values converted to the parameter's type,
  // references passed through so that its writes reach the caller.
  std::vector<Variant> forwarded;
  std::vector<int32_t> int_temps(args.size());
  std::vector<std::string> string_temps(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    bool ok = true;
    switch (method.params[i].type) {
      case ParamType::Long:
        forwarded.emplace_back(args[i].ToInt32(&ok));
        break;
      case ParamType::String:
        forwarded.emplace_back(args[i].ToString(&ok));
        break;
      case ParamType::LongRef:
        if (args[i].IntTarget()) {
          forwarded.push_back(args[i]);
        } else {
          int_temps[i] = args[i].ToInt32(&ok);
          forwarded.push_back(Variant::IntRef(&int_temps[i]));
        }
        break;
      case ParamType::StringRef:
        if (args[i].StringTarget()) {
          forwarded.push_back(args[i]);
        } else {
          string_temps[i] = args[i].ToString(&ok);
          forwarded.push_back(Variant::StringRef(&string_temps[i]));
        }
        break;
    }
    if (!ok) return kTypeMismatch;
  }

  if (!service_) {
    result = closed_result_ = kClosed;
    return kOk;
  }
  Variant value;
  HResult hr = InvokeService(method.so_name, forwarded, &value);
  bool ok = false;
  result = value.ToInt32(&ok);
  // A service object without this member (or one that fails the call) offers no service.
  if (!automation::Succeeded(hr) || !ok) result = kNoService;
  return kOk;
}

int32_t ControlObject::CallLong(std::string_view name, std::span<Variant> args) {
  int32_t result = kIllegal;
  CallMethod(name, args, result);
  return result;
}

int32_t ControlObject::ClaimDevice(int32_t timeout_ms) {
  Variant args[] = {Variant(timeout_ms)};
  return CallLong("ClaimDevice", args);
}

int32_t ControlObject::ReleaseDevice() { return CallLong("ReleaseDevice", {}); }

int32_t ControlObject::CheckHealth(int32_t level) {
  Variant args[] = {Variant(level)};
  return CallLong("CheckHealth", args);
}

int32_t ControlObject::DirectIO(int32_t command, int32_t& data, std::string& text) {
  Variant args[] = {Variant(command), Variant::IntRef(&data), Variant::StringRef(&text)};
  return CallLong("DirectIO", args);
}

int32_t ControlObject::GetPropertyNumber(int32_t index) {
  if (!service_) {
    if (index == kIndexResultCode) return closed_result_;
    if (index == kIndexState) return kStateClosed;
    return 0;
  }
  Variant args[] = {Variant(index)};
  Variant value;
  if (!automation::Succeeded(InvokeService("GetPropertyNumber", args, &value))) return 0;
  return value.ToInt32();
}

std::string ControlObject::GetPropertyString(int32_t index) {
  if (!service_) return {};
  Variant args[] = {Variant(index)};
  Variant value;
  if (!automation::Succeeded(InvokeService("GetPropertyString", args, &value))) return {};
  return value.ToString();
}

void ControlObject::SetPropertyNumber(int32_t index, int32_t value) {
  if (!service_) {
    closed_result_ = kClosed;
    return;
  }
  Variant args[] = {Variant(index), Variant(value)};
  InvokeService("SetPropertyNumber", args, nullptr);
}

void ControlObject::SetPropertyString(int32_t index, const std::string& value) {
  if (!service_) {
    closed_result_ = kClosed;
    return;
  }
  Variant args[] = {Variant(index), Variant(value)};
  InvokeService("SetPropertyString", args, nullptr);
}

Variant ControlObject::ReadProperty(const PropertyInfo& property) {
  if (property.index == 0) {
    if (EqualsIgnoreCase(property.name, "ControlObjectDescription"))
      return Variant("OPOS " + std::string(table_.class_name) + " Control Object");
    if (EqualsIgnoreCase(property.name, "ControlObjectVersion"))
      return Variant(kControlObjectVersion);
    return Variant(open_result_);
  }
  switch (property.kind) {
    case PropertyKind::String:
      return Variant(GetPropertyString(property.index));
    case PropertyKind::Bool:
      return Variant(GetPropertyNumber(property.index) != 0 ? 1 : 0);
    case PropertyKind::Number:
      break;
  }
  return Variant(GetPropertyNumber(property.index));
}

HResult ControlObject::WriteProperty(const PropertyInfo& property, const Variant& value) {
  if (!property.writable || property.index == 0) return kMemberNotFound;
  bool ok = false;
  if (property.kind == PropertyKind::String) {
    std::string text = value.ToString(&ok);
    if (!ok) return kTypeMismatch;
    SetPropertyString(property.index, text);
    return kOk;
  }
  int32_t number = value.ToInt32(&ok);
  if (!ok) return kTypeMismatch;
  if (property.kind == PropertyKind::Bool) number = number != 0 ? 1 : 0;
  SetPropertyNumber(property.index, number);
  return kOk;
}

HResult ControlObject::GetProperty(std::string_view name, Variant& value) {
  const PropertyInfo* property = table_.FindProperty(name);
  if (!property) return kUnknownName;
  value = ReadProperty(*property);
  return kOk;
}

HResult ControlObject::SetProperty(std::string_view name, const Variant& value) {
  const PropertyInfo* property = table_.FindProperty(name);
  if (!property) return kUnknownName;
  return WriteProperty(*property, value);
}

HResult ControlObject::GetIDsOfNames(std::string_view name, DispId& id) {
  if (const MethodInfo* method = table_.FindMethod(name)) {
    id = method->dispid;
    return kOk;
  }
  if (const PropertyInfo* property = table_.FindProperty(name)) {
    id = property->dispid;
    return kOk;
  }
  id = automation::kDispIdUnknown;
  return kUnknownName;
}

HResult ControlObject::Invoke(DispId id, InvokeKind kind, std::span<Variant> args,
                              Variant* result) {
  if (const MethodInfo* method = table_.FindMethodByDispId(id)) {
    if (kind != InvokeKind::Method) return kMemberNotFound;
    int32_t value = 0;
    HResult hr = ForwardMethod(*method, args, value);
    if (automation::Succeeded(hr) && result) *result = Variant(value);
    return hr;
  }
  const PropertyInfo* property = table_.FindPropertyByDispId(id);
  if (!property) return kMemberNotFound;
  if (kind == InvokeKind::PropertyPut) {
    if (args.size() != 1) return kBadParamCount;
    return WriteProperty(*property, args[0]);
  }
  if (!args.empty()) return kBadParamCount;
  Variant value = ReadProperty(*property);
  if (property->kind == PropertyKind::Bool) value = Variant::Boolean(value.ToInt32() != 0);
  if (result) *result = std::move(value);
  return kOk;
}

void ControlObject::RaiseStatusUpdate(int32_t data) {
  CallbackScope scope(*this);
  if (on_status_update) on_status_update(data);
}

void ControlObject::RaiseOutputComplete(int32_t output_id) {
  CallbackScope scope(*this);
  if (on_output_complete) on_output_complete(output_id);
}

void ControlObject::RaiseError(int32_t result, int32_t extended, int32_t locus, int32_t& response) {
  CallbackScope scope(*this);
  if (on_error) on_error(result, extended, locus, response);
}

void ControlObject::RaiseDirectIO(int32_t number, int32_t& data, std::string& text) {
  CallbackScope scope(*this);
  if (on_direct_io) on_direct_io(number, data, text);
}

}  // namespace opos::control
