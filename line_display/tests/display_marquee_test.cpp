// Marquee: the frames of a pass in each direction and format, in order and never faster
// than the unit wait; destroying the window or releasing stops the marquee at once.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>

#include "display_fixture.h"
#include "platform/event.h"

namespace line_display::testing {
namespace {

constexpr size_t kRedrawBytes = 43;
using Frames = std::vector<std::string>;

// Collects the redraws the display receives from now on, with the time each arrived. The
// display may still be running the callback when the recorder goes, so what the callback
// touches is shared with it.
class FrameRecorder {
 public:
  explicit FrameRecorder(VirtualDisplayOnPty& device)
      : device_(device),
        base_(device.Received().size()),
        start_(platform::TickCountMs()),
        arrivals_(std::make_shared<Arrivals>()) {
    vdev::VirtualDisplay* display = &device_.display;
    device_.display.SetScreenChanged([display, arrivals = arrivals_] {
      const uint64_t now = platform::TickCountMs();
      const size_t size = display->Capture().size();
      std::lock_guard lock(arrivals->mutex);
      arrivals->list.push_back({now, size});
    });
  }
  ~FrameRecorder() { device_.display.SetScreenChanged(nullptr); }

  size_t Count() const { return (device_.display.Capture().size() - base_) / kRedrawBytes; }
  // Rows `first`..`first + rows - 1` of each redraw, columns 0-4, joined by '|'.
  std::vector<std::string> Frames(int first_row = 0, int rows = 1) const {
    const std::string bytes = device_.ReceivedSince(base_);
    std::vector<std::string> frames;
    for (size_t at = 0; at + kRedrawBytes <= bytes.size(); at += kRedrawBytes) {
      EXPECT_EQ(bytes.substr(at, 2), "\x1F\x45");
      std::string frame;
      for (int r = first_row; r < first_row + rows; ++r) {
        if (r > first_row) frame += '|';
        frame += bytes.substr(at + 3 + r * 20, 5);
      }
      frames.push_back(frame);
    }
    return frames;
  }
  // When redraw `k` (from 0) had arrived, in ms since the recorder started; -1 if unseen.
  int64_t ArrivalMs(size_t k) const {
    std::lock_guard lock(arrivals_->mutex);
    for (const auto& [time, size] : arrivals_->list) {
      if (size >= base_ + (k + 1) * kRedrawBytes) return static_cast<int64_t>(time - start_);
    }
    return -1;
  }

 private:
  struct Arrivals {
    std::mutex mutex;
    std::vector<std::pair<uint64_t, size_t>> list;
  };
  VirtualDisplayOnPty& device_;
  size_t base_;
  uint64_t start_;
  std::shared_ptr<Arrivals> arrivals_;
};

class DisplayMarqueeTest : public ClaimedDisplay {
 protected:
  // Runs one pass of `type` in `format` over `text` in the current window and returns its
  // frames; checks each arrived no sooner than the waits allow.
  std::vector<std::string> OnePass(const std::string& text, int32_t type, int32_t format,
                                   size_t frames, int first_row, int rows, bool first_shown) {
    display_->SetPropertyNumber(5014, 0);
    WaitQuiet();  // a step under way and the redraw of the stopped marquee
    const size_t from = device_->Received().size();
    EXPECT_EQ(display_->ClearText(), 0);
    EXPECT_EQ(display_->DisplayText(text, 0), 0);
    EXPECT_EQ(device_->Await(from, 1 + kRedrawBytes).size(), 1 + kRedrawBytes);
    display_->SetPropertyNumber(5017, format);
    display_->SetPropertyNumber(5015, kUnitMs);
    display_->SetPropertyNumber(5013, 100);
    FrameRecorder recorder(*device_);
    display_->SetPropertyNumber(5014, type);
    EXPECT_TRUE(PumpUntil([&] { return recorder.Count() >= frames; }, 10000));
    platform::SleepMs(2 * kUnitMs);
    display_->SetPropertyNumber(5014, 0);
    for (size_t k = 0; k < frames; ++k) {
      const int64_t earliest = 60 + static_cast<int64_t>(first_shown ? k : k + 1) * kUnitMs;
      const int64_t arrived = recorder.ArrivalMs(k);
      if (arrived >= 0) {
        EXPECT_GE(arrived, earliest) << "frame " << k;
      }
    }
    Frames all = recorder.Frames(first_row, rows);
    if (all.size() > frames) all.resize(frames);  // the next pass may have begun
    return all;
  }

