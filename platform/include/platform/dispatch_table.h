// Declares a class's automation members once, in interface order, and dispatches
// GetIDsOfNames / Invoke calls to them with argument conversion deduced from each
// member's signature.
//
//   const DispatchTable<CThing>& CThing::AutomationTable() {
//     static const DispatchTable<CThing> table = DispatchTable<CThing>()
//         .Method("Open", &CThing::Open)                      // id 1
//         .Property("Count", &CThing::GetCount, &CThing::SetCount)  // id 2
//         .Method(37, "Close", &CThing::Close);                // explicit id
//     return table;
//   }
//
// Parameter types: int32_t (LONG), bool, std::string / const std::string& (BSTR),
// int32_t* (LONG*), std::string* (BSTR*), Dispatch* (IDispatch*, no reference passed),
// Variant / Variant& (raw). Results: void, int32_t, bool, std::string, Variant,
// DispatchPtr. Members may be member functions or callables taking `T&` first.
#pragma once

#include <cstddef>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/dispatch.h"

namespace platform::automation {

namespace dispatch_detail {

std::string LowerName(std::string_view name);

template <class A>
struct ArgSlot {
  static_assert(sizeof(A) == 0,
                "unsupported automation parameter type: use int32_t, bool, std::string, "
                "int32_t*, std::string*, Dispatch* or Variant");
};

template <>
struct ArgSlot<int32_t> {
  int32_t value = 0;
  HResult Load(Variant& v) {
    bool ok = false;
    value = v.ToInt32(&ok);
    return ok ? kOk : kTypeMismatch;
  }
  int32_t Get() { return value; }
};

template <>
struct ArgSlot<bool> {
  bool value = false;
  HResult Load(Variant& v) {
    bool ok = false;
    value = v.ToBool(&ok);
    return ok ? kOk : kTypeMismatch;
  }
  bool Get() { return value; }
};

template <>
struct ArgSlot<std::string> {
  std::string value;
  HResult Load(Variant& v) {
    bool ok = false;
    value = v.ToString(&ok);
    return ok ? kOk : kTypeMismatch;
  }
  std::string&& Get() { return std::move(value); }
};

// By-reference integer: writes go to the caller's storage; a by-value argument gets a
// temporary whose final value is dropped.
template <>
struct ArgSlot<int32_t*> {
  int32_t temporary = 0;
  int32_t* target = nullptr;
  HResult Load(Variant& v) {
    target = v.IntTarget();
    if (target) return kOk;
    bool ok = false;
    temporary = v.ToInt32(&ok);
    target = &temporary;
    return ok ? kOk : kTypeMismatch;
  }
  int32_t* Get() { return target; }
};

template <>
struct ArgSlot<std::string*> {
  std::string temporary;
  std::string* target = nullptr;
  HResult Load(Variant& v) {
    target = v.StringTarget();
    if (target) return kOk;
    bool ok = false;
    temporary = v.ToString(&ok);
    target = &temporary;
    return ok ? kOk : kTypeMismatch;
  }
  std::string* Get() { return target; }
};

template <>
struct ArgSlot<Dispatch*> {
  Dispatch* value = nullptr;
  HResult Load(Variant& v) {
    if (v.IsEmpty()) return kOk;
    if (v.type() != Variant::Type::Dispatch) return kTypeMismatch;
    value = v.ToDispatch();
    return kOk;
  }
  Dispatch* Get() { return value; }
};

template <>
struct ArgSlot<Variant> {
  Variant* value = nullptr;
  HResult Load(Variant& v) {
    value = &v;
    return kOk;
  }
  Variant& Get() { return *value; }
};

template <class R>
Variant ToVariant(R&& value) {
  using D = std::remove_cvref_t<R>;
  if constexpr (std::is_same_v<D, bool>) {
    return Variant::Boolean(value);
  } else if constexpr (std::is_same_v<D, int32_t>) {
    return Variant(value);
  } else if constexpr (std::is_same_v<D, std::string>) {
    return Variant(std::forward<R>(value));
  } else if constexpr (std::is_same_v<D, Variant>) {
    return std::forward<R>(value);
  } else if constexpr (std::is_same_v<D, DispatchPtr>) {
    return Variant(value.get());
  } else {
    static_assert(sizeof(D) == 0,
                  "unsupported automation result type: use void, int32_t, bool, std::string, "
                  "Variant or DispatchPtr");
  }
}

// Signature of a member function pointer, function pointer or callable object. `Args`
// excludes the object the member runs on.
template <class F>
struct Signature : Signature<decltype(&F::operator())> {
  using Args = typename Signature<decltype(&F::operator())>::TailArgs;
};

template <class... A>
struct Tail {
  using Type = std::tuple<>;
};
template <class First, class... Rest>
struct Tail<First, Rest...> {
  using Type = std::tuple<Rest...>;
};

#define OPOS_DISPATCH_SIGNATURE(QUALIFIERS)                             \
  template <class C, class R, class... A>                              \
  struct Signature<R (C::*)(A...) QUALIFIERS> {                        \
    using Return = R;                                                  \
    using Args = std::tuple<A...>;                                     \
    using TailArgs = typename Tail<A...>::Type; /* for callables */    \
  };
OPOS_DISPATCH_SIGNATURE()
OPOS_DISPATCH_SIGNATURE(const)
OPOS_DISPATCH_SIGNATURE(noexcept)
OPOS_DISPATCH_SIGNATURE(const noexcept)
#undef OPOS_DISPATCH_SIGNATURE

template <class R, class Self, class... A>
struct Signature<R (*)(Self, A...)> {
  using Return = R;
  using Args = std::tuple<A...>;
};

template <class A>
using SlotFor = ArgSlot<std::remove_cvref_t<A>>;

template <class T, class F, class... A>
HResult CallWith(const F& fn, T& self, std::span<Variant> args, Variant* result,
                 std::tuple<A...>*) {
  if (args.size() != sizeof...(A)) return kBadParamCount;
  std::tuple<SlotFor<A>...> slots;  // built in place: slots may point into themselves
  HResult hr = kOk;
  [&]<std::size_t... I>(std::index_sequence<I...>) {
    ((hr = (hr == kOk ? std::get<I>(slots).Load(args[I]) : hr)), ...);
  }(std::index_sequence_for<A...>{});
  if (hr != kOk) return hr;
  using R = typename Signature<F>::Return;
  auto call = [&](auto&... slot) -> R { return std::invoke(fn, self, slot.Get()...); };
  if constexpr (std::is_void_v<R>) {
    std::apply(call, slots);
    if (result) *result = Variant();
  } else {
    Variant value = ToVariant(std::apply(call, slots));
    if (result) *result = std::move(value);
  }
  return kOk;
}

template <class T>
using Invoker = std::function<HResult(T&, std::span<Variant>, Variant*)>;

template <class T, class F>
Invoker<T> MakeInvoker(F fn) {
  if constexpr (std::is_null_pointer_v<F>) {
    return nullptr;
  } else {
    using Args = typename Signature<F>::Args;
    return [fn](T& self, std::span<Variant> args, Variant* result) {
      return CallWith(fn, self, args, result, static_cast<Args*>(nullptr));
    };
  }
}

}  // namespace dispatch_detail

template <class T>
class DispatchTable {
 public:
  struct MemberInfo {
    DispId id;
    std::string name;
    bool is_property;
    bool readable;  // method or property with a getter
    bool writable;  // property with a setter
  };

