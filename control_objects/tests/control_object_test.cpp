#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <thread>
#include <vector>

#include "control_objects/cash_drawer.h"
#include "control_objects/device_lookup.h"
#include "control_objects/line_display.h"
#include "control_objects/opos_codes.h"
#include "control_objects/pos_printer.h"
#include "platform/event.h"
#include "platform/registry.h"
#include "platform/message_queue.h"
#include "platform/object_factory.h"
#include "platform/ui_scripted.h"
#include "temp_registry.h"

namespace opos::control {
namespace {

using platform::automation::InvokeKind;
using platform::automation::kBadParamCount;
using platform::automation::kMemberNotFound;
using platform::automation::kOk;
using platform::automation::kUnknownName;
using testing::TempRegistry;

// Pumps this thread's messages until `done` holds; false after a generous limit.
bool PumpUntil(const std::function<bool()>& done) {
  const uint64_t deadline = platform::TickCountMs() + 5000;
  while (!done()) {
    if (platform::TickCountMs() > deadline) return false;
    platform::PumpMessages(10);
  }
  return true;
}

bool TestLibraryLoaded() {
  auto loaded = platform::automation::LoadedServerLibraries();
  return std::any_of(loaded.begin(), loaded.end(), [](const std::string& path) {
    return path.find("opos_test_so") != std::string::npos;
  });
}

class ControlObjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry_.AddDevice("POSPrinter", "TestPrinter", "Test.POSPrinter.SO");
    registry_.AddLogicalName("POSPrinter", "Unit1", "TestPrinter");
    registry_.AddDevice("CashDrawer", "TestDrawer", "Test.CashDrawer.SO");
  }

  // Opens, claims and enables the printer through its logical name.
  ObjectRef<POSPrinter> ReadyPrinter() {
    auto printer = POSPrinter::Create();
    EXPECT_EQ(printer->Open("Unit1"), kSuccess);
    EXPECT_EQ(printer->ClaimDevice(1000), kSuccess);
    printer->SetDeviceEnabled(true);
    EXPECT_EQ(printer->ResultCode(), kSuccess);
    return printer;
  }

  TempRegistry registry_;
};

TEST_F(ControlObjectTest, OpenReportsMissingEntryMissingServiceAndDoubleOpen) {
  auto printer = POSPrinter::Create();
  EXPECT_EQ(printer->Open("NoSuchDevice"), kNoExist);
  EXPECT_EQ(printer->ResultCode(), kNoExist);
  EXPECT_EQ(printer->State(), kStateClosed);

  registry_.AddDevice("POSPrinter", "Unregistered", "Nobody.POSPrinter.SO");
  EXPECT_EQ(printer->Open("Unregistered"), kNoService);
  registry_.AddDevice("POSPrinter", "NoProgId", "");
  EXPECT_EQ(printer->Open("NoProgId"), kNoService);
  EXPECT_EQ(printer->ResultCode(), kNoService);

  // Names that would reach past one device entry never match.
  EXPECT_EQ(printer->Open(""), kNoExist);
  EXPECT_EQ(printer->Open("TestPrinter\\..\\TestPrinter"), kNoExist);

  EXPECT_EQ(printer->Open("TestPrinter"), kSuccess);
  EXPECT_EQ(printer->State(), kStateIdle);
  EXPECT_EQ(printer->Open("TestPrinter"), kIllegal);
  EXPECT_TRUE(printer->IsOpen());
  // ResultCode tells the refusal, as for every other method, until the next call.
  EXPECT_EQ(printer->ResultCode(), kIllegal);
  EXPECT_EQ(printer->State(), kStateIdle);
  EXPECT_EQ(printer->ResultCode(), kIllegal);
  EXPECT_EQ(printer->ClaimDevice(1000), kSuccess);
  EXPECT_EQ(printer->ResultCode(), kSuccess);
  EXPECT_EQ(printer->Close(), kSuccess);
}

