// The firmware upload protocol, host side: the command that switches the printer into
// upload mode, the frames that carry the image, and the printer's answers.
//
//   enter   1D 28 55 05 00 'F' 'W' 'U' 'P' 01           (GS ( U, function "FWUP", version 1)
//   frame   02 type seqL seqH lenL lenH payload crc32   (crc32 over type..payload, LE)
//   answer  06|15 seqL seqH code                        (ACK or NAK; four bytes)
//
// Frames: 'B' begin (payload: image size u32, image crc32 u32), 'D' data (1 to 1024 image
// bytes), 'E' end (empty; the printer checks size and crc32 and writes the image), 'A' abort.
// docs/flashwise.md describes the exchange.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace flashwise {

inline constexpr uint8_t kStx = 0x02, kAck = 0x06, kNak = 0x15;
inline constexpr uint8_t kBegin = 'B', kData = 'D', kEnd = 'E', kAbort = 'A';
inline constexpr size_t kMaxDataPayload = 1024;
inline constexpr size_t kMaxImageBytes = 16u << 20;
inline constexpr uint16_t kEnterSeq = 0xFFFF;  // the sequence number of the enter answer

// Answer codes.
inline constexpr uint8_t kReady = 'R';      // ACK to enter
inline constexpr uint8_t kAccepted = 0;     // ACK to B, D, A
inline constexpr uint8_t kWritten = 'W';    // ACK to E: verified and written
inline constexpr uint8_t kBadCrc = 'C';     // NAK: frame checksum wrong (send it again)
inline constexpr uint8_t kBadSeq = 'S';     // NAK: frame out of order
inline constexpr uint8_t kBadLength = 'L';  // NAK: payload length not allowed
inline constexpr uint8_t kBadImage = 'V';   // NAK to E: size or crc32 of the image wrong

uint32_t Crc32(std::span<const uint8_t> bytes, uint32_t crc = 0);

std::vector<uint8_t> EnterCommand();
std::vector<uint8_t> Frame(uint8_t type, uint16_t seq, std::span<const uint8_t> payload);
std::vector<uint8_t> BeginPayload(uint32_t size, uint32_t crc);

struct Answer {
  bool ack = false;
  uint16_t seq = 0;
  uint8_t code = 0;
};
// Four answer bytes; false when the first is neither ACK nor NAK.
bool ParseAnswer(std::span<const uint8_t, 4> bytes, Answer& answer);

}  // namespace flashwise
