// Segment headers (types 0x10, 0x11, 0x23) and extent map blocks (0x12,
// 0x24): where the extents of a segment are listed.
//
//   field                 0x10/0x11   0x23   0x12/0x24
//   exts                  36          36     20
//   blks                  40          40     -
//   ext#, blks, size      48, 52, 56  same   -
//   hwm (rdba)            60          60     -
//   free, used            72, 76      same   -
//   next extent map       96          268    24
//   data object number    100         272    28 (0x12 only)
//   extents in this block 92          264    20
//   extent list           108         280    36     8 bytes each: rdba, length
#pragma once
#include <cstdint>

#include "block/block_header.h"
#include "block/block_view.h"
#include "base/sink.h"

namespace bex {

inline constexpr uint32_t kExtentEntrySize = 8;

struct SegmentHeader {
  BlockType type;
  uint32_t exts, blks;
  uint32_t extNo, hwmBlks, size, hwm, free, used;
  uint32_t nextMap;
  uint32_t objd;         // none (0) in a 0x24 map block
  uint32_t extentsHere;  // as stored
  uint32_t extentList;   // offset of the first entry
};

struct Extent {
  uint32_t rdba;    // first block
  uint32_t length;  // in blocks
};

// Any block with an extent list (hasExtentList).
SegmentHeader readSegmentHeader(const BlockView& v);
// The extents of this block that lie wholly inside it (at most extentsHere).
uint32_t extentCount(const BlockView& v, const SegmentHeader& sh);
Extent readExtent(const BlockView& v, const SegmentHeader& sh, uint32_t i);

// seg/obj, hwm, map and extents lines.
void dumpSegmentHeader(Sink& out, const BlockView& v);

}  // namespace bex
