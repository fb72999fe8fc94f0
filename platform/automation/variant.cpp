#include "platform/variant.h"

#include <cctype>
#include <charconv>
#include <strings.h>

#include "platform/dispatch.h"

namespace platform::automation {
namespace {

constexpr int32_t kTrueNumber = -1;  // VARIANT_TRUE

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
    text.remove_prefix(1);
  }
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
    text.remove_suffix(1);
  }
  return text;
}

bool EqualsIgnoreCase(std::string_view a, const char* b) {
  return a.size() == std::char_traits<char>::length(b) && strncasecmp(a.data(), b, a.size()) == 0;
}

// A decimal number in the 32-bit range, optionally signed and surrounded by blanks.
bool ParseInt32(std::string_view text, int32_t& out) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  int32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return false;
  out = value;
  return true;
}

bool ParseBool(std::string_view text, bool& out) {
  std::string_view trimmed = Trim(text);
  if (EqualsIgnoreCase(trimmed, "true")) {
    out = true;
    return true;
  }
  if (EqualsIgnoreCase(trimmed, "false")) {
    out = false;
    return true;
  }
  int32_t number = 0;
  if (!ParseInt32(trimmed, number)) return false;
  out = number != 0;
  return true;
}

void SetOk(bool* ok, bool value) {
  if (ok) *ok = value;
}

}  // namespace

Variant::Variant(int32_t number) : type_(Type::Int32), number_(number) {}
Variant::Variant(std::string text) : type_(Type::String), text_(std::move(text)) {}
Variant::Variant(const char* text) : type_(Type::String), text_(text ? text : "") {}
Variant::Variant(Dispatch* object) : type_(Type::Dispatch), object_(object) {
  if (object_) object_->AddRef();
}

Variant Variant::Boolean(bool value) {
  Variant v;
  v.type_ = Type::Bool;
  v.number_ = value ? kTrueNumber : 0;
  return v;
}

Variant Variant::IntRef(int32_t* target) {
  Variant v;
  v.type_ = Type::Int32Ref;
  v.int_target_ = target;
  return v;
}

Variant Variant::StringRef(std::string* target) {
  Variant v;
  v.type_ = Type::StringRef;
  v.string_target_ = target;
  return v;
}

Variant::Variant(const Variant& other) { CopyFrom(other); }

Variant::Variant(Variant&& other) noexcept
    : type_(other.type_),
      number_(other.number_),
      text_(std::move(other.text_)),
      object_(other.object_),
      int_target_(other.int_target_),
      string_target_(other.string_target_) {
  other.object_ = nullptr;
  other.type_ = Type::Empty;
  other.Clear();
}

Variant& Variant::operator=(const Variant& other) {
  if (this != &other) {
    Variant copy(other);
    *this = std::move(copy);
  }
  return *this;
}

Variant& Variant::operator=(Variant&& other) noexcept {
  if (this != &other) {
    Clear();
    type_ = other.type_;
    number_ = other.number_;
    text_ = std::move(other.text_);
    object_ = std::exchange(other.object_, nullptr);
    int_target_ = other.int_target_;
    string_target_ = other.string_target_;
    other.Clear();
  }
  return *this;
}

Variant::~Variant() { Clear(); }

void Variant::Clear() {
  // Detach first: Release() may destroy an object whose destructor touches this variant.
  Dispatch* object = std::exchange(object_, nullptr);
  type_ = Type::Empty;
  number_ = 0;
  text_.clear();
  int_target_ = nullptr;
  string_target_ = nullptr;
  if (object) object->Release();
}

void Variant::CopyFrom(const Variant& other) {
  type_ = other.type_;
  number_ = other.number_;
  text_ = other.text_;
  object_ = other.object_;
  int_target_ = other.int_target_;
  string_target_ = other.string_target_;
  if (object_) object_->AddRef();
}

int32_t Variant::ToInt32(bool* ok) const {
  SetOk(ok, true);
  switch (type_) {
    case Type::Empty:
      return 0;
    case Type::Int32:
    case Type::Bool:
      return number_;
    case Type::Int32Ref:
      if (int_target_) return *int_target_;
      break;
    case Type::String:
    case Type::StringRef: {
      const std::string* text = type_ == Type::String ? &text_ : string_target_;
      int32_t value = 0;
      if (text && ParseInt32(*text, value)) return value;
      break;
    }
    case Type::Dispatch:
      break;
  }
  SetOk(ok, false);
  return 0;
}

bool Variant::ToBool(bool* ok) const {
  SetOk(ok, true);
  switch (type_) {
    case Type::String:
    case Type::StringRef: {
      const std::string* text = type_ == Type::String ? &text_ : string_target_;
      bool value = false;
      if (text && ParseBool(*text, value)) return value;
      SetOk(ok, false);
      return false;
    }
    default: {
      bool numeric = false;
      int32_t number = ToInt32(&numeric);
      SetOk(ok, numeric);
      return numeric && number != 0;
    }
  }
}

std::string Variant::ToString(bool* ok) const {
  SetOk(ok, true);
  switch (type_) {
    case Type::Empty:
      return {};
    case Type::Int32:
      return std::to_string(number_);
    case Type::Bool:
      return number_ ? "True" : "False";
    case Type::String:
      return text_;
    case Type::Int32Ref:
      if (int_target_) return std::to_string(*int_target_);
      break;
    case Type::StringRef:
      if (string_target_) return *string_target_;
      break;
    case Type::Dispatch:
      break;
  }
  SetOk(ok, false);
  return {};
}

Dispatch* Variant::ToDispatch() const { return type_ == Type::Dispatch ? object_ : nullptr; }

int32_t* Variant::IntTarget() const { return type_ == Type::Int32Ref ? int_target_ : nullptr; }

std::string* Variant::StringTarget() const {
  return type_ == Type::StringRef ? string_target_ : nullptr;
}

bool Variant::AssignRef(int32_t number) const {
  if (type_ != Type::Int32Ref || !int_target_) return false;
  *int_target_ = number;
  return true;
}

bool Variant::AssignRef(const std::string& text) const {
  if (type_ != Type::StringRef || !string_target_) return false;
  *string_target_ = text;
  return true;
}

}  // namespace platform::automation
