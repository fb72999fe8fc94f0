#include "test_service_object.h"

#include <utility>
#include <vector>

#include "platform/event.h"
#include "platform/registry.h"
#include "platform/ui_provider.h"

namespace opos_test_so {

namespace automation = platform::automation;
namespace reg = platform::registry;
using automation::InvokeKind;
using automation::Variant;

namespace {

constexpr uint16_t kEventCommand = 0xFFFF;
constexpr int32_t kSuccess = 0, kNotClaimed = 103, kNoService = 104, kDisabled = 105,
                  kIllegal = 106, kFailure = 111;
constexpr int32_t kIndexClaimed = 1, kIndexEnabled = 3, kIndexFreeze = 4, kIndexOutputId = 5,
                  kIndexResultCode = 6, kIndexExtended = 7, kIndexVersion = 8, kIndexState = 9,
                  kIndexAsyncMode = 8001, kIndexRecLineChars = 8016, kIndexDrawerOpened = 1001;

// The device key's optional DWORD "OpenResult" is what OpenService answers; absent means 0.
int32_t ConfiguredOpenResult(const std::string& device_class, const std::string& device_name) {
  const std::string class_key = "Software\\OLEforRetail\\ServiceOPOS\\" + device_class;
  std::string key_name = device_name;
  reg::Key key;
  if (reg::Key::Open(reg::Root::LocalMachine, class_key, reg::Access::Read, key) == reg::kSuccess) {
    std::string target;
    if (key.QueryString(device_name, target) == reg::kSuccess && !target.empty()) key_name = target;
  }
  reg::Key device;
  if (reg::Key::Open(reg::Root::LocalMachine, class_key + "\\" + key_name, reg::Access::Read,
                     device) != reg::kSuccess)
    return kNoService;
  uint32_t configured = 0;
  if (device.QueryDword("OpenResult", configured) != reg::kSuccess) return kSuccess;
  return static_cast<int32_t>(configured);
}

}  // namespace

const DispatchTable<TestServiceObject>& TestServiceObject::AutomationTable() {
  using T = TestServiceObject;
  static const DispatchTable<T> table = DispatchTable<T>()
                                            .Method("COFreezeEvents", &T::COFreezeEvents)
                                            .Method("GetPropertyNumber", &T::GetPropertyNumber)
                                            .Method("SetPropertyNumber", &T::SetPropertyNumber)
                                            .Method("GetPropertyString", &T::GetPropertyString)
                                            .Method("SetPropertyString", &T::SetPropertyString)
                                            .Method("OpenService", &T::OpenService)
                                            .Method("CheckHealth", &T::CheckHealth)
                                            .Method("ClaimDevice", &T::ClaimDevice)
                                            .Method("ClearOutput", &T::ClearOutput)
                                            .Method("CloseService", &T::CloseService)
                                            .Method("DirectIO", &T::DirectIO)
                                            .Method("ReleaseDevice", &T::ReleaseDevice)
                                            .Method("PrintNormal", &T::PrintNormal)
                                            .Method("OpenDrawer", &T::OpenDrawer)
                                            .Method("WaitForDrawerClose", &T::WaitForDrawerClose)
                                            .Method("DisplayText", &T::DisplayText)
                                            .Method("ClearText", &T::ClearText)
                                            .Method("Claim", &T::ClaimDevice)
                                            .Method("Release", &T::ReleaseDevice)
                                            .Method("Close", &T::CloseService);
  return table;
}

TestServiceObject::TestServiceObject(std::string device_name_property)
    : device_name_property_(std::move(device_name_property)) {
  numbers_[kIndexRecLineChars] = 42;
  numbers_[8526] = 1;  // CapRecPapercut
  numbers_[1501] = 1;  // CapStatus
}

TestServiceObject::~TestServiceObject() {
  StopWorker();
  window_.reset();
}

int32_t TestServiceObject::Finish(int32_t result) { return result_code_ = result; }

int32_t TestServiceObject::OpenService(const std::string& device_class,
                                       const std::string& device_name, Dispatch* callbacks) {
  if (!callbacks) return Finish(kNoService);
  if (!automation::Succeeded(callbacks->GetIDsOfNames("SODirectIO", id_direct_io_)) ||
      !automation::Succeeded(callbacks->GetIDsOfNames("SOError", id_error_)) ||
      !automation::Succeeded(callbacks->GetIDsOfNames("SOOutputComplete", id_output_complete_)) ||
      !automation::Succeeded(callbacks->GetIDsOfNames("SOStatusUpdate", id_status_update_)))
    return Finish(kNoService);
  const int32_t configured = ConfiguredOpenResult(device_class, device_name);
  if (configured != kSuccess) return Finish(configured);
  callbacks_ = callbacks;
  window_ = std::make_unique<platform::HiddenWindow>(
      "EventInterfaceWindow", 1234,
      [this](uint16_t command, void*) { return OnWindowCommand(command); });
  state_ = 2;
  return Finish(kSuccess);
}

int32_t TestServiceObject::CloseService() {
  if (claimed_) ReleaseDevice();
  state_ = 1;
  return Finish(kSuccess);
}

int32_t TestServiceObject::ClaimDevice(int32_t timeout) {
  if (timeout < -1) return Finish(kIllegal);
  if (claimed_) return Finish(kSuccess);
  StartWorker();
  claimed_ = true;
  numbers_[kIndexEnabled] = 0;
  return Finish(kSuccess);
}

int32_t TestServiceObject::ReleaseDevice() {
  if (!claimed_) return Finish(kIllegal);
  StopWorker();
  claimed_ = false;
  numbers_[kIndexEnabled] = 0;
  return Finish(kSuccess);
}

int32_t TestServiceObject::CheckEnabled() {
  if (!claimed_) return kNotClaimed;
  if (numbers_[kIndexEnabled] == 0) return kDisabled;
  return kSuccess;
}

int32_t TestServiceObject::CheckHealth(int32_t level) {
  if (int32_t rc = CheckEnabled(); rc != kSuccess) return Finish(rc);
  return Finish(level >= 1 && level <= 3 ? kSuccess : kIllegal);
}

int32_t TestServiceObject::COFreezeEvents(int32_t freeze) {
  SetFrozen(&frozen_by_control_object_, freeze != 0);
  return kSuccess;
}

void TestServiceObject::SetFrozen(bool* flag, bool frozen) {
  size_t waiting = 0;
  {
    std::lock_guard lock(mutex_);
    *flag = frozen;
    if (frozen_by_property_ || frozen_by_control_object_) return;
    waiting = events_.size();
  }
  // One window command per event held back; a command left over finds the queue empty.
  for (size_t i = 0; i < waiting; ++i) {
    if (window_) window_->PostCommand(kEventCommand, nullptr);
  }
}

int32_t TestServiceObject::GetPropertyNumber(int32_t index) {
  switch (index) {
    case kIndexClaimed:
      return claimed_ ? 1 : 0;
    case kIndexResultCode:
      return result_code_;
    case kIndexExtended:
      return 0;
    case kIndexVersion:
      return 1003001;
    case kIndexState:
      return state_;
    default: {
      auto it = numbers_.find(index);
      return it == numbers_.end() ? 0 : it->second;
    }
  }
}

void TestServiceObject::SetPropertyNumber(int32_t index, int32_t value) {
  switch (index) {
    case kIndexFreeze:
      numbers_[index] = value != 0;
      SetFrozen(&frozen_by_property_, value != 0);
      Finish(kSuccess);
      return;
    case kIndexEnabled:
    case kIndexAsyncMode:
    case kIndexRecLineChars:
      if (!claimed_) {
        Finish(kNotClaimed);
        return;
      }
      numbers_[index] = index == kIndexRecLineChars ? value : value != 0;
      Finish(kSuccess);
      return;
    default:
      return;  // read-only and unknown indexes are ignored
  }
}

std::string TestServiceObject::GetPropertyString(int32_t index) {
  switch (index) {
    case 1000002:
      return "Test device";
    case 1000003:
      return device_name_property_;
    case 1000004:
      return "Test service object";
    default:
      return "";
  }
}

void TestServiceObject::SetPropertyString(int32_t, const std::string&) {}

int32_t TestServiceObject::PrintNormal(int32_t station, const std::string& data) {
  if (int32_t rc = CheckEnabled(); rc != kSuccess) return Finish(rc);
  if (station != 2) return Finish(kIllegal);
  if (numbers_[kIndexAsyncMode] == 0) {
    std::lock_guard lock(mutex_);
    printed_ += data;
    return Finish(kSuccess);
  }
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back({++next_output_id_, data});
    numbers_[kIndexOutputId] = next_output_id_;
  }
  work_ready_.notify_one();
  return Finish(kSuccess);
}

