#include "unload/block_walk.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "block/block_header.h"
#include "block/data_block.h"
#include "block/segment_header.h"
#include "datafile/block_reader.h"
#include "datafile/registry.h"
#include "datafile/slot_reader.h"
#include "base/progress.h"
#include "base/recovery_report.h"
#include "unload/chain_guard.h"
#include "unload/header_search.h"

namespace bex {

namespace {

BlockView currentView(const BlockContext& bc) { return BlockView{bc.block, bc.blockSize, bc.byteOrder}; }

bool readWhole(BlockContext& bc, uint32_t rfn, uint32_t block) { return ReadBlock(bc, rfn, block) == bc.blockSize; }

// The rdba a block of file rfn carries: with BIGFILE the block number alone.
uint32_t composeRdba(const BlockContext& bc, uint32_t rfn, uint32_t block) {
  return bc.bigfile ? block : makeRdba(rfn, block);
}

// A table or index block of objd in the buffer.
bool isDataBlockOf(const BlockView& v, uint32_t objd) {
  return blockType(v) == BlockType::kTransData && txnSegObj(v) == objd;
}

// Hands the block in the buffer to the walker its typ names.
void unloadBlock(RowWalk& w, uint32_t clusterTable) {
  const uint8_t typ = txnTyp(currentView(w.bc));
  if (typ == kTypData)
    unloadTableBlock(w, clusterTable);
  else if (typ == kTypIndex)
    unloadIndexBlock(w);
}

bool belowLimit(const BlockContext& bc) { return bc.counters->RowCount < bc.rowLimit; }

// For the recovery report: a block of the walk that failed the block
// check, and blocks of an extent that the file does not have.
void noteRejected(RowWalk& w, uint32_t clusterTable, uint32_t rfn, uint32_t block) {
  if (!reporting(w)) return;
  noteReport(w, ReportEvent{ReportEvent::kRejected, rfn, block, rowsHeld(w, currentView(w.bc), clusterTable)});
}
void noteUnreadable(const BlockContext& bc, uint32_t rfn, uint32_t first, uint64_t count) {
  if (bc.report && count <= UINT32_MAX) bc.report->unreadable.add(rfn, first, static_cast<uint32_t>(count));
}
// For the progress line: blocks the walk expects to read.
void expectBlocks(const BlockContext& bc, uint64_t blocks) {
  if (bc.progress) bc.progress->expect(blocks);
}

// Walks from a block inside the slot reader's window: the walkers only read
// the block, and a chain is followed in the cursor's own buffer, so the
// window stands in for the block buffer while the block is walked.
class WindowBlock {
 public:
  WindowBlock(BlockContext& bc, const uint8_t* block) : bc_(bc), saved_(bc.block) {
    bc.block = const_cast<uint8_t*>(block);
  }
  ~WindowBlock() { bc_.block = saved_; }
  WindowBlock(const WindowBlock&) = delete;
  WindowBlock& operator=(const WindowBlock&) = delete;