  // Until nothing has arrived for a while.
  void WaitQuiet() {
    size_t size = device_->Received().size();
    for (;;) {
      platform::SleepMs(2 * kUnitMs);
      const size_t now = device_->Received().size();
      if (now == size) return;
      size = now;
    }
  }

  static constexpr int32_t kUnitMs = 150;
};

TEST_F(DisplayMarqueeTest, HorizontalPassesWalkAndPlaceInBothDirections) {
  ASSERT_EQ(display_->CreateWindow(0, 0, 1, 5, 1, 5), 0);
  EXPECT_EQ(OnePass("ABCDE", 3, 0, 5, 0, 1, true),
            (Frames{"    A", "   AB", "  ABC", " ABCD", "ABCDE"}));
  EXPECT_EQ(OnePass("ABCDE", 3, 1, 5, 0, 1, true),
            (Frames{"    E", "   DE", "  CDE", " BCDE", "ABCDE"}));
  EXPECT_EQ(OnePass("ABCDE", 4, 0, 4, 0, 1, false), (Frames{"DE   ", "CDE  ", "BCDE ", "ABCDE"}));
  EXPECT_EQ(OnePass("ABCDE", 4, 1, 4, 0, 1, false), (Frames{"AB   ", "ABC  ", "ABCD ", "ABCDE"}));
  // Held still, the text is back where it was written.
  ASSERT_EQ(display_->RefreshWindow(1), 0);
  EXPECT_TRUE(WaitForScreen("ABCDE", ""));
}

TEST_F(DisplayMarqueeTest, VerticalPassesMoveTheRowsOfATallWindow) {
  ASSERT_EQ(display_->CreateWindow(0, 0, 2, 5, 4, 5), 0);
  const std::string rows = "R1   R2   R3   R4   ";
  EXPECT_EQ(OnePass(rows, 1, 0, 3, 0, 2, false),
            (Frames{"R1   |R2   ", "R2   |R3   ", "R3   |R4   "}));
  EXPECT_EQ(OnePass(rows, 2, 0, 3, 0, 2, false),
            (Frames{"R3   |R4   ", "R2   |R3   ", "R1   |R2   "}));
  EXPECT_EQ(OnePass(rows, 1, 1, 3, 0, 2, false),
            (Frames{"R3   |R4   ", "R2   |R3   ", "R1   |R2   "}));
  EXPECT_EQ(OnePass(rows, 2, 1, 3, 0, 2, false),
            (Frames{"R1   |R2   ", "R2   |R3   ", "R3   |R4   "}));
}

TEST_F(DisplayMarqueeTest, PassesRepeatAfterTheRepeatWait) {
  ASSERT_EQ(display_->CreateWindow(0, 0, 1, 3, 1, 3), 0);
  const size_t from = device_->Received().size();
  ASSERT_EQ(display_->DisplayText("xyz", 0), 0);
  ASSERT_EQ(device_->Await(from, kRedrawBytes).size(), kRedrawBytes);
  display_->SetPropertyNumber(5015, 0);  // raised to 100 ms
  display_->SetPropertyNumber(5013, 0);
  FrameRecorder recorder(*device_);
  display_->SetPropertyNumber(5014, 3);
  EXPECT_TRUE(PumpUntil([&] { return recorder.Count() >= 6; }, 10000));
  display_->SetPropertyNumber(5014, 0);
  const Frames frames = recorder.Frames();
  ASSERT_GE(frames.size(), 6u);
  EXPECT_EQ(Frames(frames.begin(), frames.begin() + 6),
            (Frames{"  x  ", " xy  ", "xyz  ", "  x  ", " xy  ", "xyz  "}));
  // The second pass begins after two steps, the repeat wait and its own start.
  const int64_t fourth = recorder.ArrivalMs(3);
  if (fourth >= 0) {
    EXPECT_GE(fourth, 60 + 2 * 100 + 100 + 60);
  }
}

TEST_F(DisplayMarqueeTest, TextWrittenDuringAPassIsKeptWhenTheMarqueeStops) {
  ASSERT_EQ(display_->CreateWindow(0, 0, 1, 5, 1, 5), 0);
  ASSERT_EQ(display_->DisplayText("ABCDE", 0), 0);
  display_->SetPropertyNumber(5015, 150);
  display_->SetPropertyNumber(5013, 100);
  FrameRecorder recorder(*device_);
  display_->SetPropertyNumber(5014, 3);
  ASSERT_TRUE(PumpUntil([&] { return recorder.Count() >= 3; }));
  // Mid-pass: the text goes where the application puts it, not where the pass has moved it.
  ASSERT_EQ(display_->DisplayTextAt(0, 0, "XYZ", 0), 0);
  WaitIdle();
  display_->SetPropertyNumber(5014, 0);
  EXPECT_TRUE(WaitForScreen("XYZDE", ""));
}

TEST_F(DisplayMarqueeTest, AMarqueeTypeOutsideItsRangeIsRefusedAndTheTypeKept) {
  for (const int32_t type : {7, -1, 6}) {
    display_->SetPropertyNumber(5014, type);
    EXPECT_EQ(display_->ResultCode(), 106) << type;
    EXPECT_EQ(display_->GetPropertyNumber(5014), 0) << type;
  }
  ASSERT_EQ(display_->DisplayText("still shown", 0), 0);
  EXPECT_TRUE(WaitForScreen("still shown", ""));

  display_->SetPropertyNumber(5014, 5);
  display_->SetPropertyNumber(5014, 7);
  EXPECT_EQ(display_->GetPropertyNumber(5014), 5);
  display_->SetPropertyNumber(5017, 2);
  EXPECT_EQ(display_->ResultCode(), 106);
  EXPECT_EQ(display_->GetPropertyNumber(5017), 0);
}

TEST_F(DisplayMarqueeTest, DestroyingTheWindowStopsItsMarqueeAtOnce) {
  ASSERT_EQ(display_->CreateWindow(0, 0, 1, 5, 1, 5), 0);
  const size_t from = device_->Received().size();
  ASSERT_EQ(display_->DisplayText("ABCDE", 0), 0);
  ASSERT_EQ(device_->Await(from, kRedrawBytes).size(), kRedrawBytes);
  display_->SetPropertyNumber(5015, 60000);
  FrameRecorder recorder(*device_);
  display_->SetPropertyNumber(5014, 3);
  ASSERT_TRUE(PumpUntil([&] { return recorder.Count() >= 1; }));
  const int threads = CountThreads();
  const uint64_t start = platform::TickCountMs();
  EXPECT_EQ(display_->DestroyWindow(), 0);
  EXPECT_LT(platform::TickCountMs() - start, 2000u) << "not held by a 60 s step";
  EXPECT_EQ(CountThreads(), threads - 1);
  const size_t received = device_->Received().size();
  platform::SleepMs(500);
  EXPECT_EQ(device_->Received().size(), received);
}

TEST_F(DisplayMarqueeTest, ReleaseStopsRunningMarqueesAtOnce) {
  ASSERT_EQ(display_->CreateWindow(0, 0, 1, 5, 1, 5), 0);
  ASSERT_EQ(display_->DisplayText("ABCDE", 0), 0);
  display_->SetPropertyNumber(5015, 60000);
  display_->SetPropertyNumber(5014, 3);
  ASSERT_EQ(display_->CreateWindow(1, 0, 1, 5, 1, 5), 0);
  ASSERT_EQ(display_->DisplayText("FGHIJ", 0), 0);
  display_->SetPropertyNumber(5013, 60000);
  display_->SetPropertyNumber(5014, 4);
  platform::SleepMs(300);
  const uint64_t start = platform::TickCountMs();
  EXPECT_EQ(display_->ReleaseDevice(), 0);
  EXPECT_LT(platform::TickCountMs() - start, 3000u);
  const size_t received = device_->Received().size();
  platform::SleepMs(300);
  EXPECT_EQ(device_->Received().size(), received);
}

}  // namespace
}  // namespace line_display::testing
