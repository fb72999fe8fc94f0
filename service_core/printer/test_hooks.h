// Hooks the test suite reaches through the loaded library (dlsym), to raise events before
// any printer function produces them: a list of the opened printers of this library and
// two C functions. Applications never call them.
#pragma once

#include <cstdint>

namespace service_core {

class CPOSPrinter;

struct OpenPrinters {
  static void Add(CPOSPrinter* printer);
  static void Remove(CPOSPrinter* printer);
};

}  // namespace service_core

extern "C" {
// Queues an event record on the claimed printer opened under `name` (on the thread that
// opened it). Returns 0, or -1 when no such printer is open.
__attribute__((visibility("default"))) int32_t TandorPrinterTestQueueEvent(const char* name,
                                                                           int32_t kind, int32_t v0,
                                                                           int32_t v1, int32_t v2,
                                                                           int32_t v3);
// The ErrorResponse the application gave the last error event, or -1 when none was given
// during this claim (or no such printer is open).
__attribute__((visibility("default"))) int32_t TandorPrinterTestErrorResponse(const char* name);
}
