// forge_lob_table OUTDIR [ROWS [MAXKIB [fixed]]]: the database of bench/run_lob.sh, written
// one block at a time so that memory stays small whatever its size.
//
//   lobtab.dbf  (rfn 6)  table 95000 (ID NUMBER, C CLOB, B BLOB): segment
//                        header at block 2, the rows from block 3 on
//   lobclob.dbf (rfn 7)  the CLOB values: LOB blocks (0x28) of object 95001,
//                        UCS-2 text, one page per block, value after value
//   lobblob.dbf (rfn 8)  the BLOB values: LOB blocks (0x1B) of object 95002
//   lobsys.dbf  (rfn 1)  a SYSTEM file whose dictionary names the table
//                        BENCH.LOBS (ID, C, B), for UNLOAD TABLE
//   lobbench.cfg         the four files for OPEN
//
// Row i's CLOB and BLOB both hold n bytes, n from 10 KiB to MAXKIB (500)
// KiB with most values small (10 + 490 u^10 KiB, u uniform in [0, 1)):
// about 2 GiB of LOB blocks in all for the default 20,000 rows; with the
// word "fixed", every value holds MAXKIB KiB. The locators are case A
// with the page count and the bytes of the last block. Prints the LOB bytes
// of each column.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_system.h"
#include "forge/file_header.h"
#include "forge/lob_block.h"
#include "forge/lob_locator.h"
#include "forge/segment_header.h"
#include "forge/table_block.h"
#include "forge/values.h"

using namespace bex::forge;

