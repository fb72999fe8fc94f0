#include "text_buffer.h"

#include <algorithm>

namespace line_display {

TextBuffer::TextBuffer(int height, int width)
    : height_(height), width_(width), rows_(3 * height, std::string(3 * width, ' ')) {}

void TextBuffer::Put(int row, int column, uint8_t c) {
  if (row < 0 || row >= height_ || column < 0 || column >= width_) return;
  rows_[height_ + row][width_ + column] = static_cast<char>(c);
}

uint8_t TextBuffer::At(int row, int column) const {
  if (row < 0 || row >= height_ || column < 0 || column >= width_) return ' ';
  return static_cast<uint8_t>(rows_[height_ + row][width_ + column]);
}

void TextBuffer::Clear() {
  for (std::string& row : rows_) std::fill(row.begin(), row.end(), ' ');
}

void TextBuffer::MoveTextUp() {
  for (int r = height_; r < 2 * height_ - 1; ++r) {
    rows_[r].replace(width_, width_, rows_[r + 1], width_, width_);
  }
  rows_[2 * height_ - 1].replace(width_, width_, width_, ' ');
}

void TextBuffer::ShiftRows(int rows) {
  const int count = BufferRows();
  if (rows == 0) return;
  if (rows <= -count || rows >= count) {
    Clear();
    return;
  }
  if (rows < 0) {
    std::rotate(rows_.begin(), rows_.begin() - rows, rows_.end());
    for (int r = count + rows; r < count; ++r) std::fill(rows_[r].begin(), rows_[r].end(), ' ');
  } else {
    std::rotate(rows_.rbegin(), rows_.rbegin() + rows, rows_.rend());
    for (int r = 0; r < rows; ++r) std::fill(rows_[r].begin(), rows_[r].end(), ' ');
  }
}

void TextBuffer::ShiftColumns(int columns) {
  const int count = BufferColumns();
  for (std::string& row : rows_) {
    if (columns <= -count || columns >= count) {
      std::fill(row.begin(), row.end(), ' ');
    } else if (columns < 0) {
      row = row.substr(-columns) + std::string(-columns, ' ');
    } else if (columns > 0) {
      row = std::string(columns, ' ') + row.substr(0, count - columns);
    }
  }
}

}  // namespace line_display
