#include "display_parser.h"

#include <cstdio>

namespace vdev {
namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kUs = 0x1F;
constexpr size_t kMaxLoggedBytes = 32;
constexpr int kGlyphColumns = 5;

std::string Hex(uint8_t b) {
  char text[8];
  std::snprintf(text, sizeof text, "%02X", b);
  return text;
}

}  // namespace

std::string FormatLogLine(std::span<const uint8_t> bytes, const std::string& meaning) {
  std::string line;
  for (size_t i = 0; i < bytes.size() && i < kMaxLoggedBytes; ++i) {
    if (i) line += ' ';
    line += Hex(bytes[i]);
  }
  if (bytes.size() > kMaxLoggedBytes) line += " ..";
  return line + "  " + meaning;
}

void DisplayParser::Reset() {
  pending_.clear();
  selected_ = true;
}

void DisplayParser::Feed(std::span<const uint8_t> bytes, const LogSink& log) {
  pending_.insert(pending_.end(), bytes.begin(), bytes.end());
  size_t pos = 0;
  while (pos < pending_.size()) {
    const std::span<const uint8_t> rest(pending_.data() + pos, pending_.size() - pos);
    const size_t used = selected_ ? DecodeOne(rest, log) : SkipForOtherDevice(rest, log);
    if (used == 0) break;
    pos += used;
  }
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(pos));
}

size_t DisplayParser::SkipForOtherDevice(std::span<const uint8_t> data, const LogSink& log) {
  // Only ESC = n reaches a deselected display; everything else belongs to the printer.
  if (data[0] == kEsc) {
    if (data.size() < 2) return 0;
    if (data[1] == '=') return DecodeEscape(data, log);
  }
  size_t n = 1;
  while (n < data.size() && data[n] != kEsc) ++n;
  log(FormatLogLine(data.first(n),
                    "not selected (ESC = 1): skipped " + std::to_string(n) + " byte(s)"));
  return n;
}

size_t DisplayParser::DecodeOne(std::span<const uint8_t> data, const LogSink& log) {
  const uint8_t b = data[0];
  if (b >= 0x20) {
    size_t n = 0;
    while (n < data.size() && data[n] >= 0x20) screen_.PutCharacter(data[n++]);
    std::string text;
    for (size_t i = 0; i < n; ++i) text += (data[i] < 0x7F) ? static_cast<char>(data[i]) : '?';
    log(FormatLogLine(data.first(n), "text \"" + text + "\""));
    return n;
  }
  const auto one = data.first(1);
  switch (b) {
    case 0x08:
      screen_.CursorLeft();
      log(FormatLogLine(one, "BS cursor left"));
      return 1;
    case 0x09:
      screen_.CursorRight();
      log(FormatLogLine(one, "HT cursor right"));
      return 1;
    case 0x0A:
      screen_.CursorDown();
      log(FormatLogLine(one, "LF cursor down"));
      return 1;
    case 0x0B:
      screen_.CursorHome();
      log(FormatLogLine(one, "VT cursor home"));
      return 1;
    case 0x0C:
      screen_.Clear();
      log(FormatLogLine(one, "FF clear"));
      return 1;
    case 0x0D:
      screen_.CarriageReturn();
      log(FormatLogLine(one, "CR line start"));
      return 1;
    case 0x18:
      screen_.ClearCursorLine();
      log(FormatLogLine(one, "CAN clear line"));
      return 1;
    case kEsc:
      return DecodeEscape(data, log);
    case kUs:
      return DecodeUnitSeparator(data, log);
    default:
      log(FormatLogLine(one, "unknown control byte, skipped"));
      return 1;
  }
}

size_t DisplayParser::DecodeEscape(std::span<const uint8_t> data, const LogSink& log) {
  if (data.size() < 2) return 0;
  const uint8_t code = data[1];
  if (code == '@') {
    screen_.Initialise();
    log(FormatLogLine(data.first(2), "ESC @ initialise"));
    return 2;
  }
  if (code == '&') return DecodeGlyphDefinition(data, log);
  if (code != '%' && code != '?' && code != '=' && code != 't' && code != 'R') {
    log(FormatLogLine(data.first(2), "unknown ESC command, skipped"));
    return 2;
  }
  if (data.size() < 3) return 0;
  const uint8_t n = data[2];
  const auto cmd = data.first(3);
  switch (code) {
    case '%':
      screen_.SetUserCharacters(n & 1);
      log(FormatLogLine(cmd,
                        std::string("ESC % user-defined characters ") + ((n & 1) ? "on" : "off")));
      break;
    case '?':
      screen_.DeleteGlyph(n);
      log(FormatLogLine(cmd, "ESC ? delete user-defined character " + Hex(n)));
      break;
    case '=':
      if (n >= 1 && n <= 3) {
        selected_ = (n & 2) != 0;
        log(FormatLogLine(cmd, std::string("ESC = select peripheral: display ") +
                                   (selected_ ? "selected" : "not selected")));
      } else {
        log(FormatLogLine(cmd, "ESC = with invalid device, ignored"));
      }
      break;
    case 't':
      screen_.SetCodeTable(n);
      log(FormatLogLine(cmd, "ESC t code table " + std::to_string(n)));
      break;
    case 'R':
      screen_.SetInternational(n);
      log(FormatLogLine(cmd, "ESC R international set " + std::to_string(n)));
      break;
  }
  return 3;
}

