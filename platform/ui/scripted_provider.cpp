#include "platform/event.h"
#include "platform/ui_scripted.h"

namespace platform::ui {

void ScriptedProvider::Press(int button) {
  std::lock_guard lock(mutex_);
  answers_.push_back(button);
}

int ScriptedProvider::NextAnswer(int fallback) {
  std::lock_guard lock(mutex_);
  if (answers_.empty()) return fallback;
  const int answer = answers_.front();
  answers_.pop_front();
  return answer;
}

int ScriptedProvider::MessageBox(const std::string& text, const std::string& caption,
                                 unsigned flags) {
  Call call{Call::kMessageBox, caption, text, flags, 0, NextAnswer(DefaultButton(flags))};
  {
    std::lock_guard lock(mutex_);
    calls_.push_back(call);
  }
  if (on_call) on_call(call);
  return call.answer;
}

void ScriptedProvider::RunHealthCheckDialog(const HealthCheckDialog& dialog) {
  const bool start = NextAnswer(kDialogClose) == kDialogStart;
  Call call{Call::kDialog, dialog.caption, dialog.text, 0, 0, start ? kDialogStart : kDialogClose};
  {
    std::lock_guard lock(mutex_);
    calls_.push_back(call);
  }
  if (on_call) on_call(call);
  if (start && dialog.on_start) dialog.on_start();
}

void ScriptedProvider::Beep(unsigned frequency_hz, unsigned duration_ms) {
  Call call{Call::kBeep, "", "", frequency_hz, duration_ms, 0};
  {
    std::lock_guard lock(mutex_);
    calls_.push_back(call);
  }
  if (on_call) on_call(call);
  if (beep_takes_duration) SleepMs(duration_ms < kMaxBeepMs ? duration_ms : kMaxBeepMs);
}

std::vector<ScriptedProvider::Call> ScriptedProvider::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

void ScriptedProvider::ClearCalls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

}  // namespace platform::ui
