#include "callback_sink.h"

#include "control_objects/control_object.h"

namespace opos::control {

using platform::automation::DispatchTable;

const DispatchTable<CallbackSink>& CallbackSink::AutomationTable() {
  // The identifiers of the standard control objects' callback members.
  static const DispatchTable<CallbackSink> table =
      DispatchTable<CallbackSink>()
          .Method(2, "SODirectIO", &CallbackSink::SODirectIO)
          .Method(3, "SOError", &CallbackSink::SOError)
          .Method(4, "SOOutputComplete", &CallbackSink::SOOutputComplete)
          .Method(5, "SOStatusUpdate", &CallbackSink::SOStatusUpdate);
  return table;
}

namespace {

// The application may close the device inside its handler; the sink outlives the call.
class KeepAlive {
 public:
  explicit KeepAlive(CallbackSink& sink) : sink_(sink) { sink_.AddRef(); }
  ~KeepAlive() { sink_.Release(); }

 private:
  CallbackSink& sink_;
};

}  // namespace

void CallbackSink::SODirectIO(int32_t event_number, int32_t* data, std::string* text) {
  KeepAlive keep(*this);
  if (!owner_ || !data || !text) return;
  owner_->RaiseDirectIO(event_number, *data, *text);
}

void CallbackSink::SOError(int32_t result, int32_t extended, int32_t locus, int32_t* response) {
  KeepAlive keep(*this);
  if (!owner_ || !response) return;
  owner_->RaiseError(result, extended, locus, *response);
}

void CallbackSink::SOOutputComplete(int32_t output_id) {
  KeepAlive keep(*this);
  if (owner_) owner_->RaiseOutputComplete(output_id);
}

void CallbackSink::SOStatusUpdate(int32_t data) {
  KeepAlive keep(*this);
  if (owner_) owner_->RaiseStatusUpdate(data);
}

}  // namespace opos::control
