// The dispatch a control object hands to OpenService: the service object raises its events
// by invoking SOError, SOOutputComplete, SOStatusUpdate and SODirectIO on it by name.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dispatch_table.h"

namespace opos::control {

class ControlObject;

class CallbackSink : public platform::automation::AutomationObject<CallbackSink> {
 public:
  explicit CallbackSink(ControlObject* owner) : owner_(owner) {}
  static const platform::automation::DispatchTable<CallbackSink>& AutomationTable();

  // The control object goes away before its sink when the service object still holds it.
  void Detach() { owner_ = nullptr; }

  void SODirectIO(int32_t event_number, int32_t* data, std::string* text);
  void SOError(int32_t result, int32_t extended, int32_t locus, int32_t* response);
  void SOOutputComplete(int32_t output_id);
  void SOStatusUpdate(int32_t data);

 private:
  ControlObject* owner_;
};

}  // namespace opos::control
