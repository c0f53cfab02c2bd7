// The block reader: every Oracle block the tool looks at comes through here.
// Each read delivers exactly one block into bc.block and returns the number
// of bytes delivered (bc.blockSize), or 0 when the block cannot be read.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/block_check.h"
#include "base/block_context.h"
#include "base/rdba.h"

namespace bex {

// Through the primary cache, refilled by read-ahead from the requested block.
uint32_t ReadBlock(BlockContext& bc, uint32_t rfn, uint32_t block);
uint32_t ReadBlockByRdba(BlockContext& bc, uint32_t rdba);
// Through the second (LOB) cache.
uint32_t ReadBlockLob(BlockContext& bc, uint32_t rfn, uint32_t block);
// The same block where it lies in the second cache, without a copy: valid
// until the next read through that cache; null when it cannot be read.
const uint8_t* ViewBlockLob(BlockContext& bc, uint32_t rfn, uint32_t block);
// Primary cache on a hit; otherwise one direct read that leaves the cache.
uint32_t ReadBlockDirect(BlockContext& bc, uint32_t rfn, uint32_t block);
// One block of a registry slot, no cache, no lookup (the file probe).
uint32_t ReadBlockBySlot(BlockContext& bc, uint32_t slot, uint32_t block);

// True when the current block is in the CORRUPT list or, with BLOCK_CHECK
// on, fails the checksum test; each verdict "bad" counts one bad block.
bool IsBadBlock(BlockContext& bc);
// True when the current block's own rdba is in the SKIP list.
bool isSkippedBlock(const BlockContext& bc);
// Registry slot holding rfn, or -1.
int lookupFile(BlockContext& bc, uint32_t rfn);

}  // namespace bex
