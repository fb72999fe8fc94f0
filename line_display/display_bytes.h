// The display's command bytes and the composition of the 2 x 20 frame from the windows.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "text_buffer.h"

namespace line_display {

inline constexpr int kDeviceRows = 2;
inline constexpr int kDeviceColumns = 20;

// ESC @, VT, ESC % 1: initialise, cursor home, user-defined characters on.
inline constexpr std::string_view kInitialiseBytes{"\x1B\x40\x0B\x1B\x25\x01", 6};
// ESC = 2: data goes to the display.
inline constexpr std::string_view kSelectDisplayBytes{"\x1B\x3D\x02", 3};
// FF: clear the display.
inline constexpr std::string_view kClearBytes{"\x0C", 1};

// US E n: blink the whole display (n = BlinkRate / 100, at least 1, at most
// 254: 255 would switch the screen off), or US E 0 for a steady display.
std::string BlinkCommand(bool blink, int32_t blink_rate);

// ESC & 1 g g 5 d0..d4 for a glyph given as 14 nibble characters ('0'..'?'): six rows as
// pairs of nibbles and a seventh row from the last pair, each row's five columns in bits
// 0x10 (left) .. 0x01. False when a character is not a nibble.
bool GlyphCommand(uint8_t code, std::string_view nibbles, std::string& bytes);

// Application text as the display may receive it: CR and LF stay (they move the cursor
// and never reach the display), every other byte below 0x20 and DEL become
// kControlSubstitute, so no text can carry a command to the device. Bytes from 0x80 up are
// characters of the display's table (and user-defined glyphs) and stay.
inline constexpr char kControlSubstitute = '?';
std::string DisplayableText(std::string_view data);

// A window's place on the display and its text.
struct WindowView {
  int viewport_row = 0, viewport_column = 0, viewport_height = 0, viewport_width = 0;
  const TextBuffer* buffer = nullptr;
};

// The 40 characters of the display (row 0, then row 1): spaces, then each window's
// viewport, back to front.
std::string ComposeFrame(std::span<const WindowView> back_to_front);

}  // namespace line_display
