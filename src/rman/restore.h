// Writing a data file back from its blocks in the backup pieces: each
// stretch at the offset its first block number gives, in ascending order.
// Where the file is shorter than the next stretch's place it is first
// extended by filler blocks (zeros), as long as all filler stays within 10
// times the larger of 10000 and the blocks restored so far; a stretch that
// would need more is not written, nor any after it.
#pragma once
#include <cstdint>

#include "base/progress.h"
#include "datafile/registry.h"
#include "rman/block_copies.h"

namespace bex {

struct RestoreCounts {
  uint64_t restored = 0;
  uint64_t filler = 0;
  uint64_t unreadable = 0;  // blocks the pieces could not give
  bool fillerLimit = false;  // stretches were left out at the filler limit
  uint32_t limitBlock = 0;  // the first block left out there
  bool writeFailed = false;
};

inline constexpr uint64_t kFillerFloor = 10000;
inline constexpr uint64_t kFillerFactor = 10;
inline constexpr uint32_t kRestoreChunk = 1048576;  // bytes read from a piece at once

// Writes copies into fd (open for reading and writing, starting size bytes
// long), reading the pieces through their registry slots; progress counts
// the blocks of the stretches as they are passed.
RestoreCounts restoreFile(const DataFileRegistry& reg, uint32_t blockSize, const FileCopies& copies, int fd,
                          uint64_t size, Progress& progress);

}  // namespace bex