TEST_F(ControlObjectTest, DamagedRegistryStoreIsNamedAsTheReason) {
  const std::string damaged = registry_.Dir() + "/damaged.sqlite";
  std::string garbage;
  for (int i = 0; i < 8192; ++i) garbage += static_cast<char>((i * 131 + 7) % 251);
  {
    std::FILE* file = std::fopen(damaged.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    std::fwrite(garbage.data(), 1, garbage.size(), file);
    std::fclose(file);
  }
  platform::registry::UseDatabase(damaged);
  auto printer = POSPrinter::Create();
  EXPECT_EQ(printer->Open("Unit1"), kNoExist);
  const std::string problem = printer->OpenProblem();
  platform::registry::UseDatabase(registry_.DatabasePath());
  EXPECT_NE(problem.find("registry store cannot be read"), std::string::npos) << problem;
  EXPECT_NE(problem.find(damaged), std::string::npos) << problem;
  // A device that simply is not there is no problem with the store.
  EXPECT_EQ(printer->Open("NoSuchDevice"), kNoExist);
  EXPECT_EQ(printer->OpenProblem(), "");
}

TEST_F(ControlObjectTest, ListingGivesEveryDeviceKeyWithItsServiceAndLogicalNames) {
  registry_.AddDevice("LineDisplay", "Pole", "");
  registry_.AddLogicalName("POSPrinter", "Front", "testprinter");  // names ignore case
  registry_.AddLogicalName("POSPrinter", "Dangling", "Missing");
  registry_.AddLogicalName("CashDrawer", "Unit1", "TestDrawer");  // same name, other class

  std::vector<DeviceListing> entries;
  ASSERT_EQ(ListDeviceEntries(entries), kSuccess);
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].class_name, "POSPrinter");
  EXPECT_EQ(entries[0].key_name, "TestPrinter");
  EXPECT_EQ(entries[0].prog_id, "Test.POSPrinter.SO");
  EXPECT_EQ(entries[0].logical_names, (std::vector<std::string>{"Unit1", "Front"}));
  EXPECT_EQ(entries[1].class_name, "CashDrawer");
  EXPECT_EQ(entries[1].logical_names, std::vector<std::string>{"Unit1"});
  EXPECT_EQ(entries[2].class_name, "LineDisplay");
  EXPECT_EQ(entries[2].key_name, "Pole");
  EXPECT_EQ(entries[2].prog_id, "");

  // A store that cannot be read is reported, not listed as empty.
  const std::string not_a_store = registry_.Dir() + "/folder";
  std::filesystem::create_directory(not_a_store);
  platform::registry::UseDatabase(not_a_store);
  std::string problem;
  const int32_t result = ListDeviceEntries(entries, &problem);
  platform::registry::UseDatabase(registry_.DatabasePath());
  EXPECT_EQ(result, kNoExist);
  EXPECT_TRUE(entries.empty());
  EXPECT_NE(problem.find("cannot be read"), std::string::npos) << problem;
}

TEST_F(ControlObjectTest, OpenReturnsWhatOpenServiceAnsweredAndStaysClosedOnFailure) {
  registry_.SetDeviceDword("POSPrinter", "TestPrinter", "OpenResult", kFailure);
  auto printer = POSPrinter::Create();
  EXPECT_EQ(printer->Open("Unit1"), kFailure);
  EXPECT_FALSE(printer->IsOpen());
  EXPECT_EQ(printer->ResultCode(), kFailure);
  EXPECT_EQ(printer->OpenResult(), kFailure);
  EXPECT_EQ(printer->ClaimDevice(1000), kClosed);
  EXPECT_FALSE(TestLibraryLoaded());
}

