#include "forge/block_header.h"

namespace bex::forge {

void writeBlockHeader(ForgeBlock& b, const BlockHeader& h) {
  b.put8(0, h.type);
  b.put8(1, h.format);
  b.put32(4, h.rdba);
  b.put32(8, h.scnBase);
  b.put16(12, h.scnWrap);
  b.put8(14, h.seq);
  uint8_t flag = h.extraFlags & static_cast<uint8_t>(~kFlagChecksum);
  if (h.checksum != Checksum::Absent) flag |= kFlagChecksum;
  b.put8(15, flag);
}

uint16_t xorFoldBytes(const uint8_t* p, uint32_t len) {
  uint8_t even = 0, odd = 0;
  for (uint32_t i = 0; i + 1 < len; i += 2) {
    even ^= p[i];
    odd ^= p[i + 1];
  }
  return static_cast<uint16_t>((even << 8) | odd);
}

void sealBlock(ForgeBlock& b, const BlockHeader& h) {
  uint32_t tail = ((h.scnBase & 0xffff) << 16) | (static_cast<uint32_t>(h.type) << 8) | h.seq;
  b.put32(b.size() - kBlockTailSize, tail);
  b.putBE16(16, 0);
  if (h.checksum == Checksum::Absent) return;
  uint16_t fold = xorFoldBytes(b.data(), b.size());
  if (h.checksum == Checksum::Broken) fold ^= 0x0001;
  // Storing the fold's bytes in place makes every word pair cancel out.
  b.putBE16(16, fold);
}

}  // namespace bex::forge
