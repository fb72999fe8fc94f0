// CLineDisplay: the line display service object for a 2 x 20 customer display on a serial
// port. The control object creates it by ProgID and forwards every method and property to
// it. Text, clearing and scrolling are queued for one display thread that changes the
// window buffers and redraws the whole display; each window has a marquee thread.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "display_callbacks.h"
#include "display_config.h"
#include "display_port.h"
#include "display_window.h"
#include "platform/dispatch_table.h"
#include "platform/event.h"
#include "platform/event_hand_off.h"
#include "platform/message_queue.h"

namespace line_display {

using platform::automation::Dispatch;
using platform::automation::DispatchTable;

// An event waiting for the application's thread: its kind (2 direct I/O, 5 status update)
// and values (a status update's value is `number`).
struct DisplayEventRecord {
  int32_t kind = 2;
  int32_t number = 0;
  int32_t data = 0;
  std::string text;
};

// A position in window coordinates.
struct TextPosition {
  int row = 0;
  int column = 0;
};

// Work for the display thread.
struct DisplayCommand {
  enum Kind { kClear = 1, kText = 2, kScroll = 3 } kind = kText;
  std::shared_ptr<DisplayWindow> window;
  std::string text;
  int32_t direction = 0, units = 0;  // scroll
  bool inter_character_wait_active = false;
  int32_t inter_character_wait = 0;
  TextPosition start, end;
};

// Where the cursor ends after `data` is written from `start` into a window of
// `height` x `width` (with CursorUpdate off it stays at the start).
TextPosition PredictTextEnd(const std::string& data, TextPosition start, int height, int width,
                            bool cursor_update);

class CLineDisplay : public platform::automation::AutomationObject<CLineDisplay> {
 public:
  static const DispatchTable<CLineDisplay>& AutomationTable();
  static constexpr int kMaxWindows = 10;

  CLineDisplay();

  // Frame (line_display_lifecycle.cpp).
  int32_t OpenService(const std::string& device_class, const std::string& device_name,
                      Dispatch* control);
  int32_t CloseService();
  int32_t ClaimDevice(int32_t timeout);
  int32_t ReleaseDevice();
  int32_t COFreezeEvents(int32_t freeze);

  // Properties (line_display_properties.cpp).
  int32_t GetPropertyNumber(int32_t index);
  void SetPropertyNumber(int32_t index, int32_t value);
  std::string GetPropertyString(int32_t index);
  void SetPropertyString(int32_t index, const std::string& value);

  // Health and direct I/O (display_health.cpp).
  int32_t CheckHealth(int32_t level);
  int32_t DirectIO(int32_t command, int32_t* data, std::string* text);

  // Windows (display_windows.cpp).
  int32_t CreateWindow(int32_t viewport_row, int32_t viewport_column, int32_t viewport_height,
                       int32_t viewport_width, int32_t window_height, int32_t window_width);
  int32_t DestroyWindow();
  int32_t RefreshWindow(int32_t window);

  // Text (display_text.cpp).
  int32_t DisplayText(const std::string& data, int32_t attribute);
  int32_t DisplayTextAt(int32_t row, int32_t column, const std::string& data, int32_t attribute);
  int32_t ClearText();
  int32_t ScrollText(int32_t direction, int32_t units);
  int32_t ReadCharacterAtCursor(int32_t* character);
  int32_t DefineGlyph(int32_t glyph_code, const std::string& glyph);
  int32_t ClearDescriptors();
  int32_t SetDescriptor(int32_t descriptor, int32_t attribute);

 protected:
  ~CLineDisplay() override;

 private:
  // The events of a claim; created by ClaimDevice, destroyed by ReleaseDevice.
  struct ClaimEvents {
    ClaimEvents(bool frozen, bool frozen_by_control_object)
        : not_frozen(true, !frozen),
          not_frozen_by_control_object(true, !frozen_by_control_object) {}
    platform::Event stop{true};  // wakes every wait of the claim's threads
    platform::Event event_queue_not_empty{true};
    platform::Event not_frozen;
    platform::Event not_frozen_by_control_object;
    platform::Event delivered{true};
    platform::Event command_queue_not_empty{true};
  };

  int32_t Finish(int32_t result);
  void SetState(int32_t state);
  int32_t ReadState();
  int32_t CheckEnabled();  // 103 / 105 / 0
  void WaitWhileBusy(uint32_t interval_ms);
  void SetDeviceEnabled(int32_t value);
  void SetFreezeEvents(int32_t value);
  void SetBinaryConversion(int32_t value);
  void SetPowerNotify(int32_t value);
  int32_t SetWindowProperty(int32_t index, int32_t value);
  // Stops the claim's threads and closes the link (release and a failed claim).
  void EndClaim();

