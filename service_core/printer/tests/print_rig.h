// One printer of either model behind its control object, with the virtual printer's raw
// capture and a receipt renderer, for the print-method tests.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>

#include "printer_fixture.h"
#include "virtual_devices/receipt_renderer.h"

namespace service_core::testing {

inline const std::string kResetPrefix42 = "\x1B" "E0\x1B-0\x1B!F\x1D" "B0\x1B" "a0";
inline const std::string kResetPrefix33 = "\x1B" "E0\x1B-0\x1B!F\x1Br0\x1B" "a0";
inline const std::string kCompletionRequest{"\x1D(H\x06\x00" "00FFFF", 11};

class PrintRig {
 public:
  explicit PrintRig(bool thermal);
  ~PrintRig();

  opos::control::POSPrinter& printer() { return *printer_; }
  VirtualPrinterOnPty& device() { return *device_; }
  vdev::ReceiptRenderer& renderer() { return *renderer_; }
  const std::string& Dir() const { return rig_.Dir(); }
  bool thermal() const { return thermal_; }

  // Any method by name; returns its result.
  int32_t Call(const std::string& name, std::initializer_list<platform::automation::Variant> args);

  // Remembers how much the printer has received so far.
  void Mark();
  // What arrived since the mark, once at least `bytes` arrived (or 5 s passed). On the
  // dot-matrix model a wake-up line feed in front is left out.
  std::string Sent(size_t bytes);
  // What arrived since the mark, once it ends with `tail` (or 5 s passed).
  std::string SentEndingWith(const std::string& tail);
  // What PrintNormal(2, text) sends with the default properties, outside rotation.
  std::string PlainOutput(const std::string& text) const;
  // Checks that nothing reached the printer since the mark: a marker print sent now must be
  // the only thing that arrives.
  void ExpectNothingSentSinceMark();
  // Pumps messages for `ms`.
  static void Wait(uint32_t ms);

 private:
  bool thermal_;
  PrinterRig rig_;
  VirtualPrinterOnPty* device_ = nullptr;
  std::unique_ptr<vdev::ReceiptRenderer> renderer_;
  opos::control::ObjectRef<opos::control::POSPrinter> printer_;
  size_t mark_ = 0;
};

}  // namespace service_core::testing
