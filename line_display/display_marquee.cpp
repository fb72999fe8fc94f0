// The marquee thread of a window: moves the window's text one column or row a step, pass
// after pass, while its MarqueeType is 1-4 and the display thread is not at work.
#include <algorithm>

#include "display_codes.h"
#include "line_display.h"

namespace line_display {

namespace {
constexpr uint32_t kPassStartMs = 60;
constexpr int32_t kMinimumWaitMs = 100;
// How often a marquee that waits for the display thread to finish looks again. A window
// without a marquee sleeps until its MarqueeType is set or the window goes.
constexpr uint32_t kBusyCheckMs = 100;

bool Runs(int32_t type) { return type >= kMarqueeUp && type <= kMarqueeRight; }

// False when the window is being destroyed.
bool Pause(DisplayWindow& window, int32_t ms) {
  return platform::WaitForOne(window.stop, static_cast<uint32_t>(std::max(ms, 0))) != 0 &&
         !window.stopping;
}
}  // namespace

bool CLineDisplay::MarqueeMayStep(const DisplayWindow& window) const {
  return !busy_ && Runs(window.marquee_type);
}

void CLineDisplay::MarqueeLoop(DisplayWindow& window) {
  auto redraw = [&](bool flip) {
    auto view = [&] { FlipPlacedText(window.buffer, window.marquee, window.View()); };
    Redraw(false, flip ? std::function<void()>(view) : std::function<void()>(),
           [&] { return window.stopping.load(); });
  };
  bool ran = false;  // since the marquee was last held still
  while (!window.stopping) {
    if (!MarqueeMayStep(window)) {
      if (!Runs(window.marquee_type) && ran) {
        // Held still: the text goes back where it was and is shown as it stands now (text
        // written while the marquee ran was not drawn).
        ran = false;
        {
          std::lock_guard lock(window_list_mutex_);
          EndMarqueePass(window.buffer, window.marquee);
        }
        redraw(false);
      }
      platform::WaitForAny({&window.stop, &window.wake},
                           Runs(window.marquee_type) ? kBusyCheckMs : platform::kInfinite);
      continue;
    }
    int steps_left = 0;
    bool in_pass = false;
    {
      std::lock_guard lock(window_list_mutex_);
      in_pass = window.marquee.step != 0;
      steps_left = MarqueeStepsLeft(window.buffer, window.marquee);
    }
    ran = true;
    if (!in_pass) {
      if (!Pause(window, kPassStartMs)) break;
      bool show = false;
      {
        std::lock_guard lock(window_list_mutex_);
        if (!MarqueeMayStep(window) || window.marquee.step != 0) continue;
        show = StartMarqueePass(window.buffer, window.marquee, window.marquee_type,
                                window.marquee_format, window.View());
      }
      if (show) redraw(true);
    } else if (steps_left > 0) {
      {
        std::lock_guard lock(window_list_mutex_);
        if (window.marquee.step == 0) continue;  // the display thread put the text home
        StepMarqueePass(window.buffer, window.marquee);
      }
      if (!Pause(window, std::max(window.marquee_unit_wait.load(), kMinimumWaitMs))) break;
      if (!Runs(window.marquee_type)) continue;  // held still meanwhile: no stale frame
      redraw(true);
    } else {
      if (!Pause(window, std::max(window.marquee_repeat_wait.load(), kMinimumWaitMs))) break;
      std::lock_guard lock(window_list_mutex_);
      EndMarqueePass(window.buffer, window.marquee);
    }
  }
}

}  // namespace line_display