TEST_F(ControlObjectTest, LogicalNameLeadsToDeviceKeyAndEmptyNameIsIgnored) {
  registry_.AddLogicalName("POSPrinter", "Blank", "");
  registry_.AddDevice("POSPrinter", "Blank", "Test.POSPrinter.SO");
  registry_.AddLogicalName("POSPrinter", "Dangling", "Missing");

  auto printer = POSPrinter::Create();
  EXPECT_EQ(printer->Open("unit1"), kSuccess);  // names ignore case
  EXPECT_EQ(printer->GetPropertyString(1000003), "Test.POSPrinter.SO");
  printer->Close();
  EXPECT_EQ(printer->Open("Blank"), kSuccess);
  printer->Close();
  EXPECT_EQ(printer->Open("Dangling"), kNoExist);

  // A logical name of one class does not open another class.
  auto drawer = CashDrawer::Create();
  EXPECT_EQ(drawer->Open("Unit1"), kNoExist);
}

TEST_F(ControlObjectTest, MethodsAndPropertiesForwardByNameAndIndex) {
  auto printer = POSPrinter::Create();
  ASSERT_EQ(printer->Open("Unit1"), kSuccess);
  EXPECT_EQ(printer->PrintNormal(2, "x"), kNotClaimed);
  EXPECT_EQ(printer->ResultCode(), kNotClaimed);
  EXPECT_EQ(printer->ClaimDevice(1000), kSuccess);
  EXPECT_EQ(printer->PrintNormal(2, "x"), kDisabled);

  Variant value;
  EXPECT_EQ(printer->SetProperty("deviceenabled", Variant(1)), kOk);
  EXPECT_EQ(printer->GetProperty("DeviceEnabled", value), kOk);
  EXPECT_EQ(value.ToInt32(), 1);
  EXPECT_EQ(printer->GetPropertyNumber(3), 1);

  EXPECT_EQ(printer->PrintNormal(2, std::string("Total\x1b|bC\n\0end", 15)), kSuccess);
  int32_t data = 0;
  std::string printed;
  EXPECT_EQ(printer->DirectIO(6, data, printed), kSuccess);
  EXPECT_EQ(printed, std::string("Total\x1b|bC\n\0end", 15));

  EXPECT_EQ(printer->SetProperty("RecLineChars", Variant(56)), kOk);
  EXPECT_EQ(printer->RecLineChars(), 56);
  EXPECT_EQ(printer->GetProperty("CapRecPapercut", value), kOk);
  EXPECT_EQ(value.ToInt32(), 1);
  EXPECT_EQ(printer->GetProperty("DeviceName", value), kOk);
  EXPECT_EQ(value.ToString(), "Test.POSPrinter.SO");
  EXPECT_EQ(printer->GetProperty("ControlObjectDescription", value), kOk);
  EXPECT_EQ(value.ToString(), "OPOS POSPrinter Control Object");

  // Calls the control object refuses before they reach the service object.
  EXPECT_EQ(printer->SetProperty("RecLinesToPaperCut", Variant(3)), kMemberNotFound);
  EXPECT_EQ(printer->SetProperty("NoSuchProperty", Variant(3)), kUnknownName);
  int32_t result = -1;
  std::vector<Variant> one{Variant(2)};
  EXPECT_EQ(printer->CallMethod("PrintNormal", one, result), kBadParamCount);
  EXPECT_EQ(printer->CallMethod("Fly", one, result), kUnknownName);
  // A member the service object lacks is no service.
  std::vector<Variant> cut{Variant(100)};
  EXPECT_EQ(printer->CallMethod("CutPaper", cut, result), kOk);
  EXPECT_EQ(result, kNoService);

  EXPECT_EQ(printer->ReleaseDevice(), kSuccess);
  EXPECT_EQ(printer->ReleaseDevice(), kIllegal);
  EXPECT_EQ(printer->Close(), kSuccess);
  EXPECT_EQ(printer->Close(), kClosed);
  EXPECT_EQ(printer->ResultCode(), kClosed);
}

