// The walk of one backup piece: the piece is read as a sequence of blocks of
// the run's block size, and consecutive data-file blocks, each carrying the
// address of the block after the one before it, make one run.
//
// A block may start a run when its type is one a data file's blocks carry,
// the low four bits of its format byte are 2, its flag byte is below 16,
// its address names a file (any address with BIGFILE), it is not on the
// CORRUPT list and, with BLOCK_CHECK on, its checksum folds to 0. It
// extends the open run when its type is a data-file type, it lies right
// after the run in the piece, and its address is the run's file and next
// block. So the piece's own header and trailer blocks, zeros, and bytes that
// only look like a block at a wrong place start no run and end the one open.
#pragma once
#include <cstdint>
#include <functional>

#include "base/limits.h"
#include "datafile/block_list.h"
#include "datafile/slot_reader.h"
#include "rman/run_listing.h"

namespace bex {

struct PieceRules {
  uint32_t blockSize = kDefaultBlockSize;
  uint8_t order = 0;  // BYTE_ORDER
  bool bigfile = false;
  bool blockCheck = false;
  const BlockList* corrupt = nullptr;
};

struct PieceCounts {
  uint64_t blocks = 0;     // read whole
  uint64_t runBlocks = 0;  // in runs
  uint64_t runs = 0;
  uint64_t badBlocks = 0;  // would have started a run but are on the CORRUPT list or fail the checksum
};

class PieceWalker {
 public:
  // closed is called with every run as it ends.
  PieceWalker(const PieceRules& rules, std::function<void(const PieceRun&)> closed)
      : rules_(rules), closed_(std::move(closed)) {}

  // A new piece; the counts start again.
  void start(uint32_t slot);
  // The next block read whole, at position (in blocks from the piece's start).
  void block(const uint8_t* data, uint32_t position);
  // The end of the piece: closes the open run.
  void finish();
  const PieceCounts& counts() const { return counts_; }

 private:
  bool extends(uint32_t type, uint32_t rdba, uint32_t position) const;
  bool mayStart(const uint8_t* data, uint32_t rdba);
  void close();

  PieceRules rules_;
  std::function<void(const PieceRun&)> closed_;
  PieceRun open_;
  bool isOpen_ = false;
  PieceCounts counts_;
};

// Walks every block of piece slot through reader (its own read-ahead
// window), from position 0 to the end of the piece.
void walkPiece(SlotReader& reader, PieceWalker& walker, uint32_t slot);

}  // namespace bex
