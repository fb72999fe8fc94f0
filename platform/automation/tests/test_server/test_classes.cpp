#include "test_classes.h"

#include <stdexcept>

#include "platform/inproc_server.h"

namespace automation_test {

using platform::automation::CallMethod;
using platform::automation::Variant;

int32_t CCalculator::Exchange(int32_t* number, std::string* text) {
  int32_t old = *number;
  *number = last_;
  *text += "!";
  return old;
}

int32_t CCalculator::CallBack(Dispatch* target, const std::string& method) {
  int32_t response = 0;
  if (CallMethod(target, method, {last_, Variant::IntRef(&response)}) != 0) return -1;
  return response;
}

void CCalculator::Throw() { throw std::runtime_error("requested failure"); }

const DispatchTable<CCalculator>& CCalculator::AutomationTable() {
  static const DispatchTable<CCalculator> table =
      DispatchTable<CCalculator>()
          .Method("Add", &CCalculator::Add)
          .Method("Concat", &CCalculator::Concat)
          .Method("Exchange", &CCalculator::Exchange)
          .Method("CallBack", &CCalculator::CallBack)
          .Method("Throw", &CCalculator::Throw)
          .Property("Last", &CCalculator::GetLast, &CCalculator::SetLast)
          .Property("Label", &CCalculator::GetLabel, &CCalculator::SetLabel)
          .Property("Live", &CCalculator::GetLive, nullptr);
  return table;
}

const DispatchTable<CEcho>& CEcho::AutomationTable() {
  static const DispatchTable<CEcho> table = DispatchTable<CEcho>().Method("Echo", &CEcho::Echo);
  return table;
}

}  // namespace automation_test

namespace platform::automation {

std::span<const ClassInfo> ServerClasses() {
  static constexpr ClassInfo kClasses[] = {
      {"OposTest.Calculator", "{6A0D1C52-3B7E-4F21-9C3A-1D5E7F90AB01}",
       "Automation test calculator", &NewServerObject<automation_test::CCalculator>},
      {"OposTest.Echo", "{6A0D1C52-3B7E-4F21-9C3A-1D5E7F90AB02}", "Automation test echo",
       &NewServerObject<automation_test::CEcho>},
  };
  return kClasses;
}

}  // namespace platform::automation
