// Which image the printer holds when print data refers to a stored bitmap: whatever was
// written in between (another image, the other slot) must make the slot go down again, also
// when the writing happens later than the calls (a transaction, asynchronous output).
#include <gtest/gtest.h>

#include <fstream>

#include "bmp_builder.h"
#include "control_objects/opos_codes.h"
#include "print_rig.h"

namespace service_core::testing {
namespace {

std::string ImageFile(const std::string& dir, const std::string& name, int32_t w, int32_t h) {
  print_data::testing::BmpLayout layout;
  layout.width = w;
  layout.height = h;
  layout.pixel = [](int32_t x, int32_t y) { return (x * 3 + y) % 5 < 2; };
  const std::string path = dir + "/" + name;
  std::ofstream(path, std::ios::binary) << print_data::testing::BuildBmp(layout);
  return path;
}

// Downloaded-image headers (GS * x y) of the images below, printed as they are.
const std::string kSlotOneImage = "\x1D*\x08\x04";  // 64 x 32
const std::string kSlotTwoImage = "\x1D*\x0C\x03";  // 96 x 24
const std::string kOtherImage = "\x1D*\x10\x02";    // 128 x 16

// The image the printer holds when `text` is printed: the last definition before it.
std::string ImageHeldAt(const std::string& sent, const std::string& text) {
  const size_t at = sent.find(text);
  if (at == std::string::npos) return "text not sent";
  const size_t define = sent.rfind("\x1D*", at);
  if (define == std::string::npos) return "no image defined";
  return sent.substr(define, 4);
}

class BitmapDownloadOrder : public ::testing::Test {
 protected:
  BitmapDownloadOrder() : rig_(true) {
    slot_one_ = ImageFile(rig_.Dir(), "one.bmp", 64, 32);
    slot_two_ = ImageFile(rig_.Dir(), "two.bmp", 96, 24);
    other_ = ImageFile(rig_.Dir(), "other.bmp", 128, 16);
  }
  // Waits until "second" and what follows it arrived.
  std::string SentThroughSecond() {
    std::string sent;
    PumpUntil(
        [&] {
          sent = rig_.Sent(0);
          return sent.find("second\n") != std::string::npos &&
                 (sent.find("third") != std::string::npos || !expect_third_);
        },
        20000);
    PrintRig::Wait(300);
    return rig_.Sent(0);
  }
  bool expect_third_ = false;
  PrintRig rig_;
  std::string slot_one_, slot_two_, other_;
};

TEST_F(BitmapDownloadOrder, ImagePrintedInsideATransactionReplacesTheSlotImage) {
  auto& p = rig_.printer();
  rig_.Mark();
  ASSERT_EQ(p.SetBitmap(1, 2, slot_one_, -11, -2), 0);
  ASSERT_EQ(p.TransactionPrint(2, 11), 0);
  ASSERT_EQ(p.PrintNormal(2, "\x1B|1Bfirst\n"), 0);
  ASSERT_EQ(p.PrintBitmap(2, other_, -11, -2), 0);
  ASSERT_EQ(p.PrintNormal(2, "\x1B|1Bsecond\n"), 0);
  ASSERT_EQ(p.TransactionPrint(2, 12), 0);
  const std::string sent = SentThroughSecond();
  EXPECT_EQ(ImageHeldAt(sent, "first\n"), kSlotOneImage);
  EXPECT_EQ(ImageHeldAt(sent, "second\n"), kSlotOneImage);
}

TEST_F(BitmapDownloadOrder, OtherSlotSetInsideAnAsynchronousTransaction) {
  auto& p = rig_.printer();
  rig_.Mark();
  ASSERT_EQ(p.SetBitmap(1, 2, slot_one_, -11, -2), 0);
  p.SetAsyncMode(true);
  expect_third_ = true;
  ASSERT_EQ(p.TransactionPrint(2, 11), 0);
  ASSERT_EQ(p.PrintNormal(2, "\x1B|1Bfirst\n"), 0);
  ASSERT_EQ(p.SetBitmap(2, 2, slot_two_, -11, -2), 0);
  ASSERT_EQ(p.PrintNormal(2, "\x1B|1Bsecond\n"), 0);
  ASSERT_EQ(p.PrintNormal(2, "\x1B|2Bthird\n"), 0);
  ASSERT_EQ(p.TransactionPrint(2, 12), 0);
  const std::string sent = SentThroughSecond();
  EXPECT_EQ(ImageHeldAt(sent, "first\n"), kSlotOneImage);
  EXPECT_EQ(ImageHeldAt(sent, "second\n"), kSlotOneImage);
  EXPECT_EQ(ImageHeldAt(sent, "third\n"), kSlotTwoImage);
}

TEST_F(BitmapDownloadOrder, ImagePrintedWhileTheWorkerIsStillBusy) {
  auto& p = rig_.printer();
  rig_.Mark();
  ASSERT_EQ(p.SetBitmap(1, 2, slot_one_, -11, -2), 0);
  p.SetAsyncMode(true);
  rig_.device().Set("slow 3");  // the first request keeps the worker busy for a while
  ASSERT_EQ(p.PrintNormal(2, std::string(200, 'x') + "\n"), 0);
  ASSERT_EQ(p.PrintNormal(2, "\x1B|1Bfirst\n"), 0);
  ASSERT_EQ(p.PrintBitmap(2, other_, -11, -2), 0);
  ASSERT_EQ(p.PrintNormal(2, "\x1B|1Bsecond\n"), 0);
  const std::string sent = SentThroughSecond();
  rig_.device().Set("slow 0");
  EXPECT_EQ(ImageHeldAt(sent, "first\n"), kSlotOneImage);
  EXPECT_EQ(ImageHeldAt(sent, "second\n"), kSlotOneImage);
}

}  // namespace
}  // namespace service_core::testing
