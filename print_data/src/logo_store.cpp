#include "print_data/logo_store.h"

namespace print_data {

int32_t LogoStore::SetLogo(int32_t location, std::string_view data, TranslateSettings settings) {
  if (location != kLogoTop && location != kLogoBottom) return kIllegal;
  settings.top_logo = top_;
  settings.bottom_logo = bottom_;
  settings.output_limit = kMaxLogo;
  EscapeTranslator translator;
  Encoded logo = translator.Translate(data, settings);
  if (!logo.ok()) return logo.result;
  (location == kLogoTop ? top_ : bottom_) = std::move(logo.bytes);
  return kSuccess;
}

TranslateSettings LogoStore::WithLogos(TranslateSettings settings) const {
  settings.top_logo = top_;
  settings.bottom_logo = bottom_;
  return settings;
}

}  // namespace print_data
