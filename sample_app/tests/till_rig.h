// A virtual printer on a pseudo-terminal under the logical name "Unit1", its renderer, and
// a scripted user interface that records the till's message boxes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui_scripted.h"
#include "printer_fixture.h"
#include "till_step.h"
#include "virtual_devices/receipt_renderer.h"

namespace demotill::testing {

// Remembers what a step asked of its window.
class RecordingHost : public StepHost {
 public:
  void SetButtonEnabled(bool enabled) override { button_states.push_back(enabled); }
  void SetBusy(bool busy) override { busy_states.push_back(busy); }
  void Note(const std::string& line) override { notes.push_back(line); }
  std::vector<bool> button_states, busy_states;
  std::vector<std::string> notes;
};

class TillRig {
 public:
  // `model` is the DeviceName of the printer entry; an empty one leaves "Unit1" undefined.
  explicit TillRig(const std::string& model = "Thermal42");
  ~TillRig();

  // A cash drawer on the printer's kick connector, also under "Unit1".
  void AddDrawer();

  StepSettings Settings() const;
  service_core::testing::VirtualPrinterOnPty& device() { return *device_; }
  vdev::ReceiptRenderer& renderer() { return *renderer_; }
  platform::ui::ScriptedProvider& ui() { return *ui_; }
  // Message box texts so far.
  std::vector<std::string> Messages() const;
  // What the printer received, as text.
  std::string Received() const;
  // Pumps messages until `count` message boxes were shown (or 10 s passed).
  bool WaitForMessages(size_t count);

 private:
  service_core::testing::PrinterRig rig_;
  service_core::testing::VirtualPrinterOnPty* device_ = nullptr;
  std::unique_ptr<vdev::ReceiptRenderer> renderer_;
  std::shared_ptr<platform::ui::ScriptedProvider> ui_;
  std::shared_ptr<platform::ui::Provider> previous_ui_;
};

// A fixed moment for the receipt's date line: December 8 2026, 3:07 pm.
std::tm FixedTime();

}  // namespace demotill::testing
