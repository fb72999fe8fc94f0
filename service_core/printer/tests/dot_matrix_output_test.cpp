// Asynchronous output on the dot-matrix model, which cannot confirm what it printed: an idle
// printer is woken with a line feed, each request is given time to print, and the printer's
// condition afterwards decides between completion and an error.
#include <gtest/gtest.h>

#include "control_objects/opos_codes.h"
#include "platform/event.h"
#include "print_rig.h"

namespace service_core::testing {
namespace {

TEST(DotMatrixOutput, WakeUpLineFeedSettleTimeAndTheConditionAfterwards) {
  PrintRig rig(false);
  auto& p = rig.printer();
  std::vector<int32_t> completed;
  std::vector<int32_t> errors;
  p.on_output_complete = [&](int32_t id) { completed.push_back(id); };
  p.SetAsyncMode(true);
  PrintRig::Wait(1200);  // idle for longer than a second: the printer sleeps

  std::vector<uint8_t> capture = rig.device().printer.Capture();
  const size_t mark = capture.size();
  const uint64_t start = platform::TickCountMs();
  ASSERT_EQ(p.PrintNormal(2, "first\n"), 0);
  ASSERT_EQ(p.PrintNormal(2, "second\n"), 0);
  ASSERT_TRUE(PumpUntil([&] { return completed.size() == 2; }, 15000));
  // Each request waits 1.5 s for the printing before it counts as done.
  EXPECT_GE(platform::TickCountMs() - start, 2900u);
  EXPECT_EQ(completed, (std::vector<int32_t>{1, 2}));
  capture = rig.device().printer.Capture();
  const std::string sent(capture.begin() + mark, capture.end());
  // A wake-up line feed before each (the second starts after the first one's 1.5 s), and
  // no completion requests.
  EXPECT_EQ(sent, "\n" + rig.PlainOutput("first\n") + "\n" + rig.PlainOutput("second\n"));


  // The printer loses its power while the request prints: the look afterwards finds it.
  p.on_error = [&](int32_t rc, int32_t ext, int32_t, int32_t& response) {
    errors.push_back(rc);
    errors.push_back(ext);
    response = opos::kErClear;
  };
  ASSERT_EQ(p.PrintNormal(2, "third\n"), 0);
  rig.device().Set("power off");
  ASSERT_TRUE(PumpUntil([&] { return !errors.empty(); }, 15000));
  EXPECT_EQ(errors, (std::vector<int32_t>{opos::kFailure, 100003}));
  PrintRig::Wait(500);
  EXPECT_EQ(completed.size(), 2u);
  rig.device().Set("power on");
}

}  // namespace
}  // namespace service_core::testing
