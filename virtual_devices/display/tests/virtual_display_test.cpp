#include "virtual_devices/virtual_display.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

namespace vdev {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) out.push_back(static_cast<uint8_t>(v));
  return out;
}

void Send(VirtualDisplay& display, const std::vector<uint8_t>& bytes) { display.Receive(bytes); }

void Send(VirtualDisplay& display, const std::string& text) {
  display.Receive(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::string Pad(const std::string& s) { return s + std::string(20 - s.size(), ' '); }

TEST(VirtualDisplayTest, ClaimSequenceThenFullRedrawFillsBothRows) {
  VirtualDisplay display;
  Send(display, Bytes({0x1B, 0x3D, 0x02}));                    // select the display
  Send(display, Bytes({0x1B, 0x40, 0x0B, 0x1B, 0x25, 0x01}));  // initialise, home, user chars
  EXPECT_TRUE(display.UserCharactersSelected());
  Send(display, Bytes({0x1F, 0x45, 0x10}));
  Send(display, Pad("TOTAL") + Pad("12.50"));
  EXPECT_EQ(display.Screen()[0], Pad("TOTAL"));
  EXPECT_EQ(display.Screen()[1], Pad("12.50"));
  EXPECT_EQ(display.BlinkInterval(), 0x10);
  // After 40 characters the cursor is home again, so the next redraw overwrites in place.
  EXPECT_EQ(display.CursorRow(), 0);
  EXPECT_EQ(display.CursorColumn(), 0);
  Send(display, Bytes({0x1F, 0x45, 0x00}));
  Send(display, Pad("THANK YOU") + Pad(""));
  EXPECT_EQ(display.Screen()[0], Pad("THANK YOU"));
  EXPECT_EQ(display.Screen()[1], Pad(""));
  EXPECT_EQ(display.BlinkInterval(), 0);
  EXPECT_NE(display.RenderText().find("|THANK YOU           |"), std::string::npos);
}

TEST(VirtualDisplayTest, ClearAndCursorMovement) {
  VirtualDisplay display;
  Send(display, std::string("HELLO"));
  Send(display, Bytes({0x0C}));
  EXPECT_EQ(display.Screen()[0], Pad(""));
  EXPECT_EQ(display.CursorColumn(), 0);
  Send(display, std::string("AB"));
  Send(display, Bytes({0x08, 'X', 0x0A, 0x0D, 'Y', 0x1F, 0x24, 20, 1, 'Z'}));
  EXPECT_EQ(display.Screen()[0], std::string("AX") + std::string(17, ' ') + "Z");
  EXPECT_EQ(display.Screen()[1], Pad("Y"));
  // Z went into the last column of the top row, so the cursor continues on the bottom row.
  EXPECT_EQ(display.CursorRow(), 1);
  EXPECT_EQ(display.CursorColumn(), 0);
  // Moving outside the screen is ignored; CAN clears the cursor line.
  Send(display, Bytes({0x1F, 0x24, 21, 1, 0x1F, 0x24, 1, 0, 0x18}));
  EXPECT_EQ(display.CursorRow(), 1);
  EXPECT_EQ(display.Screen()[1], Pad(""));
  EXPECT_EQ(display.Screen()[0][1], 'X');
}

TEST(VirtualDisplayTest, VerticalScrollModeMovesTheBottomRowUp) {
  VirtualDisplay display;
  Send(display, Bytes({0x1F, 0x02}));
  Send(display, Pad("ONE") + Pad("TWO") + "THREE");
  EXPECT_EQ(display.Screen()[0], Pad("TWO"));
  EXPECT_EQ(display.Screen()[1], Pad("THREE"));
  // ESC @ goes back to overwrite mode: the 41st character lands on the top row.
  Send(display, Bytes({0x1B, 0x40}));
  Send(display, Pad("A") + Pad("B") + "C");
  EXPECT_EQ(display.Screen()[0], Pad("C"));
}

TEST(VirtualDisplayTest, UserDefinedGlyphsAcrossSplitReceives) {
  VirtualDisplay display;
  // The bytes DefineGlyph sends for code 0x41, arriving in two pieces.
  Send(display, Bytes({0x1B, 0x26, 0x01, 0x41}));
  EXPECT_FALSE(display.Glyph(0x41).has_value());
  Send(display, Bytes({0x41, 0x05, 0x7F, 0x08, 0x08, 0x08, 0x7F, 'Q'}));
  ASSERT_TRUE(display.Glyph(0x41).has_value());
  EXPECT_EQ(*display.Glyph(0x41), (std::array<uint8_t, 5>{0x7F, 0x08, 0x08, 0x08, 0x7F}));
  EXPECT_EQ(display.Screen()[0][0], 'Q');  // the byte after the definition is text again
  // Two glyphs in one command, the second narrower; ESC ? deletes one; ESC @ deletes all.
  Send(display, Bytes({0x1B, 0x26, 0x01, 0x30, 0x31, 0x05, 1, 2, 3, 4, 5, 0x02, 9, 9}));
  EXPECT_EQ(*display.Glyph(0x31), (std::array<uint8_t, 5>{9, 9, 0, 0, 0}));
  Send(display, Bytes({0x1B, 0x3F, 0x30}));
  EXPECT_FALSE(display.Glyph(0x30).has_value());
  Send(display, Bytes({0x1B, 0x40}));
  EXPECT_FALSE(display.Glyph(0x41).has_value());
}

TEST(VirtualDisplayTest, MalformedAndUnknownBytesAreLoggedAndSkipped) {
  VirtualDisplay display;
  // Glyph wider than 5 columns, start code above end code, unknown ESC and US codes,
  // an unknown control byte: none of them changes the screen, the text after them shows.
  Send(display, Bytes({0x1B, 0x26, 0x01, 0x41, 0x41, 0x09}));
  Send(display, Bytes({0x1B, 0x26, 0x01, 0x42, 0x41}));
  Send(display, Bytes({0x1B, 0x7A, 0x1F, 0x7A, 0x07, 0x1F, 0x58, 9}));
  Send(display, std::string("OK"));
  EXPECT_EQ(display.Screen()[0], Pad("OK"));
  EXPECT_FALSE(display.Glyph(0x41).has_value());
  const auto log = display.DecodedLog();
  int skipped = 0;
  for (const auto& line : log) {
    if (line.find("skipped") != std::string::npos || line.find("ignored") != std::string::npos)
      ++skipped;
  }
  EXPECT_EQ(skipped, 6);
  EXPECT_EQ(log.back(), "4F 4B  text \"OK\"");
}

TEST(VirtualDisplayTest, DeselectedDisplayIgnoresDataUntilSelectedAgain) {
  VirtualDisplay display;
  Send(display, Bytes({0x1B, 0x3D, 0x01}));
  EXPECT_FALSE(display.Selected());
  Send(display, Bytes({'P', 'R', 'N', 0x1B, 0x40, 0x0C, 0x1B}));
  Send(display, Bytes({0x3D, 0x02, 'D'}));
  EXPECT_TRUE(display.Selected());
  EXPECT_EQ(display.Screen()[0], Pad("D"));
}

TEST(VirtualDisplayTest, DsrAndPowerDriveTheLinesAndReportChanges) {
  VirtualDisplay display;
  std::vector<ModemLines> seen;
  display.SetLinesChanged([&](ModemLines lines) { seen.push_back(lines); });
  std::string reply;
  EXPECT_TRUE(display.Lines().dsr);
  ASSERT_TRUE(display.Command("dsr off", reply));
  EXPECT_FALSE(display.Lines().dsr);
  EXPECT_TRUE(display.Lines().cts);
  ASSERT_TRUE(display.Command("dsr on", reply));
  Send(display, std::string("KEEP"));
  ASSERT_TRUE(display.Command("power off", reply));
  EXPECT_FALSE(display.Lines().dsr);
  EXPECT_FALSE(display.Lines().cts);
  Send(display, std::string("LOST"));
  ASSERT_TRUE(display.Command("power on", reply));
  EXPECT_EQ(display.Screen()[0], Pad(""));  // power-on state, the bytes sent while off are gone
  ASSERT_EQ(seen.size(), 4u);
  EXPECT_FALSE(seen[0].dsr);
  EXPECT_TRUE(seen[1].dsr);
  EXPECT_FALSE(seen[2].cts);
  EXPECT_TRUE(seen[3].dsr);
  EXPECT_FALSE(display.Command("dsr maybe", reply));
  EXPECT_FALSE(display.Command("fly", reply));
  EXPECT_NE(reply.find("unknown"), std::string::npos);
}

TEST(VirtualDisplayTest, OutputFilesFollowTheScreen) {
  char dir_template[] = "/tmp/vdisplay_test_XXXXXX";
  ASSERT_NE(mkdtemp(dir_template), nullptr);
  const std::filesystem::path dir(dir_template);
  VirtualDisplay display;
  std::string error;
  ASSERT_TRUE(display.SetCaptureFile(dir / "capture.bin", error)) << error;
  ASSERT_TRUE(display.SetLogFile(dir / "log.txt", error)) << error;
  ASSERT_TRUE(display.SetTextFile(dir / "screen.txt", error)) << error;
  EXPECT_FALSE(display.SetLogFile(dir / "missing" / "log.txt", error));
  int changes = 0;
  display.SetScreenChanged([&] { ++changes; });
  Send(display, Bytes({0x0C, 'H', 'I'}));
  Send(display, Bytes({0x1B, 0x3D, 0x02}));  // nothing visible changes
  EXPECT_EQ(changes, 1);
  auto read = [](const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  };
  EXPECT_EQ(read(dir / "capture.bin"), std::string("\x0CHI\x1B=\x02"));
  EXPECT_EQ(
      read(dir / "log.txt"),
      "0C  FF clear\n48 49  text \"HI\"\n1B 3D 02  ESC = select peripheral: display selected\n");
  EXPECT_NE(read(dir / "screen.txt").find("|HI                  |"), std::string::npos);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace vdev

namespace vdev {
namespace {

// Random bytes, biased towards command introducers so that partial and malformed commands
// are common: the model never crashes, the screen keeps its size and the cursor stays on it.
TEST(VirtualDisplayTest, RandomInputKeepsTheScreenConsistent) {
  std::mt19937 random(20240607);
  const uint8_t interesting[] = {0x1B, 0x1F, 0x26, 0x3D, 0x24, 0x01, 0x02, 0x05, 0x0C, 0x0A};
  for (int round = 0; round < 200; ++round) {
    VirtualDisplay display;
    std::vector<uint8_t> bytes(1 + random() % 300);
    for (auto& b : bytes) {
      b = (random() % 3 == 0) ? interesting[random() % sizeof interesting]
                              : static_cast<uint8_t>(random());
    }
    // Delivered in random pieces, as a serial line would.
    for (size_t pos = 0; pos < bytes.size();) {
      const size_t n = std::min<size_t>(1 + random() % 7, bytes.size() - pos);
      display.Receive(std::span(bytes).subspan(pos, n));
      pos += n;
    }
    for (const auto& row : display.Screen()) ASSERT_EQ(row.size(), 20u);
    ASSERT_GE(display.CursorRow(), 0);
    ASSERT_LT(display.CursorRow(), 2);
    ASSERT_GE(display.CursorColumn(), 0);
    ASSERT_LT(display.CursorColumn(), 20);
    ASSERT_EQ(display.Capture().size(), bytes.size());
  }
}

}  // namespace
}  // namespace vdev
