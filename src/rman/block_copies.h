// Where each block of one data file is taken from when the listing names
// several copies of it (a level 0 backup and later incrementals, or two
// backups): the copy with the highest SCN in its block header, whichever
// line lists it; with BLOCK_CHECK on, a copy that passes the checksum before
// one that does not. Copies that cannot be read whole are passed over.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "base/limits.h"
#include "rman/run_listing.h"

namespace bex {

// Blocks first .. first + count - 1 of the file lie in piece slot from
// position on.
struct BlockStretch {
  uint32_t first = 0;
  uint32_t count = 0;
  uint32_t slot = 0;
  uint32_t position = 0;
};

struct FileCopies {
  std::vector<BlockStretch> stretches;  // ascending, no block twice
  uint64_t severalCopies = 0;  // blocks the listing names more than once
  uint64_t newerKept = 0;      // of those, blocks whose chosen copy is not the one listed last
};

struct CopyRules {
  uint32_t blockSize = kDefaultBlockSize;
  uint8_t order = 0;
  bool blockCheck = false;
};

// Reads the whole block at position of piece slot into buf (blockSize
// bytes); false when it cannot be read whole.
using PieceBlockRead = std::function<bool(uint32_t slot, uint32_t position, uint8_t* buf)>;

// runs: the listing lines of one file, in listing order. Only the blocks
// that lie in more than one run are read.
FileCopies chooseCopies(const std::vector<PieceRun>& runs, const CopyRules& rules, const PieceBlockRead& read);

}  // namespace bex
