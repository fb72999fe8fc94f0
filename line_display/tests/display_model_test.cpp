// The display's text model without a device: the frame composed from windows, the command
// bytes, and where a marquee pass puts the text.
#include <gtest/gtest.h>

#include "display_bytes.h"
#include "marquee_pass.h"
#include "text_buffer.h"

namespace line_display {
namespace {

void Write(TextBuffer& buffer, int row, const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) buffer.Put(row, static_cast<int>(i), text[i]);
}

std::string Shown(const TextBuffer& buffer, Viewport viewport) {
  std::string rows;
  for (int r = 0; r < viewport.height; ++r) {
    if (r) rows += '|';
    rows += buffer.Row(buffer.Height() + r).substr(buffer.Width(), viewport.width);
  }
  return rows;
}

TEST(DisplayFrame, FrontWindowsCoverBackOnesAndOnlyTheViewportShows) {
  TextBuffer whole(2, 20), price(1, 30);
  Write(whole, 0, "Coffee beans 1 kg");
  Write(whole, 1, "Milk 2 l");
  Write(price, 0, "12.50 and more than fits here");
  const WindowView views[] = {{0, 0, 2, 20, &whole}, {1, 14, 1, 6, &price}};
  EXPECT_EQ(ComposeFrame(views), "Coffee beans 1 kg   Milk 2 l      12.50 ");
  EXPECT_EQ(ComposeFrame({}), std::string(40, ' '));
}

TEST(DisplayBytes, BlinkCommandFollowsTheRateWithinWhatTheDisplayTakes) {
  EXPECT_EQ(BlinkCommand(false, 1600), std::string("\x1F\x45\x00", 3));
  EXPECT_EQ(BlinkCommand(true, 1600), "\x1F\x45\x10");
  EXPECT_EQ(BlinkCommand(true, 50), "\x1F\x45\x01");
  EXPECT_EQ(BlinkCommand(true, -5), "\x1F\x45\x01");
  EXPECT_EQ(BlinkCommand(true, 199), "\x1F\x45\x01");
  EXPECT_EQ(BlinkCommand(true, 25500), "\x1F\x45\xFE");
}

TEST(DisplayBytes, GlyphRowsBecomeColumns) {
  std::string bytes;
  // An arrow: the middle row full, a point on the right.
  ASSERT_TRUE(GlyphCommand(0xA0, "02011?01020000", bytes));
  EXPECT_EQ(bytes, std::string("\x1B\x26\x01\xA0\xA0\x05\x10\x10\x10\x54\x38", 11));
  // The seventh row comes from the last pair.
  ASSERT_TRUE(GlyphCommand(0x41, "0000000000001?", bytes));
  EXPECT_EQ(bytes.substr(6), std::string("\x01\x01\x01\x01\x01", 5));
  EXPECT_FALSE(GlyphCommand(0x41, "0000000000000", bytes));
  EXPECT_FALSE(GlyphCommand(0x41, "000000000000/0", bytes));
  EXPECT_FALSE(GlyphCommand(0x41, "000000000000@0", bytes));
}

TEST(TextBuffer, ScrollingKeepsTextAroundTheWindowAndMovingBackRestoresIt) {
  TextBuffer buffer(2, 5);
  Write(buffer, 0, "ABCDE");
  Write(buffer, 1, "FGHIJ");
  buffer.ShiftColumns(-3);
  EXPECT_EQ(Shown(buffer, {2, 5}), "DE   |IJ   ");
  buffer.ShiftColumns(3);
  EXPECT_EQ(Shown(buffer, {2, 5}), "ABCDE|FGHIJ");
  buffer.ShiftRows(-1);
  EXPECT_EQ(Shown(buffer, {2, 5}), "FGHIJ|     ");
  buffer.ShiftRows(1);
  EXPECT_EQ(Shown(buffer, {2, 5}), "ABCDE|FGHIJ");
  buffer.ShiftRows(100);
  EXPECT_EQ(Shown(buffer, {2, 5}), "     |     ");
  Write(buffer, 0, "ABCDE");
  Write(buffer, 1, "FGHIJ");
  buffer.MoveTextUp();
  EXPECT_EQ(Shown(buffer, {2, 5}), "FGHIJ|     ");
  buffer.Put(5, 0, 'x');
  buffer.Put(0, -1, 'x');
  EXPECT_EQ(buffer.At(9, 9), ' ');
}

// Every frame of one pass: the first one when it is shown, then one after each step.
std::vector<std::string> Pass(TextBuffer& buffer, int type, int format, Viewport viewport) {
  std::vector<std::string> frames;
  MarqueePass pass;
  auto frame = [&] {
    FlipPlacedText(buffer, pass, viewport);
    frames.push_back(Shown(buffer, viewport));
    FlipPlacedText(buffer, pass, viewport);
  };
  if (StartMarqueePass(buffer, pass, type, format, viewport)) frame();
  while (MarqueeStepsLeft(buffer, pass) > 0) {
    StepMarqueePass(buffer, pass);
    frame();
  }
  EndMarqueePass(buffer, pass);
  EXPECT_EQ(pass.step, 0);
  return frames;
}

using Frames = std::vector<std::string>;

TEST(MarqueePass, AWindowWiderThanItsViewportWalksThroughIt) {
  TextBuffer buffer(1, 8);
  Write(buffer, 0, "ABCDEFGH");
  EXPECT_EQ(Pass(buffer, kMarqueeLeft, kMarqueeWalk, {1, 4}),
            (Frames{"   A", "  AB", " ABC", "ABCD", "BCDE", "CDEF", "DEFG", "EFGH"}));
  EXPECT_EQ(Shown(buffer, {1, 8}), "ABCDEFGH") << "home again";
  EXPECT_EQ(Pass(buffer, kMarqueeRight, kMarqueeWalk, {1, 4}),
            (Frames{"GH  ", "FGH ", "EFGH", "DEFG", "CDEF", "BCDE", "ABCD"}));
  EXPECT_EQ(Pass(buffer, kMarqueeLeft, kMarqueePlace, {1, 4}).size(), 8u);
  EXPECT_EQ(Shown(buffer, {1, 8}), "ABCDEFGH") << "the place format turns the text back";
  EXPECT_EQ(Pass(buffer, kMarqueeRight, kMarqueePlace, {1, 4}).size(), 7u);
  EXPECT_EQ(Shown(buffer, {1, 8}), "ABCDEFGH");
}

TEST(MarqueePass, EndingAPassEarlyPutsTheTextHome) {
  for (int type : {kMarqueeUp, kMarqueeDown, kMarqueeLeft, kMarqueeRight}) {
    for (int format : {kMarqueeWalk, kMarqueePlace}) {
      TextBuffer buffer(3, 3);
      Write(buffer, 0, "abc");
      Write(buffer, 1, "def");
      Write(buffer, 2, "ghi");
      MarqueePass pass;
      StartMarqueePass(buffer, pass, type, format, {2, 3});
      StepMarqueePass(buffer, pass);
      EndMarqueePass(buffer, pass);
      EXPECT_EQ(Shown(buffer, {3, 3}), "abc|def|ghi") << type << " " << format;
    }
  }
}

}  // namespace
}  // namespace line_display
