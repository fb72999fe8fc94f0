// The serial link against a pseudo-terminal: a scripted device that answers the probe and
// then sends whatever the test wants (garbage, split blocks, completion answers), and the
// virtual printer with its conditions flipped.
#include "serial_printer_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "platform/event.h"
#include "virtual_devices/pty_attachment.h"
#include "virtual_devices/virtual_printer.h"

namespace service_core {
namespace {

class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "port-XXXXXX").string();
    EXPECT_NE(mkdtemp(pattern.data()), nullptr);
    path_ = pattern;
  }
  ~TempDir() { std::filesystem::remove_all(path_); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// A device on the master side of a pseudo-terminal that answers the thermal probe
// (ready, drawer closed) and the automatic status back request, and sends what it is told.
class ScriptedDevice {
 public:
  explicit ScriptedDevice(const std::string& link) : link_(link) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master_, 0);
    grantpt(master_);
    unlockpt(master_);
    std::filesystem::create_symlink(ptsname(master_), link_);
    thread_ = std::thread([this] { Run(); });
  }
  ~ScriptedDevice() {
    stop_ = true;
    thread_.join();
    close(master_);
  }
  void Send(std::vector<uint8_t> bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }
  // What the device answers when automatic status back is (re)enabled: its condition.
  void SetCondition(std::vector<uint8_t> block) {
    std::lock_guard lock(mutex_);
    condition_ = std::move(block);
  }

 private:
  void Run() {
    std::vector<uint8_t> seen;
    while (!stop_) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN)) continue;
      uint8_t buffer[256];
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) {
        platform::SleepMs(20);  // no host has the slave open
        continue;
      }
      seen.insert(seen.end(), buffer, buffer + n);
      auto ends_with = [&](std::vector<uint8_t> tail) {
        return seen.size() >= tail.size() &&
               std::equal(tail.begin(), tail.end(), seen.end() - tail.size());
      };
      if (ends_with({0x10, 0x04, 0x01, 0x10, 0x04, 0x02, 0x10, 0x04, 0x04}))
        Send({0x16, 0x12, 0x12});
      if (ends_with({0x1D, 0x61, 0xFF})) {
        std::lock_guard lock(mutex_);
        Send(condition_);
      }
    }
  }
  std::string link_;
  int master_ = -1;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<uint8_t> condition_{0x14, 0, 0, 0};
  std::thread thread_;
};

struct RecordingUser : PortUser {
  void OnPrinterPowerLost() override { ++power_lost; }
  void OnPrinterAnswer(const PrinterAnswer& answer) override {
    if (answer.kind == PrinterAnswer::Kind::kProcessId) ++completions;
    if (const CPrinterPort* seen_by = port) cover_open_at_answer = seen_by->CoverOpen();
  }
  std::atomic<const CPrinterPort*> port{nullptr};
  std::atomic<int> power_lost{0}, completions{0}, cover_open_at_answer{-1};
};

// Waits (generously) for the link to report `expected`.
bool StatusBecomes(CPrinterPort& port, int expected) {
  const uint64_t deadline = platform::TickCountMs() + 5000;
  while (platform::TickCountMs() < deadline) {
    if (port.GetPrinterStatus() == expected) return true;
    platform::SleepMs(50);
  }
  return false;
}

// Lets the monitor run a few rounds.
void Rounds(int count = 2) { platform::SleepMs(550 * count); }

class ScriptedLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    port_.SetDeviceName("Thermal42");
    port_.SetPrinter(&user_);
    ASSERT_EQ(port_.OpenPort(link_, 6, 0, 1), 1);
    ASSERT_EQ(port_.ConnectPrinter(1000), kPortReady);
  }
  TempDir dir_;
  std::string link_ = dir_.Path() + "/ttyS";
  ScriptedDevice device_{link_};
  RecordingUser user_;
  SerialPrinterPort port_;
};

TEST_F(ScriptedLinkTest, SplitBlocksAreJoinedAndGarbageChangesNothing) {
  EXPECT_EQ(port_.GetPrinterStatus(), kPortReady);
  EXPECT_EQ(port_.DrawerState(), 0);

  device_.Send({0xFF, 0x00, 0x12, 0x37, 0x22, 0x10});
  Rounds();
  device_.Send({0xFF});  // the 0x10 above was no block head after all
  Rounds();
  EXPECT_EQ(port_.GetPrinterStatus(), kPortReady);

  device_.SetCondition({0x38, 0, 0, 0});
  device_.Send({0x38, 0x00});  // cover open, in two pieces
  Rounds(1);
  device_.Send({0x00, 0x00});
  EXPECT_TRUE(StatusBecomes(port_, kPortCoverOpen));

  device_.SetCondition({0x14, 0, 0, 0});
  device_.Send({0x14});  // ready again, in three pieces
  Rounds(1);
  device_.Send({0x00, 0x00});
  Rounds(1);
  device_.Send({0x00});
  EXPECT_TRUE(StatusBecomes(port_, kPortReady));

  device_.SetCondition({0x1C, 0, 0x0F, 0});
  device_.Send({0x1C, 0x00, 0x0F, 0x00});
  EXPECT_TRUE(StatusBecomes(port_, kPortPaperEmpty));
  EXPECT_EQ(port_.DrawerState(), 0);

  // Random bursts that do not end in a status block leave the condition as it was.
  std::mt19937 rng(11);
  for (int burst = 0; burst < 4; ++burst) {
    std::vector<uint8_t> bytes(1 + rng() % 400);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    bytes.push_back(0xFF);
    device_.Send(bytes);
    platform::SleepMs(200);
  }
  Rounds();
  EXPECT_EQ(port_.GetPrinterStatus(), kPortPaperEmpty);
  EXPECT_EQ(port_.ReadPort(nullptr, 0), 0u);
}

