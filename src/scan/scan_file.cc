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
#include "base/progress.h"
#include "base/recovery_report.h"

namespace bex {

namespace {

struct DataRun {
  uint32_t objd = 0, first = 0, count = 0;
  uint64_t rows = 0;
};

struct LobRun {
  bool open = false;
  uint32_t objd = 0, page = 0, version = 0, first = 0, count = 0;
  uint8_t lobId[kLobIdBytes] = {0};
};

class RunWriter {
 public:
  RunWriter(Sink& lob, Sink& ext, uint16_t rfn) : lob_(lob), ext_(ext), rfn_(rfn) {}

  void closeData() {
    if (data_.objd && data_.first && data_.count) {
      char* p = ext_.reserve(80);
      int n = snprintf(p, 80, "%u,%u,%u,%u,%llu,\r\n", data_.objd, rfn_, data_.first, data_.count,
                       static_cast<unsigned long long>(data_.rows));
      ext_.commit(static_cast<size_t>(n));
    }
    data_ = DataRun{};
  }
  void closeLob() {
    if (!lob_open()) return;
    char* p = lob_.reserve(128);
    int n = snprintf(p, 128, "%u,", lobRun_.objd);
    static const char kHex[] = "0123456789ABCDEF";
    for (uint8_t byte : lobRun_.lobId) {
      p[n++] = kHex[byte >> 4];
      p[n++] = kHex[byte & 15];
    }
    n += snprintf(p + n, 128 - static_cast<size_t>(n), ",%u,%u,%u,%u,%u,\n", lobRun_.page, lobRun_.version, rfn_,
                  lobRun_.first, lobRun_.count);
    lob_.commit(static_cast<size_t>(n));
    lobRun_ = LobRun{};
  }
  void tableBlock(uint32_t objd, uint32_t block, uint64_t rows, bool bad) {
    closeLob();
    if (bad || objd != data_.objd || data_.count == 0) {
      closeData();
      if (bad) return;
      data_ = {objd, block, 1, rows};
      return;
    }
    data_.count++;
    data_.rows += rows;
  }
  void lobBlock(const LobBlockHeader& h, uint32_t block) {
    if (lobRun_.open && lobRun_.objd == h.objd && lobRun_.page == h.page && lobRun_.version == h.version &&
        memcmp(lobRun_.lobId, h.lobId, kLobIdBytes) == 0) {
      lobRun_.count++;
    } else {
      closeLob();
      lobRun_.open = true;
      lobRun_.objd = h.objd;
      lobRun_.page = h.page;
      lobRun_.version = h.version;
      lobRun_.first = block;
      lobRun_.count = 1;
      memcpy(lobRun_.lobId, h.lobId, kLobIdBytes);
    }
    closeData();
  }
  void otherBlock() {
    closeLob();
    closeData();
  }

 private:
  bool lob_open() const { return lobRun_.open; }
  Sink& lob_;
  Sink& ext_;
  uint16_t rfn_;
  DataRun data_;
  LobRun lobRun_;
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
  ScanNotes(BlockContext& bc, uint32_t rfn) : map_(bc.blockMap), report_(bc.report), rfn_(rfn) {}

  void block(const BlockView& v, uint32_t number, bool bad) {
    if (number > next_) unreadable(next_, number - next_);
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
    if (lastBlock >= next_) unreadable(next_, lastBlock - next_ + 1);
  }

 private:
  void unreadable(uint32_t first, uint32_t count) {
    if (report_) report_->unreadable.add(rfn_, first, count);
    if (map_) map_->noteRange(rfn_, first, count, BlockClass::kUnreadable);
  }

  BlockMap* map_;
  ReportEntry* report_;
  uint32_t rfn_;
  uint32_t next_ = 2;
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

void ScanFile(BlockContext& bc, SlotReader& reader, uint32_t slot, Sink& lobListing, Sink& extentListing,
              uint64_t& errors) {
  const DataFile& f = bc.registry->slots[slot];
  if (f.blocks < 2) return;
  RunWriter runs(lobListing, extentListing, f.rfn);
  ScanNotes notes(bc, f.rfn);
  const uint32_t bs = bc.blockSize;
  const uint8_t order = bc.byteOrder;
  reader.start(slot, 2, f.blocks);
  uint32_t number;
  while (const uint8_t* b = reader.next(number)) {
    bool bad = BlockChecksumTest(b, bs) != 0;
    if (bad) errors++;
    const BlockView v{b, bs, order};
    const BlockType type = blockType(v);
    notes.block(v, number, bad);
    if (type == BlockType::kTransData) {
      const uint64_t rows = bad ? 0 : blockRowCount(b, bs, order);
      if (bc.progress) bc.progress->addRows(rows);
      runs.tableBlock(txnSegObj(v), number, rows, bad);
    } else if (isLobBlock(type)) {
      runs.lobBlock(readLobBlockHeader(v), number);
    } else {
      runs.otherBlock();
    }
  }
  runs.otherBlock();
  notes.end(std::max(f.blocks, f.headerBlocks));
}

}  // namespace bex
