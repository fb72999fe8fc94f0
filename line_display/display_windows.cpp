// Windows: creating, destroying, the stack whose front is the current window, and the
// redraw that composes the display from all of them.
#include <algorithm>

#include "display_bytes.h"
#include "display_codes.h"
#include "line_display.h"

namespace line_display {

namespace {
constexpr uint32_t kCreateSettleMs = 500;
constexpr uint32_t kCreateBusyPollMs = 50;
constexpr uint32_t kDestroyBusyPollMs = 150;
}  // namespace

void CLineDisplay::WaitWhileBusy(uint32_t interval_ms) {
  while (ReadState() == opos::kStateBusy) platform::SleepMs(interval_ms);
}

std::shared_ptr<DisplayWindow> CLineDisplay::CurrentWindowRecord() {
  std::lock_guard lock(window_list_mutex_);
  return stack_.empty() ? nullptr : windows_[stack_.front()];
}

int32_t CLineDisplay::CreateWindow(int32_t viewport_row, int32_t viewport_column,
                                   int32_t viewport_height, int32_t viewport_width,
                                   int32_t window_height, int32_t window_width) {
  if (const int32_t ready = CheckEnabled(); ready != opos::kSuccess) return Finish(ready);
  return Finish(CreateWindowRecord(viewport_row, viewport_column, viewport_height, viewport_width,
                                   window_height, window_width));
}

int32_t CLineDisplay::CreateWindowRecord(int32_t viewport_row, int32_t viewport_column,
                                         int32_t viewport_height, int32_t viewport_width,
                                         int32_t window_height, int32_t window_width) {
  platform::SleepMs(kCreateSettleMs);
  WaitWhileBusy(kCreateBusyPollMs);
  // Sums in 64 bits: no argument can overflow its way past a check.
  const int64_t rows = device_rows_, columns = device_columns_;
  const bool valid = viewport_row >= 0 && viewport_column >= 0 && viewport_height > 0 &&
                     viewport_width > 0 && window_height > 0 && window_width > 0 &&
                     int64_t{viewport_row} + viewport_height <= rows &&
                     int64_t{viewport_column} + viewport_width <= columns &&
                     window_height >= viewport_height && window_width >= viewport_width &&
                     (viewport_height >= window_height || viewport_width >= window_width);
  if (!valid) return opos::kIllegal;
  // A window larger than its viewport scrolls or runs a marquee within limits the display
  // can hold: the buffer is nine times the window.
  constexpr int32_t kMaxWindowSide = 1000;
  if (window_height > kMaxWindowSide || window_width > kMaxWindowSide) return opos::kIllegal;
  int index = -1;
  {
    std::lock_guard lock(window_list_mutex_);
    for (int i = 0; i < kMaxWindows && index < 0; ++i) {
      if (!windows_[i]) index = i;
    }
  }
  if (index < 0) return opos::kIllegal;
  auto window =
      std::make_shared<DisplayWindow>(index, viewport_row, viewport_column, viewport_height,
                                      viewport_width, window_height, window_width);
  DisplayWindow& record = *window;
  record.marquee_thread = std::thread([this, &record] { MarqueeLoop(record); });
  {
    std::lock_guard lock(window_list_mutex_);
    windows_[index] = window;
    stack_.insert(stack_.begin(), index);
  }
  std::lock_guard lock(command_mutex_);
  pending_start_ = TextPosition{0, 0};
  return opos::kSuccess;
}

bool CLineDisplay::MakeCurrent(int32_t index) {
  std::shared_ptr<DisplayWindow> window;
  {
    std::lock_guard lock(window_list_mutex_);
    if (index < 0 || index >= kMaxWindows || !windows_[index]) return false;
    window = windows_[index];
    stack_.erase(std::remove(stack_.begin(), stack_.end(), index), stack_.end());
    stack_.insert(stack_.begin(), index);
  }
  std::lock_guard lock(command_mutex_);
  pending_start_ = TextPosition{window->cursor_row, window->cursor_column};
  return true;
}

void CLineDisplay::StopMarquee(DisplayWindow& window) {
  window.stopping = true;
  window.stop.Set();
  window.wake.Set();
  if (window.marquee_thread.joinable()) window.marquee_thread.join();
}

int32_t CLineDisplay::DestroyWindow() {
  if (const int32_t ready = CheckEnabled(); ready != opos::kSuccess) return Finish(ready);
  std::shared_ptr<DisplayWindow> window = CurrentWindowRecord();
  if (!window || window->index == 0) return Finish(opos::kIllegal);
  WaitWhileBusy(kDestroyBusyPollMs);
  StopMarquee(*window);
  {
    std::lock_guard lock(window_list_mutex_);
    windows_[window->index].reset();
    stack_.erase(std::remove(stack_.begin(), stack_.end(), window->index), stack_.end());
  }
  MakeCurrent(0);
  return Finish(opos::kSuccess);
}

void CLineDisplay::DestroyAllWindows() {
  std::array<std::shared_ptr<DisplayWindow>, kMaxWindows> windows;
  {
    std::lock_guard lock(window_list_mutex_);
    windows.swap(windows_);
    stack_.clear();
  }
  for (auto& window : windows) {
    if (window) StopMarquee(*window);
  }
}

int32_t CLineDisplay::RefreshWindow(int32_t window) {
  if (const int32_t ready = CheckEnabled(); ready != opos::kSuccess) return Finish(ready);
  MakeCurrent(window);
  return Finish(Redraw(false));
}

int32_t CLineDisplay::Redraw(bool clearing, const std::function<void()>& view,
                             const std::function<bool()>& abandon) {
  std::lock_guard redraw(redraw_mutex_);
  std::string frame;
  {
    std::lock_guard lock(window_list_mutex_);
    if (view) view();
    std::vector<WindowView> views;
    for (auto it = stack_.rbegin(); it != stack_.rend(); ++it) {
      const DisplayWindow& w = *windows_[*it];
      views.push_back(
          {w.viewport_row, w.viewport_column, w.viewport_height, w.viewport_width, &w.buffer});
    }
    frame = ComposeFrame(views);
    if (view) view();
  }
  const int32_t online = port_.TestOnline([&] { return stop_.load() || (abandon && abandon()); });
  if (online != opos::kSuccess) return online;
  if (clearing) {
    port_.Write(kClearBytes);
  } else if (binary_conversion_ == 0) {
    port_.Write(BlinkCommand(blink_, blink_rate_) + frame);
  }
  return opos::kSuccess;
}

}  // namespace line_display
