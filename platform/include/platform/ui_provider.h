// Message boxes, the interactive health-check dialog and the host beep go through one
// replaceable provider: programs with windows install a graphical one, the default writes
// to standard error, tests install a scripted one.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace platform::ui {

// Message box flags and results, with the Win32 values.
inline constexpr unsigned kOk = 0x0;           // MB_OK
inline constexpr unsigned kOkCancel = 0x1;     // MB_OKCANCEL
inline constexpr unsigned kYesNoCancel = 0x3;  // MB_YESNOCANCEL
inline constexpr unsigned kYesNo = 0x4;        // MB_YESNO
inline constexpr unsigned kIconError = 0x10;   // MB_ICONHAND
inline constexpr unsigned kIconQuestion = 0x20;
inline constexpr unsigned kIconWarning = 0x30;
inline constexpr unsigned kIconInformation = 0x40;
inline constexpr unsigned kButtonMask = 0xF;
inline constexpr unsigned kIconMask = 0xF0;

inline constexpr int kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7;

// The modal dialog of an interactive check: a text with Start and Close buttons. Start
// runs `on_start` (which may show message boxes); the dialog stays until Close.
struct HealthCheckDialog {
  std::string caption;                  // "CheckHealth"
  std::string text;                     // the static text
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

// The process-wide provider; the headless default when none was installed.
Provider& Current();
// Installs `provider` (nullptr restores the default); returns the previous one.
std::shared_ptr<Provider> Install(std::shared_ptr<Provider> provider);

// Headless default: message boxes and dialogs go to standard error and are answered with
// their default button (the first one; a dialog is closed at once); beeps ring the terminal bell
// only when standard error is a terminal.
std::shared_ptr<Provider> MakeHeadlessProvider();

}  // namespace platform::ui
