// The display thread: runs the queued clear, text and scroll commands in order, changing
// the window buffers and redrawing. State reads busy (3) while it works.
#include "display_bytes.h"
#include "display_codes.h"
#include "line_display.h"

namespace line_display {

namespace {
constexpr uint32_t kScrollPauseMs = 200;
}  // namespace

bool CLineDisplay::SleepUnlessStopped(ClaimEvents& events, uint32_t ms) {
  return platform::WaitForOne(events.stop, ms) != 0 && !stop_;
}

void CLineDisplay::DisplayLoop(ClaimEvents& events) {
  for (;;) {
    platform::WaitForAny({&events.command_queue_not_empty, &events.stop}, platform::kInfinite);
    if (stop_) break;
    DisplayCommand command;
    {
      std::lock_guard lock(command_mutex_);
      if (commands_.empty()) {
        events.command_queue_not_empty.Reset();
        busy_ = false;
        SetState(opos::kStateIdle);
        continue;
      }
      busy_ = true;
      SetState(opos::kStateBusy);
      command = std::move(commands_.front());
      commands_.pop_front();
    }
    // A marquee pass in progress puts the text home first, so the command finds the text
    // where the application left it.
    {
      std::lock_guard lock(window_list_mutex_);
      EndMarqueePass(command.window->buffer, command.window->marquee);
    }
    switch (command.kind) {
      case DisplayCommand::kClear:
        RunClear(command);
        break;
      case DisplayCommand::kText:
        RunText(events, command);
        break;
      case DisplayCommand::kScroll:
        RunScroll(events, command);
        break;
    }
  }
  busy_ = false;
}

void CLineDisplay::RunClear(DisplayCommand& command) {
  DisplayWindow& window = *command.window;
  {
    std::lock_guard lock(window_list_mutex_);
    window.buffer.Clear();
    window.vertical_offset = window.horizontal_offset = 0;
  }
  Redraw(true);
}

void CLineDisplay::RunText(ClaimEvents& events, DisplayCommand& command) {
  DisplayWindow& window = *command.window;
  const int height = window.height, width = window.width;
  const bool paced = command.inter_character_wait_active && command.inter_character_wait > 0;
  int row = command.start.row, column = command.start.column;
  for (const char c : command.text) {
    {
      std::lock_guard lock(window_list_mutex_);
      auto next_row = [&] {
        if (row < height - 1)
          ++row;
        else
          window.buffer.MoveTextUp();
      };
      if (c == '\r') {
        column = 0;
        continue;
      }
      if (c == '\n') {
        next_row();
        continue;
      }
      if (column >= width) {
        column = 0;
        next_row();
      }
      window.buffer.Put(row, column, static_cast<uint8_t>(c));
      ++column;
    }
    if (paced) {
      if (!SleepUnlessStopped(events, static_cast<uint32_t>(command.inter_character_wait))) return;
      Redraw(false);
    }
  }
  if (!command.inter_character_wait_active) {
    // A running marquee shows the text itself.
    const int32_t type = window.marquee_type;
    if (type == kMarqueeNone || type == kMarqueeInit) Redraw(false);
  } else if (command.inter_character_wait == 0) {
    Redraw(false);
  }
}

void CLineDisplay::RunScroll(ClaimEvents& events, DisplayCommand& command) {
  DisplayWindow& window = *command.window;
  const int64_t units = command.units;
  {
    std::lock_guard lock(window_list_mutex_);
    const bool vertical = command.direction == 1 || command.direction == 2;
    const int64_t change = command.direction == 1 || command.direction == 3 ? -units : units;
    const int64_t limit = vertical ? window.height : window.width;
    int& offset = vertical ? window.vertical_offset : window.horizontal_offset;
    const int64_t moved = offset + change;
    if (moved < -limit || moved > limit) return;  // beyond the text around the window
    offset = static_cast<int>(moved);
    if (vertical)
      window.buffer.ShiftRows(static_cast<int>(change));
    else
      window.buffer.ShiftColumns(static_cast<int>(change));
  }
  if (IsStandardModel(config_.device_name) && !SleepUnlessStopped(events, kScrollPauseMs)) return;
  // ScrollText already put the cursor home; text queued since has moved it on.
  Redraw(false);
}

}  // namespace line_display
