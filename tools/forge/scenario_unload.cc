// Scenario "unload": tables for UNLOAD OBJECT, each object showing one way
// rows are stored or found, with the exact data files a correct unload into
// a file writes (unload.<name>.txt for the default tags, .tab.txt for
// FIELD_TAG "\t|" and RECORD_TAG "\n") and the extent listing unload.ext.
//
// File u07.dbf (rfn 7):
//   81001 heap: header 10 (0x10), maps 11 and 12 (0x12), extents 20-34;
//         columns NUMBER VARCHAR2 VARCHAR2 DATE NUMBER, 60 rows
//   81002 stale: header 40, extent 41-43; block 42 carries the rdba of
//         block 142 (a stale copy): the extent map and the listing pass it
//         over, the full scan takes it
//   81003 paged: header 45 (0x23), map 46 (0x24), extents 47-51
//   81010 chains: header 55, extent 56-61; chained (three blocks, split
//         column), two pieces in one block, migrated, into another
//         object's block (62, object 81099), looping, to a missing block
//   81020 filters: header 65, extent 66-67; deleted, locked (active,
//         committed, upper-bound committed), trailing NULLs, no columns,
//         a free entry, damaged row-directory entries, a length past the
//         block end
//   81030 cluster: blocks 70-71, key rows and the rows of tables 1 and 2
//   81040 compressed: block 75, symbol table and data rows
//   81050 index-organised: header 80, leaf blocks 81-82; overflow pieces
//         in block 85 (overflow segment 81051)
// File u600.dbf (rfn 600):
//   81060 plain rows in block 3 (ROW_ADDRESS shows rdba 2516582403)
#include "forge/compressed_block.h"
#include "forge/index_block.h"
#include "forge/scenario.h"
#include "forge/unload_rows.h"
#include "forge/values.h"