TEST_F(ControlObjectTest, StandardDispatchIdentifiersReachTheirMembers) {
  auto printer = POSPrinter::Create();
  Dispatch& dispatch = *printer;
  auto call = [&](DispId id, InvokeKind kind, std::vector<Variant> args) {
    Variant result;
    EXPECT_EQ(dispatch.Invoke(id, kind, args, &result), kOk) << "dispatch id " << id;
    return result;
  };
  EXPECT_EQ(call(37, InvokeKind::Method, {Variant("Unit1")}).ToInt32(), kSuccess);
  EXPECT_EQ(call(32, InvokeKind::Method, {Variant(1000)}).ToInt32(), kSuccess);
  call(17, InvokeKind::PropertyPut, {Variant::Boolean(true)});
  EXPECT_TRUE(call(17, InvokeKind::PropertyGet, {}).ToBool());
  EXPECT_EQ(call(22, InvokeKind::PropertyGet, {}).ToInt32(), kSuccess);
  EXPECT_EQ(call(168, InvokeKind::Method, {Variant(2), Variant("hello")}).ToInt32(), kSuccess);
  Variant cut = call(77, InvokeKind::PropertyGet, {});
  EXPECT_EQ(cut.type(), Variant::Type::Bool);
  EXPECT_TRUE(cut.ToBool());
  EXPECT_EQ(call(168, InvokeKind::Method, {Variant(1), Variant("slip")}).ToInt32(), kIllegal);
  EXPECT_EQ(call(22, InvokeKind::PropertyGet, {}).ToInt32(), kIllegal);
  EXPECT_EQ(call(23, InvokeKind::PropertyGet, {}).ToInt32(), 0);
  EXPECT_EQ(call(38, InvokeKind::Method, {}).ToInt32(), kSuccess);
  EXPECT_EQ(call(35, InvokeKind::Method, {}).ToInt32(), kSuccess);

  DispId id = 0;
  EXPECT_EQ(dispatch.GetIDsOfNames("printnormal", id), kOk);
  EXPECT_EQ(id, 168);
  EXPECT_EQ(dispatch.GetIDsOfNames("CapRecPapercut", id), kOk);
  EXPECT_EQ(id, 77);
  EXPECT_EQ(dispatch.GetIDsOfNames("OpenDrawer", id), kUnknownName);
  Variant ignored;
  EXPECT_EQ(dispatch.Invoke(77, InvokeKind::PropertyPut, {}, &ignored), kBadParamCount);

  auto drawer = CashDrawer::Create();
  EXPECT_EQ(drawer->GetIDsOfNames("OpenDrawer", id), kOk);
  EXPECT_EQ(id, 60);
  std::vector<Variant> name{Variant("TestDrawer")};
  Variant result;
  ASSERT_EQ(drawer->Invoke(37, InvokeKind::Method, name, &result), kOk);
  ASSERT_EQ(drawer->ClaimDevice(1000), kSuccess);
  drawer->SetDeviceEnabled(true);
  ASSERT_EQ(drawer->Invoke(60, InvokeKind::Method, {}, &result), kOk);
  EXPECT_EQ(result.ToInt32(), kSuccess);
  EXPECT_TRUE(drawer->DrawerOpened());
}

TEST_F(ControlObjectTest, EventsArriveOnTheOpeningThreadOnlyWhilePumping) {
  auto printer = ReadyPrinter();
  std::vector<int32_t> completed;
  std::thread::id event_thread;
  printer->on_output_complete = [&](int32_t id) {
    completed.push_back(id);
    event_thread = std::this_thread::get_id();
  };
  printer->SetAsyncMode(true);
  ASSERT_EQ(printer->PrintNormal(2, "one"), kSuccess);
  ASSERT_EQ(printer->PrintNormal(2, "two"), kSuccess);
  EXPECT_EQ(printer->GetPropertyNumber(5), 2);  // OutputID of the last request

  platform::SleepMs(100);  // the worker finishes; nothing is delivered without pumping
  EXPECT_TRUE(completed.empty());
  ASSERT_TRUE(PumpUntil([&] { return completed.size() == 2; }));
  EXPECT_EQ(completed, (std::vector<int32_t>{1, 2}));
  EXPECT_EQ(event_thread, std::this_thread::get_id());
  printer->Close();
}

