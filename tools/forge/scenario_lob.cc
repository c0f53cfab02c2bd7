// Scenario "lob": the table MEDIA.LOBCASES (ID NUMBER, C CLOB, B BLOB,
// N NCLOB; data object 74000) whose rows hold LOB locators of every kind,
// the LOB segments behind them, and a dictionary that describes it all.
//
// lob_system01.dbf (rfn 1): the core dictionary (dict_system.h) with user
//   MEDIA (60), the table, and per LOB column its LOB segment
//   SYS_LOB0000074000C0000n$$ and LOB index SYS_IL0000074000C0000n$$
//   (n = INTCOL# 2, 3, 4; objects 74001/74002, 74003/74004, 74005/74006).
// lob_users04.dbf (rfn 4, USERS):
//   2 table segment header, 3.. table blocks, one row per ID in order
//   30, 31, 32 LOB index segment headers of C, B and N
//   40 LOB segment of C (74001, CLOB blocks 0x28), then the segment of B
//      (74003, BLOB blocks 0x1B), then that of N (74005, 0x28), each a
//      header followed by its values' blocks in row order
// lob_users05.dbf (rfn 5): 10-11 chunk blocks of B in row 5, 20 page 1 of
//   C in row 8.
//
// Character LOBs are stored as UCS-2, most significant byte first. P is a
// LOB block's payload (block size - 60, from byte 56), Q a chunk block's
// (block size - 132, from byte 128).
//
//   ID  C (CLOB)                    B (BLOB)                  N (NCLOB)
//   1   A inline                    B inline, n 1, 10 bytes   D inline, 0xFE length
//   2   A out of line, P bytes      B n 2, P + 1 bytes        B n 4, P + 2 bytes
//   3   NULL                        empty (inline, 0 bytes)   zero-length column
//   4   not stored                  not stored                not stored
//   5   E, 2-byte length, 1 entry   E, 3-byte length, entries C: two blocks taken
//                                   of 1 and 2 (wide) blocks  full, 10 zero bytes
//                                   in files 4 and 5          beyond the text
//   6   A, page 0 in versions 1     B n 1, page 0 in versions offline: every block
//       then 2                      3 then 1                  full
//   7   A, page 1 absent (its       A, page 1 absent (its     D, LOB id without
//       block still counts)         block still counts)       blocks: 0 bytes lost
//   8   D, page 1 in file 5         invalid (B with n 3)      B n 0, one block
//   9   A, 5 blocks in pages of 2   A, 3 MiB + 777 bytes in   E, 4-byte length,
//                                   pages of 4 blocks         one wide entry
//
// Next to the data files: lob.BEXEXT.TXT and lob.BEXLOB.TXT, the listings
// SCAN DATABASE writes for lob.cfg. Under expect/ (the character LOBs as
// they come out with SET ICONV_CLOB and ICONV_NCLOB UTF-16BE UTF-8):
//   BEXDICT/             the dictionary files of UNLOAD TABLE DICT$
//   list_MEDIA.txt       LIST TABLE MEDIA
//   rows/MEDIA_LOBCASES_74000.txt and .LOB   the data and LOB file of that
//                        LIST line (default tags)
//   rows/lob.74000.txt and .LOB   the same for UNLOAD OBJECT 74000 COLUMN
//                        NUMBER COLUMN CLOB COLUMN BLOB COLUMN NCLOB
//                        TO lob.74000.txt
//   cases.txt            one line per column value: its case, locator,
//                        the bytes it adds to the LOB file, LOB errors,
//                        where the locator lies in its table block
//   values/ROW.COL       those bytes, one file per value that has any
//   dump/ROW.COL         the bytes the value takes in an export dump's row
//                        stream, one file per value (NULL ones included)
//   lob_pages.txt        the page table a LOB map lookup yields for each
//                        LOB id an out-of-line or offline locator names
//   road.sql, check.sh   the statements of the whole road, and the
//                        comparison of what BEX wrote with the above
#include <algorithm>
#include <array>
#include <cctype>
#include <deque>
#include <map>

#include "forge/dict_system.h"
#include "forge/export_dump.h"
#include "forge/lob_segment.h"
#include "forge/scan_listing.h"
#include "forge/values.h"