namespace {

constexpr uint32_t kBlockSize = 8192, kFirstData = 3, kExtentBlocks = 1024;
constexpr uint16_t kTableRfn = 6, kClobRfn = 7, kBlobRfn = 8;
constexpr uint32_t kTableObjd = 95000, kClobObjd = 95001, kBlobObjd = 95002;
constexpr size_t kTemplateBytes = 1 << 20;
const uint32_t kPayload = lobPayloadSize(kBlockSize);

using File = std::unique_ptr<FILE, int (*)(FILE*)>;

uint64_t splitmix(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// Bytes of row i's values: even, so that UCS-2 text never ends mid-character.
uint32_t valueBytes(uint64_t i, uint32_t maxKiB) {
  const double u = static_cast<double>(splitmix(i) >> 11) / 9007199254740992.0;
  return static_cast<uint32_t>(10 * 1024 + (maxKiB - 10) * 1024.0 * std::pow(u, 10)) & ~1u;
}
uint32_t blocksOf(uint32_t bytes) { return (bytes + kPayload - 1) / kPayload; }

bool put(FILE* f, const ForgeBlock& b) { return fwrite(b.data(), 1, b.size(), f) == b.size(); }

// Blocks 0 and 1 of a file of `last` + 1 blocks.
bool putHeaders(FILE* f, uint16_t rfn, uint32_t last) {
  FileHeaderSpec fh;
  Facts facts;
  return fseek(f, 0, SEEK_SET) == 0 && put(f, buildOsHeader(kBlockSize, ByteOrder::Little, last)) &&
         put(f, buildFileHeader(fh, makeRdba(rfn, 1), rfn, kBlockSize, ByteOrder::Little, last, facts));
}

LobId idOf(uint64_t row, bool blob) { return lobIdOf(0x950000000ull + row * 2 + (blob ? 1 : 0)); }

Bytes locator(uint64_t row, bool blob, uint32_t bytes) {
  LocatorSpec l;
  l.kind = LocatorCase::A;
  l.id = idOf(row, blob);
  l.pages = bytes / kPayload;
  l.lastlen = static_cast<uint16_t>(bytes % kPayload);
  return encodeLocator(l);
}

// The values of one column, row after row, from block 2 of their file.
bool writeLobFile(const std::string& path, uint16_t rfn, uint32_t objd, bool blob, const std::vector<uint32_t>& sizes,
                  const Bytes& text) {
  File f(fopen(path.c_str(), "wb"), &fclose);
  uint32_t last = 1;
  for (uint32_t n : sizes) last += blocksOf(n);
  if (!f || !putHeaders(f.get(), rfn, last)) return false;
  uint32_t block = 2;
  for (uint64_t row = 0; row < sizes.size(); ++row) {
    const uint32_t blocks = blocksOf(sizes[row]);
    for (uint32_t page = 0; page < blocks; ++page, ++block) {
      LobBlockSpec s;
      s.hdr.type = blob ? kLobBlob : kLobClob;
      s.hdr.rdba = makeRdba(rfn, block);
      s.objd = objd;
      s.lobId = idOf(row, blob);
      s.page = page;
      s.version = 1;
      const size_t n = std::min<size_t>(kPayload, sizes[row] - size_t{page} * kPayload);
      const size_t from = ((row * 7919 + page * 104729) * 2) % (text.size() - kPayload);
      s.payload.assign(text.begin() + static_cast<long>(from), text.begin() + static_cast<long>(from + n));
      Facts facts;
      if (!put(f.get(), buildLobBlock(s, kBlockSize, ByteOrder::Little, facts))) return false;
    }
  }
  return true;
}

bool writeTableFile(const std::string& path, const std::vector<uint32_t>& sizes) {
  File f(fopen(path.c_str(), "wb"), &fclose);
  if (!f) return false;
  ForgeBlock zero(kBlockSize, ByteOrder::Little);
  for (uint32_t b = 0; b < kFirstData; b++)
    if (!put(f.get(), zero)) return false;
  const uint32_t room = kBlockSize - 4 - (44 + 2 * 24) - 14 - 4 - 64;
  uint32_t block = kFirstData;
  for (uint64_t row = 0; row < sizes.size();) {
    TableBlockSpec s;
    s.hdr.rdba = makeRdba(kTableRfn, block);
    s.trans.objd = kTableObjd;
    size_t used = 0;
    for (; row < sizes.size(); ++row) {
      TableRow r;
      r.piece.cols = {col(numberInt(static_cast<int64_t>(row + 1))), col(locator(row, false, sizes[row])),
                      col(locator(row, true, sizes[row]))};
      const size_t n = encodeRowPiece(r.piece, ByteOrder::Little).size() + 2;
      if (used + n > room) break;
      used += n;
      s.tables[0].push_back(std::move(r));
    }
    Facts facts;
    if (!put(f.get(), buildTableBlock(s, kBlockSize, ByteOrder::Little, facts))) return false;
    block++;
  }
  const uint32_t last = block - 1;
  SegmentSpec seg;
  seg.hdr.rdba = makeRdba(kTableRfn, 2);
  seg.objd = kTableObjd;
  for (uint32_t b = kFirstData; b <= last; b += kExtentBlocks)
    seg.extents.push_back({makeRdba(kTableRfn, b), std::min(kExtentBlocks, last - b + 1)});
  Facts facts;
  const SegmentBlocks sb = buildSegment(seg, kBlockSize, ByteOrder::Little, facts);
  return putHeaders(f.get(), kTableRfn, last) && put(f.get(), sb.header);
}

// A MiB of UCS-2 text with letters beyond ASCII, as the CLOBs hold; and a
// MiB of bytes for the BLOBs.
Bytes clobTemplate() {
  Bytes t;
  for (uint32_t i = 0; t.size() < kTemplateBytes; ++i)
    appendBytes(t, ucs2be(format("Zeile %u: Grüße aus Köln – Ωμέγα – 東京 € 100; ordinary ASCII text follows. ", i)));
  t.resize(kTemplateBytes);
  return t;
}
Bytes blobTemplate() {
  Bytes t(kTemplateBytes);
  for (size_t i = 0; i < t.size(); ++i) t[i] = static_cast<uint8_t>(splitmix(i / 8) >> (8 * (i % 8)));
  return t;
}

// The SYSTEM file whose dictionary names the table and its columns.
bool writeSystem(const std::string& path) {
  constexpr uint32_t kClobType = 112, kBlobType = 113, kLocatorLength = 86;
  TableDef t;
  t.name = "LOBS", t.objNo = kTableObjd, t.dataObjNo = kTableObjd;
  t.ts = FileHeaderSpec{}.tsNumber, t.rfn = kTableRfn, t.header = 2;
  t.cols = {coldef::num("ID"), coldef::typed("C", kClobType, kLocatorLength),
            coldef::typed("B", kBlobType, kLocatorLength)};
  return writeBenchSystem(path, kBlockSize, t, "forge_lob_table");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 5) {
    fprintf(stderr, "usage: forge_lob_table OUTDIR [ROWS [MAXKIB [fixed]]]\n");
    return 2;
  }
  const std::string dir = argv[1];
  const uint64_t rows = argc >= 3 ? strtoull(argv[2], nullptr, 10) : 20000;
  const uint32_t maxKiB = argc >= 4 ? static_cast<uint32_t>(strtoul(argv[3], nullptr, 10)) : 500;
  const bool fixed = argc == 5 && std::string(argv[4]) == "fixed";
  if (rows == 0 || maxKiB < 10 || maxKiB > 4000000 || (argc == 5 && !fixed)) {
    fprintf(stderr, "forge_lob_table: ROWS from 1, MAXKIB from 10, then only \"fixed\"\n");
    return 2;
  }
  std::vector<uint32_t> sizes(rows);
  uint64_t total = 0;
  for (uint64_t i = 0; i < rows; ++i) total += sizes[i] = fixed ? maxKiB * 1024u : valueBytes(i, maxKiB);
  if (!writeTableFile(dir + "/lobtab.dbf", sizes) ||
      !writeLobFile(dir + "/lobclob.dbf", kClobRfn, kClobObjd, false, sizes, clobTemplate()) ||
      !writeLobFile(dir + "/lobblob.dbf", kBlobRfn, kBlobObjd, true, sizes, blobTemplate()) ||
      !writeSystem(dir + "/lobsys.dbf")) {
    fprintf(stderr, "forge_lob_table: cannot write into %s\n", dir.c_str());
    return 1;
  }
  File cfg(fopen((dir + "/lobbench.cfg").c_str(), "w"), &fclose);
  if (!cfg) return 1;
  for (const char* name : {"lobsys", "lobtab", "lobclob", "lobblob"})
    fprintf(cfg.get(), "%s/%s.dbf\n", dir.c_str(), name);
  printf("%llu rows, object %u; LOB bytes per column: %llu\n", static_cast<unsigned long long>(rows), kTableObjd,
         static_cast<unsigned long long>(total));
  return 0;
}
