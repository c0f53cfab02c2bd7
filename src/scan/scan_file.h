// ScanFile: one pass over the blocks of one data file that lists runs of
// table blocks by data object (extent listing, BEXEXT.TXT) and runs of LOB
// blocks by LOB id, page and version (LOB listing, BEXLOB.TXT).
#pragma once
#include <cstdint>

#include "datafile/slot_reader.h"
#include "base/block_context.h"
#include "base/sink.h"

namespace bex {

// Row count of a table block (table 0, or table 1 with a symbol table) or
// entry count of an index block; 0 for other blocks.
uint64_t blockRowCount(const uint8_t* block, uint32_t blockSize, uint8_t order);

// Scans blocks 2 .. the slot's block count. Every block failing the
// checksum adds one to errors.
void ScanFile(BlockContext& bc, SlotReader& reader, uint32_t slot, Sink& lobListing, Sink& extentListing,
              uint64_t& errors);

}  // namespace bex
