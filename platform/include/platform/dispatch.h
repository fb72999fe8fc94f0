// Reference-counted automation interface: name lookup and invocation by dispatch identifier.
#pragma once

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "platform/variant.h"

namespace platform::automation {

using HResult = int32_t;
inline constexpr HResult kOk = 0;
inline constexpr HResult kFalse = 1;
inline constexpr HResult kNotImplemented = static_cast<HResult>(0x80004001);    // E_NOTIMPL
inline constexpr HResult kNoInterface = static_cast<HResult>(0x80004002);       // E_NOINTERFACE
inline constexpr HResult kPointer = static_cast<HResult>(0x80004003);           // E_POINTER
inline constexpr HResult kFail = static_cast<HResult>(0x80004005);              // E_FAIL
inline constexpr HResult kMemberNotFound = static_cast<HResult>(0x80020003);    // DISP_E_MEMBERNOTFOUND
inline constexpr HResult kTypeMismatch = static_cast<HResult>(0x80020005);      // DISP_E_TYPEMISMATCH
inline constexpr HResult kUnknownName = static_cast<HResult>(0x80020006);       // DISP_E_UNKNOWNNAME
inline constexpr HResult kBadParamCount = static_cast<HResult>(0x8002000E);     // DISP_E_BADPARAMCOUNT
inline constexpr HResult kClassNotAvailable = static_cast<HResult>(0x80040111); // CLASS_E_CLASSNOTAVAILABLE
inline constexpr HResult kClassNotRegistered = static_cast<HResult>(0x80040154); // REGDB_E_CLASSNOTREG
inline constexpr HResult kModuleNotFound = static_cast<HResult>(0x8007007E);    // library could not be loaded
inline constexpr HResult kProcNotFound = static_cast<HResult>(0x8007007F);      // library lacks an export
inline constexpr HResult kInvalidArg = static_cast<HResult>(0x80070057);        // E_INVALIDARG
inline constexpr HResult kOutOfMemory = static_cast<HResult>(0x8007000E);      // E_OUTOFMEMORY
inline constexpr HResult kSelfRegClass = static_cast<HResult>(0x80040201);      // SELFREG_E_CLASS

inline bool Succeeded(HResult hr) { return hr >= 0; }

using DispId = int32_t;
inline constexpr DispId kDispIdUnknown = -1;

enum class InvokeKind { Method = 1, PropertyGet = 2, PropertyPut = 4 };

class Dispatch {
 public:
  virtual uint32_t AddRef() = 0;
  virtual uint32_t Release() = 0;
  // Case-insensitive; kUnknownName when the member does not exist.
  virtual HResult GetIDsOfNames(std::string_view name, DispId& id) = 0;
  // Arguments in declaration order (first argument first). `result` may be null.
  // A property put takes its new value as the last argument.
  virtual HResult Invoke(DispId id, InvokeKind kind, std::span<Variant> args, Variant* result) = 0;

 protected:
  virtual ~Dispatch() = default;
};

// Base that implements the reference count; the object deletes itself at zero.
class RefCounted : public Dispatch {
 public:
  uint32_t AddRef() override { return ++refs_; }
  uint32_t Release() override {
    uint32_t left = --refs_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  RefCounted() = default;

 private:
  std::atomic<uint32_t> refs_{1};  // the creator holds the first reference
};

// Owning smart pointer. Adopt() takes over an existing reference; the constructor from a
// raw pointer takes a new one.
class DispatchPtr {
 public:
  DispatchPtr() = default;
  explicit DispatchPtr(Dispatch* p) : p_(p) { if (p_) p_->AddRef(); }
  static DispatchPtr Adopt(Dispatch* p) { DispatchPtr d; d.p_ = p; return d; }
  DispatchPtr(const DispatchPtr& o) : DispatchPtr(o.p_) {}
  DispatchPtr(DispatchPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  DispatchPtr& operator=(DispatchPtr o) noexcept { std::swap(p_, o.p_); return *this; }
  ~DispatchPtr() { if (p_) p_->Release(); }

  Dispatch* get() const { return p_; }
  Dispatch* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  Dispatch* Detach() { return std::exchange(p_, nullptr); }
  void Reset() { DispatchPtr().swap(*this); }
  void swap(DispatchPtr& o) noexcept { std::swap(p_, o.p_); }

 private:
  Dispatch* p_ = nullptr;
};

// Calls a member by name: GetIDsOfNames, then Invoke. Arguments first to last; by-reference
// arguments (Variant::IntRef / StringRef) are written back through their targets.
// kPointer when `object` is null.
HResult InvokeByName(Dispatch* object, std::string_view name, InvokeKind kind,
                     std::span<Variant> args, Variant* result = nullptr);
HResult CallMethod(Dispatch* object, std::string_view name, std::initializer_list<Variant> args,
                   Variant* result = nullptr);
HResult GetProperty(Dispatch* object, std::string_view name, Variant& value);
HResult SetProperty(Dispatch* object, std::string_view name, Variant value);

// Readable name of an HRESULT this layer produces ("DISP_E_UNKNOWNNAME"), or its hex value.
std::string HResultName(HResult hr);

}  // namespace platform::automation
