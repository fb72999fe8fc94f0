// One demonstration step of the sample till: it opens and claims its device when loaded,
// exercises one feature when its button is pressed, and gives the device back when
// unloaded. The step windows and the headless runner both drive steps through this class;
// only the StepHost differs.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>

#include "control_objects/cash_drawer.h"
#include "control_objects/pos_printer.h"

namespace demotill {

inline constexpr const char* kMainCaption = "OPOS DemoTill";
inline constexpr const char* kMessageCaption = "DemoTill";
inline constexpr const char* kDeviceName = "Unit1";
inline constexpr int kStepCount = 5;

struct StepInfo {
  const char* window_name;  // "frmStep1"
  const char* caption;      // of the step window and of its button in the main window
  const char* button;       // the step window's button
};
// Steps are numbered 1 to 5.
const StepInfo& InfoOf(int step);

// What a step needs from the window (or the runner) it lives in.
class StepHost {
 public:
  virtual ~StepHost() = default;
  virtual void SetButtonEnabled(bool enabled) = 0;
  // The hourglass while the drawer step waits.
  virtual void SetBusy(bool busy) = 0;
  // One line about a call made or an event received; the runner prints them.
  virtual void Note(const std::string& line) { (void)line; }
};

struct StepSettings {
  std::string device_name = kDeviceName;
  std::string logo_path;           // the program's Logo.bmp
  std::function<std::tm()> clock;  // local time when empty
};

class TillStep {
 public:
  TillStep(int step, StepHost& host, StepSettings settings);
  ~TillStep();  // unloads
  TillStep(const TillStep&) = delete;
  TillStep& operator=(const TillStep&) = delete;

  int Number() const { return step_; }
  // Open, claim, enable and the step's own preparation; failures are shown in message
  // boxes and leave the button disabled.
  void Load();
  // The step's button.
  void Press();
  // Disable, release and close; harmless when the device never opened. Runs once.
  void Unload();

  bool ButtonEnabled() const { return button_enabled_; }
  // The control object of this step (the printer for steps 1 to 4, the drawer for 5).
  opos::control::ControlObject& Device();

 private:
  void SetButton(bool enabled);
  int32_t Noted(const std::string& call, int32_t result);
  std::tm Now() const;

  void PrintReceipt(bool with_logo_lead);
  void PrintClosing();
  void PrintTransaction();  // steps 1 and 2
  void PrintBarcodeReceipt();
  void PrintAsynchronous();
  void OpenCashdrawer();
  void CheckTransactionResult();
  void WatchPrinterEvents();

  const int step_;
  StepHost& host_;
  StepSettings settings_;
  opos::control::ObjectRef<opos::control::POSPrinter> printer_;
  opos::control::ObjectRef<opos::control::CashDrawer> drawer_;
  bool button_enabled_ = true;
  bool loaded_ = false;
};

}  // namespace demotill
