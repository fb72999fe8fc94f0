// A temporary registry with the line display service object registered, and virtual
// displays on pseudo-terminals with device entries pointing at them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "control_objects/line_display.h"
#include "test_support/process.h"
#include "test_support/temp_registry.h"
#include "virtual_devices/pty_attachment.h"
#include "virtual_devices/virtual_display.h"

namespace line_display::testing {

using opos::control::LineDisplay;
using opos::control::ObjectRef;

// One virtual display on a pseudo-terminal.
struct VirtualDisplayOnPty {
  explicit VirtualDisplayOnPty(const std::string& link_path);
  vdev::VirtualDisplay display;
  vdev::PtyAttachment attachment;
  void Set(const std::string& command);  // "dsr off", "power off", "disconnect", ...
  // The bytes received so far, as a string; and those after `from`.
  std::string Received() const;
  std::string ReceivedSince(size_t from) const;
  // The bytes after `from` once at least `count` of them arrived (or after `limit_ms`),
  // with a short grace for any that follow.
  std::string Await(size_t from, size_t count, uint32_t limit_ms = 5000) const;
};

class DisplayRig {
 public:
  DisplayRig();
  ~DisplayRig();
  DisplayRig(const DisplayRig&) = delete;
  DisplayRig& operator=(const DisplayRig&) = delete;

  const std::string& Dir() const { return registry_.Dir(); }
  const std::string& RegistryPath() const { return registry_.DatabasePath(); }

  VirtualDisplayOnPty& AddVirtualDisplay(const std::string& name);

  // Writes the device key LineDisplay\<key> with the serial settings, the given Port and
  // DeviceName, leaving out the value named `omit`; and the logical name `logical` for it
  // when not empty.
  void AddDeviceEntry(const std::string& key, const std::string& port,
                      const std::string& model = "XV-310K", const std::string& omit = "",
                      const std::string& logical = "");

 private:
  test_support::TempRegistry registry_{"orvel-display"};
  std::vector<std::unique_ptr<VirtualDisplayOnPty>> displays_;
};

// A rig with one virtual display "Display" (model XV-310K), opened, claimed and enabled.
class ClaimedDisplay : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Waits until the display received at least `count` bytes more than `from`.
  bool WaitForBytes(size_t from, size_t count, uint32_t limit_ms = 5000);
  // Waits until the display shows these two rows.
  bool WaitForScreen(const std::string& row0, const std::string& row1, uint32_t limit_ms = 5000);
  // Waits until the display thread has run every queued command.
  void WaitIdle();

  DisplayRig rig_;
  VirtualDisplayOnPty* device_ = nullptr;
  ObjectRef<LineDisplay> display_;
};

// Polls `done` every 10 ms, pumping this thread's messages; false after `limit_ms`.
bool PumpUntil(const std::function<bool()>& done, uint32_t limit_ms = 5000);

// A row of the display padded with spaces to 20 characters.
std::string Padded(const std::string& text);

using test_support::CountOpenDescriptors;
using test_support::CountThreads;

}  // namespace line_display::testing
