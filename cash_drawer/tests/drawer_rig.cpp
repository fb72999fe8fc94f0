#include "drawer_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

#include "platform/event.h"

namespace service_core::testing {

void AddDrawerEntry(const DrawerEntry& entry) {
  const std::string path = "HKEY_LOCAL_MACHINE\\SOFTWARE\\OLEforRetail\\ServiceOPOS\\CashDrawer";
  std::string body = "[" + path + "\\" + entry.key + "]\n@=\"Standard.CashDrawer.SO\"\n";
  auto dword = [&](const std::string& name, int value) {
    if (name == entry.omit || value < 0) return;
    char text[16];
    std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
    body += "\"" + name + "\"=dword:" + text + "\n";
  };
  auto string = [&](const std::string& name, const std::string& value) {
    if (name != entry.omit) body += "\"" + name + "\"=\"" + value + "\"\n";
  };
  dword("Baudrate", 6);
  dword("BitLength", 8);
  dword("HandShake", 0);
  dword("Parity", 0);
  dword("Stop", 1);
  dword("XonXoff", 0);
  string("Port", entry.port);
  dword("ConnectorPinNo", entry.connector_pin);
  dword("OpenLevel", entry.open_level);
  string("DeviceName", entry.device_name);
  PrinterRig::Import(body);
}

opos::control::ObjectRef<opos::control::CashDrawer> OpenDrawerObject(const std::string& name) {
  auto drawer = opos::control::CashDrawer::Create();
  EXPECT_EQ(drawer->Open(name), 0);
  return drawer;
}

StatusLog::StatusLog(opos::control::ControlObject& object) {
  object.on_status_update = [this](int32_t data) { updates.push_back(data); };
}

bool StatusLog::WaitFor(size_t count, uint32_t limit_ms) {
  return PumpUntil([&] { return updates.size() >= count; }, limit_ms);
}

size_t Occurrences(VirtualPrinterOnPty& device, const std::vector<uint8_t>& bytes, size_t from) {
  const auto capture = device.printer.Capture();
  size_t count = 0;
  if (from > capture.size()) return 0;
  auto it = capture.begin() + static_cast<std::ptrdiff_t>(from);
  while ((it = std::search(it, capture.end(), bytes.begin(), bytes.end())) != capture.end()) {
    ++count;
    ++it;
  }
  return count;
}

bool Received(VirtualPrinterOnPty& device, const std::vector<uint8_t>& bytes, size_t from) {
  return Occurrences(device, bytes, from) > 0;
}

ScriptedUi::ScriptedUi() : provider_(std::make_shared<platform::ui::ScriptedProvider>()) {
  previous_ = platform::ui::Install(provider_);
}

ScriptedUi::~ScriptedUi() { platform::ui::Install(previous_); }

size_t ScriptedUi::Beeps() const {
  const auto calls = provider_->Calls();
  return static_cast<size_t>(std::count_if(calls.begin(), calls.end(), [](const auto& c) {
    return c.kind == platform::ui::ScriptedProvider::Call::kBeep;
  }));
}

HandClosedWait WaitForDrawerClosedByHand(opos::control::CashDrawer& drawer,
                                         VirtualPrinterOnPty& device) {
  std::atomic<bool> returned{false};
  std::thread person([&] {
    platform::SleepMs(2000);
    device.Set("drawer close");
    for (int i = 0; i < 100 && !returned; ++i) platform::SleepMs(100);
    if (!returned) drawer.ReleaseDevice();
  });
  const uint64_t start = platform::TickCountMs();
  const int32_t result = drawer.WaitForDrawerClose(500, 880, 50, 50);
  returned = true;
  const uint64_t took = platform::TickCountMs() - start;
  person.join();
  return {result, took};
}

}  // namespace service_core::testing
