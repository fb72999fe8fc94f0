// A temporary registry with the printer service object registered, and virtual printers on
// pseudo-terminals with device entries pointing at them.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "control_objects/pos_printer.h"
#include "test_support/process.h"
#include "test_support/temp_registry.h"
#include "virtual_devices/print_ops.h"
#include "virtual_devices/pty_attachment.h"
#include "virtual_devices/virtual_printer.h"

namespace service_core::testing {

// The path of the built service-object library.
std::string PrinterLibrary();

// One virtual printer on a pseudo-terminal whose link lives in `dir`.
struct VirtualPrinterOnPty {
  VirtualPrinterOnPty(const std::string& link_path, vdev::PrinterConfig config);
  vdev::VirtualPrinter printer;
  vdev::PtyAttachment attachment;
  void Set(const std::string& command);  // "cover open", "answers off", "disconnect", ...
};

class PrinterRig {
 public:
  PrinterRig();
  ~PrinterRig();
  PrinterRig(const PrinterRig&) = delete;
  PrinterRig& operator=(const PrinterRig&) = delete;

  const std::string& Dir() const { return registry_.Dir(); }
  const std::string& RegistryPath() const { return registry_.DatabasePath(); }

  // Starts a virtual printer on "<dir>/<name>" and returns it.
  VirtualPrinterOnPty& AddVirtualPrinter(const std::string& name, vdev::PrinterConfig config = {});

  // Writes the device key POSPrinter\<key> with the serial settings, the given Port and
  // DeviceName, leaving out the value named `omit`; and the logical name `logical` for it
  // when not empty.
  void AddDeviceEntry(const std::string& key, const std::string& port,
                      const std::string& model = "Thermal42", const std::string& omit = "",
                      const std::string& logical = "", int baud_code = 6);

  static void Import(const std::string& regedit_body);

 private:
  test_support::TempRegistry registry_{"tandor-so"};
  std::vector<std::unique_ptr<VirtualPrinterOnPty>> printers_;
};

// Pumps this thread's messages until `done` holds or `limit_ms` passed; returns done().
bool PumpUntil(const std::function<bool()>& done, uint32_t limit_ms = 5000);

// How often `what` occurs in `text` (overlapping occurrences counted): a line printed twice
// shows up here.
size_t Occurrences(const std::string& text, const std::string& what);

// Counts every text line a virtual printer printed, by its text (attach with SetPrintSink):
// what the paper shows, whatever commands came between the characters.
class PrintedLines : public vdev::PrintSink {
 public:
  void Print(const vdev::PrintOp& op) override;
  void Finish() override {}
  int Count(const std::string& text) const;
  int Total() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, int> printed_;
};

// A receipt too long for any link's buffers to hold at once: `parts` PrintNormal calls of 500
// numbered lines (20 kB each) in one transaction, so one asynchronous request. Returns what
// the flush returned.
std::string LongReceiptLine(int number);  // without its line feed
int32_t PrintLongReceipt(opos::control::POSPrinter& printer, int parts);
// The numbered lines of that receipt that `paper` does not show exactly once, the first
// few named in `report`.
int LinesNotPrintedOnce(const PrintedLines& paper, int parts, std::string& report);

// Open, claim, enable through the control object.
opos::control::ObjectRef<opos::control::POSPrinter> OpenPrinter(const std::string& name);

// Open descriptors and threads of this process.
using test_support::CountOpenDescriptors;
using test_support::CountThreads;

}  // namespace service_core::testing
