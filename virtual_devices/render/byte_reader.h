// Bounds-checked little/big-endian reads from a byte buffer: a read past the end sets the
// failure flag and yields 0, so parsers check once after a group of reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vdev {

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

  bool ok() const { return ok_; }
  size_t size() const { return data_.size(); }
  bool Has(size_t offset, size_t length) const {
    return offset <= data_.size() && length <= data_.size() - offset;
  }
  uint8_t U8(size_t offset) { return Has(offset, 1) ? data_[offset] : Fail(); }
  uint32_t U16(size_t offset, bool big_endian) {
    if (!Has(offset, 2)) return Fail();
    const uint32_t a = data_[offset], b = data_[offset + 1];
    return big_endian ? (a << 8 | b) : (b << 8 | a);
  }
  uint32_t U32(size_t offset, bool big_endian) {
    if (!Has(offset, 4)) return Fail();
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      const uint32_t byte = data_[offset + (big_endian ? i : 3 - i)];
      v = v << 8 | byte;
    }
    return v;
  }
  int32_t S32(size_t offset, bool big_endian) {
    return static_cast<int32_t>(U32(offset, big_endian));
  }
  int16_t S16(size_t offset, bool big_endian) {
    return static_cast<int16_t>(U16(offset, big_endian));
  }

 private:
  uint8_t Fail() {
    ok_ = false;
    return 0;
  }

  std::span<const uint8_t> data_;
  bool ok_ = true;
};

}  // namespace vdev
