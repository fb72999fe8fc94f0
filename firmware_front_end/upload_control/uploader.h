// Sends a firmware image over an open link with the upload protocol (upload_frames.h) and
// reports progress. The results are the ones the front end distinguishes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "upload_link.h"

namespace flashwise {

inline constexpr int32_t kUploadDone = 0;       // transferred, verified and written
inline constexpr int32_t kLinkNotOpened = -1;   // port or connection could not be opened
inline constexpr int32_t kFileUnreadable = -2;  // firmware file missing, empty or too large
inline constexpr int32_t kNoAnswer = -3;        // the printer stopped answering, or the link broke
inline constexpr int32_t kRefused = -4;         // the printer refused a frame or the image

struct UploadTimeouts {
  int answer_ms = 3000;  // each answer
  int write_ms = 3000;   // each write
  int flash_ms = 15000;  // the answer to the end frame: the printer writes its flash first
};

// Called after each accepted data frame with the image bytes sent so far and the total.
using ProgressFn = std::function<void(uint32_t sent, uint32_t total)>;

// Reads the whole file; false when it cannot be read, is empty or exceeds kMaxImageBytes.
bool ReadFirmwareFile(const std::string& path, std::vector<uint8_t>& image, std::string& error);

// Runs one upload; `error` describes a failure.
int32_t SendImage(UploadLink& link, const std::vector<uint8_t>& image, const ProgressFn& progress,
                  const UploadTimeouts& timeouts, std::string& error);

}  // namespace flashwise
