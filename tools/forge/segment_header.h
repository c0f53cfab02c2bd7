// Segment headers (type 0x10, and 0x23 for the paged layout) and the extent
// map blocks that continue their extent lists (0x12 after 0x10, 0x24 after
// 0x23).
//
//                     0x10     0x23     0x12/0x24
//   extents (total)   36       36       -
//   blocks            40       40       -
//   hwm ext#/blks/size 48/52/56 same    -
//   hwm rdba          60       60       -
//   free / used       72 / 76  same     -
//   extents here      92       264      20
//   next map rdba     96       268      24
//   objd              100      272      28 (0x12 only)
//   extent list       108      280      36    entries: rdba, length
#pragma once
#include <cstdint>
#include <vector>

#include "forge/block_header.h"
#include "forge/expect.h"

namespace bex::forge {

inline constexpr uint8_t kSegHeader = 0x10, kSegHeaderPaged = 0x23;
inline constexpr uint8_t kExtentMap = 0x12, kExtentMapPaged = 0x24;

struct Extent {
  uint32_t rdba = 0;
  uint32_t length = 0;
};

struct SegmentSpec {
  BlockHeader hdr;  // type 0x10 or 0x23; the rdba of the header block
  uint32_t objd = 0;
  std::vector<Extent> extents;
  uint32_t blocks = 0;  // 0: the sum of the extent lengths
  uint32_t hwmExt = 0, hwmBlocks = 0, hwmSize = 0, hwmRdba = 0, free = 0, used = 0;
  // Where the extent list continues, in order: one extent map block each.
  std::vector<uint32_t> mapRdbas;
  // Extents held by the header and by each map block; 0 = as many as fit.
  uint32_t perHeader = 0, perMap = 0;
};

struct SegmentBlocks {
  ForgeBlock header;
  std::vector<ForgeBlock> maps;  // one per entry of mapRdbas
  std::vector<Facts> mapFacts;
};

// The extent list is split over the header and its map blocks; extents that
// do not fit in them all are dropped and the header is marked overflowed.
SegmentBlocks buildSegment(const SegmentSpec& s, uint32_t blockSize, ByteOrder order,
                           Facts& headerFacts);

uint32_t extentCapacity(uint8_t type, uint32_t blockSize);
uint32_t segmentObjdOffset(uint8_t type);

}  // namespace bex::forge
