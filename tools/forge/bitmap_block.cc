#include "forge/bitmap_block.h"

namespace bex::forge {

namespace {
constexpr uint32_t kSegmentRdbaOffset = 24, kBitmapOffset = 28, kBitmapBytes = 64;
}

ForgeBlock buildBitmapBlock(const BitmapBlockSpec& s, uint32_t blockSize, ByteOrder order, Facts& facts) {
  ForgeBlock b(blockSize, order);
  BlockHeader h = s.hdr;
  if (h.type != kBitmapL2) h.type = kBitmapL1;
  writeBlockHeader(b, h);
  b.put32(kSegmentRdbaOffset, s.segment);
  b.putBytes(kBitmapOffset, Bytes(kBitmapBytes, s.fill));
  sealBlock(b, h);
  facts.push_back({"bitmap", format("level=%u", h.type == kBitmapL2 ? 2u : 1u)});
  return b;
}

}  // namespace bex::forge