  // Windows: the current one is the front of the stack. Window-list mutex for the rest.
  std::shared_ptr<DisplayWindow> CurrentWindowRecord();
  int32_t CreateWindowRecord(int32_t viewport_row, int32_t viewport_column, int32_t viewport_height,
                             int32_t viewport_width, int32_t window_height, int32_t window_width);
  bool MakeCurrent(int32_t index);  // false when no such window
  void StopMarquee(DisplayWindow& window);
  void DestroyAllWindows();
  void MarqueeLoop(DisplayWindow& window);
  bool MarqueeMayStep(const DisplayWindow& window) const;

  // Redraw: composes the display from every window and sends it (0C alone while clearing).
  // `view` runs twice under the window-list mutex, before and after composing, to show a
  // window differently for this one frame. `abandon` cuts the online test short.
  int32_t Redraw(bool clearing, const std::function<void()>& view = {},
                 const std::function<bool()>& abandon = {});
  int32_t TestOnline();

  // Text path.
  int32_t QueueText(const std::string& data, int32_t attribute,
                    const std::optional<TextPosition>& at);
  void WriteShadow(const std::string& data, TextPosition start);  // command-queue mutex held
  void QueueCommand(DisplayCommand command);
  // Puts the window's cursor home after a clear or scroll, dropping a pending start.
  void HomeCursor(DisplayWindow& window);
  void DisplayLoop(ClaimEvents& events);
  void RunText(ClaimEvents& events, DisplayCommand& command);
  void RunClear(DisplayCommand& command);
  void RunScroll(ClaimEvents& events, DisplayCommand& command);
  bool SleepUnlessStopped(ClaimEvents& events, uint32_t ms);  // false when stopped

  // The device went away or came back (the link's watch thread); and the power state an
  // application with power notification on is told about.
  void OnPresenceChanged(bool present);
  void ReportPowerState(bool present);

  // Events.
  void EventDeliveryLoop(ClaimEvents& events);
  bool OnWindowCommand(uint16_t command);

  // Configuration and link.
  DisplayConfiguration config_;
  bool opened_ = false;
  DisplayCallbacks callbacks_;
  std::unique_ptr<platform::HiddenWindow> window_;
  CDisplayPort port_;

  // Properties.
  std::atomic<int32_t> claimed_{0};
  std::atomic<int32_t> device_enabled_{0};
  std::atomic<int32_t> freeze_events_{0};
  std::atomic<int32_t> co_freeze_events_{0};
  std::atomic<int32_t> result_code_{101};
  std::atomic<int32_t> binary_conversion_{0};
  std::atomic<int32_t> character_set_{998};
  std::atomic<int32_t> device_brightness_{100};
  std::atomic<int32_t> blink_rate_{1600};
  std::atomic<int32_t> device_rows_{2};
  std::atomic<int32_t> device_columns_{20};
  std::atomic<int32_t> power_notify_{0};
  std::atomic<int32_t> power_state_{2000};
  std::mutex text_mutex_;  // guards check_health_text_
  std::string check_health_text_;

  // The state mutex guards State and the event queue.
  std::mutex state_mutex_;
  int32_t state_ = 1;
  std::deque<DisplayEventRecord> event_queue_;
  platform::EventHandOff<DisplayEventRecord> hand_off_;

  // The command-queue mutex guards the queue, the shadow, the pending start position and
  // the two cursor marks.
  std::mutex command_mutex_;
  std::deque<DisplayCommand> commands_;
  std::array<std::array<uint8_t, 20>, 2> shadow_;
  std::optional<TextPosition> pending_start_;
  bool cursor_row_mark_ = false;
  bool cursor_column_mark_ = false;

  // The window-list mutex guards the table, the stack and every window's buffer, scroll
  // offsets and marquee pass.
  std::mutex window_list_mutex_;
  std::array<std::shared_ptr<DisplayWindow>, kMaxWindows> windows_;
  std::vector<int> stack_;  // front first
  // One redraw at a time, so frames reach the display in the order they were composed.
  std::mutex redraw_mutex_;

  std::atomic<bool> blink_{false};
  std::atomic<bool> busy_{false};  // the display thread works on a command
  std::atomic<bool> clearing_{false};

  // The claim.
  std::unique_ptr<ClaimEvents> events_;
  std::atomic<bool> stop_{false};
  uint64_t claim_generation_ = 0;
  std::thread event_thread_, display_thread_;
};

}  // namespace line_display