namespace bex::forge {

namespace {

using namespace coldef;

constexpr uint32_t kMedia = 60, kUsersTs = 4;
constexpr uint16_t kRfn4 = 4, kRfn5 = 5;
constexpr uint32_t kTableObj = 74000, kTableHeader = 2, kMaxTableBlocks = 27;
constexpr uint32_t kIndexHeaders = 30, kFirstLobSegment = 40;
constexpr uint32_t kRows = 9;
constexpr const char* kDataFile = "MEDIA_LOBCASES_74000.txt";
constexpr const char* kObjectFile = "lob.74000.txt";

enum LobColumn : size_t { kC, kB, kN };
struct LobColumnDef {
  const char* name;
  const char* type;
  uint32_t intCol, lobObj, indexObj;
  uint8_t blockType;
};
constexpr LobColumnDef kLobColumns[3] = {{"C", "CLOB", 2, 74001, 74002, kLobClob},
                                         {"B", "BLOB", 3, 74003, 74004, kLobBlob},
                                         {"N", "NCLOB", 4, 74005, 74006, kLobClob}};

bool isChar(size_t column) { return column != kB; }

// How an export dump carries a value: the NULL marker alone, the inline
// bytes as one piece, or the blocks read, one piece per block (each block
// holds one LOB payload of the value, or one chunk payload).
enum class DumpShape : uint8_t { NullMarker, Inline, LobBlocks, ChunkBlocks };

// One LOB column value: what the row stores and what a correct reader makes
// of it.
struct Cell {
  std::string name;       // the case, as cases.txt names it
  Column stored;
  bool present = true;    // false: the row ends before this column
  bool nullRef = false;   // the reference says -1 and the LOB file gets only the tag
  Bytes out;              // bytes the reader writes, before character conversion
  uint32_t errors = 0;    // LOB errors the value counts
  std::string console;    // a line the reader prints for it
  DumpShape dump = DumpShape::NullMarker;
};

// The bytes the LOB file holds for the value.
Bytes fileBytes(const Cell& c, size_t column) { return isChar(column) ? bytesOf(utf8OfUcs2be(c.out)) : c.out; }

Bytes blobBytes(size_t n, uint32_t seed) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 7 + seed * 31 + (i >> 9));
  return b;
}

// `bytes` bytes (even) of UCS-2 text: numbered phrases with letters beyond
// ASCII (Latin, Greek, CJK, the euro sign).
Bytes clobText(size_t bytes, uint32_t seed) {
  Bytes u;
  for (uint32_t i = 0; u.size() < bytes; ++i)
    appendBytes(u, ucs2be(format("%u.%u Grüße – Ωμέγα 東京 € ", seed, i)));
  u.resize(bytes);
  return u;
}

Bytes zeros(size_t n) { return Bytes(n, 0); }
Bytes joined(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const Bytes& p : parts) appendBytes(b, p);
  return b;
}

struct Build {
  ScenarioOut& out;
  ForgeFile system, users4, users5;
  std::array<std::array<Cell, 3>, kRows> cells;  // [row][column]
  std::array<uint32_t, 3> lobHeaders{};          // LOB segment header blocks in file 4
  SegmentPlace table;                             // the table's header and blocks in file 4
  std::vector<DumpColumn> positions;              // the table's positions in an export dump
  // The current runs of each page of each LOB id an out-of-line or offline
  // locator names, in the order the locators name them.
  std::deque<std::pair<LobId, std::map<uint32_t, LobRun>>> pageTables;
  std::string error;

  Build(ScenarioOut& o, FileSpec sys, FileSpec f4, FileSpec f5)
      : out(o), system(std::move(sys)), users4(std::move(f4)), users5(std::move(f5)) {}

  std::map<uint32_t, LobRun>& pagesOf(const LobId& id) {
    pageTables.push_back({id, {}});
    return pageTables.back().second;
  }
};

LobId idOf(uint32_t row, size_t column) { return lobIdOf(0x740000 + row * 16 + column); }

Cell cell(const std::string& name, const LocatorSpec& l, Bytes out, uint32_t errors = 0) {
  Cell c;
  c.name = name;
  c.stored = col(encodeLocator(l));
  c.out = std::move(out);
  c.errors = errors;
  c.dump = l.inlineData ? DumpShape::Inline : l.kind == LocatorCase::E ? DumpShape::ChunkBlocks : DumpShape::LobBlocks;
  return c;
}

Cell nullCell(const std::string& name, Column stored, bool present = true) {
  Cell c;
  c.name = name;
  c.stored = std::move(stored);
  c.present = present;
  c.nullRef = true;
  return c;
}

LocatorSpec inlined(LocatorCase kind, const LobId& id, const Bytes& data, uint8_t width = 0) {
  LocatorSpec l;
  l.kind = kind, l.id = id, l.width = width, l.lastlen = static_cast<uint16_t>(data.size());
  l.inlineData = true, l.data = data;
  return l;
}

