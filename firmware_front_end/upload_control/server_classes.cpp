// The classes this library serves.
#include "flashwise_control.h"
#include "platform/inproc_server.h"

namespace platform::automation {

std::span<const ClassInfo> ServerClasses() {
  static constexpr ClassInfo kClasses[] = {
      {"FLASHWISELib.Flashwise", "{6D3A9B21-4C8E-4F57-9A10-2E7B5C4D8F31}",
       "Flashwise firmware upload control", &NewServerObject<flashwise::CFlashwise>},
  };
  return kClasses;
}

}  // namespace platform::automation
