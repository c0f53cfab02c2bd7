// ScanFile: one pass over the blocks of one data file that lists runs of
// table blocks by data object (the extent listing, base/extent_listing.h)
// and runs of LOB blocks by LOB id, page and version (the LOB listing,
// base/lob_listing.h).
#pragma once
#include <cstdint>

#include "block/lob_block.h"
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

// The listings' view of a stretch of blocks in walk order: blocks of one
// table object in a row, LOB blocks of one LOB page version in a row, or a
// break (any other block, or a table block failing the checksum). Replaying
// the segments of consecutive stretches of a file through one
// ListingWriter writes what a walk of the whole file writes.
struct ScanSegment {
  enum class Kind : uint8_t { kTable, kLob, kBreak };
  Kind kind = Kind::kBreak;
  uint32_t objd = 0, first = 0, count = 0;
  uint64_t rows = 0;
  uint32_t page = 0, version = 0;
  uint8_t lobId[kLobIdBytes] = {0};
};

class SegmentSink {
 public:
  virtual void segment(const ScanSegment& s) = 0;

 protected:
  ~SegmentSink() = default;
};

// Writes the runs of one file's segments into the two listings; end()
// closes the open run at the end of the file.
class ListingWriter final : public SegmentSink {
 public:
  ListingWriter(Sink& lob, Sink& ext, uint16_t rfn) : lob_(lob), ext_(ext), rfn_(rfn) {}
  void segment(const ScanSegment& s) override;
  void end() {
    closeLob();
    closeData();
  }

 private:
  void closeData();
  void closeLob();

  Sink& lob_;
  Sink& ext_;
  uint16_t rfn_;
  ScanSegment data_;  // the open table run (count 0: none)
  ScanSegment lobRun_;  // the open LOB run (count 0: none)
};

// Scans blocks [first, last] of the slot into segments, noting each block
// in bc's block map and report (as ScanFile does); blocks up to endBlock
// that could not be read are noted unreadable. Returns the blocks failing
// the checksum.
uint64_t scanStretch(BlockContext& bc, SlotReader& reader, uint32_t slot, uint32_t first, uint32_t last,
                     uint32_t endBlock, SegmentSink& out);

}  // namespace bex
