// What the Upload button hands to the upload control, the call itself (by dispatch
// identifier 1 or 2), and the message a result is reported with.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/dispatch.h"

namespace flashwise {

inline constexpr const char* kControlProgId = "FLASHWISELib.Flashwise";

struct UploadRequest {
  std::string port;  // text of the port list: "COM3", "TCP/IP", ...
  int32_t baud_code = 0;
  int32_t bit_length = 0, parity = 0, stop_bit = 0, handshake = 0;  // list indexes
  std::string ip;
  std::string file;  // trimmed
};

// The upload control by its ProgID; when it is not registered, the library shipped beside
// the program (lib/libFlashwiseControl.so next to bin/) is loaded directly. Null with a
// reason in `error` when neither works.
platform::automation::DispatchPtr CreateUploadControl(std::string& error);

// Identifier 2 with (IP, "9100", file) when the port begins with "TCP", otherwise
// identifier 1 with (port, baud code, the four indexes, file). `progress` (may be empty)
// is called with the bytes sent and the total. A call the control cannot take gives -1.
int32_t CallUploadControl(platform::automation::Dispatch* control, const UploadRequest& request,
                          std::function<void(int32_t sent, int32_t total)> progress);

struct ResultMessage {
  std::string text;
  bool warning = false;  // warning icon, else information
};
// The message for a result: 0 done, -1 to -4 communication error, anything else none.
std::optional<ResultMessage> MessageForResult(int32_t result);

}  // namespace flashwise
