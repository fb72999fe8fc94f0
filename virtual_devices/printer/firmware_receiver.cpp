#include "firmware_receiver.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace vdev::printer {
namespace {

constexpr uint8_t kStx = 0x02, kAck = 0x06, kNak = 0x15;
constexpr uint16_t kEnterSeq = 0xFFFF;
constexpr size_t kHeaderBytes = 5;  // type, seq, length after the STX
constexpr size_t kCrcBytes = 4;

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

std::vector<uint8_t> Reply(bool ack, uint16_t seq, uint8_t code) {
  return {ack ? kAck : kNak, static_cast<uint8_t>(seq & 0xFF), static_cast<uint8_t>(seq >> 8),
          code};
}

std::string Hex32(uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

}  // namespace

uint32_t FirmwareCrc32(std::span<const uint8_t> bytes) {
  static const auto table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t n = 0; n < 256; ++n) {
      uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  uint32_t crc = 0xFFFFFFFFu;
  for (uint8_t b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

bool IsFirmwareEnterCommand(std::span<const uint8_t> c) {
  static constexpr uint8_t kEnter[] = {0x1D, 0x28, 0x55, 0x05, 0x00, 'F', 'W', 'U', 'P', 0x01};
  return c.size() == sizeof kEnter && std::equal(c.begin(), c.end(), kEnter);
}

std::vector<uint8_t> FirmwareReceiver::Enter() {
  Leave();
  active_ = true;
  return Reply(true, kEnterSeq, 'R');
}

void FirmwareReceiver::Leave() {
  active_ = false;
  frame_.clear();
  frame_needed_ = 0;
  begun_ = false;
  next_seq_ = 0;
  image_.clear();
  image_.shrink_to_fit();
}

void FirmwareReceiver::Reset() { Leave(); }

bool FirmwareReceiver::Push(uint8_t byte, std::vector<uint8_t>& answer, std::string& note) {
  if (!active_) return false;
  if (frame_needed_ == 0) {
    if (byte != kStx) {
      note = begun_ ? "firmware upload abandoned after " + std::to_string(image_.size()) + " bytes"
                    : "firmware upload mode left";
      Leave();
      return false;
    }
    frame_.clear();
    frame_needed_ = kHeaderBytes;
    return true;
  }
  frame_.push_back(byte);
  if (frame_.size() == kHeaderBytes) {
    const size_t length = frame_[3] | (frame_[4] << 8);
    frame_needed_ = kHeaderBytes + length + kCrcBytes;
  }
  if (frame_.size() < frame_needed_) return true;
  frame_needed_ = 0;
  HandleFrame(answer, note);
  return true;
}

void FirmwareReceiver::HandleFrame(std::vector<uint8_t>& answer, std::string& note) {
  const uint8_t type = frame_[0];
  const uint16_t seq = static_cast<uint16_t>(frame_[1] | (frame_[2] << 8));
  const size_t length = frame_[3] | (frame_[4] << 8);
  const uint8_t* payload = frame_.data() + kHeaderBytes;
  const uint32_t crc = Le32(payload + length);
  if (FirmwareCrc32(std::span(frame_.data(), kHeaderBytes + length)) != crc) {
    note = "firmware frame " + std::to_string(seq) + " damaged";
    answer = Reply(false, seq, 'C');
    return;
  }
  auto refuse = [&](uint8_t code, const std::string& why) {
    note = "firmware frame " + std::to_string(seq) + " refused: " + why;
    answer = Reply(false, seq, code);
  };
  switch (type) {
    case 'B': {
      if (seq != 0) return refuse('S', "begin out of sequence");
      if (length != 8) return refuse('L', "begin of wrong length");
      const uint32_t size = Le32(payload);
      if (size == 0 || size > kMaxImageBytes)
        return refuse('L', "image size " + std::to_string(size));
      begun_ = true;
      expected_size_ = size;
      expected_crc_ = Le32(payload + 4);
      image_.clear();
      image_.reserve(size);
      next_seq_ = 1;
      note = "firmware upload begins: " + std::to_string(size) + " bytes crc32 " +
             Hex32(expected_crc_);
      answer = Reply(true, seq, 0);
      return;
    }
    case 'D':
      if (!begun_ || seq != next_seq_) return refuse('S', "data out of sequence");
      if (length == 0 || length > kMaxDataPayload || image_.size() + length > expected_size_)
        return refuse('L', "data of wrong length");
      image_.insert(image_.end(), payload, payload + length);
      ++next_seq_;
      answer = Reply(true, seq, 0);
      return;
    case 'E': {
      if (!begun_ || seq != next_seq_) return refuse('S', "end out of sequence");
      const uint32_t got_crc = FirmwareCrc32(image_);
      if (image_.size() != expected_size_ || got_crc != expected_crc_) {
        refuse('V', "image of " + std::to_string(image_.size()) + " bytes crc32 " + Hex32(got_crc) +
                        " does not match");
        Leave();
        return;
      }
      written_size_ = expected_size_;
      written_crc_ = got_crc;
      ++uploads_;
      note =
          "firmware written: " + std::to_string(written_size_) + " bytes crc32 " + Hex32(got_crc);
      answer = Reply(true, seq, 'W');
      Leave();
      return;
    }
    case 'A':
      note = "firmware upload aborted by the host";
      answer = Reply(true, seq, 0);
      Leave();
      return;
    default:
      return refuse('F', "unknown frame type");
  }
}

std::string FirmwareReceiver::Summary() const {
  if (uploads_ == 0) return "firmware: none";
  return "firmware: " + std::to_string(written_size_) + " bytes crc32 " + Hex32(written_crc_) +
         ", uploads " + std::to_string(uploads_);
}

}  // namespace vdev::printer