int32_t TestServiceObject::ClearOutput() {
  if (!claimed_) return Finish(kNotClaimed);
  std::lock_guard lock(mutex_);
  jobs_.clear();
  return Finish(kSuccess);
}

int32_t TestServiceObject::OpenDrawer() {
  if (int32_t rc = CheckEnabled(); rc != kSuccess) return Finish(rc);
  numbers_[kIndexDrawerOpened] = 1;
  QueueEvent({EventKind::StatusUpdate, 1});  // drawer open
  return Finish(kSuccess);
}

int32_t TestServiceObject::WaitForDrawerClose(int32_t, int32_t frequency, int32_t duration,
                                              int32_t) {
  if (int32_t rc = CheckEnabled(); rc != kSuccess) return Finish(rc);
  if (numbers_[kIndexDrawerOpened] != 0) {
    platform::ui::Current().Beep(static_cast<unsigned>(frequency), static_cast<unsigned>(duration));
    numbers_[kIndexDrawerOpened] = 0;
    QueueEvent({EventKind::StatusUpdate, 0});  // drawer closed
  }
  return Finish(kSuccess);
}

int32_t TestServiceObject::DisplayText(const std::string& data, int32_t attribute) {
  if (int32_t rc = CheckEnabled(); rc != kSuccess) return Finish(rc);
  if (attribute != 0 && attribute != 1) return Finish(kIllegal);
  std::lock_guard lock(mutex_);
  printed_ += data;
  return Finish(kSuccess);
}

