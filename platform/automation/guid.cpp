#include <cctype>

#include "platform/class_factory.h"

namespace platform::automation {

bool IsGuidString(std::string_view text) {
  static constexpr std::string_view kPattern = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  if (text.size() != kPattern.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    bool ok = kPattern[i] == 'X' ? std::isxdigit(static_cast<unsigned char>(text[i])) != 0
                                 : text[i] == kPattern[i];
    if (!ok) return false;
  }
  return true;
}

bool SameGuid(std::string_view a, std::string_view b) {
  if (!IsGuidString(a) || !IsGuidString(b)) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace platform::automation
