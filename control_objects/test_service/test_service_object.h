// A small service object used to exercise the control objects through the real path
// (registry, ProgID, dlopen, OpenService, callbacks through a hidden window). It keeps a
// few properties (FreezeEvents and COFreezeEvents hold events back), records what is printed, completes asynchronous prints on a worker
// thread, and answers DirectIO commands that raise events and use the UI provider:
//
//   1  status update with *pData                    (queued, delivered while pumping)
//   2  error event (111, *pData, 2); waits for it by pumping and returns the application's
//      ErrorResponse in *pData
//   3  message box: text *pString, caption "Test"; the button pressed in *pData
//   4  beep *pData Hz for 100 ms
//   5  direct-I/O event (*pData, 0, *pString)       (queued)
//   6  *pString = everything printed or displayed so far
//   7  *pData = the ErrorResponse of the last error event
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "platform/dispatch_table.h"
#include "platform/message_queue.h"

namespace opos_test_so {

using platform::automation::Dispatch;
using platform::automation::DispatchTable;
using platform::automation::DispId;

class TestServiceObject : public platform::automation::AutomationObject<TestServiceObject> {
 public:
  static const DispatchTable<TestServiceObject>& AutomationTable();

  int32_t OpenService(const std::string& device_class, const std::string& device_name,
                      Dispatch* callbacks);
  int32_t CloseService();
  int32_t ClaimDevice(int32_t timeout);
  int32_t ReleaseDevice();
  int32_t CheckHealth(int32_t level);
  int32_t COFreezeEvents(int32_t freeze);
  int32_t DirectIO(int32_t command, int32_t* data, std::string* text);
  int32_t GetPropertyNumber(int32_t index);
  void SetPropertyNumber(int32_t index, int32_t value);
  std::string GetPropertyString(int32_t index);
  void SetPropertyString(int32_t index, const std::string& value);
  int32_t PrintNormal(int32_t station, const std::string& data);
  int32_t ClearOutput();
  int32_t OpenDrawer();
  int32_t WaitForDrawerClose(int32_t beep_timeout, int32_t frequency, int32_t duration,
                             int32_t delay);
  int32_t DisplayText(const std::string& data, int32_t attribute);
  int32_t ClearText();

 protected:
  explicit TestServiceObject(std::string device_name_property);
  ~TestServiceObject() override;

 private:
  enum class EventKind { DirectIO = 2, Error = 3, OutputComplete = 4, StatusUpdate = 5 };
  struct EventRecord {
    EventRecord() = default;
    EventRecord(EventKind k, int32_t a, int32_t b = 0, int32_t c = 0, std::string t = {})
        : kind(k), first(a), second(b), third(c), text(std::move(t)) {}
    EventKind kind = EventKind::StatusUpdate;
    int32_t first = 0, second = 0, third = 0;
    std::string text;
  };
  struct PrintJob {
    int32_t output_id;
    std::string data;
  };

  int32_t Finish(int32_t result);  // stores ResultCode
  int32_t CheckEnabled();
  void QueueEvent(EventRecord record);
  // FreezeEvents or COFreezeEvents changed: events held back go out once both are off.
  void SetFrozen(bool* flag, bool frozen);
  bool OnWindowCommand(uint16_t command);
  void Deliver(EventRecord& record);
  void StartWorker();
  void StopWorker();
  void WorkerLoop();

  const std::string device_name_property_;
  Dispatch* callbacks_ = nullptr;  // the control object's; never released, as it never owned it
  DispId id_direct_io_ = 0, id_error_ = 0, id_output_complete_ = 0, id_status_update_ = 0;
  std::unique_ptr<platform::HiddenWindow> window_;

  int32_t result_code_ = 101;
  int32_t state_ = 1;
  bool claimed_ = false;
  std::map<int32_t, int32_t> numbers_;

  std::mutex mutex_;  // guards everything below
  std::condition_variable work_ready_;
  std::deque<PrintJob> jobs_;
  std::deque<EventRecord> events_;
  std::string printed_;
  bool stop_ = false;
  // Events wait in events_ while either is set.
  bool frozen_by_property_ = false, frozen_by_control_object_ = false;
  int32_t next_output_id_ = 0;
  int32_t last_error_response_ = 0;
  int errors_delivered_ = 0;
  std::thread worker_;
};

}  // namespace opos_test_so
