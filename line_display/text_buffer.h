// The text of one window: a 3 x 3 tiling of the window, so text moved out of the window by
// scrolling or the marquee stays around it and comes back when moved back. The window's own
// text is the middle tile: window position (r, c) is buffer row height + r, byte width + c.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace line_display {

class TextBuffer {
 public:
  TextBuffer(int height, int width);

  int Height() const { return height_; }
  int Width() const { return width_; }
  int BufferRows() const { return 3 * height_; }
  int BufferColumns() const { return 3 * width_; }

  // Window coordinates; positions outside the window are ignored / read as a space.
  void Put(int row, int column, uint8_t c);
  uint8_t At(int row, int column) const;
  // Whole buffer coordinates.
  std::string& Row(int buffer_row) { return rows_[buffer_row]; }
  const std::string& Row(int buffer_row) const { return rows_[buffer_row]; }

  void Clear();
  // The middle tile's rows move up by one; its last row becomes spaces.
  void MoveTextUp();
  // Every buffer row moves by `rows` (negative: up), or every row's bytes by `columns`
  // (negative: left); what is left behind becomes spaces.
  void ShiftRows(int rows);
  void ShiftColumns(int columns);

 private:
  int height_;
  int width_;
  std::vector<std::string> rows_;
};

}  // namespace line_display
