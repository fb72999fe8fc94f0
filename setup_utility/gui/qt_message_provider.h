// Message boxes of the platform layer shown as Qt message boxes, for the windows.
#pragma once

#include <memory>

#include "platform/ui_provider.h"

namespace confix {

class QtMessageProvider : public platform::ui::Provider {
 public:
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  void RunHealthCheckDialog(const platform::ui::HealthCheckDialog& dialog) override;
  void Beep(unsigned frequency_hz, unsigned duration_ms) override;

 private:
  std::shared_ptr<platform::ui::Provider> headless_ = platform::ui::MakeHeadlessProvider();
};

}  // namespace confix
