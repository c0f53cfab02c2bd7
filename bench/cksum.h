// The CRC POSIX cksum prints, for benchmarks that check what bex wrote
// against what their forge made.
#pragma once
#include <cstddef>
#include <cstdint>

// The CRC of POSIX cksum: CRC-32 (0x04C11DB7, most significant bit first)
// over the bytes, then over the length's bytes from the lowest, inverted.
class Cksum {
 public:
  Cksum() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i << 24;
      for (int k = 0; k < 8; ++k) c = c & 0x80000000u ? (c << 1) ^ 0x04c11db7u : c << 1;
      table_[i] = c;
    }
  }
  void add(const uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i) crc_ = (crc_ << 8) ^ table_[(crc_ >> 24) ^ p[i]];
    bytes_ += n;
  }
  uint32_t value() const {
    uint32_t c = crc_;
    for (uint64_t n = bytes_; n; n >>= 8) c = (c << 8) ^ table_[(c >> 24) ^ (n & 0xff)];
    return ~c;
  }
  uint64_t bytes() const { return bytes_; }

 private:
  uint32_t table_[256];
  uint32_t crc_ = 0;
  uint64_t bytes_ = 0;
};
