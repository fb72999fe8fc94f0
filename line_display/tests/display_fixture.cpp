#include "display_fixture.h"

#include <gtest/gtest.h>

#include "platform/event.h"
#include "platform/message_queue.h"
#include "platform/registry.h"

namespace line_display::testing {

namespace reg = platform::registry;

VirtualDisplayOnPty::VirtualDisplayOnPty(const std::string& link_path)
    : attachment(display, link_path) {}

void VirtualDisplayOnPty::Set(const std::string& command) {
  std::string reply;
  EXPECT_TRUE(attachment.Command(command, reply)) << command << ": " << reply;
}

std::string VirtualDisplayOnPty::Received() const {
  const std::vector<uint8_t> bytes = display.Capture();
  return std::string(bytes.begin(), bytes.end());
}

std::string VirtualDisplayOnPty::ReceivedSince(size_t from) const {
  const std::string all = Received();
  return from < all.size() ? all.substr(from) : std::string();
}

std::string VirtualDisplayOnPty::Await(size_t from, size_t count, uint32_t limit_ms) const {
  PumpUntil([&] { return display.Capture().size() >= from + count; }, limit_ms);
  platform::SleepMs(50);
  return ReceivedSince(from);
}

DisplayRig::DisplayRig() { EXPECT_TRUE(test_support::RegisterServerLibrary(DISPLAY_SO_PATH)); }

DisplayRig::~DisplayRig() { displays_.clear(); }

VirtualDisplayOnPty& DisplayRig::AddVirtualDisplay(const std::string& name) {
  displays_.push_back(std::make_unique<VirtualDisplayOnPty>(Dir() + "/" + name));
  std::string error;
  EXPECT_TRUE(displays_.back()->attachment.Start(error)) << error;
  return *displays_.back();
}

void DisplayRig::AddDeviceEntry(const std::string& key, const std::string& port,
                                const std::string& model, const std::string& omit,
                                const std::string& logical) {
  const std::string path = "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\LineDisplay";
  std::string body = "[" + path + "\\" + key + "]\n@=\"Display.LineDisplay.SO2\"\n";
  auto dword = [&](const std::string& name, int value) {
    if (name != omit) body += "\"" + name + "\"=dword:0000000" + std::to_string(value) + "\n";
  };
  auto string = [&](const std::string& name, const std::string& value) {
    if (name != omit) body += "\"" + name + "\"=\"" + value + "\"\n";
  };
  dword("BitLength", 8);
  dword("HandShake", 0);
  dword("Parity", 0);
  dword("Stop", 1);
  dword("XonXoff", 0);
  string("Port", port);
  string("DeviceName", model);
  dword("Baudrate", 6);
  if (!logical.empty()) body += "\n[" + path + "]\n\"" + logical + "\"=\"" + key + "\"\n";
  std::string error;
  ASSERT_EQ(reg::ImportRegedit("REGEDIT4\n\n" + body, &error), reg::kSuccess) << error;
}

void ClaimedDisplay::SetUp() {
  device_ = &rig_.AddVirtualDisplay("ttyD0");
  rig_.AddDeviceEntry("OrvelXV", device_->attachment.LinkPath(), "XV-310K", "", "Display");
  display_ = LineDisplay::Create();
  ASSERT_EQ(display_->Open("Display"), 0);
  ASSERT_EQ(display_->ClaimDevice(1000), 0);
  display_->SetDeviceEnabled(true);
  ASSERT_EQ(display_->ResultCode(), 0);
  ASSERT_EQ(device_->Await(0, 9).size(), 9u) << "the claim's bytes";
}

void ClaimedDisplay::TearDown() {
  if (display_) display_->Close();
  display_ = {};
}

bool ClaimedDisplay::WaitForBytes(size_t from, size_t count, uint32_t limit_ms) {
  return PumpUntil([&] { return device_->display.Capture().size() >= from + count; }, limit_ms);
}

bool ClaimedDisplay::WaitForScreen(const std::string& row0, const std::string& row1,
                                   uint32_t limit_ms) {
  return PumpUntil(
      [&] {
        const auto screen = device_->display.Screen();
        return screen[0] == Padded(row0) && screen[1] == Padded(row1);
      },
      limit_ms);
}

void ClaimedDisplay::WaitIdle() {
  EXPECT_TRUE(PumpUntil([&] { return display_->State() == 2; }, 10000));
}

bool PumpUntil(const std::function<bool()>& done, uint32_t limit_ms) {
  const uint64_t deadline = platform::TickCountMs() + limit_ms;
  while (!done()) {
    if (platform::TickCountMs() > deadline) return false;
    platform::PumpMessages(10);
  }
  return true;
}

std::string Padded(const std::string& text) {
  std::string row = text.substr(0, 20);
  row.resize(20, ' ');
  return row;
}


}  // namespace line_display::testing