int32_t TestServiceObject::ClearText() {
  if (int32_t rc = CheckEnabled(); rc != kSuccess) return Finish(rc);
  std::lock_guard lock(mutex_);
  printed_.clear();
  return Finish(kSuccess);
}

int32_t TestServiceObject::DirectIO(int32_t command, int32_t* data, std::string* text) {
  if (!claimed_) return Finish(kNotClaimed);
  switch (command) {
    case 1:
      QueueEvent({EventKind::StatusUpdate, *data});
      return Finish(kSuccess);
    case 2: {
      int delivered_before = 0;
      {
        std::lock_guard lock(mutex_);
        delivered_before = errors_delivered_;
      }
      QueueEvent({EventKind::Error, kFailure, *data, 2});
      // Like a service object waiting for the application's answer: keep this thread's
      // messages flowing until the error event has been handled (bounded).
      const uint64_t deadline = platform::TickCountMs() + 5000;
      while (platform::TickCountMs() < deadline) {
        platform::PumpMessages(10);
        std::lock_guard lock(mutex_);
        if (errors_delivered_ != delivered_before) break;
      }
      std::lock_guard lock(mutex_);
      *data = last_error_response_;
      return Finish(errors_delivered_ != delivered_before ? kSuccess : kFailure);
    }
    case 3:
      *data = platform::ui::Current().MessageBox(*text, "Test", platform::ui::kOkCancel);
      return Finish(kSuccess);
    case 4:
      platform::ui::Current().Beep(static_cast<unsigned>(*data), 100);
      return Finish(kSuccess);
    case 5:
      QueueEvent({EventKind::DirectIO, *data, 0, 0, *text});
      return Finish(kSuccess);
    case 6: {
      std::lock_guard lock(mutex_);
      *text = printed_;
      return Finish(kSuccess);
    }
    case 7: {
      std::lock_guard lock(mutex_);
      *data = last_error_response_;
      return Finish(kSuccess);
    }
    default:
      return Finish(kIllegal);
  }
}

void TestServiceObject::QueueEvent(EventRecord record) {
  {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(record));
    if (frozen_by_property_ || frozen_by_control_object_) return;  // posted at the thaw
  }
  if (window_) window_->PostCommand(kEventCommand, nullptr);
}

bool TestServiceObject::OnWindowCommand(uint16_t command) {
  if (command != kEventCommand) return false;
  EventRecord record;
  {
    std::lock_guard lock(mutex_);
    if (events_.empty() || frozen_by_property_ || frozen_by_control_object_) return true;
    record = std::move(events_.front());
    events_.pop_front();
  }
  Deliver(record);
  return true;
}

void TestServiceObject::Deliver(EventRecord& record) {
  if (!callbacks_) return;
  switch (record.kind) {
    case EventKind::StatusUpdate: {
      std::vector<Variant> args{Variant(record.first)};
      callbacks_->Invoke(id_status_update_, InvokeKind::Method, args, nullptr);
      break;
    }
    case EventKind::OutputComplete: {
      std::vector<Variant> args{Variant(record.first)};
      callbacks_->Invoke(id_output_complete_, InvokeKind::Method, args, nullptr);
      break;
    }
    case EventKind::Error: {
      int32_t response = 11;  // OPOS_ER_RETRY unless the application says otherwise
      std::vector<Variant> args{Variant(record.first), Variant(record.second),
                                Variant(record.third), Variant::IntRef(&response)};
      callbacks_->Invoke(id_error_, InvokeKind::Method, args, nullptr);
      std::lock_guard lock(mutex_);
      last_error_response_ = response;
      ++errors_delivered_;
      break;
    }
    case EventKind::DirectIO: {
      int32_t data = record.second;
      std::vector<Variant> args{Variant(record.first), Variant::IntRef(&data),
                                Variant::StringRef(&record.text)};
      callbacks_->Invoke(id_direct_io_, InvokeKind::Method, args, nullptr);
      break;
    }
  }
}

void TestServiceObject::StartWorker() {
  {
    std::lock_guard lock(mutex_);
    stop_ = false;
  }
  worker_ = std::thread([this] { WorkerLoop(); });
}

void TestServiceObject::StopWorker() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  work_ready_.notify_all();
  worker_.join();
}

void TestServiceObject::WorkerLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    work_ready_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
    if (stop_) return;
    PrintJob job = std::move(jobs_.front());
    jobs_.pop_front();
    printed_ += job.data;
    lock.unlock();
    QueueEvent({EventKind::OutputComplete, job.output_id});
    lock.lock();
  }
}

}  // namespace opos_test_so
