// The two rows of twenty characters of the customer display, its cursor and its modes, with
// the cursor rules of the display's overwrite and scroll modes.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace vdev {

using DisplayGlyph = std::array<uint8_t, 5>;  // 5 columns of a 5x7 glyph, bit 0x40 = top row

class DisplayScreen {
 public:
  static constexpr int kRows = 2;
  static constexpr int kColumns = 20;

  enum class Mode { Overwrite, VerticalScroll, HorizontalScroll };

  DisplayScreen();

  // Everything back to the power-on state: blank screen, cursor home, modes and glyphs reset.
  void Initialise();
  void Clear();  // blank screen, cursor home
  void ClearCursorLine();

  void PutCharacter(uint8_t c);
  void CursorHome() { row_ = 0, column_ = 0, end_reached_ = false; }
  void CursorLeft();
  void CursorRight();
  void CursorDown();
  void CursorUp();
  void CarriageReturn() { column_ = 0, end_reached_ = false; }
  void CursorBottomLeft() { row_ = kRows - 1, column_ = 0, end_reached_ = false; }
  void CursorEndOfLine() { column_ = kColumns - 1, end_reached_ = false; }
  // 1-based position as the display's move command takes it; false when out of range.
  bool MoveCursor(int column, int row);

  void SetMode(Mode mode) { mode_ = mode; }
  void SetBlinkInterval(uint8_t n) { blink_ = n; }
  void SetBrightness(uint8_t level) { brightness_ = level; }
  void SetCursorVisible(bool on) { cursor_visible_ = on; }
  void SetUserCharacters(bool on) { user_characters_ = on; }
  void DefineGlyph(uint8_t code, const DisplayGlyph& glyph) { glyphs_[code] = glyph; }
  void DeleteGlyph(uint8_t code) { glyphs_.erase(code); }
  void SetCodeTable(uint8_t n) { code_table_ = n; }
  void SetInternational(uint8_t n) { international_ = n; }

  const std::array<std::string, kRows>& Rows() const { return rows_; }
  int CursorRow() const { return row_; }
  int CursorColumn() const { return column_; }
  Mode CurrentMode() const { return mode_; }
  uint8_t BlinkInterval() const { return blink_; }
  uint8_t Brightness() const { return brightness_; }
  bool CursorVisible() const { return cursor_visible_; }
  bool UserCharacters() const { return user_characters_; }
  const std::map<uint8_t, DisplayGlyph>& Glyphs() const { return glyphs_; }
  uint8_t CodeTable() const { return code_table_; }
  uint8_t International() const { return international_; }

  // The screen in a frame, followed by a line with cursor and blink state. Characters shown
  // from a user-defined glyph are marked in the line below the frame.
  std::string RenderText() const;

 private:
  void NextLine();  // what the display does when the cursor leaves the bottom row
  void ScrollUp();

  std::array<std::string, kRows> rows_;
  int row_ = 0;
  int column_ = 0;
  bool end_reached_ = false;  // horizontal scroll mode: the last column is written
  Mode mode_ = Mode::Overwrite;
  uint8_t blink_ = 0;
  uint8_t brightness_ = 4;
  bool cursor_visible_ = false;
  bool user_characters_ = false;
  std::map<uint8_t, DisplayGlyph> glyphs_;
  uint8_t code_table_ = 0;
  uint8_t international_ = 0;
};

}  // namespace vdev
