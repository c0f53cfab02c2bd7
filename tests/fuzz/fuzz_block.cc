// Arbitrary bytes as one block: the first two bytes choose the block size
// and byte order, the rest is the block (zero-padded). Every row parser
// walks every table, row and index entry the headers claim, then the dump
// and the summary print the block. The block lives in its own exactly-sized
// heap buffer so that AddressSanitizer sees any read past it.
#include <cstring>
#include <memory>

#include "block/block_dump.h"
#include "block/block_header.h"
#include "block/data_block.h"
#include "block/hex_dump.h"
#include "block/index_block.h"
#include "block/row_piece.h"

namespace {

class NullSink : public bex::Sink {
 public:
  NullSink() : Sink(buf_, sizeof buf_) {}

 protected:
  bool emit(const char*, size_t) override { return true; }

 private:
  char buf_[4096];
};

void parseAll(const bex::BlockView& v) {
  using namespace bex;
  if (blockType(v) != BlockType::kTransData) return;
  ColumnList cols;
  if (txnTyp(v) == kTypIndex) {
    IndexHeader ih = readIndexHeader(v);
    uint32_t n = ih.kdxconro < v.size / 2 ? ih.kdxconro : v.size / 2;
    for (uint32_t e = 0; e < n; e++) {
      cols.clear();
      parseIndexEntry(v, e, cols);
    }
    return;
  }
  DataHeader h = readDataHeader(v);
  // Every row takes a directory entry and a header of three bytes at least,
  // so a block holds fewer than size / 4 rows in all tables together; past
  // that every parse ends at once and the fuzzer need not repeat it.
  uint32_t budget = v.size / 4;
  for (uint32_t t = 0; t < h.ntab && budget > 0; t++) {
    uint32_t n = tableRowCount(v, h, t);
    if (n > budget) n = budget;
    budget -= n;
    // The walk's directory, bounds-tested once, reads what the per-entry
    // tests read.
    const TableRows rows = tableRows(v, h, t);
    const uint32_t first = tableFirstRow(v, h, t);
    for (uint32_t r = 0; r < n; r++) {
      const bool in = r < rows.inBlock;
      if (in != v.has(h.rowDir + 2 * (first + r), 2) || (in && tableRowEntry(v, rows, r) != rowDirEntry(v, h, t, r)))
        __builtin_trap();
      cols.clear();
      parseRowPiece(v, h, t, r, cols);
      cols.clear();
      parseCompressedRow(v, h, t, r, cols);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  static const uint32_t kSizes[] = {2048, 4096, 8192, 16384, 32768};
  const uint8_t selector = data[0];
  const uint8_t order = data[1] & 1;
  const uint32_t bs = kSizes[selector % 5];
  data += 2;
  size -= 2;
  std::unique_ptr<uint8_t[]> block(new uint8_t[bs]());
  memcpy(block.get(), data, size < bs ? size : bs);
  bex::BlockView v{block.get(), bs, order};
  static NullSink out;
  parseAll(v);
  // TRANS_OFFSET / TRANS_COUNT for undo segment headers, from the block.
  bex::blockDump(out, v, static_cast<uint16_t>(block[0] * 16), block[1]);
  bex::blockSummary(out, v, 0, 0);
  if (selector & 0x80) bex::hexDump(out, block.get(), bs);
  return 0;
}
