// Data header, table directory, row directory and row placement of table
// blocks (plain, cluster and compressed), at hdsz:
//
//   +0 flag  +1 ntab  +2 nrow  +4 frre  +6 fsbo  +8 fseo  +10 avsp  +12 tosp
//   +14 compression header (flag 0x40 only)
//   then ntab table entries (first row index, row count), then nrow 16-bit
//   row offsets relative to hdsz (0xFFFF = free entry).
//
// Pieces without a fixed offset are packed downward from the block tail in
// directory order, so row 0 lies highest, as Oracle inserts them.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "forge/forge_block.h"

namespace bex::forge {

inline constexpr uint8_t kDataFlagCompressed = 0x40;
inline constexpr uint32_t kDataHeaderSize = 14;
inline constexpr uint16_t kFreeSlot = 0xffff;

struct PlacedPiece {
  Bytes bytes;
  int32_t offset = -1;  // relative to hdsz; -1 packs it below the previous one
  bool free = false;    // a free directory entry (0xFFFF), no bytes
};

struct DataHeaderSpec {
  uint8_t flag = 0;
  Bytes compression;  // whole compression header, already padded to even size
  std::vector<std::vector<PlacedPiece>> tables;
  std::optional<uint16_t> frre, avsp, tosp;
};

struct DataLayout {
  std::vector<std::vector<int32_t>> offs;  // per table and row, relative to hdsz; -1 free
  uint16_t nrow = 0, fsbo = 0, fseo = 0;
};

DataLayout layoutData(ForgeBlock& b, uint32_t hdsz, const DataHeaderSpec& d);

}  // namespace bex::forge
