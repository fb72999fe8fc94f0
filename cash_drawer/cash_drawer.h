// CCashDrawer: the cash drawer service object. The drawer hangs on the receipt printer's
// kick connector: it is opened with the printer's kick command and sensed through the pin-3
// bit of the printer's status. When the printer service object of this process holds the
// same port, the drawer shares its handle, waits for printing to be idle before a kick and
// reads the drawer level the printer's monitor keeps.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "control_callbacks.h"
#include "device_config.h"
#include "drawer_sync.h"
#include "event_record.h"
#include "platform/dispatch_table.h"
#include "platform/event_hand_off.h"
#include "platform/message_queue.h"
#include "build_differences.h"
#include "port_user.h"
#include "printer_port.h"

namespace service_core {

class CCashDrawer : public platform::automation::AutomationObject<CCashDrawer>, public PortUser {
 public:
  static const platform::automation::DispatchTable<CCashDrawer>& AutomationTable();

  CCashDrawer();

  // The automation interface (cash_drawer_table.cpp keeps the order).
  int32_t OpenService(const std::string& device_class, const std::string& device_name,
                      platform::automation::Dispatch* control);
  int32_t CloseService();
  int32_t ClaimDevice(int32_t timeout);
  int32_t ReleaseDevice();
  int32_t CheckHealth(int32_t level);
  int32_t DirectIO(int32_t command, int32_t* data, std::string* text);
  int32_t COFreezeEvents(int32_t freeze);
  int32_t GetPropertyNumber(int32_t index);
  void SetPropertyNumber(int32_t index, int32_t value);
  std::string GetPropertyString(int32_t index);
  void SetPropertyString(int32_t index, const std::string& value);
  int32_t OpenDrawer();
  int32_t WaitForDrawerClose(int32_t beep_timeout, int32_t frequency, int32_t duration,
                             int32_t delay);

  // PortUser: the pin-3 level that means "open" on an unshared link.
  int DrawerOpenLevel() const override { return config_.open_level; }

 protected:
  ~CCashDrawer() override;

 private:
  int32_t Finish(int32_t result);  // stores ResultCode
  void SetState(int32_t state);
  int32_t ReadState();
  void SetDeviceEnabled(int32_t value);
  void SetFreezeEvents(int32_t value);

  // The five threads of a claim (drawer_threads.cpp, drawer_events.cpp).
  void StartThreads(DrawerSync& sync);
  void StopThreads(DrawerSync& sync);
  void EventDeliveryLoop(DrawerSync& sync);
  void StatusChangeLoop(DrawerSync& sync);
  void PollLoop(DrawerSync& sync);
  void BeepLoop(DrawerSync& sync);
  void RecheckLoop(DrawerSync& sync);

  // Sensing (drawer_sensing.cpp).
  void PollOnce(DrawerSync& sync);
  // Hands a sensed state to the status-change thread when it differs from the one reported.
  void NoteSensedState(DrawerSync& sync, int32_t open);
  // Open (1) or closed (0) from a printer link's drawer state (1 while pin 3 is low).
  int32_t OpenFromPrinterLevel(int printer_drawer_state) const;
  // Whether the drawer stands open as last sensed, without asking the printer.
  bool SensedOpen();
  // A sharing printer printed less than a second ago or has output queued.
  static bool PrinterBusy(const CPrinterPort::SharedPrinter& printer);
  // A sharing printer that is offline: cover open, paper out, off or switched offline.
  static bool PrinterInTrouble(const CPrinterPort::SharedPrinter& printer);
  // Waits in 500 ms steps while a sharing printer is busy; false after 5 s.
  bool WaitForIdlePrinter();

  // Events (drawer_events.cpp).
  void QueueStatusUpdate(DrawerSync& sync, int32_t status);
  bool OnWindowCommand(uint16_t command);

  // Configuration and link.
  SerialConfiguration config_;
  ControlCallbacks callbacks_;
  std::unique_ptr<platform::HiddenWindow> window_;
  // The link of this build (serial, TCP or USB); used only through CPrinterPort.
  std::unique_ptr<CPrinterPort> port_link_ = NewPrinterPort();
  CPrinterPort& port_ = *port_link_;

  // Properties.
  std::atomic<int32_t> claimed_{0};
  std::atomic<int32_t> device_enabled_{0};
  std::atomic<int32_t> freeze_events_{0};
  std::atomic<int32_t> co_freeze_events_{0};
  std::atomic<int32_t> result_code_{0};
  std::atomic<int32_t> result_code_extended_{0};
  std::atomic<int32_t> binary_conversion_{0};
  std::atomic<int32_t> power_notify_{0};
  std::atomic<int32_t> power_state_{0};
  std::atomic<int32_t> cap_power_reporting_{0};
  std::mutex text_mutex_;  // guards check_health_text_
  std::string check_health_text_;

  // Drawer state: as last sensed (DrawerOpened), and as last reported (-1: nothing yet).
  std::atomic<int32_t> current_state_{0};
  std::atomic<int32_t> last_reported_{-1};
  // WaitForDrawerClose calls in progress: the poll senses for them also while disabled.
  std::atomic<int32_t> close_waiters_{0};
  // Beep parameters of the running WaitForDrawerClose.
  std::atomic<int32_t> beep_frequency_{0}, beep_duration_{0}, beep_delay_{0};

  // The event queue; its mutex also guards State and the sensed states below.
  std::mutex queue_mutex_;
  std::deque<EventRecord> event_queue_;
  int32_t state_ = 1;
  // States the poll sensed, in order, for the status-change thread, and the newest state
  // handed to it (-1: none since the claim).
  std::deque<int32_t> sensed_states_;
  int32_t last_handed_ = -1;

  // The claim: events and threads. Touched by the application's thread only, except that
  // each thread is handed the DrawerSync it runs with.
  std::unique_ptr<DrawerSync> sync_;
  uint64_t claim_generation_ = 0;
  std::atomic<bool> stop_{false};
  std::thread event_delivery_, status_change_, poll_, beep_, recheck_;

  // The event posted to the hidden window and not yet raised (see the printer's).
  platform::EventHandOff<EventRecord> hand_off_;
};

}  // namespace service_core
