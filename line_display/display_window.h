// One window of the display: its place on the display, its properties, its text buffer,
// its marquee pass and its marquee thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "marquee_pass.h"
#include "platform/event.h"
#include "text_buffer.h"

namespace line_display {

struct DisplayWindow {
  DisplayWindow(int index_, int viewport_row_, int viewport_column_, int viewport_height_,
                int viewport_width_, int height_, int width_)
      : index(index_),
        viewport_row(viewport_row_),
        viewport_column(viewport_column_),
        viewport_height(viewport_height_),
        viewport_width(viewport_width_),
        height(height_),
        width(width_),
        buffer(height_, width_) {}

  const int index;
  const int viewport_row, viewport_column, viewport_height, viewport_width;
  const int height, width;

  // Properties: set by the application's thread, read by the threads.
  std::atomic<int32_t> cursor_row{0}, cursor_column{0}, cursor_update{1};
  std::atomic<int32_t> marquee_type{0}, marquee_format{0};
  std::atomic<int32_t> marquee_unit_wait{0}, marquee_repeat_wait{0};
  std::atomic<int32_t> inter_character_wait{0};
  std::atomic<bool> inter_character_wait_active{false};

  // Guarded by the display's window-list mutex.
  int vertical_offset = 0, horizontal_offset = 0;
  TextBuffer buffer;
  MarqueePass marquee;

  // The marquee thread: `wake` when there may be a step to make, `stop` (with the flag)
  // when the window goes.
  std::atomic<bool> stopping{false};
  platform::Event wake{false};
  platform::Event stop{true};
  std::thread marquee_thread;

  Viewport View() const { return {viewport_height, viewport_width}; }
};

}  // namespace line_display
