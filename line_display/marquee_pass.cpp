#include "marquee_pass.h"

#include <algorithm>
#include <string>

namespace line_display {

namespace {

bool IsHorizontal(int type) { return type == kMarqueeLeft || type == kMarqueeRight; }

// Horizontal moves work on the rows of the middle tile: the segment of a row is its `width`
// bytes of text starting at `from`.
void MoveSegments(TextBuffer& buffer, int from, int to) {
  const int w = buffer.Width();
  for (int r = buffer.Height(); r < 2 * buffer.Height(); ++r) {
    std::string& row = buffer.Row(r);
    const std::string segment = row.substr(from, w);
    row.replace(from, w, w, ' ');
    row.replace(to, w, segment);
  }
}

void ReverseSegments(TextBuffer& buffer, int from, int count, int first_row, int rows) {
  for (int r = first_row; r < first_row + rows; ++r) {
    std::string& row = buffer.Row(r);
    std::reverse(row.begin() + from, row.begin() + from + count);
  }
}

// Vertical moves work on the middle tile's `height` rows as a block.
void MoveRows(TextBuffer& buffer, int from, int to) {
  const int h = buffer.Height();
  std::vector<std::string> block;
  for (int r = from; r < from + h; ++r) {
    block.push_back(buffer.Row(r));
    std::fill(buffer.Row(r).begin(), buffer.Row(r).end(), ' ');
  }
  for (int i = 0; i < h; ++i) buffer.Row(to + i) = block[i];
}

void FlipRows(TextBuffer& buffer, int first, int count) {
  for (int i = 0; i < count / 2; ++i)
    std::swap(buffer.Row(first + i), buffer.Row(first + count - 1 - i));
}

void FlipText(TextBuffer& buffer, int type, int at) {
  if (IsHorizontal(type))
    ReverseSegments(buffer, at, buffer.Width(), buffer.Height(), buffer.Height());
  else
    FlipRows(buffer, at, buffer.Height());
}

}  // namespace

bool StartMarqueePass(TextBuffer& buffer, MarqueePass& pass, int type, int format,
                      Viewport viewport) {
  const int h = buffer.Height(), w = buffer.Width();
  pass.type = type;
  pass.format = format;
  pass.step = 1;
  const int home = IsHorizontal(type) ? w : h;
  if (format == kMarqueePlace) FlipText(buffer, type, home);
  switch (type) {
    case kMarqueeLeft:  // the first character in the viewport's last column
      pass.position = w + viewport.width - 1;
      MoveSegments(buffer, w, pass.position);
      return true;
    case kMarqueeRight:  // the last character in the viewport's first column
      pass.position = 1;
      MoveSegments(buffer, w, pass.position);
      return false;
    case kMarqueeUp:  // the first row in the viewport's bottom row
      pass.position = h + viewport.height - 1;
      MoveRows(buffer, h, pass.position);
      return false;
    default:  // down: the last row in the viewport's top row
      pass.position = 1;
      MoveRows(buffer, h, pass.position);
      return false;
  }
}

int MarqueeStepsLeft(const TextBuffer& buffer, const MarqueePass& pass) {
  const int limit = IsHorizontal(pass.type) ? buffer.Width() - 1 : buffer.Height() - 1;
  return pass.step == 0 ? 0 : std::max(0, limit - pass.step + 1);
}

void StepMarqueePass(TextBuffer& buffer, MarqueePass& pass) {
  const int to =
      pass.type == kMarqueeLeft || pass.type == kMarqueeUp ? pass.position - 1 : pass.position + 1;
  if (IsHorizontal(pass.type))
    MoveSegments(buffer, pass.position, to);
  else
    MoveRows(buffer, pass.position, to);
  pass.position = to;
  ++pass.step;
}

void EndMarqueePass(TextBuffer& buffer, MarqueePass& pass) {
  if (pass.step == 0) return;
  const int home = IsHorizontal(pass.type) ? buffer.Width() : buffer.Height();
  if (pass.position != home) {
    if (IsHorizontal(pass.type))
      MoveSegments(buffer, pass.position, home);
    else
      MoveRows(buffer, pass.position, home);
  }
  if (pass.format == kMarqueePlace) FlipText(buffer, pass.type, home);
  pass = MarqueePass{};
}

void FlipPlacedText(TextBuffer& buffer, const MarqueePass& pass, Viewport viewport) {
  if (pass.step == 0 || pass.format != kMarqueePlace) return;
  const int h = buffer.Height(), w = buffer.Width();
  switch (pass.type) {
    case kMarqueeLeft: {  // the rightmost characters placed so far
      const int k = std::min(pass.step, viewport.width);
      ReverseSegments(buffer, w + viewport.width - k, k, h, viewport.height);
      break;
    }
    case kMarqueeRight: {  // the leftmost ones
      const int k = std::min(pass.step, viewport.width);
      ReverseSegments(buffer, w, k, h, viewport.height);
      break;
    }
    case kMarqueeUp: {  // the bottom rows
      const int k = std::min(pass.step, viewport.height);
      FlipRows(buffer, h + viewport.height - k, k);
      break;
    }
    case kMarqueeDown: {  // the top rows
      FlipRows(buffer, h, std::min(pass.step, viewport.height));
      break;
    }
    default:
      break;
  }
}

}  // namespace line_display