  template <class F>
  DispatchTable& Method(std::string name, F fn) {
    return Method(next_id_, std::move(name), std::move(fn));
  }
  template <class F>
  DispatchTable& Method(DispId id, std::string name, F fn) {
    return Add(id, std::move(name), false, dispatch_detail::MakeInvoker<T>(std::move(fn)),
               nullptr);
  }
  // `set` may be nullptr for a read-only property.
  template <class G, class S>
  DispatchTable& Property(std::string name, G get, S set) {
    return Property(next_id_, std::move(name), std::move(get), std::move(set));
  }
  template <class G, class S>
  DispatchTable& Property(DispId id, std::string name, G get, S set) {
    return Add(id, std::move(name), true, dispatch_detail::MakeInvoker<T>(std::move(get)),
               dispatch_detail::MakeInvoker<T>(std::move(set)));
  }

  HResult GetIDsOfNames(std::string_view name, DispId& id) const {
    auto it = by_name_.find(dispatch_detail::LowerName(name));
    if (it == by_name_.end()) {
      id = kDispIdUnknown;
      return kUnknownName;
    }
    id = members_[it->second].id;
    return kOk;
  }

  // A method call on a property reads it (the caller may not know which it is). No
  // exception leaves this function.
  HResult Invoke(T& self, DispId id, InvokeKind kind, std::span<Variant> args,
                 Variant* result) const noexcept {
    try {
      auto it = by_id_.find(id);
      if (it == by_id_.end()) return kMemberNotFound;
      const Member& member = members_[it->second];
      const dispatch_detail::Invoker<T>* target = nullptr;
      switch (kind) {
        case InvokeKind::Method:
          target = &member.call_or_get;
          break;
        case InvokeKind::PropertyGet:
          if (member.is_property) target = &member.call_or_get;
          break;
        case InvokeKind::PropertyPut:
          if (member.is_property) target = &member.set;
          break;
      }
      if (!target || !*target) return kMemberNotFound;
      return (*target)(self, args, result);
    } catch (...) {
      return kFail;
    }
  }

