#include "forge/forge_block.h"

#include <algorithm>

namespace bex::forge {

bool validBlockSize(uint32_t size) {
  return size >= kMinBlockSize && size <= kMaxBlockSize && (size & (size - 1)) == 0;
}

ForgeBlock::ForgeBlock(uint32_t size, ByteOrder order) : bytes_(size, 0), order_(order) {}

bool ForgeBlock::fits(uint32_t off, uint32_t len) {
  if (static_cast<uint64_t>(off) + len <= bytes_.size()) return true;
  overflow_ = true;
  return false;
}

void ForgeBlock::put8(uint32_t off, uint8_t v) {
  if (fits(off, 1)) bytes_[off] = v;
}
void ForgeBlock::put16(uint32_t off, uint16_t v) {
  if (fits(off, 2)) forge::put16(bytes_.data() + off, v, order_);
}
void ForgeBlock::put32(uint32_t off, uint32_t v) {
  if (fits(off, 4)) forge::put32(bytes_.data() + off, v, order_);
}
void ForgeBlock::putBE16(uint32_t off, uint16_t v) {
  if (fits(off, 2)) forge::putBE16(bytes_.data() + off, v);
}
void ForgeBlock::putBE32(uint32_t off, uint32_t v) {
  if (fits(off, 4)) forge::putBE32(bytes_.data() + off, v);
}
void ForgeBlock::putBytes(uint32_t off, const Bytes& b) {
  if (!b.empty() && fits(off, static_cast<uint32_t>(b.size())))
    std::copy(b.begin(), b.end(), bytes_.begin() + off);
}
void ForgeBlock::putText(uint32_t off, std::string_view s) { putBytes(off, bytesOf(s)); }

}  // namespace bex::forge
