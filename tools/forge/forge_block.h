// One block image being forged: a zeroed buffer of the block size with
// bounds-checked field writers in the file's byte order. A write that would
// leave the block is dropped and remembered, so a description too large for
// its block is reported instead of corrupting memory.
#pragma once
#include <cstdint>

#include "forge/byte_put.h"

namespace bex::forge {

// Sizes the forge accepts (the block sizes Oracle uses).
inline constexpr uint32_t kMinBlockSize = 2048;
inline constexpr uint32_t kMaxBlockSize = 32768;
inline constexpr uint32_t kBlockTailSize = 4;
inline constexpr uint32_t kCommonHeaderSize = 20;

bool validBlockSize(uint32_t size);

class ForgeBlock {
 public:
  ForgeBlock() = default;
  ForgeBlock(uint32_t size, ByteOrder order);

  uint32_t size() const { return static_cast<uint32_t>(bytes_.size()); }
  ByteOrder order() const { return order_; }
  const uint8_t* data() const { return bytes_.data(); }
  uint8_t* data() { return bytes_.data(); }
  uint8_t at(uint32_t off) const { return off < size() ? bytes_[off] : 0; }

  void put8(uint32_t off, uint8_t v);
  void put16(uint32_t off, uint16_t v);
  void put32(uint32_t off, uint32_t v);
  void putBE16(uint32_t off, uint16_t v);
  void putBE32(uint32_t off, uint32_t v);
  void putBytes(uint32_t off, const Bytes& b);
  void putText(uint32_t off, std::string_view s);

  // True when any write was dropped for leaving the block.
  bool overflowed() const { return overflow_; }
  void markOverflow() { overflow_ = true; }

 private:
  bool fits(uint32_t off, uint32_t len);

  Bytes bytes_;
  ByteOrder order_ = ByteOrder::Little;
  bool overflow_ = false;
};

}  // namespace bex::forge
