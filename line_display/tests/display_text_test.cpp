// Text, windows, clearing, scrolling, blinking and glyphs: the bytes the virtual display
// received and what it shows.
#include <gtest/gtest.h>

#include "display_fixture.h"
#include "platform/event.h"

namespace line_display::testing {
namespace {

std::string Redraw(char blink, const std::string& row0, const std::string& row1) {
  return std::string{'\x1F', '\x45', blink} + Padded(row0) + Padded(row1);
}

// The bytes the display received after `from` are `expected` (nothing, when it is empty).
#define EXPECT_SENT(from, expected)                                                            \
  do {                                                                                         \
    const std::string wanted = (expected);                                                     \
    EXPECT_EQ(                                                                                 \
        device_->Await(from, wanted.empty() ? 1 : wanted.size(), wanted.empty() ? 300 : 5000), \
        wanted);                                                                               \
  } while (0)

using DisplayTextTest = ClaimedDisplay;

TEST_F(DisplayTextTest, EveryTextRedrawsTheWholeDisplayAndTheCursorFollowsTheText) {
  const size_t from = device_->Received().size();
  ASSERT_EQ(display_->DisplayText("Hello", 0), 0);
  WaitIdle();
  EXPECT_SENT(from, Redraw(0, "Hello", ""));
  EXPECT_EQ(display_->GetPropertyNumber(5004), 5);

  // ABC, a carriage return, then X: the X replaces the A.
  ASSERT_EQ(display_->DisplayTextAt(1, 0, "ABC\r", 0), 0);
  ASSERT_EQ(display_->DisplayText("X", 0), 0);
  EXPECT_TRUE(WaitForScreen("Hello", "XBC"));

  // A full row wraps to the next; past the last row the text moves up.
  ASSERT_EQ(display_->DisplayTextAt(1, 15, "12345678", 0), 0);
  EXPECT_TRUE(WaitForScreen("XBC            12345", "678"));
  EXPECT_EQ(display_->GetPropertyNumber(5005), 1);
  EXPECT_EQ(display_->GetPropertyNumber(5004), 3);

  // A line feed keeps the column.
  ASSERT_EQ(display_->DisplayText("\nnext", 0), 0);
  EXPECT_TRUE(WaitForScreen("678", "   next"));

  // Without CursorUpdate the cursor stays where the text began.
  display_->SetPropertyNumber(5006, 0);
  display_->SetPropertyNumber(5005, 0);
  display_->SetPropertyNumber(5004, 0);
  ASSERT_EQ(display_->DisplayText("ab", 0), 0);
  ASSERT_EQ(display_->DisplayText("c", 0), 0);
  EXPECT_TRUE(WaitForScreen("cb8", "   next"));
}

TEST_F(DisplayTextTest, PositionsOutsideTheWindowAreRefused) {
  EXPECT_EQ(display_->DisplayTextAt(2, 0, "x", 0), 106);
  EXPECT_EQ(display_->DisplayTextAt(0, 20, "x", 0), 106);
  EXPECT_EQ(display_->DisplayTextAt(-1, 0, "x", 0), 106);
  display_->SetPropertyNumber(5005, 2);
  EXPECT_EQ(display_->ResultCode(), 106);
  display_->SetPropertyNumber(5004, 21);
  EXPECT_EQ(display_->ResultCode(), 106);
  EXPECT_EQ(display_->GetPropertyNumber(5004), 0);
  EXPECT_EQ(display_->ScrollText(5, 1), 106);
  EXPECT_EQ(display_->ScrollText(0, 1), 106);
}

TEST_F(DisplayTextTest, BlinkingTakesTheBlinkRate) {
  size_t from = device_->Received().size();
  ASSERT_EQ(display_->DisplayText("Sale", 1), 0);
  WaitIdle();
  EXPECT_SENT(from, Redraw(0x10, "Sale", ""));
  EXPECT_EQ(device_->display.BlinkInterval(), 0x10);

  display_->SetPropertyNumber(5018, 50);
  from = device_->Received().size();
  ASSERT_EQ(display_->DisplayText("!", 1), 0);
  WaitIdle();
  EXPECT_SENT(from, Redraw(0x01, "Sale!", ""));

  display_->SetPropertyNumber(5018, 1000000);
  from = device_->Received().size();
  ASSERT_EQ(display_->DisplayText("!", 1), 0);
  WaitIdle();
  // A long blink rate never switches the screen off (255).
  EXPECT_SENT(from, Redraw(static_cast<char>(254), "Sale!!", ""));

  from = device_->Received().size();
  ASSERT_EQ(display_->DisplayText("", 0), 0);
  WaitIdle();
  EXPECT_SENT(from, Redraw(0, "Sale!!", ""));
}

TEST_F(DisplayTextTest, ClearTextSendsFormFeedOnlyAndTheShadowForgetsTheText) {
  ASSERT_EQ(display_->DisplayText("Total", 0), 0);
  EXPECT_TRUE(WaitForScreen("Total", ""));
  display_->SetPropertyNumber(5004, 1);
  int32_t c = 0;
  EXPECT_EQ(display_->ReadCharacterAtCursor(c), 0);
  EXPECT_EQ(c, 'o');

  const size_t from = device_->Received().size();
  ASSERT_EQ(display_->ClearText(), 0);
  WaitIdle();
  EXPECT_SENT(from, "\x0C");
  EXPECT_EQ(display_->GetPropertyNumber(5004), 0);
  EXPECT_EQ(display_->ReadCharacterAtCursor(c), 0);
  EXPECT_EQ(c, 127);
  ASSERT_EQ(display_->DisplayText("Hi", 0), 0);
  EXPECT_TRUE(WaitForScreen("Hi", ""));
}

TEST_F(DisplayTextTest, WindowsAreDrawnBackToFrontAndClearingOneLeavesTheOthersForLater) {
  ASSERT_EQ(display_->DisplayText("background row one..", 0), 0);
  ASSERT_EQ(display_->DisplayText("background row two..", 0), 0);
  EXPECT_TRUE(WaitForScreen("background row one..", "background row two.."));

  ASSERT_EQ(display_->CreateWindow(1, 12, 1, 8, 1, 8), 0);
  EXPECT_EQ(display_->GetPropertyNumber(5003), 1);
  EXPECT_EQ(display_->GetPropertyNumber(5002), 8);
  ASSERT_EQ(display_->DisplayText("$ 12.50", 0), 0);
  EXPECT_TRUE(WaitForScreen("background row one..", "background r$ 12.50"));

  // The front window's clear blanks the whole display; the next redraw brings window 0 back.
  const size_t from = device_->Received().size();
  ASSERT_EQ(display_->ClearText(), 0);
  WaitIdle();
  EXPECT_SENT(from, "\x0C");
  EXPECT_TRUE(WaitForScreen("", ""));
  ASSERT_EQ(display_->RefreshWindow(1), 0);
  EXPECT_TRUE(WaitForScreen("background row one..", "background r"));

  // Window 0 comes to the front and hides window 1 where they overlap.
  display_->SetPropertyNumber(5003, 0);
  EXPECT_EQ(display_->ResultCode(), 0);
  ASSERT_EQ(display_->DisplayTextAt(1, 0, "front", 0), 0);
  EXPECT_TRUE(WaitForScreen("background row one..", "frontround row two.."));
  display_->SetPropertyNumber(5003, 7);
  EXPECT_EQ(display_->ResultCode(), 106);

  // Destroying takes the current window; window 0 cannot be destroyed.
  EXPECT_EQ(display_->DestroyWindow(), 106);
  display_->SetPropertyNumber(5003, 1);
  EXPECT_EQ(display_->DestroyWindow(), 0);
  EXPECT_EQ(display_->GetPropertyNumber(5003), 0);
  ASSERT_EQ(display_->RefreshWindow(0), 0);
  EXPECT_TRUE(WaitForScreen("background row one..", "frontround row two.."));
}

TEST_F(DisplayTextTest, CreateWindowAcceptsOnlyShapesTheDisplayCanHold) {
  EXPECT_EQ(display_->CreateWindow(0, 0, 1, 10, 2, 40), 106) << "larger in both directions";
  EXPECT_EQ(display_->CreateWindow(0, 0, 1, 10, 1, 9), 106) << "smaller than its viewport";
  EXPECT_EQ(display_->CreateWindow(1, 0, 2, 20, 2, 20), 106) << "below the display";
  EXPECT_EQ(display_->CreateWindow(0, 15, 1, 6, 1, 6), 106) << "right of the display";
  EXPECT_EQ(display_->CreateWindow(-1, 0, 1, 1, 1, 1), 106);
  EXPECT_EQ(display_->CreateWindow(0, 0, 0, 1, 1, 1), 106);
  EXPECT_EQ(display_->CreateWindow(0, 0, 1, 10, 1, 0x7FFFFFFF), 106) << "no buffer that large";
  EXPECT_EQ(display_->CreateWindow(0, 0x7FFFFFFF, 1, 10, 1, 10), 106);
  EXPECT_EQ(display_->CreateWindow(0, 0, 1, 10, 1, 40), 0) << "wider in one direction";
  EXPECT_EQ(display_->GetPropertyNumber(5002), 40);
  EXPECT_EQ(display_->CreateWindow(0, 0, 1, 10, 3, 10), 0) << "taller in one direction";
  for (int i = 3; i < 10; ++i) EXPECT_EQ(display_->CreateWindow(0, 0, 1, 1, 1, 1), 0) << i;
  EXPECT_EQ(display_->GetPropertyNumber(5003), 9);
  EXPECT_EQ(display_->CreateWindow(0, 0, 1, 1, 1, 1), 106) << "an eleventh window";
}

TEST_F(DisplayTextTest, ScrollingMovesTheTextWithinTheTextAroundTheWindow) {
  ASSERT_EQ(display_->CreateWindow(0, 0, 1, 10, 1, 20), 0);
  ASSERT_EQ(display_->DisplayText("abcdefghijklmnopqrst", 0), 0);
  EXPECT_TRUE(WaitForScreen("abcdefghij", ""));
  ASSERT_EQ(display_->ScrollText(3, 10), 0);
  EXPECT_TRUE(WaitForScreen("klmnopqrst", ""));
  EXPECT_EQ(display_->GetPropertyNumber(5004), 0);
  ASSERT_EQ(display_->ScrollText(4, 5), 0);
  EXPECT_TRUE(WaitForScreen("fghijklmno", ""));
  WaitIdle();
  // Beyond the width: no change and nothing sent.
  const size_t from = device_->Received().size();
  ASSERT_EQ(display_->ScrollText(3, 21), 0);
  WaitIdle();
  platform::SleepMs(300);
  EXPECT_SENT(from, "");
  ASSERT_EQ(display_->ScrollText(4, 5), 0);
  EXPECT_TRUE(WaitForScreen("abcdefghij", ""));

  // Window 0: scrolling up brings the second row to the first.
  display_->SetPropertyNumber(5003, 0);
  ASSERT_EQ(display_->DisplayTextAt(0, 0, "first", 0), 0);
  ASSERT_EQ(display_->DisplayTextAt(1, 0, "second", 0), 0);
  ASSERT_EQ(display_->ScrollText(1, 1), 0);
  EXPECT_TRUE(WaitForScreen("second", ""));
  ASSERT_EQ(display_->ScrollText(2, 1), 0);
  EXPECT_TRUE(WaitForScreen("first", "second"));
}

TEST_F(DisplayTextTest, InterCharacterWaitRedrawsAfterEveryCharacter) {
  display_->SetPropertyNumber(5012, 20);
  EXPECT_EQ(display_->GetPropertyNumber(5012), 100) << "raised to 100 ms";
  const size_t from = device_->Received().size();
  const uint64_t start = platform::TickCountMs();
  ASSERT_EQ(display_->DisplayText("abc", 0), 0);
  EXPECT_TRUE(PumpUntil([&] { return display_->State() == 3; }, 1000))
      << "the display thread is busy with the text";
  WaitIdle();
  EXPECT_GE(platform::TickCountMs() - start, 300u);
  EXPECT_SENT(from, Redraw(0, "a", "") + Redraw(0, "ab", "") + Redraw(0, "abc", ""));
  display_->SetPropertyNumber(5012, 0);
  EXPECT_EQ(display_->GetPropertyNumber(5012), 0);
}

TEST_F(DisplayTextTest, BinaryConversionKeepsTextOffTheDisplayAndAllowsGlyphs) {
  EXPECT_EQ(display_->DefineGlyph(65, "00000000000000"), 106) << "only with nibble conversion";
  display_->SetPropertyNumber(11, 1);
  ASSERT_EQ(display_->ResultCode(), 0);
  size_t from = device_->Received().size();
  ASSERT_EQ(display_->DefineGlyph(65, "00000000000000"), 0);
  EXPECT_SENT(from, std::string("\x1B\x26\x01\x41\x41\x05\0\0\0\0\0", 11));
  // A diagonal from the top left: row r has column r set.
  from = device_->Received().size();
  ASSERT_EQ(display_->DefineGlyph(0x80, "10080402010000"), 0);
  EXPECT_SENT(from, std::string("\x1B\x26\x01\x80\x80\x05\x40\x20\x10\x08\x04", 11));
  const auto glyph = device_->display.Glyph(0x80);
  ASSERT_TRUE(glyph.has_value());
  EXPECT_EQ((*glyph)[0], 0x40);
  EXPECT_EQ(display_->DefineGlyph(65, "0000000000000"), 106);
  EXPECT_EQ(display_->DefineGlyph(31, "00000000000000"), 106);
  EXPECT_EQ(display_->DefineGlyph(256, "00000000000000"), 106);
  EXPECT_EQ(display_->DefineGlyph(65, "0000000000000G"), 106) << "not a nibble";

  from = device_->Received().size();
  ASSERT_EQ(display_->DisplayText("hidden", 0), 0);
  WaitIdle();
  EXPECT_SENT(from, "");
  display_->SetPropertyNumber(11, 0);
  ASSERT_EQ(display_->RefreshWindow(0), 0);
  EXPECT_TRUE(WaitForScreen("hidden", ""));
}

TEST_F(DisplayTextTest, WithDsrOffOutputMethodsFailWithIllegalAndSendNothing) {
  device_->Set("dsr off");
  const size_t from = device_->Received().size();
  const uint64_t start = platform::TickCountMs();
  EXPECT_EQ(display_->DisplayText("lost", 0), 106);
  EXPECT_GE(platform::TickCountMs() - start, 1000u) << "DSR gets the claim time-out to return";
  EXPECT_EQ(display_->ClearText(), 106);
  EXPECT_EQ(display_->RefreshWindow(0), 106);
  display_->SetPropertyNumber(11, 1);
  EXPECT_EQ(display_->ResultCode(), 106);
  EXPECT_EQ(display_->GetPropertyNumber(11), 0);
  EXPECT_SENT(from, "");
  device_->Set("dsr on");
  EXPECT_EQ(display_->DisplayText("back", 0), 0);
  EXPECT_TRUE(WaitForScreen("back", ""));
}

TEST_F(DisplayTextTest, ControlBytesInTextReachTheDisplayAsQuestionMarks) {
  // ESC @ (reset), FF (clear), US E n (blink), CAN and DEL inside a product name.
  const std::string name(
      "A\x1B@B\x0C"
      "C\x1F\x45\x05"
      "D\x18\x7F",
      12);
  size_t from = device_->Received().size();
  ASSERT_EQ(display_->DisplayText(name, 0), 0);
  WaitIdle();
  EXPECT_SENT(from, Redraw(0, "A?@B?C?E?D??", ""));
  EXPECT_TRUE(WaitForScreen("A?@B?C?E?D??", ""));
  EXPECT_EQ(device_->display.BlinkInterval(), 0);

  // The same for text given a position; a carriage return still moves the cursor.
  from = device_->Received().size();
  ASSERT_EQ(display_->DisplayTextAt(1, 0, std::string("\x1B@x\ry\x00z", 7), 0), 0);
  WaitIdle();
  EXPECT_SENT(from, Redraw(0, "A?@B?C?E?D??", "y?z"));
  int32_t c = 0;
  display_->SetPropertyNumber(5005, 1);
  display_->SetPropertyNumber(5004, 0);
  EXPECT_EQ(display_->ReadCharacterAtCursor(c), 0);
  EXPECT_EQ(c, '?');
}

TEST_F(DisplayTextTest, ClearAndScrollAfterAWindowChangeStartTheNextTextAtHome) {
  ASSERT_EQ(display_->DisplayText("12345", 0), 0);
  ASSERT_EQ(display_->CreateWindow(1, 10, 1, 10, 1, 10), 0);
  ASSERT_EQ(display_->DisplayText("w1", 0), 0);
  EXPECT_TRUE(WaitForScreen("12345", "          w1"));

  // Back to window 0 (in front, covering window 1), whose cursor stands after "12345":
  // clearing puts it home.
  display_->SetPropertyNumber(5003, 0);
  ASSERT_EQ(display_->ClearText(), 0);
  ASSERT_EQ(display_->DisplayText("X", 0), 0);
  EXPECT_TRUE(WaitForScreen("X", ""));

  // And scrolling does too.
  display_->SetPropertyNumber(5003, 1);
  display_->SetPropertyNumber(5003, 0);
  ASSERT_EQ(display_->ScrollText(2, 1), 0);
  ASSERT_EQ(display_->DisplayText("Y", 0), 0);
  EXPECT_TRUE(WaitForScreen("Y", "X"));
}

TEST_F(DisplayTextTest, MethodsCheckClaimThenEnable) {
  display_->SetDeviceEnabled(false);
  EXPECT_EQ(display_->DisplayText("x", 0), 105);
  EXPECT_EQ(display_->CreateWindow(0, 0, 1, 1, 1, 1), 105);
  EXPECT_EQ(display_->ClearDescriptors(), 106);
  EXPECT_EQ(display_->SetDescriptor(0, 1), 106);
  ASSERT_EQ(display_->ReleaseDevice(), 0);
  EXPECT_EQ(display_->DisplayText("x", 0), 103);
  EXPECT_EQ(display_->ScrollText(1, 1), 103);
}

}  // namespace
}  // namespace line_display::testing