// An out-of-line locator for `size` bytes: the full blocks and the bytes
// of the last one.
LocatorSpec outOfLine(LocatorCase kind, const LobId& id, size_t size, uint32_t payload, uint8_t width = 0) {
  LocatorSpec l;
  l.kind = kind, l.id = id, l.width = width;
  l.pages = static_cast<uint32_t>(size / payload);
  l.lastlen = static_cast<uint16_t>(size % payload);
  return l;
}

LocatorSpec chunkList(const LobId& id, uint8_t lengthWidth, uint8_t countWidth, size_t size,
                      std::vector<ChunkRun> runs) {
  LocatorSpec l;
  l.kind = LocatorCase::E, l.id = id, l.width = lengthWidth, l.countWidth = countWidth;
  l.total = static_cast<uint32_t>(size);
  l.chunks = std::move(runs);
  return l;
}

// The value v in pages 0, 1, ... of `perPage` blocks each, version 1, all
// current.
void pages(Build& b, LobSegment& s, const LobId& id, const Bytes& v, uint32_t perPage = 1) {
  auto& table = b.pagesOf(id);
  const uint32_t p = s.payload();
  const uint32_t blocks = static_cast<uint32_t>((v.size() + p - 1) / p);
  for (uint32_t first = 0, page = 0; first < blocks; first += perPage, ++page) {
    const uint32_t n = std::min(perPage, blocks - first);
    table[page] = s.page(id, page, 1, slice(v, size_t{first} * p, size_t{n} * p), n);
  }
}

// ---- the values of each column --------------------------------------

void clobColumn(Build& b, LobSegment& s) {
  const uint32_t p = s.payload(), q = s.chunkPayload();
  auto& c = b.cells;
  const Bytes hello = ucs2be("Hello, wörld – 你好 (case A, inline)");
  c[0][kC] = cell("A-inline", inlined(LocatorCase::A, idOf(1, kC), hello), hello);

  const Bytes one = clobText(p, 2);
  LocatorSpec a = outOfLine(LocatorCase::A, idOf(2, kC), one.size(), p);
  a.f = 0x05;
  pages(b, s, a.id, one);
  c[1][kC] = cell("A-one-payload", a, one);

  c[2][kC] = nullCell("null", nullCol());
  c[3][kC] = nullCell("not-stored", nullCol(), false);

  const Bytes chunked = clobText(q + 100, 5);
  const ChunkRun run = s.chunks(chunked, 2);
  c[4][kC] = cell("E-chunks", chunkList(idOf(5, kC), 2, 1, chunked.size(), {run}), chunked);

  // Page 0 rewritten: version 1 stays in the block before, version 2 follows.
  const Bytes twice = clobText(p + 400, 6);
  const LobId twiceId = idOf(6, kC);
  auto& twiceTable = b.pagesOf(twiceId);
  s.page(twiceId, 0, 1, clobText(p, 66));
  twiceTable[1] = s.page(twiceId, 1, 1, slice(twice, p, p));
  twiceTable[0] = s.page(twiceId, 0, 2, slice(twice, 0, p));
  c[5][kC] = cell("A-two-versions", outOfLine(LocatorCase::A, twiceId, twice.size(), p), twice);

  // Page 1 lost: the missing page's block still counts, so page 2's block
  // is the last one and gives its 600 bytes only (as for a BLOB).
  const Bytes gap = clobText(2 * p + 600, 7);
  const LobId gapId = idOf(7, kC);
  auto& gapTable = b.pagesOf(gapId);
  gapTable[0] = s.page(gapId, 0, 1, slice(gap, 0, p));
  gapTable[2] = s.page(gapId, 2, 1, slice(gap, 2 * p, p));
  c[6][kC] = cell("A-absent-page", outOfLine(LocatorCase::A, gapId, gap.size(), p),
                  joined({slice(gap, 0, p), slice(gap, 2 * p, 600)}), 1);

  const Bytes split = clobText(p + 800, 8);
  const LobId splitId = idOf(8, kC);
  auto& splitTable = b.pagesOf(splitId);
  splitTable[0] = s.page(splitId, 0, 1, slice(split, 0, p));
  splitTable[1] = s.pageIn(b.users5, 20, splitId, 1, 1, slice(split, p, p));
  c[7][kC] = cell("D-two-files", outOfLine(LocatorCase::D, splitId, split.size(), p), split);

  const Bytes longer = clobText(4 * p + 66, 9);
  pages(b, s, idOf(9, kC), longer, 2);
  c[8][kC] = cell("A-pages-of-2-blocks", outOfLine(LocatorCase::A, idOf(9, kC), longer.size(), p), longer);
}

