// The provider of programs without windows: every message box and dialog becomes one line
// on standard error and is answered at once the way pressing Enter would answer it.
#include <unistd.h>

#include <string>

#include "platform/event.h"
#include "platform/ui_provider.h"

namespace platform::ui {

namespace {

// Newlines are shown as "\n" so that one box stays one line.
std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') {
      out += "\\n";
    } else if (c != '\r') {
      out += c;
    }
  }
  return out;
}

void WriteLine(const std::string& line) {
  // One write per line, so that lines from several threads do not interleave.
  const char* data = line.data();
  size_t left = line.size();
  while (left > 0) {
    const ssize_t n = write(STDERR_FILENO, data, left);
    if (n <= 0) return;
    data += n;
    left -= static_cast<size_t>(n);
  }
}

class HeadlessProvider : public Provider {
 public:
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
    const int answer = DefaultButton(flags);
    WriteLine("message box \"" + OneLine(caption) + "\": " + OneLine(text) + " -> " +
              ButtonName(answer) + "\n");
    return answer;
  }

  void RunHealthCheckDialog(const HealthCheckDialog& dialog) override {
    WriteLine("dialog \"" + OneLine(dialog.caption) + "\": " + OneLine(dialog.text) + " -> " +
              ButtonName(kDialogClose) + "\n");
  }

  void Beep(unsigned frequency_hz, unsigned duration_ms) override {
    if (frequency_hz < 37 || frequency_hz > 32767) return;
    if (isatty(STDERR_FILENO)) WriteLine("\a");
    SleepMs(duration_ms < kMaxBeepMs ? duration_ms : kMaxBeepMs);
  }
};

}  // namespace

std::shared_ptr<Provider> MakeHeadlessProvider() { return std::make_shared<HeadlessProvider>(); }

}  // namespace platform::ui
