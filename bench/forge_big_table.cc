// forge_big_table PATH ROWS [SYSTEM_PATH]: writes one data file (rfn 9, 8 KB
// blocks) with a heap table of object 90001 holding ROWS rows of
//   NUMBER id, VARCHAR2 name, VARCHAR2 note (100-200 bytes), DATE, NUMBER
// behind a segment header at block 2 whose extents of 1024 blocks cover the
// table. Blocks are built and written one at a time, so memory stays small
// whatever the size. Prints the number of blocks and rows written. With
// SYSTEM_PATH, also writes a SYSTEM file (rfn 1) whose dictionary describes
// the table as BENCH.BIG (ID, NAME, NOTE, CREATED, AMOUNT), for the roads
// that need column names.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_system.h"
#include "forge/file_header.h"
#include "forge/segment_header.h"
#include "forge/table_block.h"
#include "forge/values.h"

using namespace bex::forge;

namespace {

constexpr uint16_t kRfn = 9;
constexpr uint32_t kObjd = 90001, kBlockSize = 8192, kFirstData = 8, kExtentBlocks = 1024;

Column date(uint64_t i) {
  const int year = 2000 + static_cast<int>(i % 25), month = 1 + static_cast<int>(i % 12);
  const int day = 1 + static_cast<int>(i % 28), hour = static_cast<int>(i % 24), minute = static_cast<int>(i % 60);
  return col(Bytes{static_cast<uint8_t>(100 + year / 100), static_cast<uint8_t>(100 + year % 100),
                   static_cast<uint8_t>(month), static_cast<uint8_t>(day), static_cast<uint8_t>(hour + 1),
                   static_cast<uint8_t>(minute + 1), static_cast<uint8_t>(i % 60 + 1)});
}

RowPiece row(uint64_t i, const std::string& filler) {
  RowPiece p;
  char name[32];
  snprintf(name, sizeof name, "customer-%08llu", static_cast<unsigned long long>(i));
  const size_t noteLen = 100 + (i * 37) % 101;
  p.cols = {col(numberInt(static_cast<int64_t>(i))), col(name), col(std::string_view(filler).substr(i % 64, noteLen)),
            date(i), i % 17 == 0 ? nullCol() : col(numberInt(static_cast<int64_t>((i * 7919) % 1000000) - 500000))};
  return p;
}

size_t pieceBytes(const RowPiece& p) { return encodeRowPiece(p, ByteOrder::Little).size() + 2; }

bool put(FILE* f, const ForgeBlock& b) { return fwrite(b.data(), 1, b.size(), f) == b.size(); }

constexpr uint32_t kUsersTs = 4;

// The SYSTEM file whose dictionary names the table and its columns.
bool writeSystem(const std::string& path) {
  TableDef t;
  t.name = "BIG", t.objNo = kObjd, t.dataObjNo = kObjd, t.ts = kUsersTs, t.rfn = kRfn;
  t.header = 2;
  t.cols = {coldef::num("ID"), coldef::vc("NAME", 32), coldef::vc("NOTE", 200), coldef::typed("CREATED", 12, 7),
            coldef::num("AMOUNT")};
  return writeBenchSystem(path, kBlockSize, t, "forge_big_table");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    fprintf(stderr, "usage: forge_big_table PATH ROWS [SYSTEM_PATH]\n");
    return 2;
  }
  if (argc == 4 && !writeSystem(argv[3])) return 1;
  const uint64_t rows = strtoull(argv[2], nullptr, 10);
  std::string filler;
  while (filler.size() < 300) filler += "The quick brown fox jumps over the lazy dog; pack my box with five dozen jugs. ";
  // Rows per block: as many as fit after the headers (about 44 on average).
  const uint32_t room = kBlockSize - 4 - (44 + 2 * 24) - 14 - 4 - 64;
  std::vector<std::vector<RowPiece>> blocks;
  uint64_t i = 1;
  std::unique_ptr<FILE, int (*)(FILE*)> f(fopen(argv[1], "wb"), &fclose);
  if (!f) return 1;
  // Blocks 0 to 7: OS header, file header, segment header, then empty.
  // The block count and the extents are known only at the end: write
  // placeholders now and the real ones last.
  ForgeBlock zero(kBlockSize, ByteOrder::Little);
  for (uint32_t b = 0; b < kFirstData; b++)
    if (!put(f.get(), zero)) return 1;
  uint32_t block = kFirstData;
  while (i <= rows) {
    TableBlockSpec s;
    s.hdr.rdba = makeRdba(kRfn, block);
    s.trans.objd = kObjd;
    size_t used = 0;
    while (i <= rows) {
      RowPiece p = row(i, filler);
      const size_t n = pieceBytes(p);
      if (used + n > room) break;
      used += n;
      TableRow r;
      r.piece = std::move(p);
      s.tables[0].push_back(std::move(r));
      i++;
    }
    Facts facts;
    if (!put(f.get(), buildTableBlock(s, kBlockSize, ByteOrder::Little, facts))) return 1;
    block++;
  }
  const uint32_t last = block - 1;
  SegmentSpec seg;
  seg.hdr.rdba = makeRdba(kRfn, 2);
  seg.objd = kObjd;
  for (uint32_t b = kFirstData; b <= last; b += kExtentBlocks)
    seg.extents.push_back({makeRdba(kRfn, b), std::min(kExtentBlocks, last - b + 1)});
  Facts facts;
  SegmentBlocks sb = buildSegment(seg, kBlockSize, ByteOrder::Little, facts);
  FileHeaderSpec fh;
  ForgeBlock header = buildFileHeader(fh, makeRdba(kRfn, 1), kRfn, kBlockSize, ByteOrder::Little, last, facts);
  if (fseek(f.get(), 0, SEEK_SET) != 0 || !put(f.get(), buildOsHeader(kBlockSize, ByteOrder::Little, last)) ||
      !put(f.get(), header) || !put(f.get(), sb.header))
    return 1;
  printf("%u blocks, %llu rows, object %u, file %u\n", last + 1, static_cast<unsigned long long>(rows), kObjd, kRfn);
  return 0;
}