void blobColumn(Build& b, LobSegment& s) {
  const uint32_t p = s.payload(), q = s.chunkPayload();
  auto& c = b.cells;
  const Bytes ten = {0x00, 0x01, 0x0d, 0x0a, 0x7c, 0xff, 0x80, 0x41, 0x42, 0x43};
  c[0][kB] = cell("B1-inline", inlined(LocatorCase::B, idOf(1, kB), ten, 1), ten);

  const Bytes more = blobBytes(p + 1, 2);
  pages(b, s, idOf(2, kB), more);
  c[1][kB] = cell("B2-one-payload-and-a-byte", outOfLine(LocatorCase::B, idOf(2, kB), more.size(), p, 2), more);

  c[2][kB] = cell("A-empty", inlined(LocatorCase::A, idOf(3, kB), {}), {});
  c[3][kB] = nullCell("not-stored", nullCol(), false);

  const Bytes chunked = blobBytes(2 * q + 7, 5);
  const ChunkRun here = s.chunks(chunked, 1);
  const ChunkRun there = s.chunksIn(b.users5, 10, slice(chunked, q, 2 * q), 2, true);
  c[4][kB] = cell("E-chunks-two-files", chunkList(idOf(5, kB), 3, 2, chunked.size(), {here, there}), chunked);

  // Version 3 of page 0 lies before the older version 1.
  const Bytes twice = blobBytes(p + 500, 6);
  const LobId twiceId = idOf(6, kB);
  auto& twiceTable = b.pagesOf(twiceId);
  twiceTable[0] = s.page(twiceId, 0, 3, slice(twice, 0, p));
  twiceTable[1] = s.page(twiceId, 1, 2, slice(twice, p, p));
  s.page(twiceId, 0, 1, blobBytes(p, 66));
  c[5][kB] = cell("B1-two-versions", outOfLine(LocatorCase::B, twiceId, twice.size(), p, 1), twice);

  // Page 1 lost: a BLOB counts the missing page's block, so page 2's block
  // is the last one and gives its bytes only.
  const Bytes gap = blobBytes(2 * p + 600, 7);
  const LobId gapId = idOf(7, kB);
  auto& gapTable = b.pagesOf(gapId);
  gapTable[0] = s.page(gapId, 0, 1, slice(gap, 0, p));
  gapTable[2] = s.page(gapId, 2, 1, slice(gap, 2 * p, p));
  c[6][kB] = cell("A-absent-page", outOfLine(LocatorCase::A, gapId, gap.size(), p),
                  joined({slice(gap, 0, p), slice(gap, 2 * p, p)}), 1);

  LocatorSpec bad = outOfLine(LocatorCase::B, idOf(8, kB), p + 9, p, 3);
  Cell invalid = cell("B3-invalid", bad, {}, 1);
  std::string h = hex(invalid.stored.bytes);
  for (char& ch : h) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  invalid.console = "Invalid BLOB: " + h;
  invalid.dump = DumpShape::NullMarker;
  c[7][kB] = invalid;

  const Bytes big = blobBytes(3 * 1024 * 1024 + 777, 9);
  pages(b, s, idOf(9, kB), big, 4);
  c[8][kB] = cell("A-3MiB-pages-of-4-blocks", outOfLine(LocatorCase::A, idOf(9, kB), big.size(), p), big);
}

void nclobColumn(Build& b, LobSegment& s) {
  const uint32_t p = s.payload(), q = s.chunkPayload();
  auto& c = b.cells;
  const Bytes longInline = clobText(300, 1);
  c[0][kN] = cell("D-inline", inlined(LocatorCase::D, idOf(1, kN), longInline), longInline);

  const Bytes more = clobText(p + 2, 2);
  pages(b, s, idOf(2, kN), more);
  c[1][kN] = cell("B4-one-payload-and-a-character", outOfLine(LocatorCase::B, idOf(2, kN), more.size(), p, 4),
                  more);

  c[2][kN] = nullCell("zero-length", col(Bytes{}));
  c[3][kN] = nullCell("not-stored", nullCol(), false);

  // Case C gives no sizes: both blocks come out whole.
  const Bytes full = clobText(2 * p - 10, 5);
  pages(b, s, idOf(5, kN), full);
  LocatorSpec caseC;
  caseC.kind = LocatorCase::C, caseC.id = idOf(5, kN);
  c[4][kN] = cell("C-blocks-full", caseC, joined({full, zeros(10)}));

  const Bytes offline = clobText(p + 300, 6);
  pages(b, s, idOf(6, kN), offline);
  LocatorSpec off;
  off.kind = LocatorCase::Offline, off.id = idOf(6, kN);
  c[5][kN] = cell("offline", off, joined({offline, zeros(p - 300)}));

  b.pagesOf(idOf(7, kN));
  // 100 bytes that no block holds: lost, and counted.
  c[6][kN] = cell("D-no-blocks", outOfLine(LocatorCase::D, idOf(7, kN), 100, p), {}, 1);
  c[6][kN].dump = DumpShape::NullMarker;  // no chunk at all, unlike chunks that could not be read

  const Bytes small = clobText(1000, 8);
  pages(b, s, idOf(8, kN), small);
  c[7][kN] = cell("B0-one-block", outOfLine(LocatorCase::B, idOf(8, kN), small.size(), p, 0), small);

  const Bytes chunked = clobText(2 * q + 50, 9);
  const ChunkRun run = s.chunks(chunked, 3, true);
  c[8][kN] = cell("E-wide-entry", chunkList(idOf(9, kN), 4, 4, chunked.size(), {run}), chunked);
}

