#include "display_screen.h"

#include <cstdio>

namespace vdev {

DisplayScreen::DisplayScreen() { Initialise(); }

void DisplayScreen::Initialise() {
  Clear();
  mode_ = Mode::Overwrite;
  blink_ = 0;
  brightness_ = 4;
  cursor_visible_ = false;
  user_characters_ = false;
  glyphs_.clear();
  code_table_ = 0;
  international_ = 0;
}

void DisplayScreen::Clear() {
  for (auto& row : rows_) row.assign(kColumns, ' ');
  CursorHome();
}

void DisplayScreen::ClearCursorLine() {
  rows_[row_].assign(kColumns, ' ');
  CarriageReturn();
}

void DisplayScreen::ScrollUp() {
  for (int r = 0; r + 1 < kRows; ++r) rows_[r] = rows_[r + 1];
  rows_[kRows - 1].assign(kColumns, ' ');
}

void DisplayScreen::NextLine() {
  if (row_ + 1 < kRows) {
    ++row_;
  } else if (mode_ == Mode::VerticalScroll) {
    ScrollUp();
  } else {
    row_ = 0;  // overwrite mode: the bottom row continues on the top row
  }
}

void DisplayScreen::PutCharacter(uint8_t c) {
  if (mode_ == Mode::HorizontalScroll && column_ == kColumns - 1) {
    if (end_reached_) {
      // The cursor row is full: it moves one place left to make room at its end.
      rows_[row_].erase(0, 1);
      rows_[row_].push_back(static_cast<char>(c));
    } else {
      rows_[row_][column_] = static_cast<char>(c);
      end_reached_ = true;
    }
    return;
  }
  rows_[row_][column_] = static_cast<char>(c);
  CursorRight();
}

void DisplayScreen::CursorRight() {
  end_reached_ = false;
  if (++column_ < kColumns) return;
  column_ = 0;
  NextLine();
}

void DisplayScreen::CursorLeft() {
  end_reached_ = false;
  if (--column_ >= 0) return;
  column_ = kColumns - 1;
  row_ = (row_ + kRows - 1) % kRows;
}

void DisplayScreen::CursorDown() {
  end_reached_ = false;
  NextLine();
}

void DisplayScreen::CursorUp() {
  end_reached_ = false;
  row_ = (row_ + kRows - 1) % kRows;
}

bool DisplayScreen::MoveCursor(int column, int row) {
  if (column < 1 || column > kColumns || row < 1 || row > kRows) return false;
  column_ = column - 1;
  row_ = row - 1;
  end_reached_ = false;
  return true;
}

std::string DisplayScreen::RenderText() const {
  const std::string edge = "+" + std::string(kColumns, '-') + "+\n";
  std::string out = edge;
  for (const auto& row : rows_) {
    out += '|';
    for (char ch : row) {
      const auto c = static_cast<uint8_t>(ch);
      out += (c >= 0x20 && c < 0x7F) ? ch : '?';
    }
    out += "|\n";
  }
  out += edge;
  char status[160];
  const char* blink = blink_ == 0 ? "off" : blink_ == 255 ? "screen off" : nullptr;
  char blink_text[32];
  if (!blink) {
    std::snprintf(blink_text, sizeof blink_text, "every %d ms", blink_ * 50);
    blink = blink_text;
  }
  std::snprintf(status, sizeof status,
                "cursor row %d column %d, blink %s, user characters %s (%zu defined)\n", row_,
                column_, blink, user_characters_ ? "on" : "off", glyphs_.size());
  out += status;
  return out;
}

}  // namespace vdev