TEST_F(ControlObjectTest, FrozenEventsWaitForBothGatesAndKeepTheirOrder) {
  auto printer = ReadyPrinter();
  std::vector<int32_t> updates;
  printer->on_status_update = [&](int32_t data) { updates.push_back(data); };
  auto raise = [&](int32_t value) {
    int32_t data = value;
    std::string text;
    ASSERT_EQ(printer->DirectIO(1, data, text), kSuccess);
  };
  printer->SetFreezeEvents(true);
  raise(1);
  printer->FreezeContainerEvents(true);  // nests: two freezes, one COFreezeEvents
  printer->FreezeContainerEvents(true);
  raise(2);
  platform::PumpMessages(200);
  printer->SetFreezeEvents(false);
  raise(3);
  platform::PumpMessages(200);
  EXPECT_TRUE(updates.empty());
  printer->FreezeContainerEvents(false);
  platform::PumpMessages(200);
  EXPECT_TRUE(updates.empty());
  printer->FreezeContainerEvents(false);
  ASSERT_TRUE(PumpUntil([&] { return updates.size() == 3; }));
  EXPECT_EQ(updates, (std::vector<int32_t>{1, 2, 3}));
  printer->Close();

  // A device opened while the container holds events is frozen from the start.
  auto late = POSPrinter::Create();
  late->FreezeContainerEvents(true);
  ASSERT_EQ(late->Open("Unit1"), kSuccess);
  ASSERT_EQ(late->ClaimDevice(1000), kSuccess);
  late->SetDeviceEnabled(true);
  late->on_status_update = [&](int32_t data) { updates.push_back(data); };
  int32_t data = 4;
  std::string text;
  ASSERT_EQ(late->DirectIO(1, data, text), kSuccess);
  platform::PumpMessages(200);
  EXPECT_EQ(updates.size(), 3u);
  late->FreezeContainerEvents(false);
  ASSERT_TRUE(PumpUntil([&] { return updates.size() == 4; }));
  late->Close();
}

TEST_F(ControlObjectTest, DeviceOpenedOnAnotherThreadGetsItsEventsThere) {
  std::thread::id opener, delivered_on;
  int32_t status = -1;
  std::thread worker([&] {
    opener = std::this_thread::get_id();
    auto printer = ReadyPrinter();
    printer->on_status_update = [&](int32_t data) {
      status = data;
      delivered_on = std::this_thread::get_id();
    };
    int32_t data = 24;
    std::string text;
    EXPECT_EQ(printer->DirectIO(1, data, text), kSuccess);
    EXPECT_TRUE(PumpUntil([&] { return status != -1; }));
    printer->Close();
  });
  // The main thread pumping its own queue must not deliver the worker's events.
  platform::PumpMessages(50);
  worker.join();
  EXPECT_EQ(status, 24);
  EXPECT_EQ(delivered_on, opener);
}

TEST_F(ControlObjectTest, ErrorResponseAndDirectIOEventReachTheServiceObject) {
  auto printer = ReadyPrinter();
  std::vector<int32_t> error_args;
  printer->on_error = [&](int32_t rc, int32_t ext, int32_t locus, int32_t& response) {
    error_args = {rc, ext, locus, response};
    response = kErClear;
  };
  int32_t data = 201;
  std::string text;
  EXPECT_EQ(printer->DirectIO(2, data, text), kSuccess);
  EXPECT_EQ(error_args, (std::vector<int32_t>{kFailure, 201, 2, kErRetry}));
  EXPECT_EQ(data, kErClear);

  // Without a handler the service object's proposal stands.
  printer->on_error = nullptr;
  data = 203;
  EXPECT_EQ(printer->DirectIO(2, data, text), kSuccess);
  EXPECT_EQ(data, kErRetry);

  std::vector<std::string> seen;
  printer->on_direct_io = [&](int32_t number, int32_t& io_data, std::string& io_text) {
    seen.push_back(std::to_string(number) + "/" + std::to_string(io_data) + "/" + io_text);
  };
  data = 7;
  text = "ping";
  EXPECT_EQ(printer->DirectIO(5, data, text), kSuccess);
  ASSERT_TRUE(PumpUntil([&] { return !seen.empty(); }));
  EXPECT_EQ(seen[0], "7/0/ping");
  printer->Close();
}