 private:
  BlockContext& bc_;
  uint8_t* saved_;
};

// Commits what the workers of a parallel walk have done so far: the walk
// is about to write or report something itself.
void drainWorkers(RowWalk& w) {
  if (w.parallel) w.parallel->drain();
}

// Walks the chunk here, or hands it to the workers.
void walkOrSubmit(RowWalk& w, const WalkChunk& c) {
  if (w.parallel)
    w.parallel->submit(c);
  else
    walkChunk(w, c);
}

// Unloads the blocks first to first + count - 1 of file rfn that carry their
// own address and belong to objd, in one sequential pass. The run stops at
// the end of the file (counted as damage), so a damaged length cannot make
// the walk try billions of missing blocks. With checkFirst a block failing
// the block check is passed over without the walker's message.
void walkRun(RowWalk& w, uint32_t objd, uint32_t clusterTable, uint32_t rfn, uint32_t first, uint64_t count,
             bool checkFirst) {
  BlockContext& bc = w.bc;
  const int slot = lookupFile(bc, bc.bigfile ? 0 : rfn);
  if (slot < 0 || count == 0) return;
  uint64_t last = first + count - 1;
  if (last > bc.registry->slots[slot].blocks) {
    drainWorkers(w);
    noteDamage(w, Damage::kExtentPastFile, composeRdba(bc, rfn, first), static_cast<uint32_t>(count));
    const uint64_t past = std::max<uint64_t>(first, bc.registry->slots[slot].blocks + 1ull);
    noteUnreadable(bc, rfn, static_cast<uint32_t>(past), last - past + 1);
    last = bc.registry->slots[slot].blocks;
  }
  if (!bc.bigfile && last > kRdbaBlockMask) last = kRdbaBlockMask;
  if (first > last) return;
  WalkChunk c;
  c.slot = static_cast<uint32_t>(slot);
  c.rfn = rfn;
  c.first = first;
  c.last = static_cast<uint32_t>(last);
  c.objd = objd;
  c.clusterTable = clusterTable;
  c.checkFirst = checkFirst;
  walkOrSubmit(w, c);
}

// One block of a run: unloaded when it carries its own address and is a
// data block of the object.
void walkRunBlock(RowWalk& w, const WalkChunk& c, uint32_t number) {
  BlockContext& bc = w.bc;
  if (c.checkFirst && IsBadBlock(bc)) return noteRejected(w, c.clusterTable, c.rfn, number);
  const BlockView v = currentView(bc);
  if (blockRdba(v) == composeRdba(bc, c.rfn, number) && isDataBlockOf(v, c.objd)) unloadBlock(w, c.clusterTable);
}

// One block of a whole-file scan: table blocks of the object.
void scanBlock(RowWalk& w, const WalkChunk& c, uint32_t number) {
  BlockContext& bc = w.bc;
  const BlockView v = currentView(bc);
  if (IsBadBlock(bc)) {
    if (isDataBlockOf(v, c.objd)) noteRejected(w, c.clusterTable, bc.registry->slots[c.slot].rfn, number);
    return;
  }
  if (isDataBlockOf(v, c.objd) && txnTyp(v) == kTypData) unloadTableBlock(w, c.clusterTable);
}

// One extent entry: its first rdba and length.
void walkExtent(RowWalk& w, uint32_t objd, uint32_t clusterTable, uint32_t rdba, uint32_t length) {
  if (w.bc.bigfile)
    walkRun(w, objd, clusterTable, 0, rdba, length, false);
  else
    walkRun(w, objd, clusterTable, rdbaFile(rdba), rdbaBlock(rdba), length, false);
}

}  // namespace

uint64_t openBlockCount(const BlockContext& bc) {
  uint64_t n = 0;
  const DataFileRegistry& reg = *bc.registry;
  for (uint32_t s = 0; s < reg.count; s++)
    if (reg.slots[s].usable()) n += reg.slots[s].blocks;
  return n;
}

bool findSegmentHeader(RowWalk& w, uint32_t objd, uint32_t file, uint32_t block) {
  BlockContext& bc = w.bc;
  DataFileRegistry& reg = *bc.registry;
  if (block == 0 || (file == 0 && !bc.bigfile)) {
    HeaderSearch s;
    s.objd = objd;
    s.file = file;
    s.threads = bc.threads > 1 && slotsReadInParallel(reg) ? bc.threads : 1;
    s.rangeBlocks = w.headerRangeBlocks;
    return searchSegmentHeader(bc, s).found;
  }
  for (uint32_t s = 0; s < reg.count; s++)
    if (passesFileFilter(bc, reg.slots[s], file)) return readWhole(bc, reg.slots[s].rfn, block) && isSegmentHeaderOf(bc, objd);
  return false;
}

void walkExtentMap(RowWalk& w, uint32_t objd, uint32_t clusterTable) {
  BlockContext& bc = w.bc;
  std::unique_ptr<uint8_t[]> map(new uint8_t[bc.blockSize]);
  memcpy(map.get(), bc.block, bc.blockSize);
  const BlockView v{map.get(), bc.blockSize, bc.byteOrder};
  ChainGuard guard(openBlockCount(bc));
  for (uint64_t maps = 1; hasExtentList(blockType(v)); maps++) {
    const SegmentHeader sh = readSegmentHeader(v);
    const uint32_t count = extentCount(v, sh);
    for (uint32_t i = 0; i < count; i++) expectBlocks(bc, readExtent(v, sh, i).length);
    for (uint32_t i = 0; i < count && belowLimit(bc); i++) {
      const Extent x = readExtent(v, sh, i);
      walkExtent(w, objd, clusterTable, x.rdba, x.length);
    }
    const uint32_t next = sh.nextMap;
    if (next == 0 || !belowLimit(bc)) return;
    // A map chain that comes back to a map already walked would walk forever.
    if (guard.loops(RowAddress{next, 0}) || guard.tooLong(maps)) return;
    if (ReadBlockByRdba(bc, next) != bc.blockSize) return;
    memcpy(map.get(), bc.block, bc.blockSize);
  }
}

namespace {

// Every table block of objd from block 2 on, read in one sequential pass.
void scanSlot(RowWalk& w, uint32_t slot, uint32_t objd, uint32_t clusterTable) {
  const uint32_t blocks = w.bc.registry->slots[slot].blocks;
  if (blocks < 2) return;
  expectBlocks(w.bc, blocks - 1);
  WalkChunk c;
  c.slot = slot;
  c.rfn = w.bc.registry->slots[slot].rfn;
  c.first = 2;
  c.last = blocks;
  c.objd = objd;
  c.clusterTable = clusterTable;
  c.scan = true;
  walkOrSubmit(w, c);
}

}  // namespace

void walkChunk(RowWalk& w, const WalkChunk& c) {
  SlotReader& reader = w.slotReader();
  reader.start(c.slot, c.first, c.last);
  uint32_t number;
  while (belowLimit(w.bc)) {
    const uint8_t* block = reader.next(number);
    if (!block) return;
    WindowBlock in(w.bc, block);
    if (c.scan)
      scanBlock(w, c, number);
    else
      walkRunBlock(w, c, number);
  }
}

void scanObjectBlocks(RowWalk& w, uint32_t objd, uint32_t clusterTable, uint32_t file, uint32_t block) {
  BlockContext& bc = w.bc;
  DataFileRegistry& reg = *bc.registry;
  const bool single = block != 0 && (file != 0 || bc.bigfile);
  for (uint32_t s = 0; s < reg.count && belowLimit(bc); s++) {
    const DataFile& f = reg.slots[s];
    if (!passesFileFilter(bc, f, file)) continue;
    if (single) {
      drainWorkers(w);
      if (!readWhole(bc, f.rfn, block)) continue;
      if (IsBadBlock(bc))
        noteRejected(w, clusterTable, f.rfn, block);
      else if (isDataBlockOf(currentView(bc), objd))
        unloadBlock(w, clusterTable);
      continue;
    }
    scanSlot(w, s, objd, clusterTable);
  }
}

void walkListedExtent(RowWalk& w, uint32_t objd, uint32_t clusterTable, const ExtentRecord& r) {
  BlockContext& bc = w.bc;
  if (r.objd == 0 || (r.file == 0 && !bc.bigfile) || r.first == 0 || r.count == 0) return;
  if (r.first > UINT32_MAX - r.count) return;
  walkRun(w, objd, clusterTable, r.file, r.first, r.count, true);
}

// Blocks the listing names for objd; read ahead only while a progress line
// is drawn (it then shows the time left).
static void expectListed(const BlockContext& bc, std::span<const ExtentRecord> runs) {
  if (!bc.progress || !bc.progress->live()) return;
  for (const ExtentRecord& r : runs) expectBlocks(bc, r.count);
}

void walkExtentListing(RowWalk& w, std::span<const ExtentRecord> runs, uint32_t objd, uint32_t clusterTable) {
  expectListed(w.bc, runs);
  for (const ExtentRecord& r : runs) {
    if (!belowLimit(w.bc)) return;
    walkListedExtent(w, objd, clusterTable, r);
  }
}

}  // namespace bex
