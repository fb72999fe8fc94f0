// Cash drawer entries beside the printer rig: a temporary registry with the service-object
// library registered, virtual printers (with their drawers) on pseudo-terminals, and
// drawer device entries pointing at them.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "control_objects/cash_drawer.h"
#include "platform/ui_scripted.h"
#include "printer_fixture.h"

namespace service_core::testing {

struct DrawerEntry {
  std::string key = "Drawer";
  std::string port;
  int connector_pin = 2;   // < 0: value left out
  int open_level = 1;      // < 0: value left out
  std::string device_name = "StandardS";
  std::string omit;        // a value to leave out
};

inline DrawerEntry Entry(std::string key, int connector_pin = 2, int open_level = 1) {
  DrawerEntry entry;
  entry.key = std::move(key);
  entry.connector_pin = connector_pin;
  entry.open_level = open_level;
  return entry;
}

// Writes CashDrawer\<key> (ProgID "Standard.CashDrawer.SO") with serial settings.
void AddDrawerEntry(const DrawerEntry& entry);

opos::control::ObjectRef<opos::control::CashDrawer> OpenDrawerObject(const std::string& name);

// Collects a control object's status updates (delivered while this thread pumps).
struct StatusLog {
  explicit StatusLog(opos::control::ControlObject& object);
  std::vector<int32_t> updates;
  // Pumps until `count` updates arrived (or a generous limit); returns whether they did.
  bool WaitFor(size_t count, uint32_t limit_ms = 8000);
};

// The virtual printer received `bytes` (anywhere in what it captured since `from`).
bool Received(VirtualPrinterOnPty& device, const std::vector<uint8_t>& bytes, size_t from = 0);
size_t Occurrences(VirtualPrinterOnPty& device, const std::vector<uint8_t>& bytes, size_t from = 0);

inline const std::vector<uint8_t> kKickPin2{0x1B, 0x70, 0x30, 0x64, 0xC8};
inline const std::vector<uint8_t> kKickPin5{0x1B, 0x70, 0x31, 0x64, 0xC8};
inline const std::vector<uint8_t> kStatusQuery{0x10, 0x04, 0x01};

// WaitForDrawerClose on an open drawer that a person closes by hand 2 s into the wait. A
// wait that does not end with the close is ended by a release about 10 s later, so a test
// can report it instead of hanging. The wait's result and how long it took.
struct HandClosedWait {
  int32_t result;
  uint64_t took_ms;
};
HandClosedWait WaitForDrawerClosedByHand(opos::control::CashDrawer& drawer,
                                         VirtualPrinterOnPty& device);

// Installs a scripted user-interface provider for the life of the object.
class ScriptedUi {
 public:
  ScriptedUi();
  ~ScriptedUi();
  platform::ui::ScriptedProvider& operator*() { return *provider_; }
  platform::ui::ScriptedProvider* operator->() { return provider_.get(); }
  size_t Beeps() const;

 private:
  std::shared_ptr<platform::ui::ScriptedProvider> provider_;
  std::shared_ptr<platform::ui::Provider> previous_;
};

}  // namespace service_core::testing
