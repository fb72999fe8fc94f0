#include "display_callbacks.h"

#include <vector>

namespace line_display {

using platform::automation::InvokeKind;
using platform::automation::Succeeded;
using platform::automation::Variant;

bool DisplayCallbacks::Attach(platform::automation::Dispatch* control) {
  control_ = nullptr;
  if (!control || !Succeeded(control->GetIDsOfNames("SODirectIO", direct_io_)) ||
      !Succeeded(control->GetIDsOfNames("SOStatusUpdate", status_update_))) {
    return false;
  }
  control_ = control;
  return true;
}

void DisplayCallbacks::DirectIO(int32_t number, int32_t& data, std::string& text) {
  if (!control_) return;
  std::vector<Variant> args{Variant(number), Variant::IntRef(&data), Variant::StringRef(&text)};
  control_->Invoke(direct_io_, InvokeKind::Method, args, nullptr);
}

void DisplayCallbacks::StatusUpdate(int32_t data) {
  if (!control_) return;
  std::vector<Variant> args{Variant(data)};
  control_->Invoke(status_update_, InvokeKind::Method, args, nullptr);
}

}  // namespace line_display