// ---- the table, its segments and its dictionary ---------------------

bool placeLobs(Build& b) {
  LobSegment clobs(b.users4, kFirstLobSegment, kLobColumns[kC].lobObj, kLobColumns[kC].blockType);
  clobColumn(b, clobs);
  clobs.finish();
  b.lobHeaders[kC] = clobs.header();
  LobSegment blobs(b.users4, clobs.end(), kLobColumns[kB].lobObj, kLobColumns[kB].blockType);
  blobColumn(b, blobs);
  blobs.finish();
  b.lobHeaders[kB] = blobs.header();
  LobSegment nclobs(b.users4, blobs.end(), kLobColumns[kN].lobObj, kLobColumns[kN].blockType);
  nclobColumn(b, nclobs);
  nclobs.finish();
  b.lobHeaders[kN] = nclobs.header();
  for (const auto& row : b.cells)
    for (size_t k = 0; k < 3; ++k)
      if (isChar(k) && row[k].out.size() % 2) {
        b.error = "odd UCS-2 value " + row[k].name;
        return false;
      }
  return true;
}

std::vector<Row> tableRows(const Build& b) {
  std::vector<Row> rows;
  for (uint32_t r = 0; r < kRows; ++r) {
    Row row = {vnum(r + 1)};
    for (const Cell& c : b.cells[r])
      if (c.present) row.push_back(Val{c.stored, ""});
    rows.push_back(row);
  }
  return rows;
}

std::string lobSegmentName(const char* kind, const LobColumnDef& c) {
  return format("SYS_%s%010uC%05u$$", kind, kTableObj, c.intCol);
}

bool placeTableAndDictionary(Build& b, DictScan& scan) {
  Catalog cat;
  cat.users = {{kSysUser, "SYS", 1, "8A8F025737A9097A"}, {1, "PUBLIC", 0, ""}, {kMedia, "MEDIA", 1, "3C4E7A1B9D2F6051"}};
  TableDef t;
  t.owner = kMedia, t.name = "LOBCASES", t.objNo = kTableObj, t.dataObjNo = kTableObj, t.ts = kUsersTs;
  t.rfn = kRfn4;
  t.cols = {num("ID", {}, {}, true), text("C", 112, 4000), typed("B", 113, 4000), text("N", 112, 4000, 2)};
  t.rows = tableRows(b);
  b.positions = dumpColumns(t);
  SegmentPlace place;
  if (!placeHeap(b.users4, kTableObj, kTableHeader, kMaxTableBlocks, t.rows, place, b.error)) return false;
  b.table = place;
  t.header = place.header;
  cat.tables.push_back(t);
  uint32_t indexHeader = kIndexHeaders;
  for (size_t k = 0; k < 3; ++k) {
    const LobColumnDef& c = kLobColumns[k];
    ObjectDef lob = objectDef(kMedia, lobSegmentName("LOB", c), c.lobObj, kObjTypeLob);
    lob.dataObjNo = c.lobObj, lob.ts = kUsersTs, lob.rfn = kRfn4;
    ObjectDef index = objectDef(kMedia, lobSegmentName("IL", c), c.indexObj, kObjTypeIndex);
    index.dataObjNo = c.indexObj, index.baseObjNo = kTableObj, index.ts = kUsersTs, index.rfn = kRfn4;
    index.header = indexHeader++;
    SegmentSpec s;
    s.objd = c.indexObj;
    s.extents = {{b.users4.rdba(index.header), 1}};
    b.users4.addSegment(index.header, s);
    cat.objects.insert(cat.objects.end(), {lob, index});
    b.out.note(format("column %s (%s, INTCOL# %u): LOB segment %s (data object %u, header %u/%u), LOB index %s "
                      "(data object %u, header %u/%u, the address UNLOAD TABLE takes from the dictionary)",
                      c.name, c.type, c.intCol, lob.name.c_str(), c.lobObj, kRfn4, b.lobHeaders[k],
                      index.name.c_str(), c.indexObj, kRfn4, index.header));
  }
  return placeDictionary(b.system, cat, scan, b.error);
}

