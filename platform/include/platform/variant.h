// Automation value: the argument and result type of every Dispatch call.
#pragma once

#include <cstdint>
#include <string>
#include <variant>

namespace platform::automation {

class Dispatch;

class Variant {
 public:
  enum class Type { Empty, Int32, Bool, String, Dispatch, Int32Ref, StringRef };

  Variant() = default;
  Variant(int32_t number);             // NOLINT(google-explicit-constructor)
  Variant(std::string text);           // NOLINT: automation strings are byte strings
  Variant(const char* text);           // NOLINT
  Variant(Dispatch* object);           // NOLINT: takes its own reference (AddRef)
  static Variant Boolean(bool value);
  // By-reference arguments point at the caller's storage, which must outlive the call.
  static Variant IntRef(int32_t* target);
  static Variant StringRef(std::string* target);

  Variant(const Variant& other);
  Variant(Variant&& other) noexcept;
  Variant& operator=(const Variant& other);
  Variant& operator=(Variant&& other) noexcept;
  ~Variant();

  Type type() const { return type_; }
  bool IsEmpty() const { return type_ == Type::Empty; }

  // Coercing reads. Int32/Bool/Int32Ref read as numbers (true is -1); a String that holds
  // a decimal number reads as that number. `ok` is false when no coercion applies.
  int32_t ToInt32(bool* ok = nullptr) const;
  bool ToBool(bool* ok = nullptr) const;
  std::string ToString(bool* ok = nullptr) const;  // numbers print in decimal
  Dispatch* ToDispatch() const;                     // no new reference; nullptr if not a dispatch
  int32_t* IntTarget() const;                       // nullptr unless Int32Ref
  std::string* StringTarget() const;                // nullptr unless StringRef

  // Writes through a by-reference variant; false if this is not such a reference.
  bool AssignRef(int32_t number) const;
  bool AssignRef(const std::string& text) const;

 private:
  void Clear();
  void CopyFrom(const Variant& other);

  Type type_ = Type::Empty;
  int32_t number_ = 0;
  std::string text_;
  Dispatch* object_ = nullptr;
  int32_t* int_target_ = nullptr;
  std::string* string_target_ = nullptr;
};

}  // namespace platform::automation
