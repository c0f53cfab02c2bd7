// The search for the segment header of an object over whole files, when no
// block of it is known: every block from block 2 on of the files passing
// the file filter, read through read-ahead windows, in slot order then
// block order. With several threads the files are cut into ranges of
// consecutive blocks, searched by the workers and judged in range order,
// so that the header found is the first one, as one thread finds it.
#pragma once
#include <cstdint>

#include "base/block_context.h"

namespace bex {

struct DataFile;

// A slot the file filter lets through (0: every slot; with BIGFILE every
// slot).
bool passesFileFilter(const BlockContext& bc, const DataFile& f, uint32_t file);
// The block in the buffer is a segment header of objd that passes the
// block check (a block failing it counts as a bad block).
bool isSegmentHeaderOf(BlockContext& bc, uint32_t objd);

// Blocks of one range of a threaded search by default: 4 MiB of them.
inline constexpr uint32_t kHeaderSearchRangeBytes = 4u << 20;

struct HeaderSearch {
  uint32_t objd = 0;
  uint32_t file = 0;         // the file filter: 0 for every file
  uint32_t threads = 1;      // above 1: workers search the ranges
  uint32_t rangeBlocks = 0;  // blocks of one range (0: kHeaderSearchRangeBytes of them)
};

struct HeaderFound {
  bool found = false;
  uint32_t slot = 0, block = 0;
  uint64_t ranges = 0;  // ranges handed to workers (0: one thread searched)
};

// The first block from block 2 on that is a segment header of objd and
// passes the block check; it is copied into bc.block. Blocks failing the
// check before it count as bad blocks, as reading them one by one counts
// them, and so do blocks that cannot be read; the progress line and the
// read cache are left alone.
HeaderFound searchSegmentHeader(BlockContext& bc, const HeaderSearch& s);

}  // namespace bex
