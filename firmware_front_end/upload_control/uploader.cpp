#include "uploader.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <fstream>

#include "upload_frames.h"

namespace flashwise {
namespace {

constexpr int kTriesPerFrame = 3;
constexpr size_t kAnswerBytes = 4;

// The time-out for the answer to `sent` bytes counts from when the bytes and the answer
// have crossed the line, not from when the write returned.
int AnswerTimeoutMs(const UploadLink& link, size_t sent, int answer_ms) {
  return answer_ms + link.WireTimeMs(sent + kAnswerBytes);
}

// Sends one frame and waits for its answer; a frame that arrived damaged is sent again.
int32_t Exchange(UploadLink& link, const std::vector<uint8_t>& frame, uint16_t seq, int answer_ms,
                 const UploadTimeouts& timeouts, uint8_t& code, std::string& error) {
  for (int attempt = 0; attempt < kTriesPerFrame; ++attempt) {
    if (!link.Write(frame, timeouts.write_ms)) {
      error = link.LastError();
      return kNoAnswer;
    }
    std::array<uint8_t, kAnswerBytes> bytes{};
    Answer answer;
    if (!link.Read(bytes, AnswerTimeoutMs(link, frame.size(), answer_ms))) {
      error = link.LastError();
      return kNoAnswer;
    }
    if (!ParseAnswer(bytes, answer) || answer.seq != seq) {
      error = "answer out of step with frame " + std::to_string(seq);
      return kRefused;
    }
    code = answer.code;
    if (answer.ack) return kUploadDone;
    if (answer.code != kBadCrc) {
      error = "frame " + std::to_string(seq) + " refused (" +
              std::string(1, static_cast<char>(code)) + ")";
      return kRefused;
    }
  }
  error = "frame " + std::to_string(seq) + " damaged " + std::to_string(kTriesPerFrame) + " times";
  return kRefused;
}

}  // namespace

bool ReadFirmwareFile(const std::string& path, std::vector<uint8_t>& image, std::string& error) {
  // A folder opens like a file here and reports a huge size; a device or a pipe has none.
  std::error_code status_error;
  const auto status = std::filesystem::status(path, status_error);
  if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    error = path + (std::filesystem::is_directory(status) ? " is a folder, not a file"
                                                          : " is not a file");
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot read " + path;
    return false;
  }
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size <= 0 || static_cast<uint64_t>(size) > kMaxImageBytes) {
    error = size <= 0 ? path + " is empty" : path + " is larger than 16 MiB";
    return false;
  }
  in.seekg(0);
  image.resize(static_cast<size_t>(size));
  if (!in.read(reinterpret_cast<char*>(image.data()), size)) {
    error = "cannot read " + path;
    return false;
  }
  return true;
}

int32_t SendImage(UploadLink& link, const std::vector<uint8_t>& image, const ProgressFn& progress,
                  const UploadTimeouts& timeouts, std::string& error) {
  link.DiscardInput();
  const std::vector<uint8_t> enter = EnterCommand();
  if (!link.Write(enter, timeouts.write_ms)) {
    error = link.LastError();
    return kNoAnswer;
  }
  std::array<uint8_t, kAnswerBytes> ready{};
  Answer answer;
  if (!link.Read(ready, AnswerTimeoutMs(link, enter.size(), timeouts.answer_ms))) {
    error = link.LastError();
    return kNoAnswer;
  }
  if (!ParseAnswer(ready, answer) || !answer.ack || answer.seq != kEnterSeq ||
      answer.code != kReady) {
    error = "the printer did not enter upload mode";
    return kRefused;
  }

  const uint32_t total = static_cast<uint32_t>(image.size());
  uint16_t seq = 0;
  uint8_t code = 0;
  int32_t result = Exchange(link, Frame(kBegin, seq, BeginPayload(total, Crc32(image))), seq,
                            timeouts.answer_ms, timeouts, code, error);
  uint32_t sent = 0;
  while (result == kUploadDone && sent < total) {
    const size_t n = std::min<size_t>(kMaxDataPayload, total - sent);
    ++seq;
    result = Exchange(link, Frame(kData, seq, std::span(image).subspan(sent, n)), seq,
                      timeouts.answer_ms, timeouts, code, error);
    if (result != kUploadDone) break;
    sent += static_cast<uint32_t>(n);
    if (progress) progress(sent, total);
  }
  if (result == kUploadDone) {
    ++seq;
    result = Exchange(link, Frame(kEnd, seq, {}), seq, timeouts.flash_ms, timeouts, code, error);
    if (result == kUploadDone && code != kWritten) {
      error = "the printer did not confirm writing the image";
      result = kRefused;
    }
  } else if (result == kRefused) {
    // Leaves upload mode so the printer takes commands again; its answer does not matter.
    const std::vector<uint8_t> abort = Frame(kAbort, static_cast<uint16_t>(seq + 1), {});
    link.Write(abort, timeouts.write_ms);
  }
  return result;
}

}  // namespace flashwise