// ---- what a correct BEX writes --------------------------------------

struct Unloaded {
  std::string data, lob;
};

// Default tags; a LOB file is open, so the columns a row does not store get
// references to a NULL value.
Unloaded renderUnload(const Build& b, const std::string& dataFile) {
  const std::string lobName = dataFile.substr(0, dataFile.rfind('.') + 1) + "LOB";
  Unloaded u;
  for (uint32_t r = 0; r < kRows; ++r) {
    u.data += std::to_string(r + 1);
    for (size_t k = 0; k < 3; ++k) {
      const Cell& c = b.cells[r][k];
      const size_t start = u.lob.size() + 1;
      if (c.nullRef) {
        u.data += format("|%s.%zu.-1/", lobName.c_str(), start);
      } else {
        const Bytes bytes = fileBytes(c, k);
        u.data += format("|%s.%zu.%zu/", lobName.c_str(), start, bytes.size());
        u.lob.append(bytes.begin(), bytes.end());
      }
      u.lob += "\r\n";
    }
    u.data += "\r\n";
  }
  return u;
}

bool writeRows(Build& b, const std::string& dataFile) {
  const Unloaded u = renderUnload(b, dataFile);
  const std::string dir = b.out.path("expect/rows/");
  const std::string lobFile = dataFile.substr(0, dataFile.rfind('.') + 1) + "LOB";
  return writeTextFile(dir + dataFile, u.data, b.error) && writeTextFile(dir + lobFile, u.lob, b.error);
}

// Where the row stores the locator: " at=RFN/BLOCK+OFFSET" in its table
// block, or nothing for a value with no bytes. Each locator carries its own
// LOB id, so its bytes occur once in the table's blocks.
std::string placeOf(const Build& b, const Cell& c) {
  const Bytes& v = c.stored.bytes;
  if (!c.present || c.stored.null || v.empty()) return "";
  for (uint32_t n = b.table.header + 1; n <= b.table.header + b.table.blocks; ++n) {
    const ForgeBlock* block = b.users4.block(n);
    if (!block) continue;
    const uint8_t* end = block->data() + block->size();
    const uint8_t* at = std::search(block->data(), end, v.begin(), v.end());
    if (at != end) return format(" at=%u/%u+%zu", kRfn4, n, static_cast<size_t>(at - block->data()));
  }
  return "";
}

// The value in an export dump's row stream: the inline bytes of 1 to 4000
// as one piece (character data converted), other inline values as NULL;
// a value in blocks as one piece per block (each block holds one LOB
// payload of the value, or one chunk payload), or one blank piece when no
// block gave any.
DumpCell dumpCellOf(const Cell& c, size_t column, uint32_t blockSize) {
  auto converted = [&](const Bytes& stored) { return isChar(column) ? bytesOf(utf8OfUcs2be(stored)) : stored; };
  switch (c.dump) {
    case DumpShape::NullMarker: break;
    case DumpShape::Inline:
      if (!c.out.empty() && c.out.size() <= 4000) return DumpCell{DumpCell::Value, {converted(c.out)}};
      break;
    case DumpShape::LobBlocks:
    case DumpShape::ChunkBlocks: {
      const uint32_t unit =
          c.dump == DumpShape::LobBlocks ? lobPayloadSize(blockSize) : lobChunkPayloadSize(blockSize);
      std::vector<Bytes> parts;
      for (size_t at = 0; at < c.out.size(); at += unit) parts.push_back(converted(slice(c.out, at, unit)));
      if (parts.empty()) parts.push_back(bytesOf(" "));  // the blank as it is, not converted
      return dumpPieces(parts);
    }
  }
  return dumpNull();
}

