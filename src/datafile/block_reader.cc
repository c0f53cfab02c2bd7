#include "datafile/block_reader.h"

#include <cstring>

#include "block/block_header.h"
#include "datafile/block_list.h"
#include "datafile/read_cache.h"
#include "datafile/registry.h"

namespace bex {

namespace {

uint64_t blockOffset(const DataFile& f, uint32_t block, uint32_t blockSize) {
  return static_cast<uint64_t>(block) * blockSize + f.headerSize;
}

void foldBigfile(const BlockContext& bc, uint32_t& rfn, uint32_t& block) {
  if (!bc.bigfile) return;
  block = block + rfn * kBigfileBlocksPerFile;
  rfn = 0;
}

// The registry slot of rfn; a worker's copy reads the registry only.
int slotOf(BlockContext& bc, uint32_t rfn) { return bc.worker ? bc.registry->find(rfn) : bc.registry->lookup(rfn); }

const uint8_t* cachedBlock(const BlockContext& bc, const ReadCache& c, uint32_t block) {
  return c.buffer.get() + static_cast<size_t>(block - c.first) * bc.blockSize;
}

void copyFromCache(BlockContext& bc, const ReadCache& c, uint32_t block) {
  memcpy(bc.block, cachedBlock(bc, c, block), bc.blockSize);
}

// Reads n bytes of the slot's file from block on; the bytes read (short at
// the end of the file or at a read error, 0 for a slot without a source).
size_t readFrom(const DataFile& f, uint32_t block, uint32_t blockSize, uint8_t* buf, size_t n) {
  if (!f.source) return 0;
  return f.source->read(blockOffset(f, block, blockSize), buf, n).bytes;
}

// Cache lookup and read-ahead refill shared by ReadBlock and the LOB reads:
// the block in the cache, or null when it cannot be read.
const uint8_t* viewThroughCache(BlockContext& bc, ReadCache& c, uint32_t rfn, uint32_t block, bool countMissingFile) {
  foldBigfile(bc, rfn, block);
  DataFileRegistry& reg = *bc.registry;
  int slot = slotOf(bc, rfn);
  if (slot < 0) {
    if (countMissingFile) bc.counters->BadBlockCount++;
    return nullptr;
  }
  if (c.holds(static_cast<uint16_t>(rfn), block, bc.blockSize)) return cachedBlock(bc, c, block);
  size_t n = static_cast<uint32_t>(slot) < reg.count
                 ? readFrom(reg.slots[slot], block, bc.blockSize, c.buffer.get(), c.size)
                 : 0;
  if (n == 0) {
    c.empty();
    bc.counters->BadBlockCount++;
    return nullptr;
  }
  c.file = static_cast<uint16_t>(rfn);
  c.first = block;
  c.count = static_cast<uint16_t>(n / bc.blockSize);
  c.blockSize = bc.blockSize;
  if (c.count == 0) {
    bc.counters->BadBlockCount++;
    return nullptr;
  }
  return cachedBlock(bc, c, block);
}

uint32_t readThroughCache(BlockContext& bc, ReadCache& c, uint32_t rfn, uint32_t block, bool countMissingFile) {
  const uint8_t* p = viewThroughCache(bc, c, rfn, block, countMissingFile);
  if (!p) return 0;
  memcpy(bc.block, p, bc.blockSize);
  return bc.blockSize;
}

// One block of a slot straight into the block buffer; bytes read.
size_t readOne(BlockContext& bc, const DataFile& f, uint32_t block) {
  return readFrom(f, block, bc.blockSize, bc.block, bc.blockSize);
}

bool listHolds(const BlockList* list, uint32_t rdba) { return list && list->holds(rdba); }

// The address the block in the buffer carries in its own header.
uint32_t ownRdba(const BlockContext& bc) { return blockRdba(BlockView{bc.block, bc.blockSize, bc.byteOrder}); }

}  // namespace

uint32_t ReadBlock(BlockContext& bc, uint32_t rfn, uint32_t block) {
  return readThroughCache(bc, *bc.cache, rfn, block, false);
}

uint32_t ReadBlockByRdba(BlockContext& bc, uint32_t rdba) { return ReadBlock(bc, rdbaFile(rdba), rdbaBlock(rdba)); }

uint32_t ReadBlockLob(BlockContext& bc, uint32_t rfn, uint32_t block) {
  return readThroughCache(bc, *bc.lobCache, rfn, block, true);
}

const uint8_t* ViewBlockLob(BlockContext& bc, uint32_t rfn, uint32_t block) {
  return viewThroughCache(bc, *bc.lobCache, rfn, block, true);
}

uint32_t ReadBlockDirect(BlockContext& bc, uint32_t rfn, uint32_t block) {
  foldBigfile(bc, rfn, block);
  DataFileRegistry& reg = *bc.registry;
  int slot = slotOf(bc, rfn);
  if (slot < 0) {
    bc.counters->BadBlockCount++;
    return 0;
  }
  if (bc.cache->holds(static_cast<uint16_t>(rfn), block, bc.blockSize)) {
    copyFromCache(bc, *bc.cache, block);
    return bc.blockSize;
  }
  if (readOne(bc, reg.slots[slot], block) < bc.blockSize) {
    bc.counters->BadBlockCount++;
    return 0;
  }
  return bc.blockSize;
}

uint32_t ReadBlockBySlot(BlockContext& bc, uint32_t slot, uint32_t block) {
  DataFileRegistry& reg = *bc.registry;
  if (slot >= reg.count || !reg.slots[slot].usable()) return 0;
  size_t n = readOne(bc, reg.slots[slot], block);
  if (n < bc.blockSize) bc.counters->BadBlockCount++;
  return static_cast<uint32_t>(n);
}

bool IsBadBlock(BlockContext& bc) {
  if (listHolds(bc.corruptList, ownRdba(bc)) ||
      (bc.blockCheck && BlockChecksumTest(bc.block, bc.blockSize) != 0)) {
    bc.counters->BadBlockCount++;
    return true;
  }
  return false;
}

bool isSkippedBlock(const BlockContext& bc) { return listHolds(bc.skipList, ownRdba(bc)); }

int lookupFile(BlockContext& bc, uint32_t rfn) { return slotOf(bc, rfn); }

}  // namespace bex
