// The text methods: each checks and queues work for the display thread, keeping the
// window's cursor and the display shadow up to date as the text will leave them.
#include "display_bytes.h"
#include "display_codes.h"
#include "line_display.h"

namespace line_display {

namespace {
constexpr uint32_t kTextBusyPollMs = 50;
constexpr uint32_t kClearSettleMs = 100;
constexpr uint32_t kClearAfterMs = 30;
constexpr uint8_t kNothingWritten = 0x7F;
}  // namespace

TextPosition PredictTextEnd(const std::string& data, TextPosition start, int height, int width,
                            bool cursor_update) {
  if (!cursor_update) return start;
  TextPosition at = start;
  auto next_row = [&] { at.row = std::min(at.row + 1, height - 1); };
  for (const char c : data) {
    if (c == '\r') {
      at.column = 0;
    } else if (c == '\n') {
      next_row();
    } else {
      if (at.column >= width) {
        at.column = 0;
        next_row();
      }
      ++at.column;
    }
  }
  return at;
}

int32_t CLineDisplay::DisplayText(const std::string& data, int32_t attribute) {
  return Finish(QueueText(data, attribute, std::nullopt));
}

int32_t CLineDisplay::DisplayTextAt(int32_t row, int32_t column, const std::string& data,
                                    int32_t attribute) {
  return Finish(QueueText(data, attribute, TextPosition{row, column}));
}

int32_t CLineDisplay::QueueText(const std::string& data, int32_t attribute,
                                const std::optional<TextPosition>& at) {
  if (const int32_t ready = CheckEnabled(); ready != opos::kSuccess) return ready;
  const std::shared_ptr<DisplayWindow> window = CurrentWindowRecord();
  if (!window) return opos::kIllegal;
  if (at &&
      (at->row < 0 || at->row >= window->height || at->column < 0 || at->column >= window->width)) {
    return opos::kIllegal;
  }
  WaitWhileBusy(kTextBusyPollMs);
  if (const int32_t online = TestOnline(); online != opos::kSuccess) return online;

  // What is queued, shown, predicted and kept in the shadow is the text the display may
  // receive: control bytes in the data become visible substitutes.
  const std::string text = DisplayableText(data);
  DisplayCommand command;
  command.kind = DisplayCommand::kText;
  command.window = window;
  command.text = text;
  command.inter_character_wait_active = window->inter_character_wait_active;
  command.inter_character_wait = window->inter_character_wait;
  {
    std::lock_guard lock(command_mutex_);
    // The window's cursor is where the text queued before this one ends. A position given
    // with the text wins over everything; the position a window change left pending gives
    // way to a cursor the application set after it.
    TextPosition start{window->cursor_row, window->cursor_column};
    if (at) {
      start = *at;
    } else if (pending_start_) {
      start = *pending_start_;
      if (cursor_row_mark_) start.row = window->cursor_row;
      if (cursor_column_mark_) start.column = window->cursor_column;
    }
    pending_start_.reset();
    cursor_row_mark_ = cursor_column_mark_ = false;
    start.row = std::clamp(start.row, 0, window->height - 1);
    start.column = std::clamp(start.column, 0, window->width);
    WriteShadow(text, start);
    command.start = start;
    command.end =
        PredictTextEnd(text, start, window->height, window->width, window->cursor_update != 0);
  }
  blink_ = attribute == 1;
  window->cursor_row = command.end.row;
  window->cursor_column = command.end.column;
  QueueCommand(std::move(command));
  return opos::kSuccess;
}

void CLineDisplay::WriteShadow(const std::string& data, TextPosition at) {
  for (const char c : data) {
    if (at.row >= 0 && at.row < kDeviceRows && at.column >= 0 && at.column < kDeviceColumns) {
      shadow_[at.row][at.column] = static_cast<uint8_t>(c);
    }
    if (++at.column >= kDeviceColumns) {
      at.column = 0;
      at.row = at.row == 0 ? 1 : 0;
      shadow_[at.row].fill(kNothingWritten);
    }
  }
}

void CLineDisplay::QueueCommand(DisplayCommand command) {
  std::lock_guard lock(command_mutex_);
  commands_.push_back(std::move(command));
  if (events_) events_->command_queue_not_empty.Set();
}

int32_t CLineDisplay::ClearText() {
  if (const int32_t ready = CheckEnabled(); ready != opos::kSuccess) return Finish(ready);
  const std::shared_ptr<DisplayWindow> window = CurrentWindowRecord();
  if (!window) return Finish(opos::kIllegal);
  platform::SleepMs(kClearSettleMs);
  if (const int32_t online = TestOnline(); online != opos::kSuccess) return Finish(online);
  {
    std::lock_guard lock(command_mutex_);
    for (auto& row : shadow_) row.fill(kNothingWritten);
  }
  DisplayCommand command;
  command.kind = DisplayCommand::kClear;
  command.window = window;
  QueueCommand(std::move(command));
  HomeCursor(*window);
  platform::SleepMs(kClearAfterMs);
  return Finish(opos::kSuccess);
}

int32_t CLineDisplay::ScrollText(int32_t direction, int32_t units) {
  if (const int32_t ready = CheckEnabled(); ready != opos::kSuccess) return Finish(ready);
  const std::shared_ptr<DisplayWindow> window = CurrentWindowRecord();
  if (!window || direction < 1 || direction > 4) return Finish(opos::kIllegal);
  if (!port_.Present()) return Finish(opos::kFailure);
  DisplayCommand command;
  command.kind = DisplayCommand::kScroll;
  command.window = window;
  command.direction = direction;
  command.units = units;
  QueueCommand(std::move(command));
  HomeCursor(*window);
  return Finish(opos::kSuccess);
}

void CLineDisplay::HomeCursor(DisplayWindow& window) {
  // The next text starts at home: a position a change of window left pending (that
  // window's cursor before the clear or scroll) and the cursor marks no longer apply.
  std::lock_guard lock(command_mutex_);
  window.cursor_row = 0;
  window.cursor_column = 0;
  pending_start_.reset();
  cursor_row_mark_ = cursor_column_mark_ = false;
}

int32_t CLineDisplay::ReadCharacterAtCursor(int32_t* character) {
  const std::shared_ptr<DisplayWindow> window = CurrentWindowRecord();
  int32_t value = kNothingWritten;
  if (window) {
    const int row = window->cursor_row, column = window->cursor_column;
    std::lock_guard lock(command_mutex_);
    if (row >= 0 && row < kDeviceRows && column >= 0 && column < kDeviceColumns) {
      value = shadow_[row][column];
    }
  }
  if (character) *character = value;
  return opos::kSuccess;
}

int32_t CLineDisplay::DefineGlyph(int32_t glyph_code, const std::string& glyph) {
  if (const int32_t ready = CheckEnabled(); ready != opos::kSuccess) return Finish(ready);
  std::string bytes;
  if (binary_conversion_ != 1 || glyph_code < 32 || glyph_code > 255 ||
      !GlyphCommand(static_cast<uint8_t>(glyph_code), glyph, bytes)) {
    return Finish(opos::kIllegal);
  }
  if (!port_.Present()) return Finish(opos::kFailure);
  port_.Write(bytes);
  return Finish(opos::kSuccess);
}

int32_t CLineDisplay::ClearDescriptors() { return Finish(opos::kIllegal); }

int32_t CLineDisplay::SetDescriptor(int32_t /*descriptor*/, int32_t /*attribute*/) {
  return Finish(opos::kIllegal);
}

}  // namespace line_display
