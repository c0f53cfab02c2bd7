#include "scan/scan_file.h"

#include <algorithm>
#include <cstring>

#include "block/block_header.h"
#include "block/data_block.h"
#include "block/index_block.h"
#include "block/lob_block.h"
#include "datafile/block_reader.h"
#include "datafile/registry.h"
#include "base/block_map.h"
#include "base/extent_listing.h"
#include "base/lob_listing.h"
#include "base/progress.h"
#include "base/recovery_report.h"

namespace bex {

namespace {

// Gathers the blocks of a walk into segments for a SegmentSink.
class SegmentBuilder {
 public:
  explicit SegmentBuilder(SegmentSink& out) : out_(out) {}

  void tableBlock(uint32_t objd, uint32_t block, uint64_t rows) {
    if (cur_.count && cur_.kind == ScanSegment::Kind::kTable && cur_.objd == objd) {
      cur_.count++;
      cur_.rows += rows;
      return;
    }
    flush();
    cur_.kind = ScanSegment::Kind::kTable;
    cur_.objd = objd;
    cur_.first = block;
    cur_.count = 1;
    cur_.rows = rows;
  }
  void lobBlock(const LobBlockHeader& h, uint32_t block) {
    if (cur_.count && cur_.kind == ScanSegment::Kind::kLob && cur_.objd == h.objd && cur_.page == h.page &&
        cur_.version == h.version && memcmp(cur_.lobId, h.lobId, kLobIdBytes) == 0) {
      cur_.count++;
      return;
    }
    flush();
    cur_.kind = ScanSegment::Kind::kLob;
    cur_.objd = h.objd;
    cur_.page = h.page;
    cur_.version = h.version;
    memcpy(cur_.lobId, h.lobId, kLobIdBytes);
    cur_.first = block;
    cur_.count = 1;
  }
  void otherBlock() {
    if (cur_.count && cur_.kind == ScanSegment::Kind::kBreak) return;
    flush();
    cur_.kind = ScanSegment::Kind::kBreak;
    cur_.count = 1;
  }
  void flush() {
    if (cur_.count) out_.segment(cur_);
    cur_.count = 0;
  }

 private:
  SegmentSink& out_;
  ScanSegment cur_;
};

// What the block map calls the block: its class and the object it names
// (a block failing the checksum is of the object its header claims).
BlockClass classOf(const BlockView& v, bool bad, uint32_t& objd) {
  objd = 0;
  BlockClass c = BlockClass::kOther;
  const BlockType type = blockType(v);
  if (type == BlockType::kTransData) {
    objd = txnSegObj(v);
    c = txnTyp(v) == kTypIndex ? BlockClass::kIndex : BlockClass::kTable;
  } else if (isLobBlock(type)) {
    objd = readLobBlockHeader(v).objd;
    c = BlockClass::kLob;
  } else if (isSegmentHeader(type)) {
    objd = dataObjectNumber(v);
    c = BlockClass::kSegmentHeader;
  } else if (typeCode(type) == 0) {
    c = BlockClass::kEmpty;
  }
  return bad ? BlockClass::kChecksum : c;
}

// The scan's notes for the block map and the recovery report: each block's
// class, checksum failures, and blocks that could not be read (a gap the
// reader stepped over, or the end of a file shorter than it says).
class ScanNotes {
 public:
  ScanNotes(BlockContext& bc, const DataFile& f, uint32_t first)
      : map_(bc.blockMap), report_(bc.report), file_(f), blockSize_(bc.blockSize), rfn_(f.rfn), next_(first) {}

  void block(const BlockView& v, uint32_t number, bool bad) {
    if (number > next_) gap(next_, number - next_);
    next_ = number + 1;
    if (!bad && !map_) return;
    uint32_t objd;
    const BlockClass c = classOf(v, bad, objd);
    if (bad && report_) {
      report_->rejected.add(rfn_, number, 1, objd);
      report_->rowsRejected += blockRowCount(v.data, v.size, v.order);
    }
    if (map_) map_->note(rfn_, number, c, objd);
  }
  void end(uint32_t lastBlock) {
    if (lastBlock >= next_) gap(next_, lastBlock - next_ + 1);
  }

