#include "platform/ui_provider.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "platform/ui_scripted.h"

namespace platform::ui {
namespace {

using Call = ScriptedProvider::Call;

// Runs `body` with standard error going to a file in a fresh temporary directory and
// returns what was written.
template <typename Body>
std::string CaptureStderr(Body body) {
  char dir_template[] = "/tmp/ui_provider_test.XXXXXX";
  const char* dir = mkdtemp(dir_template);
  EXPECT_NE(dir, nullptr);
  const std::string path = std::string(dir) + "/stderr.txt";
  const int file = open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
  EXPECT_GE(file, 0);
  std::fflush(stderr);
  const int saved = dup(STDERR_FILENO);
  dup2(file, STDERR_FILENO);
  body();
  std::fflush(stderr);
  dup2(saved, STDERR_FILENO);
  close(saved);
  close(file);
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  std::filesystem::remove_all(dir);
  return text.str();
}

// Leaves the process-wide provider as it found it.
class UiProviderTest : public ::testing::Test {
 protected:
  void TearDown() override { Install(nullptr); }
};

TEST_F(UiProviderTest, DefaultButtonsFollowTheBoxType) {
  EXPECT_EQ(DefaultButton(kYesNoCancel | kIconQuestion), kIdYes);
  EXPECT_EQ(DefaultButton(kAbortRetryIgnore | kDefButton3), kIdIgnore);
  EXPECT_EQ(DefaultButton(kYesNo | kDefButton3), kIdYes);  // no third button
  EXPECT_EQ(DefaultButton(0xE), kIdOk);                    // unknown button set
}

TEST_F(UiProviderTest, ScriptedProviderAnswersInOrderAndRecordsEveryCall) {
  auto scripted = std::make_shared<ScriptedProvider>();
  scripted->beep_takes_duration = false;
  std::vector<size_t> seen_counts;
  scripted->on_call = [&](const Call&) { seen_counts.push_back(scripted->Calls().size()); };
  Install(scripted);

  scripted->Press(kIdNo);
  scripted->Press(kIdCancel);
  EXPECT_EQ(Current().MessageBox("Save?", "Confix", kYesNoCancel), kIdNo);
  EXPECT_EQ(Current().MessageBox("Retry?", "Confix", kOkCancel), kIdCancel);
  // Nothing queued: the default button.
  EXPECT_EQ(Current().MessageBox("Delete?", "Confix", kYesNo | kDefButton2), kIdNo);
  Current().Beep(1000, 50);

  const std::vector<Call> calls = scripted->Calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].kind, Call::kMessageBox);
  EXPECT_EQ(calls[0].text, "Save?");
  EXPECT_EQ(calls[0].caption, "Confix");
  EXPECT_EQ(calls[0].flags, kYesNoCancel);
  EXPECT_EQ(calls[0].answer, kIdNo);
  EXPECT_EQ(calls[2].answer, kIdNo);
  EXPECT_EQ(calls[3].kind, Call::kBeep);
  EXPECT_EQ(calls[3].flags, 1000u);
  EXPECT_EQ(calls[3].duration_ms, 50u);
  EXPECT_EQ(seen_counts, (std::vector<size_t>{1, 2, 3, 4}));  // on_call after recording

  scripted->ClearCalls();
  EXPECT_TRUE(scripted->Calls().empty());
}

TEST_F(UiProviderTest, ScriptedDialogStartRunsOnceAndItsMessageBoxTakesTheNextAnswer) {
  auto scripted = std::make_shared<ScriptedProvider>();
  Install(scripted);
  int started = 0;
  int box_answer = 0;
  HealthCheckDialog dialog{
      "CheckHealth", "Please Push the [Start] button to start the CheckHealth Method.", [&] {
        ++started;
        box_answer =
            Current().MessageBox("POSPrinter can't use.\nResultCode : 114", "CheckHealth", kOk);
      }};
  scripted->Press(kDialogStart);
  scripted->Press(kIdOk);
  Current().RunHealthCheckDialog(dialog);
  EXPECT_EQ(started, 1);
  EXPECT_EQ(box_answer, kIdOk);

  Current().RunHealthCheckDialog(dialog);  // nothing queued: closes without Start
  scripted->Press(kDialogClose);
  Current().RunHealthCheckDialog(dialog);
  EXPECT_EQ(started, 1);

  const std::vector<Call> calls = scripted->Calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0].kind, Call::kDialog);
  EXPECT_EQ(calls[0].caption, "CheckHealth");
  EXPECT_EQ(calls[0].answer, kDialogStart);
  EXPECT_EQ(calls[1].kind, Call::kMessageBox);
  EXPECT_EQ(calls[1].text, "POSPrinter can't use.\nResultCode : 114");
  EXPECT_EQ(calls[2].answer, kDialogClose);
  EXPECT_EQ(calls[3].answer, kDialogClose);
}

