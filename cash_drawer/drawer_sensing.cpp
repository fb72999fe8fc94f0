// Sensing the drawer: through the printer's status on a link of its own, or from the
// drawer level the printer's monitor keeps when the printer shares the handle.
#include "cash_drawer.h"
#include "drawer_codes.h"

namespace service_core {

namespace {
constexpr uint64_t kPrinterIdleAfterMs = 1000;
constexpr uint64_t kIdleWaitLimitMs = 5000;
constexpr uint32_t kIdleWaitStepMs = 500;
}  // namespace

int32_t CCashDrawer::OpenFromPrinterLevel(int printer_drawer_state) const {
  // The printer link's state is 1 while the pin-3 bit is clear; OpenLevel 0 means the
  // drawer is open while the bit is set.
  const bool bit_clear = printer_drawer_state == 1;
  return bit_clear == (config_.open_level != 0) ? drawer::kDrawerOpen : drawer::kDrawerClosed;
}

bool CCashDrawer::PrinterBusy(const CPrinterPort::SharedPrinter& printer) {
  return printer.output_pending ||
         platform::TickCountMs() - printer.last_output_ms < kPrinterIdleAfterMs;
}

bool CCashDrawer::PrinterInTrouble(const CPrinterPort::SharedPrinter& printer) {
  // The condition the printer's monitor keeps from the status blocks, whether the printer
  // service object is enabled or not. The link's recent-error flag follows the condition
  // only when the printer's status poll asks, which a disabled printer never does: a kick
  // would wait in the buffer of a printer with its cover open, and a cover closed while
  // the printer was disabled would refuse every kick after it.
  return printer.condition != kPortReady;
}

bool CCashDrawer::WaitForIdlePrinter() {
  uint64_t start = 0;
  for (;;) {
    const auto printer = port_.SharingPrinter();
    if (!printer || !PrinterBusy(*printer)) return true;
    const uint64_t now = platform::TickCountMs();
    if (start == 0) start = now;
    if (now - start >= kIdleWaitLimitMs) return false;
    platform::SleepMs(kIdleWaitStepMs);
  }
}

void CCashDrawer::PollOnce(DrawerSync& sync) {
  if (const auto printer = port_.SharingPrinter()) {
    // The printer's monitor reads every answer on the shared handle: take its view, and
    // leave the printer alone while it prints or is still connecting.
    if (!printer->connected || PrinterBusy(*printer)) return;
    const auto now = port_.SharingPrinter(true);
    if (!now) return;  // the printer has just left; the next pass asks the printer itself
    // A drawer opened and closed again between two of the monitor's rounds.
    if (now->brief_drawer_state >= 0) {
      NoteSensedState(sync, OpenFromPrinterLevel(now->brief_drawer_state));
    }
    NoteSensedState(sync, OpenFromPrinterLevel(now->drawer_state));
    return;
  }
  // An offline printer still answers with the drawer's level; only silence skips the pass.
  if (port_.GetPrinterStatus() != kPortReady && !port_.Offline()) return;
  NoteSensedState(sync, port_.DrawerState() != 0 ? drawer::kDrawerOpen : drawer::kDrawerClosed);
}

bool CCashDrawer::SensedOpen() {
  if (const auto printer = port_.SharingPrinter(); printer && printer->connected) {
    return OpenFromPrinterLevel(printer->drawer_state) == drawer::kDrawerOpen;
  }
  return port_.DrawerState() != 0;
}

}  // namespace service_core
