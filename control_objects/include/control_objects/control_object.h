// The OPOS control object: what an application talks to. Open() finds the device entry,
// creates the service object by ProgID and opens it; every method and property then
// forwards to the service object by OPOS name and property index. The service object's
// callbacks come back as the event handlers below.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "control_objects/member_table.h"
#include "platform/dispatch.h"
#include "platform/variant.h"

namespace opos::control {

using platform::automation::Dispatch;
using platform::automation::DispatchPtr;
using platform::automation::DispId;
using platform::automation::HResult;
using platform::automation::InvokeKind;
using platform::automation::Variant;

class CallbackSink;

// Owning pointer to a reference-counted object of a known class.
template <class T>
class ObjectRef {
 public:
  ObjectRef() = default;
  static ObjectRef Adopt(T* p) {
    ObjectRef r;
    r.p_ = p;
    return r;
  }
  ObjectRef(const ObjectRef& o) : p_(o.p_) {
    if (p_) p_->AddRef();
  }
  ObjectRef(ObjectRef&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <class U, class = std::enable_if_t<std::is_base_of_v<T, U>>>
  ObjectRef(const ObjectRef<U>& o) : p_(o.get()) {  // NOLINT: upcast like a raw pointer
    if (p_) p_->AddRef();
  }
  ObjectRef& operator=(ObjectRef o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~ObjectRef() {
    if (p_) p_->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

class ControlObject : public platform::automation::RefCounted {
 public:
  // The service object raises its events on the thread that called Open, while that thread
  // pumps its messages; the handlers run there. An error handler answers through
  // `response` (OPOS_ER_RETRY 11 or OPOS_ER_CLEAR 12; it starts at the service object's
  // proposal).
  std::function<void(int32_t data)> on_status_update;
  std::function<void(int32_t output_id)> on_output_complete;
  std::function<void(int32_t result, int32_t extended, int32_t locus, int32_t& response)> on_error;
  std::function<void(int32_t number, int32_t& data, std::string& text)> on_direct_io;

  const DeviceTable& Table() const { return table_; }
  std::string_view DeviceClass() const { return table_.class_name; }

  // OPOS_E_ILLEGAL when already open, OPOS_E_NOEXIST without a device entry,
  // OPOS_E_NOSERVICE when the service object cannot be created or opened, otherwise what
  // OpenService returned (a failing OpenService leaves the object closed).
  int32_t Open(const std::string& device_name);
  // CloseService, then the service object is released and unused libraries are unloaded.
  int32_t Close();
  bool IsOpen() const { return static_cast<bool>(service_); }

  // Any method of the table by name; `args` in declaration order, by-reference parameters
  // as Variant::IntRef / Variant::StringRef. kUnknownName, kBadParamCount and
  // kTypeMismatch describe calls that could not be made; `result` gets the OPOS result.
  HResult CallMethod(std::string_view name, std::span<Variant> args, int32_t& result);

  // Properties by OPOS name. Numbers and booleans read as Int32 (booleans 0 or 1),
  // strings as String. Setting a read-only one gives kMemberNotFound.
  HResult GetProperty(std::string_view name, Variant& value);
  HResult SetProperty(std::string_view name, const Variant& value);

  // Raw access by property index, forwarded as it is.
  int32_t GetPropertyNumber(int32_t index);
  std::string GetPropertyString(int32_t index);
  void SetPropertyNumber(int32_t index, int32_t value);
  void SetPropertyString(int32_t index, const std::string& value);

  // Common members.
  int32_t ClaimDevice(int32_t timeout_ms);
  int32_t ReleaseDevice();
  int32_t CheckHealth(int32_t level);
  int32_t DirectIO(int32_t command, int32_t& data, std::string& text);
  bool DeviceEnabled() { return GetPropertyNumber(3) != 0; }
  void SetDeviceEnabled(bool enabled) { SetPropertyNumber(3, enabled ? 1 : 0); }
  bool FreezeEvents() { return GetPropertyNumber(4) != 0; }
  void SetFreezeEvents(bool freeze) { SetPropertyNumber(4, freeze ? 1 : 0); }
  int32_t ResultCode() { return GetPropertyNumber(6); }
  int32_t ResultCodeExtended() { return GetPropertyNumber(7); }
  int32_t State() { return GetPropertyNumber(9); }
  bool Claimed() { return GetPropertyNumber(1) != 0; }

  // The container holds this control's events back (the OLE control's FreezeEvents):
  // forwarded to the service object's COFreezeEvents. Calls nest; the service object is
  // told on the first freeze and the last thaw, and a service object opened while frozen
  // is told at once.
  void FreezeContainerEvents(bool freeze);
  int ContainerFreezeCount() const { return container_freezes_; }
  int32_t OpenResult() const { return open_result_; }

  // The control object's own automation interface, with the standard dispatch identifiers.
  HResult GetIDsOfNames(std::string_view name, DispId& id) override;
  HResult Invoke(DispId id, InvokeKind kind, std::span<Variant> args, Variant* result) override;

  // Called by the callback sink.
  void RaiseStatusUpdate(int32_t data);
  void RaiseOutputComplete(int32_t output_id);
  void RaiseError(int32_t result, int32_t extended, int32_t locus, int32_t& response);
  void RaiseDirectIO(int32_t number, int32_t& data, std::string& text);

 protected:
  explicit ControlObject(const DeviceTable& table);
  ~ControlObject() override;

  int32_t CallLong(std::string_view name, std::span<Variant> args);

 private:
  HResult ForwardMethod(const MethodInfo& method, std::span<Variant> args, int32_t& result);
  HResult InvokeService(std::string_view so_name, std::span<Variant> args, Variant* result);
  Variant ReadProperty(const PropertyInfo& property);
  HResult WriteProperty(const PropertyInfo& property, const Variant& value);
  void ReleaseService();
  void ForwardContainerFreeze(bool freeze);

  class CallbackScope;

  const DeviceTable& table_;
  DispatchPtr service_;
  ObjectRef<CallbackSink> sink_;
  std::unordered_map<std::string, DispId> service_ids_;  // lower-case name -> id
  int32_t closed_result_ = 0;  // ResultCode while no service object is open
  int32_t open_result_ = 0;
  int container_freezes_ = 0;
};

// A control object for "POSPrinter", "CashDrawer" or "LineDisplay" (any letter case); empty
// for another class.
ObjectRef<ControlObject> CreateControlObject(std::string_view class_name);

}  // namespace opos::control
