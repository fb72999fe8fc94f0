#include "headless_run.h"

#include <memory>
#include <mutex>

#include "platform/event.h"
#include "platform/message_queue.h"
#include "platform/ui_scripted.h"
#include "till_step.h"

namespace demotill {
namespace {

namespace ui = platform::ui;

std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') continue;
    out += c == '\n' ? std::string("\\n") : std::string(1, c);
  }
  return out;
}

class PrintingHost : public StepHost {
 public:
  explicit PrintingHost(FILE* out) : out_(out) {}
  void SetButtonEnabled(bool enabled) override {
    Print(std::string("button ") + (enabled ? "enabled" : "disabled"));
  }
  void SetBusy(bool busy) override {
    Print(std::string("cursor ") + (busy ? "hourglass" : "default"));
  }
  void Note(const std::string& line) override {
    if (line.rfind("event Error", 0) == 0) failures_++;
    Print(line);
  }
  void Print(const std::string& line) {
    std::lock_guard lock(mutex_);
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
  }
  void CountFailure() { failures_++; }
  int Failures() const { return failures_; }

 private:
  FILE* out_;
  std::mutex mutex_;
  int failures_ = 0;
};

// After an asynchronous print: pumps the events until the printer has been idle for a
// moment (the output-complete event follows the last job), or the time is up.
void PumpUntilIdle(opos::control::ControlObject& printer, int wait_ms) {
  constexpr int kIdle = 2;
  const uint64_t deadline = platform::TickCountMs() + static_cast<uint64_t>(wait_ms);
  int idle_checks = 0;
  while (platform::TickCountMs() < deadline && idle_checks < 6) {
    platform::PumpMessages(50);
    idle_checks = printer.State() == kIdle ? idle_checks + 1 : 0;
  }
}

}  // namespace

int RunHeadless(const HeadlessOptions& options, FILE* out) {
  PrintingHost host(out);
  auto provider = std::make_shared<ui::ScriptedProvider>();
  provider->on_call = [&host](const ui::ScriptedProvider::Call& call) {
    if (call.kind == ui::ScriptedProvider::Call::kBeep) {
      host.Print("beep " + std::to_string(call.flags) + " " + std::to_string(call.duration_ms));
      return;
    }
    if (call.kind == ui::ScriptedProvider::Call::kMessageBox &&
        call.text.rfind("Complete printing", 0) != 0) {
      host.CountFailure();
    }
    host.Print("msgbox \"" + OneLine(call.caption) + "\" \"" + OneLine(call.text) + "\" -> " +
               ui::ButtonName(call.answer));
  };
  auto previous = ui::Install(provider);

  for (int number : options.steps) {
    const StepInfo& info = InfoOf(number);
    host.Print("== " + std::string(info.window_name) + " \"" + info.caption + "\" on \"" +
               options.device_name + "\"");
    StepSettings settings;
    settings.device_name = options.device_name;
    settings.logo_path = options.logo_path;
    TillStep step(number, host, settings);
    step.Load();
    if (step.ButtonEnabled()) {
      host.Print("press \"" + std::string(info.button) + "\"");
      step.Press();
      if (number == 4) PumpUntilIdle(step.Device(), options.wait_ms);
    } else {
      host.Print("\"" + std::string(info.button) + "\" is disabled: not pressed");
    }
    step.Unload();
    platform::PumpMessages(50);  // a release deferred by an event handler runs here
  }
  ui::Install(previous);
  return host.Failures() == 0 ? 0 : 1;
}

}  // namespace demotill