bool writeCases(Build& b) {
  std::string text =
      "# One line per LOB column value of MEDIA.LOBCASES, in the order an unload meets them:\n"
      "#   case ID COLUMN TYPE NAME locator=HEX|null|zero-length|not-stored written=N errors=N [at=R/B+OFFSET]\n"
      "# written: the bytes the value adds to the LOB file before its record tag (-1: a NULL\n"
      "# reference, only the tag), CLOB and NCLOB converted from UTF-16BE to UTF-8; they are\n"
      "# the file values/ID.COLUMN. errors: the LOB errors the value counts. at: where the\n"
      "# locator's first byte lies in its table block. dump/ID.COLUMN holds the bytes the\n"
      "# value takes in an export dump's row stream (CLOB and NCLOB converted the same way).\n"
      "#   console ID COLUMN TEXT   a line the reader prints for the value\n";
  uint32_t errors = 0;
  for (uint32_t r = 0; r < kRows; ++r) {
    for (size_t k = 0; k < 3; ++k) {
      const Cell& c = b.cells[r][k];
      std::string locator;
      if (!c.present) locator = "not-stored";
      else if (c.stored.null) locator = "null";
      else if (c.stored.bytes.empty()) locator = "zero-length";
      else locator = hex(c.stored.bytes);
      const Bytes bytes = fileBytes(c, k);
      text += format("case %u %s %s %s locator=%s written=%lld errors=%u%s\n", r + 1, kLobColumns[k].name,
                     kLobColumns[k].type, c.name.c_str(), locator.c_str(),
                     c.nullRef ? -1LL : static_cast<long long>(bytes.size()), c.errors, placeOf(b, c).c_str());
      if (!c.console.empty()) text += format("console %u %s %s\n", r + 1, kLobColumns[k].name, c.console.c_str());
      errors += c.errors;
      const std::string cellName = format("%u.%s", r + 1, kLobColumns[k].name);
      if (!c.nullRef && !writeTextFile(b.out.path("expect/values/" + cellName), std::string(bytes.begin(), bytes.end()),
                                       b.error))
        return false;
      const Bytes dump = encodeDumpCell(dumpCellOf(c, k, b.out.options().blockSize));
      if (!writeTextFile(b.out.path("expect/dump/" + cellName), std::string(dump.begin(), dump.end()), b.error))
        return false;
    }
  }
  b.out.note(format("an UNLOAD of MEDIA.LOBCASES writes %u rows and counts %u LOB errors", kRows, errors));
  return writeTextFile(b.out.path("expect/cases.txt"), text, b.error);
}

// The export dump of the table (ICONV_CLOB and ICONV_NCLOB UTF-16BE UTF-8,
// after SCAN DATABASE).
bool writeDump(Build& b) {
  ExpectedDump d;
  d.user = "MEDIA", d.target = "LOBCASES", d.objd = kTableObj, d.columns = b.positions;
  for (uint32_t r = 0; r < kRows; ++r) {
    DumpRow row = {dumpValue(vnum(r + 1).col)};
    for (size_t k = 0; k < 3; ++k) row.push_back(dumpCellOf(b.cells[r][k], k, b.out.options().blockSize));
    d.rows.push_back(row);
  }
  const std::string file = format("MEDIA_LOBCASES_%u.dmp", kTableObj);
  DumpKinds kinds(b.out);
  for (const char* s : {"SET ICONV_CLOB UTF-16BE UTF-8", "SET ICONV_NCLOB UTF-16BE UTF-8", "SCAN DATABASE",
                        "UNLOAD TABLE DICT$;"})
    kinds.setup(s);
  kinds.kind("lobs", file, {format("UNLOAD TABLE MEDIA.LOBCASES OBJECT %u TO %s;", kTableObj, file.c_str())});
  const std::string dir = b.out.path("expect/dump/");
  return writeExpectedDump(dir, file, d, b.error) && kinds.write(dir, b.error);
}

bool writePageTables(Build& b) {
  std::string text =
      "# The page table a LOB map lookup yields for each LOB id an out-of-line or offline\n"
      "# locator names (after SCAN DATABASE), in the order the locators name them:\n"
      "#   lob LOBID pagecount=N\n"
      "#   page LOBID PAGE rfn=N first=N count=N version=N   (absent pages: no line)\n";
  for (const auto& [id, table] : b.pageTables) {
    const uint32_t count = table.empty() ? 0 : table.rbegin()->first + 1;
    text += format("lob %s pagecount=%u\n", lobIdText(id).c_str(), count);
    for (const auto& [page, run] : table)
      text += format("page %s %u rfn=%u first=%u count=%u version=%u\n", lobIdText(id).c_str(), page, run.rfn,
                     run.first, run.count, run.version);
  }
  return writeTextFile(b.out.path("expect/lob_pages.txt"), text, b.error);
}

