#include "rman/piece_walker.h"

#include "base/block_check.h"
#include "block/block_header.h"

namespace bex {

namespace {

constexpr uint8_t kFlagLimit = 16;

}  // namespace

void PieceWalker::start(uint32_t slot) {
  isOpen_ = false;
  open_ = PieceRun{};
  open_.slot = slot;
  counts_ = PieceCounts{};
}

bool PieceWalker::extends(uint32_t type, uint32_t rdba, uint32_t position) const {
  if (!isOpen_ || !isDataFileBlockType(static_cast<BlockType>(type))) return false;
  if (position != uint64_t{open_.position} + open_.count) return false;
  uint64_t next = uint64_t{open_.first} + open_.count;
  if (rules_.bigfile) return next == rdba;
  return next <= kRdbaBlockMask && makeRdba(open_.file, static_cast<uint32_t>(next)) == rdba;
}

bool PieceWalker::mayStart(const uint8_t* data, uint32_t rdba) {
  const BlockView v{data, rules_.blockSize, rules_.order};
  if (!isDataFileBlockType(blockType(v)) || !plausibleBlockHeader(v, rules_.bigfile) || blockFlag(v) >= kFlagLimit)
    return false;
  if ((rules_.corrupt && rules_.corrupt->holds(rdba)) ||
      (rules_.blockCheck && BlockChecksumTest(data, rules_.blockSize) != 0)) {
    counts_.badBlocks++;
    return false;
  }
  return true;
}

void PieceWalker::close() {
  if (isOpen_) closed_(open_);
  isOpen_ = false;
}

void PieceWalker::block(const uint8_t* data, uint32_t position) {
  counts_.blocks++;
  const BlockView v{data, rules_.blockSize, rules_.order};
  const uint32_t rdba = blockRdba(v);
  if (extends(data[0], rdba, position)) {
    open_.count++;
    counts_.runBlocks++;
    return;
  }
  close();
  if (!mayStart(data, rdba)) return;
  isOpen_ = true;
  open_.file = rules_.bigfile ? 0 : rdbaFile(rdba);
  open_.first = rules_.bigfile ? rdba : rdbaBlock(rdba);
  open_.position = position;
  open_.count = 1;
  counts_.runs++;
  counts_.runBlocks++;
}

void PieceWalker::finish() { close(); }

void walkPiece(SlotReader& reader, PieceWalker& walker, uint32_t slot) {
  walker.start(slot);
  reader.start(slot, 0, UINT32_MAX);
  uint32_t n;
  while (const uint8_t* b = reader.next(n)) walker.block(b, n);
  walker.finish();
}

}  // namespace bex
