// Arbitrary bytes as one walked block and the settings of its unload: the
// row walk hands the rows of the block to the text, CSV or export-dump row
// writer, as UNLOAD does with every block it accepts. The block lives in its
// own exactly-sized heap buffer, so that AddressSanitizer sees any read past
// it by the in-line readers of the walk and the writers.
//
// Input: a settings header of kHeaderSize bytes, then the block (zero-padded
// or cut to the block size).
//   0  bit 0 block size 8192 (else 2048), bit 1 big-endian, bits 2-3 the
//      format (text, text with a LOB file, CSV, export dump), bit 4
//      ROW_ADDRESS, bit 5 chained pieces and LOB blocks are read from a
//      file holding this block at every address (else no file is open),
//      bit 6 DELETED_ROW, bit 7 COMMITED_ONLY
//   1  bits 0-4 columns - 1, bit 5 INDEX prefixes, bit 6 an object unload
//      (positions past the list are UNKNOWN), bit 7 VERBOSE
//   2, 3  field and record tag: bit 7 set, the first (bits 0-2) bytes of
//      the custom tag below; else one of kTags
//   4  bit 0 CLUSTER table 1, bit 1 BLOCK_CHECK
//   5-12, 13-20  custom field and record tags
//   21-52  column types (index into kTypes; bit 7: national character set)
//
// Every walk runs twice, into data sinks of a small and a large buffer: the
// writers' in-place paths depend on the room left in the buffer, the bytes
// written must not. An export dump must read back as one row per row the
// walk counted, each with a value for every column. The in-line column
// reader must agree with the general one.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "datafile/read_cache.h"
#include "datafile/registry.h"
#include "lob/lob_map.h"
#include "lob/lob_reader.h"
#include "unload/dump_output.h"
#include "unload/row_walk.h"
#include "unload/text_row_writer.h"
#include "value/charset.h"
#include "../unload/dump_reader.h"

namespace {

using namespace bex;
using C = ColumnTypeCode;

constexpr size_t kHeaderSize = 53;
constexpr size_t kTypesAt = 21;
constexpr uint32_t kListMax = 32;
constexpr uint64_t kChainBound = 16;
constexpr uint32_t kReadBudget = 64;  // block reads of one walk from the self file

const C kTypes[] = {C::kSkip,         C::kVarchar2,      C::kNumber,       C::kLong,        C::kVarchar,
                    C::kDate,         C::kRaw,           C::kLongRaw,      C::kOpaqueType,  C::kRowid,
                    C::kChar,         C::kBinaryFloat,   C::kBinaryDouble, C::kMlslabel,    C::kOsMlslabel,
                    C::kNarray,       C::kVarray,        C::kRefType,      C::kClob,        C::kBlob,
                    C::kBfile,        C::kCfile,         C::kObjectType,   C::kNestedTableType,
                    C::kVarrayType,   C::kTimestamp,     C::kTimestampTz,  C::kIntervalYm,  C::kIntervalDs,
                    C::kUrowid,       C::kTimestampLtz,  C::kUnknown,      C::kNchar,       C::kNclob};

// Tags as users set them, several of them bytes that values hold.
const char* const kTags[] = {"|", "\r\n", "\n", ",", ";", "\t", "||", "|#|", "<EOFD>", "<EOR>\n", "0", "1",
                             ".", "-", ":", " ", "C1=", "e", "a", "ab", "aa", "\xC1", "\x02", "\"", "x\r"};

// Keeps what it is handed (unless told to drop it); its buffer is exactly
// cap bytes on the heap.
class MemorySink : public Sink {
 public:
  explicit MemorySink(size_t cap, bool keep = true) : MemorySink(new char[cap], cap) { keep_ = keep; }
  ~MemorySink() override { delete[] buffer(); }
  const std::string& text() {
    flush();
    return text_;
  }

 protected:
  bool emit(const char* p, size_t n) override {
    if (keep_) text_.append(p, n);
    return true;
  }

 private:
  MemorySink(char* buf, size_t cap) : Sink(buf, cap) {}
  std::string text_;
  bool keep_ = true;
};

// A data file holding the walked block at every address, for a limited
// number of reads.
class SelfSource : public ByteSource {
 public:
  const uint8_t* block = nullptr;
  uint32_t blockSize = 0;
  uint32_t reads = 0;