TEST_F(UiProviderTest, InstallReturnsThePreviousAndNullRestoresTheDefault) {
  auto first = std::make_shared<ScriptedProvider>();
  auto second = std::make_shared<ScriptedProvider>();
  EXPECT_EQ(Install(first), nullptr);
  EXPECT_EQ(Installed(), first);
  EXPECT_EQ(Install(second), first);
  Current().MessageBox("to second", "c", kOk);
  EXPECT_EQ(Install(nullptr), second);
  EXPECT_NE(Installed(), second);
  EXPECT_NE(Installed(), nullptr);
  EXPECT_TRUE(first->Calls().empty());
  EXPECT_EQ(second->Calls().size(), 1u);
}

TEST_F(UiProviderTest, ProvidersCanBeSwappedWhileOtherThreadsUseThem) {
  constexpr int kCallers = 3, kEach = 300;
  std::atomic<bool> stop{false};
  std::atomic<int> installs{0};
  std::atomic<int> calls{0};
  std::thread installer([&] {
    while (!stop) {
      auto p = std::make_shared<ScriptedProvider>();
      p->beep_takes_duration = false;
      p->on_call = [&](const Call&) { ++calls; };
      Install(p);  // the previous one is released here, possibly while a call runs on it
      ++installs;
      std::this_thread::yield();
    }
  });
  while (installs == 0) std::this_thread::yield();
  std::vector<std::thread> callers;
  for (int i = 0; i < kCallers; ++i) {
    callers.emplace_back([] {
      for (int j = 0; j < kEach; ++j) Current().Beep(440, 0);
    });
  }
  for (auto& t : callers) t.join();
  stop = true;
  installer.join();
  EXPECT_EQ(calls.load(), kCallers * kEach);
}

TEST_F(UiProviderTest, HeadlessWritesOneLinePerBoxAndAnswersTheDefault) {
  auto headless = MakeHeadlessProvider();
  int answer = 0;
  bool started = false;
  const std::string out = CaptureStderr([&] {
    answer = headless->MessageBox("POSPrinter can't use.\nResultCode : 111", "POSPrinter",
                                  kYesNo | kIconError);
    headless->RunHealthCheckDialog({"CheckHealth", "Push [Start]", [&] { started = true; }});
  });
  EXPECT_EQ(answer, kIdYes);
  EXPECT_FALSE(started);
  EXPECT_EQ(out,
            "message box \"POSPrinter\": POSPrinter can't use.\\nResultCode : 111 -> Yes\n"
            "dialog \"CheckHealth\": Push [Start] -> Close\n");
}

TEST_F(UiProviderTest, HeadlessBeepIsSilentOffATerminalAndTakesItsDuration) {
  auto headless = MakeHeadlessProvider();
  uint64_t elapsed = 0, refused = 0;
  const std::string out = CaptureStderr([&] {
    uint64_t start = TickCountMs();
    headless->Beep(1000, 100);
    elapsed = TickCountMs() - start;
    start = TickCountMs();
    headless->Beep(20, 3000);  // below the speaker's range: refused at once
    refused = TickCountMs() - start;
  });
  EXPECT_EQ(out, "");
  EXPECT_GE(elapsed, 95u);
  EXPECT_LT(elapsed, 2000u);
  EXPECT_LT(refused, 1000u);
}

}  // namespace
}  // namespace platform::ui
