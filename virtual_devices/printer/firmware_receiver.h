// The printer's firmware upload mode. GS ( U 05 00 "FWUP" 01 switches it on; from then on
// every byte belongs to the upload frames until the image is written, the host aborts, or
// a byte arrives where a frame should start but is no frame start (the host gave up): then
// upload mode ends and that byte is an ordinary command byte again.
//
//   frame   02 type seqL seqH lenL lenH payload crc32   (crc32 over type..payload, LE)
//   answer  06|15 seqL seqH code                        (ACK or NAK)
//
// 'B' begin (image size u32, image crc32 u32), 'D' data (1 to 1024 bytes, in sequence),
// 'E' end (the size and crc32 are checked and the image is "written"), 'A' abort.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vdev::printer {

// True for the command that starts upload mode.
bool IsFirmwareEnterCommand(std::span<const uint8_t> command);

class FirmwareReceiver {
 public:
  static constexpr size_t kMaxImageBytes = 16u << 20;
  static constexpr size_t kMaxDataPayload = 1024;

  bool Active() const { return active_; }
  // Switches upload mode on; returns the ready answer.
  std::vector<uint8_t> Enter();
  // Takes one byte in upload mode. Returns false when the byte is not part of the upload
  // (upload mode has ended and the byte is the caller's). An answer to send goes to
  // `answer`, a line for the printer's log to `note`.
  bool Push(uint8_t byte, std::vector<uint8_t>& answer, std::string& note);
  // Power loss: a partial upload is forgotten.
  void Reset();

  // "firmware: none" or "firmware: N bytes crc32 XXXXXXXX, uploads M".
  std::string Summary() const;
  uint64_t Uploads() const { return uploads_; }
  uint32_t WrittenSize() const { return written_size_; }
  uint32_t WrittenCrc() const { return written_crc_; }

 private:
  void HandleFrame(std::vector<uint8_t>& answer, std::string& note);
  void Leave();

  bool active_ = false;
  std::vector<uint8_t> frame_;  // the frame being received, from its type byte
  size_t frame_needed_ = 0;
  // The upload in progress.
  bool begun_ = false;
  uint16_t next_seq_ = 0;
  uint32_t expected_size_ = 0, expected_crc_ = 0;
  std::vector<uint8_t> image_;
  // The image last written.
  uint32_t written_size_ = 0, written_crc_ = 0;
  uint64_t uploads_ = 0;
};

uint32_t FirmwareCrc32(std::span<const uint8_t> bytes);

}  // namespace vdev::printer
