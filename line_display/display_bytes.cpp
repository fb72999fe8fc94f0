#include "display_bytes.h"

#include <algorithm>
#include <array>

namespace line_display {

std::string BlinkCommand(bool blink, int32_t blink_rate) {
  int n = 0;
  if (blink) n = blink_rate >= 100 ? std::min(blink_rate / 100, 254) : 1;
  return std::string{'\x1F', '\x45', static_cast<char>(n)};
}

std::string DisplayableText(std::string_view data) {
  std::string text(data);
  for (char& c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\r' && c != '\n') || byte == 0x7F) c = kControlSubstitute;
  }
  return text;
}

bool GlyphCommand(uint8_t code, std::string_view nibbles, std::string& bytes) {
  if (nibbles.size() != 14) return false;
  std::array<uint8_t, 7> rows{};
  for (size_t i = 0; i < nibbles.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(nibbles[i]);
    if (c < 0x30 || c > 0x3F) return false;
    const uint8_t nibble = c - 0x30;
    if (i % 2 == 0)
      rows[i / 2] = static_cast<uint8_t>(nibble << 4);
    else
      rows[i / 2] |= nibble;
  }
  bytes = {'\x1B', '\x26', '\x01', static_cast<char>(code), static_cast<char>(code), '\x05'};
  for (int k = 0; k < 5; ++k) {
    uint8_t column = 0;
    for (int r = 0; r < 7; ++r) {
      if (rows[r] & (0x10 >> k)) column |= static_cast<uint8_t>(0x40 >> r);
    }
    bytes.push_back(static_cast<char>(column));
  }
  return true;
}

std::string ComposeFrame(std::span<const WindowView> back_to_front) {
  std::string frame(kDeviceRows * kDeviceColumns, ' ');
  for (const WindowView& view : back_to_front) {
    const TextBuffer& buffer = *view.buffer;
    for (int i = 0; i < view.viewport_height; ++i) {
      const int row = view.viewport_row + i;
      if (row < 0 || row >= kDeviceRows) continue;
      const std::string& text = buffer.Row(buffer.Height() + i);
      const int count = std::min(view.viewport_width, kDeviceColumns - view.viewport_column);
      frame.replace(row * kDeviceColumns + view.viewport_column, count, text, buffer.Width(),
                    count);
    }
  }
  return frame;
}

}  // namespace line_display