  std::vector<MemberInfo> Members() const {
    std::vector<MemberInfo> out;
    for (const Member& m : members_) {
      out.push_back({m.id, m.name, m.is_property, static_cast<bool>(m.call_or_get),
                     static_cast<bool>(m.set)});
    }
    return out;
  }

 private:
  struct Member {
    DispId id;
    std::string name;
    bool is_property;
    dispatch_detail::Invoker<T> call_or_get;
    dispatch_detail::Invoker<T> set;
  };

  // Duplicate names or ids are programming errors in the table itself.
  DispatchTable& Add(DispId id, std::string name, bool is_property,
                     dispatch_detail::Invoker<T> call_or_get, dispatch_detail::Invoker<T> set) {
    std::string key = dispatch_detail::LowerName(name);
    if (by_name_.count(key)) throw std::logic_error("duplicate automation member " + name);
    if (by_id_.count(id)) throw std::logic_error("duplicate dispatch id for " + name);
    by_name_.emplace(std::move(key), members_.size());
    by_id_.emplace(id, members_.size());
    members_.push_back({id, std::move(name), is_property, std::move(call_or_get), std::move(set)});
    next_id_ = id + 1;
    return *this;
  }

  std::vector<Member> members_;
  std::unordered_map<std::string, std::size_t> by_name_;
  std::unordered_map<DispId, std::size_t> by_id_;
  DispId next_id_ = 1;
};

// Implements Dispatch from the class's table. T declares
//   static const DispatchTable<T>& AutomationTable();
// Define it in a source file (not inline in the header) so that a server library that
// holds the class keeps no process-unique symbols and can be unloaded.
template <class T>
class AutomationObject : public RefCounted {
 public:
  HResult GetIDsOfNames(std::string_view name, DispId& id) override {
    return T::AutomationTable().GetIDsOfNames(name, id);
  }
  HResult Invoke(DispId id, InvokeKind kind, std::span<Variant> args, Variant* result) override {
    return T::AutomationTable().Invoke(static_cast<T&>(*this), id, kind, args, result);
  }
};

}  // namespace platform::automation
