// Message boxes, the interactive health-check dialog and the host beep go through one
// replaceable provider: programs with windows install a graphical one, the default writes
// to standard error, tests install a scripted one.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace platform::ui {

// Message box flags and results, with the Win32 values.
inline constexpr unsigned kOk = 0x0;                // MB_OK
inline constexpr unsigned kOkCancel = 0x1;          // MB_OKCANCEL
inline constexpr unsigned kAbortRetryIgnore = 0x2;  // MB_ABORTRETRYIGNORE
inline constexpr unsigned kYesNoCancel = 0x3;       // MB_YESNOCANCEL
inline constexpr unsigned kYesNo = 0x4;             // MB_YESNO
inline constexpr unsigned kRetryCancel = 0x5;       // MB_RETRYCANCEL
inline constexpr unsigned kIconError = 0x10;        // MB_ICONHAND
inline constexpr unsigned kIconQuestion = 0x20;
inline constexpr unsigned kIconWarning = 0x30;
inline constexpr unsigned kIconInformation = 0x40;
inline constexpr unsigned kButtonMask = 0xF;
inline constexpr unsigned kIconMask = 0xF0;
inline constexpr unsigned kDefButton2 = 0x100;  // MB_DEFBUTTON2: the second button is default
inline constexpr unsigned kDefButton3 = 0x200;
inline constexpr unsigned kDefButtonMask = 0xF00;

inline constexpr int kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7;
inline constexpr int kIdAbort = 3, kIdRetry = 4, kIdIgnore = 5;

// The button a message box with `flags` answers when Enter is pressed: the first one,
// or the one kDefButton2/kDefButton3 names. Unknown button sets count as kOk.
int DefaultButton(unsigned flags);
// "OK", "Cancel", "Yes", "No", "Abort", "Retry", "Ignore", "Start", "Close", or "?".
const char* ButtonName(int button);

// The modal dialog of an interactive check: a text with Start and Close buttons. Start
// runs `on_start` (which may show message boxes); the dialog stays until Close.
struct HealthCheckDialog {
  std::string caption;  // "CheckHealth"
  std::string text;     // the static text
  std::function<void()> on_start;
};
inline constexpr int kDialogStart = 1000, kDialogClose = 1001;  // button identifiers

class Provider {
 public:
  virtual ~Provider() = default;
  // Returns the button pressed (kIdOk, kIdCancel, kIdYes, kIdNo).
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
  virtual void RunHealthCheckDialog(const HealthCheckDialog& dialog) = 0;
  virtual void Beep(unsigned frequency_hz, unsigned duration_ms) = 0;
};

// The process-wide provider; the headless default when none was installed. The reference
// stays valid for the life of the process: each call goes to the provider installed at the
// moment of the call, which is kept alive until that call returns.
Provider& Current();
// Installs `provider` (nullptr restores the default); returns the previous one (nullptr
// when the default was in use). Safe to call from any thread.
std::shared_ptr<Provider> Install(std::shared_ptr<Provider> provider);
// The provider installed now (the headless default when none was installed).
std::shared_ptr<Provider> Installed();

// Headless default: message boxes and dialogs go to standard error, one line each, and are
// answered with their default button (see DefaultButton; a dialog is closed at once without
// Start). A beep rings the terminal bell only when standard error is a terminal and, like
// the host speaker, takes its duration (at most kMaxBeepMs); a frequency outside
// 37..32767 Hz is refused at once.
inline constexpr unsigned kMaxBeepMs = 5000;
std::shared_ptr<Provider> MakeHeadlessProvider();

}  // namespace platform::ui