bool writeRoad(Build& b) {
  const ScenarioOptions& o = b.out.options();
  std::string road = "REM The LOB road on the forged files; run bex in the directory the scenario was forged into.\n";
  if (o.order == ByteOrder::Big) road += "SET BYTE_ORDER BIG\n";
  if (o.blockSize != 8192) road += format("SET BLOCK_SIZE %u\n", o.blockSize);
  road +=
      "SET ICONV_CLOB UTF-16BE UTF-8\n"
      "SET ICONV_NCLOB UTF-16BE UTF-8\n"
      "OPEN lob.cfg\n"
      "SCAN DATABASE\n"
      "! sh expect/check.sh scan\n"
      "UNLOAD TABLE DICT$;\n"
      "! sh expect/check.sh dict\n"
      "LIST TABLE MEDIA TO media.sql\n"
      "! cmp media.sql expect/list_MEDIA.txt && echo LIST TABLE MEDIA as forged\n"
      "@media.sql\n"
      "UNLOAD OBJECT 74000 COLUMN NUMBER COLUMN CLOB COLUMN BLOB COLUMN NCLOB TO lob.74000.txt;\n"
      "! sh expect/check.sh rows\n"
      "EXIT\n";
  const std::string check =
      "#!/bin/sh\n"
      "# Compares what BEX wrote with what the forged files hold: \"check.sh scan\" the\n"
      "# listings of SCAN DATABASE, \"check.sh dict\" the dictionary files, \"check.sh rows\"\n"
      "# the data and LOB files of UNLOAD TABLE MEDIA.LOBCASES and UNLOAD OBJECT 74000.\n"
      "# Exits 1 when any file differs.\n"
      "cd \"$(dirname \"$0\")/..\"\n"
      "status=0\n"
      "same() { if cmp -s \"$1\" \"$2\"; then echo \"$2 same\"; else echo \"$2 DIFFERS\"; status=1; fi; }\n"
      "scan() { same lob.BEXEXT.TXT BEXDICT/BEXEXT.TXT; same lob.BEXLOB.TXT BEXDICT/BEXLOB.TXT; }\n"
      "dict() {\n"
      "  n=0\n"
      "  for f in expect/BEXDICT/*; do\n"
      "    if cmp -s \"$f\" \"BEXDICT/${f##*/}\"; then n=$((n + 1)); else echo \"BEXDICT/${f##*/} DIFFERS\"; status=1; fi\n"
      "  done\n"
      "  echo \"$n dictionary files same\"\n"
      "}\n"
      "rows() {\n"
      "  for f in MEDIA_LOBCASES_74000.txt MEDIA_LOBCASES_74000.LOB lob.74000.txt lob.74000.LOB; do\n"
      "    same \"expect/rows/$f\" \"$f\"\n"
      "  done\n"
      "}\n"
      "\"${1:-rows}\"\n"
      "exit $status\n";
  return writeTextFile(b.out.path("expect/road.sql"), road, b.error) &&
         writeTextFile(b.out.path("expect/check.sh"), check, b.error);
}

bool writeExpectations(Build& b, const DictScan& scan) {
  ScanListing listing;
  for (const ForgeFile* f : {&b.system, &b.users4, &b.users5}) listing.scanFile(*f);
  return makeDir(b.out.path("expect"), b.error) && makeDir(b.out.path("expect/BEXDICT"), b.error) &&
         makeDir(b.out.path("expect/rows"), b.error) && makeDir(b.out.path("expect/values"), b.error) &&
         makeDir(b.out.path("expect/dump"), b.error) &&
         listing.write(b.out, "lob", b.error) && writeDictionaryFiles(b.out.path("expect/BEXDICT/"), scan, b.error) &&
         writeTextFile(b.out.path("expect/list_MEDIA.txt"),
                       format(" UNLOAD TABLE MEDIA.LOBCASES OBJECT %u TO %s;\n", kTableObj, kDataFile), b.error) &&
         writeRows(b, kDataFile) && writeRows(b, kObjectFile) && writeCases(b) && writeDump(b) && writePageTables(b) &&
         writeRoad(b);
}

}  // namespace

bool buildLobScenario(ScenarioOut& out, std::string& error) {
  FileSpec f4 = out.fileSpec("lob_users04.dbf", kRfn4), f5 = out.fileSpec("lob_users05.dbf", kRfn5);
  for (FileSpec* f : {&f4, &f5}) {
    f->header.tsNumber = kUsersTs;
    f->header.tsName = "USERS";
  }
  Build b(out, systemFileSpec(out, "lob_system01.dbf"), f4, f5);
  DictScan scan;
  const bool ok = placeLobs(b) && placeTableAndDictionary(b, scan) && writeExpectations(b, scan) &&
                  out.add(b.system, b.error) && out.add(b.users4, b.error) && out.add(b.users5, b.error);
  if (!ok) error = b.error;
  return ok;
}

}  // namespace bex::forge
