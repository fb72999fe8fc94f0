#include <vector>

#include "platform/ui_provider.h"

namespace platform::ui {

namespace {

std::vector<int> ButtonsOf(unsigned flags) {
  switch (flags & kButtonMask) {
    case kOkCancel:
      return {kIdOk, kIdCancel};
    case kAbortRetryIgnore:
      return {kIdAbort, kIdRetry, kIdIgnore};
    case kYesNoCancel:
      return {kIdYes, kIdNo, kIdCancel};
    case kYesNo:
      return {kIdYes, kIdNo};
    case kRetryCancel:
      return {kIdRetry, kIdCancel};
    default:
      return {kIdOk};
  }
}

}  // namespace

int DefaultButton(unsigned flags) {
  const std::vector<int> buttons = ButtonsOf(flags);
  const size_t index = (flags & kDefButtonMask) >> 8;
  // A default beyond the last button falls back to the first, as the system does.
  return index < buttons.size() ? buttons[index] : buttons.front();
}

const char* ButtonName(int button) {
  switch (button) {
    case kIdOk:
      return "OK";
    case kIdCancel:
      return "Cancel";
    case kIdAbort:
      return "Abort";
    case kIdRetry:
      return "Retry";
    case kIdIgnore:
      return "Ignore";
    case kIdYes:
      return "Yes";
    case kIdNo:
      return "No";
    case kDialogStart:
      return "Start";
    case kDialogClose:
      return "Close";
    default:
      return "?";
  }
}

}  // namespace platform::ui