TEST_F(ControlObjectTest, CloseUnloadsTheServiceLibraryEvenFromInsideAnEvent) {
  auto printer = ReadyPrinter();
  EXPECT_TRUE(TestLibraryLoaded());
  EXPECT_EQ(printer->Close(), kSuccess);
  EXPECT_FALSE(TestLibraryLoaded());
  EXPECT_EQ(printer->State(), kStateClosed);

  printer = ReadyPrinter();
  int32_t close_result = -1;
  printer->on_status_update = [&](int32_t) { close_result = printer->Close(); };
  int32_t data = 1;
  std::string text;
  printer->DirectIO(1, data, text);
  ASSERT_TRUE(PumpUntil([&] { return close_result != -1; }));
  EXPECT_EQ(close_result, kSuccess);
  EXPECT_FALSE(printer->IsOpen());
  EXPECT_TRUE(PumpUntil([] { return !TestLibraryLoaded(); }));

  // The application may also drop its last reference inside the handler.
  printer = ReadyPrinter();
  bool dropped = false;
  printer->on_status_update = [&](int32_t) {
    printer = ObjectRef<POSPrinter>();
    dropped = true;
  };
  printer->DirectIO(1, data, text);
  ASSERT_TRUE(PumpUntil([&] { return dropped; }));
  EXPECT_TRUE(PumpUntil([] { return !TestLibraryLoaded(); }));
}

TEST_F(ControlObjectTest, DrawerAndDisplayForwardTheirOwnMembers) {
  auto ui = std::make_shared<platform::ui::ScriptedProvider>();
  auto previous = platform::ui::Install(ui);
  auto drawer = CashDrawer::Create();
  ASSERT_EQ(drawer->Open("TestDrawer"), kSuccess);
  ASSERT_EQ(drawer->ClaimDevice(1000), kSuccess);
  drawer->SetDeviceEnabled(true);
  std::vector<int32_t> statuses;
  drawer->on_status_update = [&](int32_t data) { statuses.push_back(data); };
  EXPECT_EQ(drawer->OpenDrawer(), kSuccess);
  EXPECT_EQ(drawer->WaitForDrawerClose(5000, 1000, 100, 1000), kSuccess);
  EXPECT_FALSE(drawer->DrawerOpened());
  ASSERT_TRUE(PumpUntil([&] { return statuses.size() == 2; }));
  EXPECT_EQ(statuses, (std::vector<int32_t>{1, 0}));
  auto calls = ui->Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].kind, platform::ui::ScriptedProvider::Call::kBeep);
  EXPECT_EQ(calls[0].flags, 1000u);
  drawer->Close();
  platform::ui::Install(previous);

  registry_.AddDevice("LineDisplay", "TestDisplay", "Test.LineDisplay.SO");
  auto display = LineDisplay::Create();
  ASSERT_EQ(display->Open("TestDisplay"), kSuccess);
  ASSERT_EQ(display->ClaimDevice(1000), kSuccess);
  display->SetDeviceEnabled(true);
  EXPECT_EQ(display->DisplayText("Hello", 0), kSuccess);
  EXPECT_EQ(display->DisplayText("x", 7), kIllegal);
  int32_t glyph_result = -1;
  std::vector<Variant> glyph{Variant(65), Variant("00000000000000")};
  EXPECT_EQ(display->CallMethod("DefineGlyph", glyph, glyph_result), kOk);
  EXPECT_EQ(glyph_result, kNoService);
  display->Close();
}

}  // namespace
}  // namespace opos::control