TEST_F(ScriptedLinkTest, CompletionAnswerAndPowerLossReachTheUser) {
  device_.Send({0x37, 0x22, 0x46, 0x46, 0x46, 0x46, 0x00});
  Rounds();
  EXPECT_EQ(user_.completions, 1);

  std::ofstream(link_ + ".lines") << "CTS=0 DSR=0 DCD=0 RI=0\n";
  EXPECT_TRUE(StatusBecomes(port_, kPortNoAnswer));
  EXPECT_GT(user_.power_lost, 0);
  EXPECT_TRUE(port_.PowerLost());
  std::ofstream(link_ + ".lines") << "CTS=1 DSR=1 DCD=1 RI=0\n";
  // Offline, the monitor asks for automatic status back each round; the answer clears it.
  EXPECT_TRUE(StatusBecomes(port_, kPortReady));
}

TEST_F(ScriptedLinkTest, AnswersSeeTheConditionOfTheMomentThePrinterSentThem) {
  // Status blocks and answers often come in one read; whoever an answer wakes must see the
  // printer as it was when it answered. Sends a completion answer and `block` in one write,
  // in the order given, and tells whether the cover was open for the answer.
  const std::vector<uint8_t> cover_open = {0x38, 0, 0, 0}, ready = {0x14, 0, 0, 0};
  const std::vector<uint8_t> answer = {0x37, 0x22, 0x30, 0x30, 0x30, 0x31, 0x00};
  auto cover_open_for_the_answer = [&](const std::vector<uint8_t>& block, bool answer_first) {
    const int before = user_.completions;
    std::vector<uint8_t> bytes = answer_first ? answer : block;
    const std::vector<uint8_t>& then = answer_first ? block : answer;
    bytes.insert(bytes.end(), then.begin(), then.end());
    device_.SetCondition(block);
    device_.Send(bytes);
    Rounds();
    EXPECT_EQ(user_.completions, before + 1);
    return int(user_.cover_open_at_answer);
  };
  device_.SetCondition(cover_open);
  device_.Send(cover_open);
  ASSERT_TRUE(StatusBecomes(port_, kPortCoverOpen));
  user_.port = &port_;

  // A printer whose cover closes sends its ready block and then the answers to what it held:
  // the cover is closed for them.
  EXPECT_EQ(cover_open_for_the_answer(ready, false), 0);
  EXPECT_EQ(port_.GetPrinterStatus(), kPortReady);
  // An answer to what printed before the cover opened: still closed for it.
  EXPECT_EQ(cover_open_for_the_answer(cover_open, true), 0);
  EXPECT_EQ(port_.GetPrinterStatus(), kPortCoverOpen);
}

TEST(PrinterPortTest, WriteNeedsAnOpenPortAndData) {
  SerialPrinterPort port;
  const uint8_t byte = 0x0A;
  EXPECT_EQ(port.WritePort(&byte, 1), 0);
  uint8_t buffer[4];
  EXPECT_EQ(port.ReadPort(buffer, sizeof buffer), 0u);
  EXPECT_EQ(port.ProbePrinterStatus(), kPortNoAnswer);
  EXPECT_EQ(port.OpenPort("/nonexistent/ttyS9", 6, 0, 1), 0);
}

TEST(PrinterPortTest, FollowsTheVirtualPrinter) {
  TempDir dir;
  vdev::VirtualPrinter printer;
  vdev::PtyAttachment attachment(printer, dir.Path() + "/ttyV");
  std::string error;
  ASSERT_TRUE(attachment.Start(error)) << error;

  // Invalid line settings fail the open; the same port then opens with valid ones.
  SerialPrinterPort port;
  port.SetDeviceName("Thermal42");
  EXPECT_EQ(port.OpenPort(attachment.LinkPath(), 11, 0, 1), 0);
  EXPECT_EQ(port.OpenPort(attachment.LinkPath(), 6, 3, 1), 0);
  EXPECT_EQ(port.OpenPort(attachment.LinkPath(), 6, 0, 3), 0);
  ASSERT_EQ(port.OpenPort(attachment.LinkPath(), 7, 1, 2), 1);
  ASSERT_EQ(port.ConnectPrinter(1000), kPortReady);

  printer.SetCoverOpen(true);
  EXPECT_TRUE(StatusBecomes(port, kPortCoverOpen));
  printer.SetCoverOpen(false);
  EXPECT_TRUE(StatusBecomes(port, kPortReady));
  printer.SetPaperOut(true);
  EXPECT_TRUE(StatusBecomes(port, kPortPaperEmpty));
  printer.SetPaperOut(false);
  EXPECT_TRUE(StatusBecomes(port, kPortReady));
  printer.SetPower(false);
  EXPECT_TRUE(StatusBecomes(port, kPortNoAnswer));
  printer.SetPower(true);
  EXPECT_TRUE(StatusBecomes(port, kPortReady));

  // 200 bytes leave in 64-byte chunks and arrive whole.
  std::vector<uint8_t> text(200, 'A');
  const size_t before = printer.Capture().size();
  EXPECT_EQ(port.WritePort(text.data(), text.size()), 1);
  const uint64_t deadline = platform::TickCountMs() + 3000;
  while (printer.Capture().size() < before + 200 && platform::TickCountMs() < deadline)
    platform::SleepMs(10);
  EXPECT_EQ(printer.Capture().size(), before + 200);

  port.ClosePort();
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.WritePort(text.data(), 1), 0);
}

}  // namespace
}  // namespace service_core