namespace bex::forge {

namespace {

constexpr uint16_t kRfn = 7, kRfn600 = 600;

struct Builder {
  ForgeFile& f;
  std::vector<ExpectedRows>& expected;
};

TableRow plain(const std::vector<Val>& vals, uint8_t flag = kRowHeadFirstLast, uint8_t lock = 0) {
  TableRow r;
  r.piece.flag = flag;
  r.piece.lock = lock;
  r.piece.cols = columnsOf(vals);
  return r;
}

TableRow piece(const std::vector<Val>& vals, uint8_t flag, uint32_t nextRdba = 0, uint16_t nextSlot = 0) {
  TableRow r = plain(vals, flag);
  r.piece.next = {nextRdba, nextSlot};
  return r;
}

TableBlockSpec tableSpec(uint32_t objd) {
  TableBlockSpec s;
  s.trans.objd = objd;
  return s;
}

void addSegment(ForgeFile& f, uint32_t block, uint8_t type, uint32_t objd, std::vector<Extent> extents,
                std::vector<uint32_t> maps = {}, uint32_t perHeader = 0, uint32_t perMap = 0) {
  SegmentSpec s;
  s.hdr.type = type;
  s.objd = objd;
  s.extents = std::move(extents);
  s.mapRdbas = std::move(maps);
  s.perHeader = perHeader;
  s.perMap = perMap;
  f.addSegment(block, s);
}

// 81001: 15 blocks of 4 rows. Every 5th row has a NULL note, every 7th
// stores only four columns (the amount is a trailing NULL).
std::vector<Val> heapRow(int i) {
  std::vector<Val> v = {vnum(i), vstr(format("name%03d", i)), (i % 5 == 0) ? vnull() : vstr(format("note-%d", i)),
                        vdate(2024, 1 + i % 12, 1 + i % 28, i % 24, i % 60, (7 * i) % 60)};
  if (i % 7 != 0) v.push_back(vnum(37 * i - 500));
  return v;
}

void buildHeap(Builder& b) {
  const ForgeFile& f = b.f;
  addSegment(b.f, 10, kSegHeader, 81001,
             {{f.rdba(20), 3}, {f.rdba(23), 2}, {f.rdba(25), 3}, {f.rdba(28), 2}, {f.rdba(30), 2}, {f.rdba(32), 3}},
             {f.rdba(11), f.rdba(12)}, 2, 2);
  ExpectedRows all{"81001", {}}, unknown{"81001.unknown", {}}, block23{"81001.block23", {}};
  int i = 1;
  for (uint32_t block = 20; block <= 34; ++block) {
    TableBlockSpec s = tableSpec(81001);
    for (int k = 0; k < 4; ++k, ++i) {
      const std::vector<Val> v = heapRow(i);
      s.tables[0].push_back(plain(v));
      all.rows.push_back(fieldsOf(v, 5));
      unknown.rows.push_back(unknownFields(v));
      if (block == 23) block23.rows.push_back(fieldsOf(v, 5));
    }
    b.f.addTableBlock(block, s);
  }
  ExpectedRows limit{"81001.limit10", {all.rows.begin(), all.rows.begin() + 10}};
  ExpectedRows limit25{"81001.limit25", {all.rows.begin(), all.rows.begin() + 25}};
  b.expected.insert(b.expected.end(), {all, unknown, block23, limit, limit25});
}

void buildStale(Builder& b) {
  const ForgeFile& f = b.f;
  addSegment(b.f, 40, kSegHeader, 81002, {{f.rdba(41), 3}});
  ExpectedRows map{"81002.map", {}}, scan{"81002.scan", {}};
  for (uint32_t block = 41; block <= 43; ++block) {
    TableBlockSpec s = tableSpec(81002);
    if (block == 42) s.hdr.rdba = f.rdba(142);
    for (int k = 0; k < 2; ++k) {
      const std::vector<Val> v = {vnum(block * 10 + k), vstr(block == 42 ? "stale copy" : "current")};
      s.tables[0].push_back(plain(v));
      scan.rows.push_back(fieldsOf(v, 2));
      if (block != 42) map.rows.push_back(fieldsOf(v, 2));
    }
    b.f.addTableBlock(block, s);
  }
  b.expected.insert(b.expected.end(), {map, scan});
}

void buildPaged(Builder& b) {
  const ForgeFile& f = b.f;
  addSegment(b.f, 45, kSegHeaderPaged, 81003, {{f.rdba(47), 2}, {f.rdba(49), 2}, {f.rdba(51), 1}}, {f.rdba(46)}, 1,
             2);
  ExpectedRows all{"81003", {}};
  for (uint32_t block = 47; block <= 51; ++block) {
    TableBlockSpec s = tableSpec(81003);
    for (int k = 0; k < 3; ++k) {
      const std::vector<Val> v = {vnum(block * 100 + k), vstr(format("paged %u.%d", block, k))};
      s.tables[0].push_back(plain(v));
      all.rows.push_back(fieldsOf(v, 2));
    }
    b.f.addTableBlock(block, s);
  }
  b.expected.push_back(all);
}

// 81010, four columns NUMBER VARCHAR2 DATE NUMBER.
void buildChains(Builder& b) {
  ForgeFile& f = b.f;
  addSegment(f, 55, kSegHeader, 81010, {{f.rdba(56), 6}});
  const Val d2 = vdate(2023, 2, 2, 2, 2, 2), d3 = vdate(2023, 3, 3, 3, 3, 3), d4 = vdate(2023, 4, 4, 4, 4, 4);
  auto row = [](int id) { return std::vector<Val>{vnum(id), vstr(format("row %d", id)), vdate(2020, 1, id), vnum(id * 11)}; };

  TableBlockSpec s56 = tableSpec(81010);
  s56.tables[0] = {
      plain(row(1)),
      piece({vnum(2), vstr("abcd")}, kRowH | kRowF | kRowN, f.rdba(57), 0),  // three blocks, split column
      piece({}, kRowH, f.rdba(58), 1),                                         // migrated row's head
      piece({vnum(4)}, kRowH | kRowF, f.rdba(57), 1),                          // two pieces in block 57
      piece({vnum(5), vstr("five")}, kRowH | kRowF, f.rdba(62), 0),           // into object 81099
      piece({vnum(6)}, kRowH | kRowF, f.rdba(59), 0),                          // into a loop
      piece({vnum(7), vstr("seven")}, kRowH | kRowF, f.rdba(9999), 0),        // past the file end
      plain(row(8)),
  };
  f.addTableBlock(56, s56);

  TableBlockSpec s57 = tableSpec(81010);
  s57.tables[0] = {piece({vstr("efghij")}, kRowP, f.rdba(58), 0), piece({vstr("four-b")}, 0, f.rdba(57), 2),
                   plain({d4}, kRowL), plain(row(9))};
  f.addTableBlock(57, s57);

  TableBlockSpec s58 = tableSpec(81010);
  TableRow migrated = plain({vnum(3), vstr("three"), d3, vnum(33)}, kRowF | kRowL);
  migrated.piece.head = {f.rdba(56), 2};
  s58.tables[0] = {plain({d2}, kRowL), migrated, plain(row(10))};
  f.addTableBlock(58, s58);

  TableBlockSpec s59 = tableSpec(81010);
  s59.tables[0] = {piece({vstr("loop")}, 0, f.rdba(59), 0), plain(row(11))};
  f.addTableBlock(59, s59);
  for (uint32_t block = 60; block <= 61; ++block) {
    TableBlockSpec s = tableSpec(81010);
    s.tables[0] = {plain(row(static_cast<int>(block) - 48)), plain(row(static_cast<int>(block) - 46))};
    f.addTableBlock(block, s);
  }
  TableBlockSpec other = tableSpec(81099);
  other.tables[0] = {plain({vstr("other object")}, kRowL)};
  f.addTableBlock(62, other);

  auto fields = [](const std::vector<Val>& v) { return fieldsOf(v, 4); };
  ExpectedRows all{"81010", {}}, max1{"81010.maxchains1", {}};
  const Fields r2 = {"2", "abcdefghij", d2.text, ""}, r4 = {"4", "four-b", d4.text, ""};
  const Fields r3 = {"3", "three", d3.text, "33"}, r5 = {"5", "five", "", ""}, r6 = {"6", "loop", "", ""};
  const Fields r7 = {"7", "seven", "", ""};
  all.rows = {fields(row(1)), r2, r3, r4, r5, r6, r7, fields(row(8)), fields(row(9)), fields(row(10)),
              fields(row(11)), fields(row(12)), fields(row(14)), fields(row(13)), fields(row(15))};
  max1.rows = all.rows;
  max1.rows[1] = {"2", "abcdefghij", "", ""};
  max1.rows[3] = {"4", "four-b", "", ""};
  b.expected.insert(b.expected.end(), {all, max1});
}

// Rewrites a row-directory entry of a built table block and seals it again.
void patchRowDirectory(ForgeBlock& blk, const TableBlockSpec& s, uint32_t slot, uint16_t value) {
  const uint32_t hdsz = headerSize(s.trans);
  blk.put16(hdsz + 14 + 4 * static_cast<uint32_t>(s.tables.size()) + 2 * slot, value);
}

void buildFilters(Builder& b) {
  ForgeFile& f = b.f;
  addSegment(f, 65, kSegHeader, 81020, {{f.rdba(66), 2}});
  auto row = [](int id) { return std::vector<Val>{vnum(id), vstr(format("filter %d", id)), vnum(id * 3)}; };
  TableBlockSpec s = tableSpec(81020);
  s.trans.itl = {committedItl(3, 0x00011e80), activeItl(8, 2), committedItl(4, 0x00011f10, 1)};
  s.trans.itl[2].flags = kItlU;
  TableRow free;
  free.free = true;
  s.tables[0] = {plain(row(1)),
                 plain(row(2), kRowH | kRowD | kRowF | kRowL),
                 plain(row(3), kRowHeadFirstLast, 2),  // active transaction
                 plain(row(4), kRowHeadFirstLast, 1),  // committed
                 plain(row(5), kRowHeadFirstLast, 3),  // upper bound committed
                 plain({vnum(6)}),                     // trailing NULLs not stored
                 free,
                 plain({}),  // every column NULL
                 plain(row(9), kRowH | kRowD | kRowF | kRowL, 2)};
  f.addTableBlock(66, s);

  // Block 67: its first row (placed right below the block tail) has a third
  // length running far past the block end, so the row keeps two columns;
  // entries 1 and 2 point inside the directories and past the block.
  TableBlockSpec d = tableSpec(81020);
  d.hdr.rdba = f.rdba(67);
  TableRow broken = plain({vnum(10), vstr("ten"), vstr("xx")});
  d.tables[0] = {broken, plain(row(90)), plain(row(91)), plain(row(11))};
  Facts facts;
  ForgeBlock blk = buildTableBlock(d, f.layout().blockSize, f.layout().order, facts);
  patchRowDirectory(blk, d, 1, 2);
  patchRowDirectory(blk, d, 2, 0x7ff0);
  const uint32_t len = static_cast<uint32_t>(encodeRowPiece(broken.piece, f.layout().order).size());
  const uint32_t third = f.layout().blockSize - kBlockTailSize - len + 3 + 3 + 4;
  blk.put8(third, 0xfe);
  blk.put16(third + 1, 0x7000);
  sealBlock(blk, d.hdr);
  f.addBlock(67, std::move(blk), {});

  auto fields = [](const std::vector<Val>& v) { return fieldsOf(v, 3); };
  const Fields broken2 = {"10", "ten", ""}, none = {"", "", ""};
  ExpectedRows def{"81020", {fields(row(1)), fields(row(3)), fields(row(4)), fields(row(5)), fields({vnum(6)}), none,
                             broken2, fields(row(11))}};
  ExpectedRows deleted{"81020.deleted", {fields(row(1)), fields(row(2)), fields(row(3)), fields(row(4)),
                                         fields(row(5)), fields({vnum(6)}), none, fields(row(9)), broken2,
                                         fields(row(11))}};
  ExpectedRows committed{"81020.committed", {fields(row(1)), fields(row(4)), fields(row(5)), fields({vnum(6)}),
                                             none, broken2, fields(row(11))}};
  b.expected.insert(b.expected.end(), {def, deleted, committed});
}

void buildCluster(Builder& b) {
  ExpectedRows emp{"81030.c1", {}}, dept{"81030.c2", {}};
  auto key = [](int64_t dept, uint8_t members) {
    TableRow r = plain({vnum(dept)}, kRowClusterKey);
    r.piece.keyExtra = {0, members, 0, members};
    return r;
  };
  auto member = [](uint8_t keyRow, const std::vector<Val>& v) {
    TableRow r = plain(v, kRowC | kRowHeadFirstLast);
    r.piece.keyRow = keyRow;
    return r;
  };
  const int base[] = {10, 30};
  for (uint32_t i = 0; i < 2; ++i) {
    const int d1 = base[i], d2 = base[i] + 10;
    TableBlockSpec s = tableSpec(81030);
    const std::vector<Val> e1 = {vstr(format("KING%d", d1)), vnum(5000 + d1)},
                           e2 = {vstr(format("SMITH%d", d2)), vnum(800 + d2)},
                           e3 = {vstr(format("CLARK%d", d1)), vnum(2450 + d1)};
    const std::vector<Val> p1 = {vstr(format("DEPT%d", d1))}, p2 = {vstr(format("DEPT%d", d2))};
    s.tables = {{key(d1, 3), key(d2, 2)},
                {member(0, e1), member(1, e2), member(0, e3)},
                {member(0, p1), member(1, p2)}};
    b.f.addTableBlock(70 + i, s);
    auto withKey = [](int k, const std::vector<Val>& v) {
      std::vector<Val> all = {vnum(k)};
      all.insert(all.end(), v.begin(), v.end());
      return all;
    };
    emp.rows.push_back(fieldsOf(withKey(d1, e1), 3));
    emp.rows.push_back(fieldsOf(withKey(d2, e2), 3));
    emp.rows.push_back(fieldsOf(withKey(d1, e3), 3));
    dept.rows.push_back(fieldsOf(withKey(d1, p1), 2));
    dept.rows.push_back(fieldsOf(withKey(d2, p2), 2));
  }
  b.expected.insert(b.expected.end(), {emp, dept});
}

// 81040: the compressed block of salesCompressedBlock.
void buildCompressed(Builder& b) {
  b.f.addCompressedBlock(75, salesCompressedBlock(81040));
  b.expected.push_back(ExpectedRows{"81040",
                                    {{"SALES", "100", "EUR", "1"},
                                     {"HR", "100", "EUR", "2"},
                                     {"IT", "", "", "3"},
                                     {"SALES", "100", "EUR", "4"}}});
}

// 81050: key NUMBER, row columns VARCHAR2 DATE NUMBER. Entry 2 of block 81
// and entry 1 of block 82 continue in the overflow segment (block 85).
void buildIot(Builder& b) {
  ForgeFile& f = b.f;
  addSegment(f, 80, kSegHeader, 81050, {{f.rdba(81), 2}});
  ExpectedRows all{"81050", {}};
  auto entry = [](int id, std::vector<Val> rowVals, uint8_t rowFlag = kRowHeadFirstLast) {
    IndexEntry e;
    e.iot = true;
    e.keys = {vnum(id).col};
    e.row.flag = rowFlag;
    e.row.cols = columnsOf(rowVals);
    return e;
  };
  auto full = [](int id) { return std::vector<Val>{vstr(format("iot %d", id)), vdate(2021, 5, id), vnum(id * 7)}; };
  auto expect = [&](int id, const std::vector<Val>& v) {
    std::vector<Val> row = {vnum(id)};
    row.insert(row.end(), v.begin(), v.end());
    all.rows.push_back(fieldsOf(row, 4));
  };
  IndexLeafSpec l81;
  l81.trans.objd = 81050;
  l81.entries = {entry(1, full(1)), entry(2, full(2)), entry(3, {vstr("iot 3")}, kRowH | kRowF), entry(4, full(4))};
  l81.entries[1].flag = kEntryDeleted;
  l81.entries[2].row.next = {f.rdba(85), 0};
  l81.next = f.rdba(82);
  f.addIndexLeaf(81, l81);
  IndexLeafSpec l82;
  l82.trans.objd = 81050;
  l82.entries = {entry(5, full(5)), entry(6, {vstr("iot 6"), vdate(2021, 5, 6)}, kRowH | kRowF), entry(7, full(7))};
  l82.entries[1].row.next = {f.rdba(85), 1};
  l82.prev = f.rdba(81);
  f.addIndexLeaf(82, l82);
  TableBlockSpec over = tableSpec(81051);
  over.tables[0] = {plain({vdate(2021, 5, 3), vnum(21)}, kRowL), plain({vnum(42)}, kRowL)};
  f.addTableBlock(85, over);
  expect(1, full(1));
  expect(3, {vstr("iot 3"), vdate(2021, 5, 3), vnum(21)});
  expect(4, full(4));
  expect(5, full(5));
  expect(6, {vstr("iot 6"), vdate(2021, 5, 6), vnum(42)});
  expect(7, full(7));
  b.expected.push_back(all);
}

bool build600(ScenarioOut& out, std::vector<ExpectedRows>& expected, std::string& listing, std::string& error) {
  FileSpec fs = out.fileSpec("u600.dbf", kRfn600);
  fs.blocks = 7;
  ForgeFile f(fs);
  TableBlockSpec s = tableSpec(81060);
  ExpectedRows rows{"81060.rowaddr", {}};
  for (int i = 0; i < 3; ++i) {
    const std::vector<Val> v = {vnum(600 + i), vstr(format("far file %d", i))};
    s.tables[0].push_back(plain(v));
    Fields fl = {format("%u.0.%d", makeRdba(kRfn600, 3), i)};
    for (const std::string& t : fieldsOf(v, 2)) fl.push_back(t);
    rows.rows.push_back(fl);
  }
  f.addTableBlock(3, s);
  expected.push_back(rows);
  listing += extentListing(f);
  return out.add(f, error);
}

}  // namespace

bool buildUnloadScenario(ScenarioOut& out, std::string& error) {
  FileSpec fs = out.fileSpec("u07.dbf", kRfn);
  fs.blocks = 90;
  fs.header.tsNumber = 4;
  fs.header.tsName = "USERS";
  ForgeFile f(fs);
  std::vector<ExpectedRows> expected;
  Builder b{f, expected};
  buildHeap(b);
  buildStale(b);
  buildPaged(b);
  buildChains(b);
  buildFilters(b);
  buildCluster(b);
  buildCompressed(b);
  buildIot(b);
  std::string listing = extentListing(f);
  return out.add(f, error) && build600(out, expected, listing, error) &&
         writeTextFile(out.path("unload.ext"), listing, error) && writeExpectedRows(out.path("."), expected, error);
}

}  // namespace bex::forge