 private:
  // Blocks the reader passed over: those in a hole of the file's source
  // were never written (empty), the others could not be read.
  void gap(uint64_t first, uint64_t count) {
    for (uint64_t b = first, end = first + count; b < end;) {
      const HeldBlocks held = nextHeldBlocks(file_, b, blockSize_);
      const uint64_t from = std::min(held.first, end), to = std::min(held.end, end);
      if (from > b && map_) map_->noteRange(rfn_, static_cast<uint32_t>(b), static_cast<uint32_t>(from - b), BlockClass::kEmpty);
      if (to > from) unreadable(static_cast<uint32_t>(from), static_cast<uint32_t>(to - from));
      b = to;
    }
  }
  void unreadable(uint32_t first, uint32_t count) {
    if (report_) report_->unreadable.add(rfn_, first, count);
    if (map_) map_->noteRange(rfn_, first, count, BlockClass::kUnreadable);
  }

  BlockMap* map_;
  ReportEntry* report_;
  const DataFile& file_;
  uint32_t blockSize_;
  uint32_t rfn_;
  uint32_t next_;
};

}  // namespace

uint64_t blockRowCount(const uint8_t* block, uint32_t blockSize, uint8_t order) {
  BlockView v{block, blockSize, order};
  if (blockType(v) != BlockType::kTransData) return 0;
  if (txnTyp(v) == kTypIndex) return readIndexHeader(v).kdxconro;
  if (txnTyp(v) != kTypData) return 0;
  DataHeader h = readDataHeader(v);
  return tableRowCount(v, h, (h.flag & kDataFlagCompressed) ? 1 : 0);
}

void ListingWriter::closeData() {
  if (data_.objd && data_.first && data_.count)
    writeExtentRecord(ext_, ExtentRecord{data_.objd, rfn_, data_.first, data_.count, data_.rows});
  data_.count = 0;
}

void ListingWriter::closeLob() {
  if (!lobRun_.count) return;
  static_assert(kLobIdBytes * 2 == kLobIdDigits);
  writeLobRun(lob_, lobRun_.objd, lobRun_.lobId,
              LobRunFields{lobRun_.page, lobRun_.version, rfn_, lobRun_.first, lobRun_.count});
  lobRun_.count = 0;
}

void ListingWriter::segment(const ScanSegment& s) {
  switch (s.kind) {
    case ScanSegment::Kind::kTable:
      closeLob();
      if (data_.count && s.objd == data_.objd) {
        data_.count += s.count;
        data_.rows += s.rows;
      } else {
        closeData();
        data_ = s;
      }
      break;
    case ScanSegment::Kind::kLob:
      if (lobRun_.count && lobRun_.objd == s.objd && lobRun_.page == s.page && lobRun_.version == s.version &&
          memcmp(lobRun_.lobId, s.lobId, kLobIdBytes) == 0) {
        lobRun_.count += s.count;
      } else {
        closeLob();
        lobRun_ = s;
      }
      closeData();
      break;
    case ScanSegment::Kind::kBreak:
      end();
      break;
  }
}

uint64_t scanStretch(BlockContext& bc, SlotReader& reader, uint32_t slot, uint32_t first, uint32_t last,
                     uint32_t endBlock, SegmentSink& out) {
  const DataFile& f = bc.registry->slots[slot];
  SegmentBuilder segments(out);
  ScanNotes notes(bc, f, first);
  const uint32_t bs = bc.blockSize;
  const uint8_t order = bc.byteOrder;
  uint64_t errors = 0;
  reader.start(slot, first, last);
  uint32_t number;
  uint64_t expected = first;  // a gap the reader stepped over ends the runs: they hold whole stretches
  while (const uint8_t* b = reader.next(number)) {
    if (number != expected) segments.otherBlock();
    expected = static_cast<uint64_t>(number) + 1;
    bool bad = BlockChecksumTest(b, bs) != 0;
    if (bad) errors++;
    const BlockView v{b, bs, order};
    const BlockType type = blockType(v);
    notes.block(v, number, bad);
    if (type == BlockType::kTransData && !bad) {
      const uint64_t rows = blockRowCount(b, bs, order);
      if (bc.progress) bc.progress->addRows(rows);
      segments.tableBlock(txnSegObj(v), number, rows);
    } else if (isLobBlock(type)) {
      segments.lobBlock(readLobBlockHeader(v), number);
    } else {
      segments.otherBlock();
    }
  }
  if (expected <= last) segments.otherBlock();
  segments.flush();
  notes.end(endBlock);
  return errors;
}

void ScanFile(BlockContext& bc, SlotReader& reader, uint32_t slot, Sink& lobListing, Sink& extentListing,
              uint64_t& errors) {
  const DataFile& f = bc.registry->slots[slot];
  if (f.blocks < 2) return;
  ListingWriter runs(lobListing, extentListing, f.rfn);
  errors += scanStretch(bc, reader, slot, 2, f.blocks, std::max(f.blocks, f.headerBlocks), runs);
  runs.end();
}

}  // namespace bex