// ESC & y c1 c2 { x d1 .. d(y*x) } for each code c1..c2: glyphs y bytes high (1 for 5x7),
// each x columns wide (at most 5).
size_t DisplayParser::DecodeGlyphDefinition(std::span<const uint8_t> data, const LogSink& log) {
  if (data.size() < 5) return 0;
  const uint8_t y = data[2], first = data[3], last = data[4];
  if (y != 1 || first < 0x20 || first > last) {
    log(FormatLogLine(data.first(5), "ESC & with invalid parameters, skipped"));
    return 5;
  }
  // Check the whole definition is here before any glyph is taken.
  size_t pos = 5;
  for (int code = first; code <= last; ++code) {
    if (pos >= data.size()) return 0;
    const uint8_t x = data[pos];
    if (x > kGlyphColumns) {
      log(FormatLogLine(data.first(pos + 1), "ESC & glyph " + Hex(static_cast<uint8_t>(code)) +
                                                 " wider than 5 columns, "
                                                 "definition skipped"));
      return pos + 1;
    }
    pos += 1 + x;
  }
  if (pos > data.size()) return 0;
  pos = 5;
  for (int code = first; code <= last; ++code) {
    const uint8_t x = data[pos++];
    DisplayGlyph glyph{};
    for (int c = 0; c < x; ++c) glyph[c] = data[pos++];
    screen_.DefineGlyph(static_cast<uint8_t>(code), glyph);
  }
  log(FormatLogLine(data.first(pos),
                    "ESC & define user-defined characters " + Hex(first) + ".." + Hex(last)));
  return pos;
}

size_t DisplayParser::DecodeUnitSeparator(std::span<const uint8_t> data, const LogSink& log) {
  if (data.size() < 2) return 0;
  const uint8_t code = data[1];
  const auto two = data.first(2);
  switch (code) {
    case 0x01:
      screen_.SetMode(DisplayScreen::Mode::Overwrite);
      log(FormatLogLine(two, "US MD1 overwrite mode"));
      return 2;
    case 0x02:
      screen_.SetMode(DisplayScreen::Mode::VerticalScroll);
      log(FormatLogLine(two, "US MD2 vertical scroll mode"));
      return 2;
    case 0x03:
      screen_.SetMode(DisplayScreen::Mode::HorizontalScroll);
      log(FormatLogLine(two, "US MD3 horizontal scroll mode"));
      return 2;
    case 0x0A:
      screen_.CursorUp();
      log(FormatLogLine(two, "US LF cursor up"));
      return 2;
    case 0x0D:
      screen_.CursorEndOfLine();
      log(FormatLogLine(two, "US CR line end"));
      return 2;
    case 'B':
      screen_.CursorBottomLeft();
      log(FormatLogLine(two, "US B bottom left"));
      return 2;
    case '$': {
      if (data.size() < 4) return 0;
      const bool moved = screen_.MoveCursor(data[2], data[3]);
      log(FormatLogLine(data.first(4), moved ? "US $ move cursor to column " +
                                                   std::to_string(data[2]) + " row " +
                                                   std::to_string(data[3])
                                             : std::string("US $ position out of range, ignored")));
      return 4;
    }
    case 'C':
    case 'E':
    case 'X': {
      if (data.size() < 3) return 0;
      const uint8_t n = data[2];
      const auto cmd = data.first(3);
      if (code == 'C') {
        screen_.SetCursorVisible(n & 1);
        log(FormatLogLine(cmd, std::string("US C cursor ") + ((n & 1) ? "shown" : "hidden")));
      } else if (code == 'E') {
        screen_.SetBlinkInterval(n);
        log(FormatLogLine(cmd, "US E blink " + std::to_string(n)));
      } else if (n >= 1 && n <= 4) {
        screen_.SetBrightness(n);
        log(FormatLogLine(cmd, "US X brightness " + std::to_string(n)));
      } else {
        log(FormatLogLine(cmd, "US X brightness out of range, ignored"));
      }
      return 3;
    }
    default:
      log(FormatLogLine(two, "unknown US command, skipped"));
      return 2;
  }
}

}  // namespace vdev
