#include "upload_frames.h"

#include <array>

namespace flashwise {
namespace {

constexpr std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}
constexpr auto kCrcTable = MakeCrcTable();

void PutLe(std::vector<uint8_t>& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

}  // namespace

uint32_t Crc32(std::span<const uint8_t> bytes, uint32_t crc) {
  crc = ~crc;
  for (uint8_t b : bytes) crc = kCrcTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

std::vector<uint8_t> EnterCommand() {
  return {0x1D, 0x28, 0x55, 0x05, 0x00, 'F', 'W', 'U', 'P', 0x01};
}

std::vector<uint8_t> Frame(uint8_t type, uint16_t seq, std::span<const uint8_t> payload) {
  std::vector<uint8_t> frame{kStx, type};
  PutLe(frame, seq, 2);
  PutLe(frame, static_cast<uint32_t>(payload.size()), 2);
  frame.insert(frame.end(), payload.begin(), payload.end());
  PutLe(frame, Crc32(std::span(frame).subspan(1)), 4);
  return frame;
}

std::vector<uint8_t> BeginPayload(uint32_t size, uint32_t crc) {
  std::vector<uint8_t> payload;
  PutLe(payload, size, 4);
  PutLe(payload, crc, 4);
  return payload;
}

bool ParseAnswer(std::span<const uint8_t, 4> bytes, Answer& answer) {
  if (bytes[0] != kAck && bytes[0] != kNak) return false;
  answer.ack = bytes[0] == kAck;
  answer.seq = static_cast<uint16_t>(bytes[1] | (bytes[2] << 8));
  answer.code = bytes[3];
  return true;
}

}  // namespace flashwise
