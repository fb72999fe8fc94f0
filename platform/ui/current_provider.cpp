// The process-wide provider. Current() hands out one forwarding object for the life of the
// process, so a caller's reference never dangles when another thread installs a new
// provider; each call holds the provider it went to until it returns.
#include <mutex>

#include "platform/ui_provider.h"

namespace platform::ui {

namespace {

struct Slot {
  std::mutex mutex;
  std::shared_ptr<Provider> installed;  // null: the headless default
  std::shared_ptr<Provider> headless;
};

Slot& TheSlot() {
  static Slot* slot = new Slot;  // never destroyed: threads may still call at exit
  return *slot;
}

class Forwarder : public Provider {
 public:
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override {
    return Installed()->MessageBox(text, caption, flags);
  }
  void RunHealthCheckDialog(const HealthCheckDialog& dialog) override {
    Installed()->RunHealthCheckDialog(dialog);
  }
  void Beep(unsigned frequency_hz, unsigned duration_ms) override {
    Installed()->Beep(frequency_hz, duration_ms);
  }
};

}  // namespace

std::shared_ptr<Provider> Installed() {
  Slot& slot = TheSlot();
  std::lock_guard lock(slot.mutex);
  if (slot.installed) return slot.installed;
  if (!slot.headless) slot.headless = MakeHeadlessProvider();
  return slot.headless;
}

Provider& Current() {
  static Forwarder* forwarder = new Forwarder;
  return *forwarder;
}

std::shared_ptr<Provider> Install(std::shared_ptr<Provider> provider) {
  Slot& slot = TheSlot();
  std::lock_guard lock(slot.mutex);
  std::swap(slot.installed, provider);
  return provider;
}

}  // namespace platform::ui
