// Finding the blocks of the object being unloaded: through its segment
// header and extent maps, through the extent listing of the database scan,
// or by reading every block. Each accepted block goes to the table or index
// walker.
#pragma once
#include <cstdint>

#include "base/extent_listing.h"
#include "unload/row_walk.h"

namespace bex {

// Finds the segment header of objd: block `block` of the first file passing
// the file filter when a block is given with a file (or BIGFILE is on),
// else the first header of objd from block 2 on of every file (shared by
// THREADS workers when the files may be read by several threads at once:
// searchSegmentHeader). It stays in the block buffer.
bool findSegmentHeader(RowWalk& w, uint32_t objd, uint32_t file, uint32_t block);
// Unloads the extents listed by the header in the block buffer and by the
// extent map blocks it leads to.
void walkExtentMap(RowWalk& w, uint32_t objd, uint32_t clusterTable);
// Unloads by reading every block of the files passing the filter (or the
// one block given with a file).
void scanObjectBlocks(RowWalk& w, uint32_t objd, uint32_t clusterTable, uint32_t file, uint32_t block);
// Unloads one run of the extent listing.
void walkListedExtent(RowWalk& w, uint32_t objd, uint32_t clusterTable, const ExtentRecord& r);
// The listed runs of objd, in listing order.
void walkExtentListing(RowWalk& w, std::span<const ExtentRecord> runs, uint32_t objd, uint32_t clusterTable);

// Unloads the blocks of one chunk (a run or a part of a scan).
void walkChunk(RowWalk& w, const WalkChunk& c);

// Blocks in the open files: the bound of one row chain.
uint64_t openBlockCount(const BlockContext& bc);

}  // namespace bex
