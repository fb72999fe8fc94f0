#include "control_callbacks.h"

#include <vector>

namespace service_core {

using platform::automation::InvokeKind;
using platform::automation::Succeeded;
using platform::automation::Variant;

bool ControlCallbacks::Attach(platform::automation::Dispatch* control, Set set) {
  control_ = nullptr;
  if (!control) return false;
  const bool all = set == Set::kAll;
  if (!Succeeded(control->GetIDsOfNames("SODirectIO", direct_io_)) ||
      (all && !Succeeded(control->GetIDsOfNames("SOError", error_))) ||
      (all && !Succeeded(control->GetIDsOfNames("SOOutputComplete", output_complete_))) ||
      !Succeeded(control->GetIDsOfNames("SOStatusUpdate", status_update_))) {
    return false;
  }
  control_ = control;
  return true;
}

void ControlCallbacks::DirectIO(int32_t number, int32_t& data, std::string& text) {
  if (!control_) return;
  std::vector<Variant> args{Variant(number), Variant::IntRef(&data), Variant::StringRef(&text)};
  control_->Invoke(direct_io_, InvokeKind::Method, args, nullptr);
}

void ControlCallbacks::Error(int32_t result, int32_t extended, int32_t locus, int32_t& response) {
  if (!control_) return;
  std::vector<Variant> args{Variant(result), Variant(extended), Variant(locus),
                            Variant::IntRef(&response)};
  control_->Invoke(error_, InvokeKind::Method, args, nullptr);
}

void ControlCallbacks::OutputComplete(int32_t output_id) {
  if (!control_) return;
  std::vector<Variant> args{Variant(output_id)};
  control_->Invoke(output_complete_, InvokeKind::Method, args, nullptr);
}

void ControlCallbacks::StatusUpdate(int32_t data) {
  if (!control_) return;
  std::vector<Variant> args{Variant(data)};
  control_->Invoke(status_update_, InvokeKind::Method, args, nullptr);
}

}  // namespace service_core
