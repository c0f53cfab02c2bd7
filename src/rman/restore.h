// Writing a data file back from its blocks in the backup pieces: each
// stretch at the offset its first block number gives, in ascending order.
// Where the file is shorter than a stretch's place, the blocks up to it are
// filler: a hole of the file (zeros), which costs no room, so every stretch
// is written however far it lies. The file ends with the last block a
// piece gave.
#pragma once
#include <cstdint>

#include "base/progress.h"
#include "base/limits.h"
#include "datafile/registry.h"
#include "rman/block_copies.h"

namespace bex {

struct RestoreCounts {
  uint64_t restored = 0;
  uint64_t filler = 0;
  uint64_t unreadable = 0;  // blocks the pieces could not give
  bool writeFailed = false;
};

inline constexpr uint32_t kRestoreChunk = kMegabyte;  // bytes read from a piece at once

// Writes copies into fd (open for reading and writing, starting size bytes
// long), reading the pieces through their registry slots; progress counts
// the blocks of the stretches as they are passed.
RestoreCounts restoreFile(const DataFileRegistry& reg, uint32_t blockSize, const FileCopies& copies, int fd,
                          uint64_t size, Progress& progress);

}  // namespace bex
