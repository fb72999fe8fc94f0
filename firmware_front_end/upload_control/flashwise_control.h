// The upload control "FLASHWISELib.Flashwise": an automation object with two upload
// methods (dispatch identifiers 1 and 2) and a progress sink.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dispatch.h"
#include "platform/dispatch_table.h"
#include "uploader.h"

namespace flashwise {

class CFlashwise : public platform::automation::AutomationObject<CFlashwise> {
 public:
  static const platform::automation::DispatchTable<CFlashwise>& AutomationTable();

  // Id 1: over "COM<n>", "LPT1", "LPT2" or "USB" with the list indexes of the front end.
  int32_t Upload(std::string* port, int32_t* baud_code, int32_t* bit_length, int32_t* parity,
                 int32_t* stop_bit, int32_t* handshake, std::string* file);
  // Id 2: over TCP/IP.
  int32_t UploadNet(const std::string& address, const std::string& port, std::string* file);

  // Id 3: an object whose method "Progress"(sent, total) is called during each upload
  // (null to stop).
  void SetProgressSink(platform::automation::Dispatch* sink);
  // Id 4: what went wrong in the last upload, empty after success.
  std::string GetLastError() const { return last_error_; }

 private:
  UploadTimeouts timeouts;
  int32_t Run(UploadLink* link, const std::string& file, const std::string& open_error);

  platform::automation::DispatchPtr progress_sink_;
  std::string last_error_;
};

}  // namespace flashwise
