// The printer as a preview: positioning commands place the text where the device would,
// and every command of the command set it does not draw is skipped whole by its length,
// never printed as text.
#include <gtest/gtest.h>

#include "printer_harness.h"

namespace vdev::testing {
namespace {

std::vector<std::string> TextOps(const RecordingSink& sink) {
  std::vector<std::string> texts;
  for (const std::string& op : sink.descriptions()) {
    if (op.rfind("text", 0) == 0) texts.push_back(op);
  }
  return texts;
}

TEST(Positioning, AbsoluteAndRelativeMovesLeaveBlankDots) {
  Harness h;
  // Columns at 0, 300 and 400 dots: "Tea" ends at 36, the price starts at 300; ESC \ moves
  // 40 dots on from the end of "1.50" (348) to 388; moves off the line or back are ignored.
  h.Send(Cat({B("Tea\x1B$"), {44, 1}, B("1.50\x1B\\"), {40, 0}, B("x\n")}));
  h.Send(Cat({B("ab\x1B$"), {0x10, 0x27}, B("c\x1B\\"), {0xF0, 0xFF}, B("d\n")}));
  h.Send(Cat({B("\x1B$"), {0x40, 0x00}, B("\x1B!\x08\x1B\\"), {0x10, 0x00}, B("B\n")}));
  const std::vector<std::string> texts = TextOps(h.sink);
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0], "text a0 s30 cp0 [f0 1x1]Tea [f0 1x1 +264]1.50 [f0 1x1 +40]x");
  EXPECT_EQ(texts[1], "text a0 s30 cp0 [f0 1x1]abcd");
  // A gap before a style change takes the style of the text after it.
  EXPECT_EQ(texts[2], "text a0 s30 cp0 [f0 b 1x1 +80]B");
  const std::string log = h.printer.DecodedLog();
  EXPECT_NE(log.find("ESC $ 16 39  absolute print position\n   ! position outside the line"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("moving left is not modelled"), std::string::npos) << log;
}

TEST(CommandSet, CommandsNotDrawnAreSkippedWholeAndLogged) {
  Harness h;
  const Bytes commands = Cat({
      B("\x1C(A"), {2, 0, '0', '0'},                     // FS ( A: select kanji font
      B("\x1B(A"), {4, 0, 'a', 'b', 'c', 'd'},           // ESC ( A: beeper
      B("\x1D(k"), {3, 0, '1', 'C', '3'},                // GS ( k: two-dimensional code
      B("\x1Cg1"), {0, 0, 0, 0, 0, 3, 0, 'x', 'y', 'z'}, // FS g 1: NV user memory
      B("\x1Cg2"), {0, 0, 0, 0, 0, 3, 0},                // FS g 2
      B("\x1Dg0"), {0, 20, 0},                           // GS g 0: maintenance counter
      B("\x1Dz0"), {1, 1},                               // GS z 0: recovery wait
      B("\x1D" "C0"), {1, 1}, B("\x1D" "C1"), {1, 0, 9, 0, 1, 1}, B("\x1D" "C2"), {5, 0},
      B("\x1D" "C;1;9;1;1;0;"),                          // GS C ; counter mode
      B("\x1DQ0"), {0, 1, 0, 2, 0, 'p', 'q'},            // GS Q 0: 1 x 2 image bytes
      B("\x1B" "f"), {1, 1},                            // ESC f t n
      B("\x1C?"), {0xA1, 0xA1},                          // FS ? c1 c2
      B("\x1DZ\x02\x1D<\x1B<"),
  });
  h.Send(Cat({commands, B("OK\n")}));
  const std::vector<std::string> texts = TextOps(h.sink);
  ASSERT_EQ(texts.size(), 1u) << h.printer.DecodedLog();
  EXPECT_EQ(texts[0], "text a0 s30 cp0 [f0 1x1]OK");
  const std::string log = h.printer.DecodedLog();
  EXPECT_EQ(log.find("unknown command"), std::string::npos) << log;
  EXPECT_NE(log.find("FS ( 65 2 0  extended function (2 data bytes)\n   ! accepted; no effect"),
            std::string::npos)
      << log;

  // Split at every byte, the same commands give the same result.
  Harness split;
  for (uint8_t byte : Cat({commands, B("OK\n")})) split.Send({byte});
  EXPECT_EQ(split.sink.descriptions(), h.sink.descriptions());
}

}  // namespace
}  // namespace vdev::testing
