// A provider for tests and the device tester: records every call and answers message
// boxes and dialogs with the buttons queued in advance.
#pragma once

#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui_provider.h"

namespace platform::ui {

class ScriptedProvider : public Provider {
 public:
  struct Call {
    enum Kind { kMessageBox, kDialog, kBeep } kind;
    std::string caption;
    std::string text;
    unsigned flags = 0;  // message box flags, or beep frequency
    unsigned duration_ms = 0;
    int answer = 0;  // button pressed
  };

  // Queue the answer for the next message box (kIdOk...) or dialog (kDialogStart presses
  // Start once and then Close; kDialogClose closes at once). Answers are taken in order by
  // message boxes and dialogs alike; the dialog takes its answer before Start runs, so a
  // message box shown by Start takes the one queued after it. Without a queued answer a
  // message box takes its default button (see DefaultButton) and a dialog closes.
  void Press(int button);

  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
  void RunHealthCheckDialog(const HealthCheckDialog& dialog) override;
  void Beep(unsigned frequency_hz, unsigned duration_ms) override;

  // Called (outside the lock) after each call is recorded; the device tester prints here.
  // Set it before the provider is in use.
  std::function<void(const Call&)> on_call;
  // Whether Beep takes its duration (at most kMaxBeepMs) as the host speaker does.
  bool beep_takes_duration = true;

  std::vector<Call> Calls() const;
  void ClearCalls();

 private:
  int NextAnswer(int fallback);

  mutable std::mutex mutex_;
  std::deque<int> answers_;
  std::vector<Call> calls_;
};

}  // namespace platform::ui