  ReadResult read(uint64_t, uint8_t* buf, size_t n) override {
    if (reads >= kReadBudget) return {};
    reads++;
    for (size_t i = 0; i < n; i += blockSize) memcpy(buf + i, block, n - i < blockSize ? n - i : blockSize);
    return {n, false};
  }
  uint64_t size() const override { return uint64_t{1} << 40; }
};

// What the walk reads besides the block: the registry, the read caches, the
// LOB map and reader, the character conversions. Made once.
struct Files {
  DataFileRegistry none, self;
  SelfSource* source;
  ReadCache caches[2];
  DictDirectory dir{"/nonexistent/bex-fuzz-walk"};
  LobMap lobMap{dir};
  Conversions conversions;
  MemorySink console{4096, false};

  Files() {
    auto s = std::make_unique<SelfSource>();
    source = s.get();
    self.slots[0].source = std::move(s);
    self.slots[0].rfn = 0;
    self.slots[0].blocks = 1u << 20;
    self.count = 1;
    self.rebuildHash();
    none.rebuildHash();
    for (ReadCache& c : caches) c.allocate(4 * 8192);
    conversions.openDefaults();
  }
};

struct WalkSettings {
  uint32_t blockSize;
  uint8_t order, format, columns;
  bool rowAddress, selfFile, deletedRow, commitedOnly, indexPrefix, object, verbose, cluster, blockCheck;
  std::string fieldTag, recordTag;
  ColumnSpec types[kListMax];
};

std::string tagOf(const uint8_t* head, uint8_t sel, size_t customAt) {
  if (sel & 0x80) return std::string(reinterpret_cast<const char*>(head + customAt), sel & 7);
  return kTags[sel % (sizeof kTags / sizeof *kTags)];
}

WalkSettings readSettings(const uint8_t* h) {
  WalkSettings s;
  s.blockSize = (h[0] & 1) ? 8192 : 2048;
  s.order = (h[0] >> 1) & 1;
  s.format = (h[0] >> 2) & 3;
  s.rowAddress = h[0] & 0x10;
  s.selfFile = h[0] & 0x20;
  s.deletedRow = h[0] & 0x40;
  s.commitedOnly = h[0] & 0x80;
  s.columns = static_cast<uint8_t>((h[1] & 31) + 1);
  s.indexPrefix = h[1] & 0x20;
  s.object = (h[1] & 0x40) && s.format != 3;  // rows without a dictionary are never a dump
  s.verbose = h[1] & 0x80;
  s.fieldTag = tagOf(h, h[2], 5);
  s.recordTag = tagOf(h, h[3], 13);
  s.cluster = h[4] & 1;
  s.blockCheck = h[4] & 2;
  for (uint32_t i = 0; i < kListMax; i++) {
    s.types[i].type = kTypes[(h[kTypesAt + i] & 0x7F) % (sizeof kTypes / sizeof *kTypes)];
    s.types[i].charsetForm = (h[kTypesAt + i] & 0x80) ? kCharsetFormNational : 0;
  }
  if (s.format == 2) {
    // CSV: records end with a line feed; a separator holding a quote, CR or
    // LF is refused, and "," is the default.
    if (s.fieldTag.empty() || s.fieldTag.find_first_of("\"\r\n") != std::string::npos) s.fieldTag = ",";
    s.recordTag = "\n";
  }
  return s;
}

void setContext(BlockContext& bc, const WalkSettings& s, Files& f, uint8_t* block) {
  bc.blockSize = static_cast<uint16_t>(s.blockSize);
  bc.block = block;
  bc.byteOrder = s.order;
  bc.rowAddress = s.rowAddress;
  bc.bigfile = s.selfFile;  // every address names the one file
  bc.registry = s.selfFile ? &f.self : &f.none;
  bc.cache = &f.caches[0];
  bc.lobCache = &f.caches[1];
  bc.lobMap = &f.lobMap;
  bc.conversions = &f.conversions;
  bc.verbose = s.verbose ? 3 : 0;
  bc.blockCheck = s.blockCheck;
}

std::unique_ptr<UnloadJob> jobFor(const WalkSettings& s) {
  auto job = std::make_unique<UnloadJob>();
  job->columns.count = s.columns;
  for (uint32_t i = 0; i < s.columns; i++) job->columns.column[i] = s.types[i];
  const C fill = s.object ? C::kUnknown : C::kSkip;
  for (uint32_t i = s.columns; i < kMaxSegmentColumns; i++) job->columns.column[i].type = fill;
  job->setFill(fill);
  job->indexPrefix = s.indexPrefix;
  job->tags = RowTags{s.fieldTag, s.recordTag};
  return job;
}

// The walk of the block by the table or index walker, as UNLOAD hands it
// an accepted block.
void walkBlock(RowWalk& w, uint32_t clusterTable) {
  const uint8_t typ = txnTyp(BlockView{w.bc.block, w.bc.blockSize, w.bc.byteOrder});
  if (typ == kTypData)
    unloadTableBlock(w, clusterTable);
  else if (typ == kTypIndex)
    unloadIndexBlock(w);
}

struct Outcome {
  std::string data, lob;
  uint64_t rows;
};

Outcome unload(const WalkSettings& s, Files& f, uint8_t* block, size_t dataBuffer) {
  BlockContext bc;
  setContext(bc, s, f, block);
  f.source->block = block;
  f.source->blockSize = s.blockSize;
  f.source->reads = 0;
  for (ReadCache& c : f.caches) c.empty();
  LobReader lobReader(bc, f.console);
  bc.lobReader = &lobReader;
  std::unique_ptr<UnloadJob> job = jobFor(s);
  MemorySink data(dataBuffer), lobData(4096);
  LobFile lob;
  if (s.format == 1) {
    lob.sink = &lobData;
    strcpy(lob.name, "T.LOB");
  }
  {
    std::unique_ptr<RowWriter> writer;
    if (s.format == 3)
      writer = makeDumpRowWriter(bc, *job, data, lob, f.console, false);
    else if (s.format == 2)
      writer = std::make_unique<CsvRowWriter>(bc, *job, data, lob, f.console, s.columns, s.rowAddress);
    else
      writer = std::make_unique<TextRowWriter>(bc, *job, data, lob, f.console, s.columns, s.rowAddress);
    RowWalk w(bc, f.console, *writer, RowFilters{s.deletedRow, s.commitedOnly}, kChainBound);
    walkBlock(w, s.cluster ? 1 : 0);
  }
  f.console.flush();
  return Outcome{data.text(), lobData.text(), bc.counters->RowCount};
}

// The in-line reader of short columns takes what the general reader takes,
// column by column: read at the pieces of the first rows of each table.
void checkColumnReader(const BlockView& v, uint32_t p, uint32_t cc) {
  ColumnList quick, plain;
  uint32_t pq = p, pp = p;
  const bool ok = readColumns(v, pq, cc, quick);
  bool okPlain = true;
  for (uint32_t i = 0; i < cc && okPlain; i++) okPlain = readColumn(v, pp, plain);
  if (ok != okPlain || pq != pp || quick.count != plain.count || quick.cut != plain.cut) abort();
  for (uint32_t i = 0; i < quick.count; i++)
    if (quick.col[i].offset != plain.col[i].offset || quick.col[i].length != plain.col[i].length) abort();
}

void checkColumnReaders(const WalkSettings& s, const uint8_t* block) {
  const BlockView v{block, s.blockSize, s.order};
  if (txnTyp(v) != kTypData) return;
  const DataHeader h = readDataHeader(v);
  for (uint32_t t = 0; t < h.ntab; t++) {
    const TableRows rows = tableRows(v, h, t);
    for (uint32_t r = 0; r < rows.inBlock && r < 64; r++) {
      const uint32_t p = h.hdsz + tableRowEntry(v, rows, r);
      checkColumnReader(v, p + 3, v.u8(p + 2));  // flag, lock, column count
    }
  }
}

// The dump's rows read back: one per row walked, each with every column.
void checkDump(const WalkSettings& s, const Outcome& o) {
  MemorySink head(4096);
  auto cols = std::make_unique<TableColumns>();
  cols->count = s.columns;
  for (uint32_t i = 0; i < s.columns; i++) cols->column[i] = s.types[i];
  writeDumpTableStart(head, "T", "", *cols, false, 0, 1);
  const std::string dump = head.text() + o.data + "\xFF\xFF";
  const testing::dump::Table t = testing::dump::readTable(dump, 0);
  if (!t.closed || t.end != dump.size() || t.rows.size() != o.rows) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeaderSize) return 0;
  static Files files;
  const WalkSettings s = readSettings(data);
  data += kHeaderSize;
  size -= kHeaderSize;
  std::unique_ptr<uint8_t[]> block(new uint8_t[s.blockSize]());
  memcpy(block.get(), data, size < s.blockSize ? size : s.blockSize);
  const Outcome small = unload(s, files, block.get(), 64);
  const Outcome large = unload(s, files, block.get(), 65536);
  if (small.data != large.data || small.lob != large.lob || small.rows != large.rows) abort();
  if (s.format == 3) checkDump(s, large);
  checkColumnReaders(s, block.get());
  return 0;
}
