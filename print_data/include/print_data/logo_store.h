// SetLogo: the top and bottom logos, stored translated, that ESC|tL and ESC|bL insert.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "print_data/escape_translator.h"

namespace print_data {

inline constexpr int32_t kLogoTop = 1;     // PTR_L_TOP
inline constexpr int32_t kLogoBottom = 2;  // PTR_L_BOTTOM

class LogoStore {
 public:
  // SetLogo after its claimed and enabled checks: translates `data` (no BinaryConversion)
  // and stores it. kIllegal for another location or a translation over kMaxLogo bytes,
  // which keeps the stored logo. The translation has its own column count: storing a logo
  // prints nothing, so it leaves the receipt's columns alone.
  int32_t SetLogo(int32_t location, std::string_view data, TranslateSettings settings);

  const std::string& top() const { return top_; }
  const std::string& bottom() const { return bottom_; }
  // Settings for print data: `settings` with these logos filled in.
  TranslateSettings WithLogos(TranslateSettings settings) const;

 private:
  std::string top_;
  std::string bottom_;
};

}  // namespace print_data
