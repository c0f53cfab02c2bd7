// Space bitmap blocks of automatically managed segments: first-level (type
// 0x20) and second-level (type 0x21) bitmaps. Readers only look at their
// type; the forge writes the common header, the owning segment header's
// rdba at 24 and a bitmap area of nonzero bytes, so that a bitmap block is
// never mistaken for an unformatted (all-zero) one.
//
//   24 segment header rdba  28 bitmap bytes (64)
#pragma once
#include <cstdint>

#include "forge/block_header.h"
#include "forge/expect.h"

namespace bex::forge {

inline constexpr uint8_t kBitmapL1 = 0x20, kBitmapL2 = 0x21;

struct BitmapBlockSpec {
  BlockHeader hdr;     // type 0x20 (level 1, the default) or 0x21
  uint32_t segment = 0;  // rdba of the segment header
  uint8_t fill = 0x55;   // bitmap byte pattern
};

// Adds the fact "bitmap R/B level=1|2".
ForgeBlock buildBitmapBlock(const BitmapBlockSpec& s, uint32_t blockSize, ByteOrder order, Facts& facts);

}  // namespace bex::forge
