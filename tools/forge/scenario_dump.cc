// Scenario "dump": the ways of storing rows that the dict scenario's tables
// do not show, under a dictionary, with the export dumps a correct
// UNLOAD TABLE writes for them (expect/dump/, format in export_dump.h).
//
// dump_system01.dbf (rfn 1): the core dictionary, user DEMO (70).
// dump_users04.dbf (rfn 4, USERS), each table a segment header and its
// extent:
//   10 CHAINED  blocks 11-13: a row over three blocks whose LABEL is split
//               over all three pieces, a migrated row, a row in two pieces
//               of one block
//   20 LONGS    blocks 21-23: a LONG in one piece and one in three pieces
//               over three blocks, trailing NULLs, a NULL LONG
//   30 PACKED   block 31, compressed
//   40 IOT      (its top index SYS_IOT_TOP_75030, 75031) leaves 41-42; two
//               rows go on in the overflow block 45
//   50 ONE      block 51: one NUMBER column
//   60 WIDE     blocks 61-71: 1000 columns, each row in pieces of at most
//               255 columns, one block each
//   73 EMPTY    blocks 74-75, no rows
//   80 CUT      blocks 81-82: a value whose second part would be in a block
//               of zeros (86), a LONG whose last piece would be past the end
//               of the file, a chain into another object's block (85)
#include <algorithm>

#include "forge/dict_system.h"
#include "forge/export_dump.h"
#include "forge/values.h"

namespace bex::forge {

namespace {

using namespace coldef;

constexpr uint32_t kDemo = 70, kUsersTs = 4, kFileBlocks = 90, kPastEnd = 9999;
constexpr uint16_t kUsersRfn = 4;
constexpr size_t kWideColumns = 1000, kPieceColumns = 255;

struct Build {
  ScenarioOut& out;
  ForgeFile system, users;
  Catalog cat;
  DumpKinds kinds;
  std::vector<std::pair<std::string, ExpectedDump>> dumps;  // by file
  std::string error;

  Build(ScenarioOut& o, FileSpec sys, FileSpec usr)
      : out(o), system(std::move(sys)), users(std::move(usr)), kinds(o) {}
  uint32_t rdba(uint32_t block) const { return users.rdba(block); }
};

TableRow rowPiece(const std::vector<Val>& vals, uint8_t flag, RowAddr next = {}) {
  TableRow r;
  r.piece.flag = flag;
  r.piece.cols = columnsOf(vals);
  r.piece.next = next;
  return r;
}
TableRow plain(const std::vector<Val>& vals) { return rowPiece(vals, kRowHeadFirstLast); }

TableBlockSpec blockOf(uint32_t objd, std::vector<TableRow> rows) {
  TableBlockSpec s;
  s.trans.objd = objd;
  s.tables[0] = std::move(rows);
  return s;
}

void segment(Build& b, uint32_t header, uint32_t objd, uint32_t blocks) {
  SegmentSpec s;
  s.objd = objd;
  s.extents = {{b.rdba(header + 1), blocks}};
  b.users.addSegment(header, s);
}

TableDef table(const std::string& name, uint32_t objNo, uint32_t header, std::vector<ColDef> cols) {
  TableDef t;
  t.owner = kDemo, t.name = name, t.objNo = objNo, t.dataObjNo = objNo, t.ts = kUsersTs, t.rfn = kUsersRfn;
  t.header = header, t.cols = std::move(cols);
  return t;
}

// Enters the table and its dump: UNLOAD TABLE DEMO.<name> TO DEMO_<name>.dmp
// for each kind it stands for.
// objd: the data object the rows come from, when not the table's own.
void expect(Build& b, const TableDef& t, std::vector<DumpRow> rows, std::initializer_list<const char*> kinds,
            uint32_t objd = 0) {
  ExpectedDump d;
  d.user = "DEMO", d.target = t.name, d.objd = objd ? objd : t.dataObjNo;
  d.columns = dumpColumns(t);
  d.rows = std::move(rows);
  const std::string file = "DEMO_" + t.name + ".dmp";
  for (const char* k : kinds) b.kinds.kind(k, file, {"UNLOAD TABLE DEMO." + t.name + " TO " + file + ";"});
  b.dumps.emplace_back(file, d);
  b.cat.tables.push_back(t);
}

DumpRow cells(const std::vector<Val>& vals) {
  DumpRow r;
  for (const Val& v : vals) r.push_back(dumpValue(v.col));
  return r;
}

Bytes longText(size_t n, char first) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(first + i % 26);
  return b;
}
Val vbytes(const Bytes& b) { return Val{col(b), ""}; }

void chained(Build& b) {
  const TableDef t = table("CHAINED", 75000, 10, {num("ID"), vc("LABEL", 40), typed("DAY", 12, 7), num("N")});
  auto day = [](int d) { return vdate(2023, 5, d, d, d, d); };
  auto row = [&](int id) { return std::vector<Val>{vnum(id), vstr(format("row %d", id)), day(id), vnum(id * 11)}; };
  segment(b, 10, t.objNo, 3);
  b.users.addTableBlock(11, blockOf(t.objNo, {plain(row(1)),
                                              rowPiece({vnum(2), vstr("abc")}, kRowH | kRowF | kRowN, {b.rdba(12), 0}),
                                              rowPiece({}, kRowH, {b.rdba(13), 1}),  // migrated
                                              rowPiece({vnum(4)}, kRowH | kRowF, {b.rdba(11), 4}),
                                              rowPiece({vstr("four"), day(4)}, kRowL), plain(row(5))}));
  b.users.addTableBlock(12, blockOf(t.objNo, {rowPiece({vstr("def")}, kRowP | kRowN, {b.rdba(13), 0}), plain(row(6))}));
  TableRow migrated = rowPiece(row(3), kRowF | kRowL);
  migrated.piece.head = {b.rdba(11), 2};
  b.users.addTableBlock(13, blockOf(t.objNo, {rowPiece({vstr("ghi"), day(2), vnum(22)}, kRowP | kRowL), migrated,
                                              plain(row(7))}));
  expect(b, t,
         {cells(row(1)), cells({vnum(2), vstr("abcdefghi"), day(2), vnum(22)}), cells(row(3)),
          cells({vnum(4), vstr("four"), day(4)}), cells(row(5)), cells(row(6)), cells(row(7))},
         {"chained", "migrated"});
}

void longs(Build& b) {
  const TableDef t = table("LONGS", 75010, 20, {num("ID"), vc("NOTE", 20), typed("BODY", 8, 0)});
  const Bytes shortLong = bytesOf("a LONG in one piece"), p1 = longText(600, 'a'), p2 = longText(600, 'k'),
              p3 = longText(300, 'u');
  segment(b, 20, t.objNo, 3);
  b.users.addTableBlock(21, blockOf(t.objNo, {plain({vnum(1), vstr("one"), vbytes(shortLong)}),
                                              rowPiece({vnum(2), vstr("two"), vbytes(p1)}, kRowH | kRowF | kRowN,
                                                       {b.rdba(22), 0}),
                                              plain({vnum(3)}), plain({vnum(4), vstr("four"), vnull()})}));
  b.users.addTableBlock(22, blockOf(t.objNo, {rowPiece({vbytes(p2)}, kRowP | kRowN, {b.rdba(23), 0}),
                                              plain({vnum(5), vstr("five"), vstr("x")})}));
  b.users.addTableBlock(23, blockOf(t.objNo, {rowPiece({vbytes(p3)}, kRowP | kRowL)}));
  expect(b, t,
         {{dumpValue(vnum(1).col), dumpValue(vstr("one").col), dumpPieces({shortLong})},
          {dumpValue(vnum(2).col), dumpValue(vstr("two").col), dumpPieces({p1, p2, p3})},
          cells({vnum(3)}),
          cells({vnum(4), vstr("four")}),
          {dumpValue(vnum(5).col), dumpValue(vstr("five").col), dumpPieces({bytesOf("x")})}},
         {"long"});
}

// The compressed block of salesCompressedBlock.
void packed(Build& b) {
  const TableDef t = table("PACKED", 75020, 30, {vc("DEPT", 10), num("AMOUNT"), vc("CUR", 3), num("N")});
  segment(b, 30, t.objNo, 1);
  b.users.addCompressedBlock(31, salesCompressedBlock(t.objNo));
  expect(b, t,
         {cells({vstr("SALES"), vnum(100), vstr("EUR"), vnum(1)}), cells({vstr("HR"), vnum(100), vstr("EUR"), vnum(2)}),
          cells({vstr("IT"), vnull(), vnull(), vnum(3)}), cells({vstr("SALES"), vnum(100), vstr("EUR"), vnum(4)})},
         {"compressed"});
}

// The rows live in the table's top index (OBJ# + 1); entry 2 is deleted,
// entries 3 and 6 go on in the overflow block.
void iot(Build& b) {
  TableDef t = table("IOT", 75030, 0, {num("ID", {}, {}, true), vc("NOTE", 20), typed("DAY", 12, 7), num("N")});
  t.dataObjNo = 0;
  ObjectDef top = objectDef(kDemo, "SYS_IOT_TOP_75030", 75031, kObjTypeIndex);
  top.dataObjNo = 75031, top.baseObjNo = t.objNo, top.ts = kUsersTs, top.rfn = kUsersRfn, top.header = 40;
  b.cat.objects.push_back(top);
  segment(b, 40, top.dataObjNo, 2);
  auto full = [](int id) { return std::vector<Val>{vstr(format("iot %d", id)), vdate(2021, 5, id), vnum(id * 7)}; };
  auto entry = [](int id, const std::vector<Val>& vals, uint8_t flag = kRowHeadFirstLast, RowAddr next = {}) {
    IndexEntry e;
    e.iot = true;
    e.keys = {vnum(id).col};
    e.row.flag = flag;
    e.row.cols = columnsOf(vals);
    e.row.next = next;
    return e;
  };
  IndexLeafSpec l41;
  l41.trans.objd = top.dataObjNo;
  l41.entries = {entry(1, full(1)), entry(2, full(2)), entry(3, {vstr("iot 3")}, kRowH | kRowF, {b.rdba(45), 0}),
                 entry(4, full(4))};
  l41.entries[1].flag = kEntryDeleted;
  l41.next = b.rdba(42);
  b.users.addIndexLeaf(41, l41);
  IndexLeafSpec l42;
  l42.trans.objd = top.dataObjNo;
  l42.entries = {entry(5, full(5)), entry(6, {vstr("iot 6"), vdate(2021, 5, 6)}, kRowH | kRowF, {b.rdba(45), 1}),
                 entry(7, full(7))};
  l42.prev = b.rdba(41);
  b.users.addIndexLeaf(42, l42);
  b.users.addTableBlock(45, blockOf(75032, {rowPiece({vdate(2021, 5, 3), vnum(21)}, kRowL), rowPiece({vnum(42)}, kRowL)}));
  std::vector<DumpRow> rows;
  for (int id : {1, 4, 5, 7}) {
    std::vector<Val> v = full(id);
    v.insert(v.begin(), vnum(id));
    rows.push_back(cells(v));
  }
  rows.insert(rows.begin() + 1, cells({vnum(3), vstr("iot 3"), vdate(2021, 5, 3), vnum(21)}));
  rows.insert(rows.begin() + 4, cells({vnum(6), vstr("iot 6"), vdate(2021, 5, 6), vnum(42)}));
  expect(b, t, rows, {"iot-overflow"}, top.dataObjNo);
}

// One column; the second row stores no column at all. Also written with
// UNIQUE_TNAME, without a TO name in OUTPUT_STYLE DMP, and with ROW_ADDRESS
// and INDEX, which only text output knows.
void one(Build& b) {
  const TableDef t = table("ONE", 75040, 50, {num("N")});
  segment(b, 50, t.objNo, 1);
  b.users.addTableBlock(51, blockOf(t.objNo, {plain({vnum(1)}), plain({}), plain({vnum(3)})}));
  const std::vector<DumpRow> rows = {cells({vnum(1)}), cells({}), cells({vnum(3)})};
  expect(b, t, rows, {"one-column"});
  const ExpectedDump d = b.dumps.back().second;
  b.kinds.kind("default-name", "bexdata.dmp", {"SET OUTPUT_STYLE DMP", "UNLOAD TABLE DEMO.ONE;", "SET OUTPUT_STYLE TXT"});
  b.dumps.emplace_back("bexdata.dmp", d);
  b.kinds.kind("text-options-ignored", "DEMO_ONE_OPTIONS.dmp",
               {"SET ROW_ADDRESS 1", "UNLOAD TABLE DEMO.ONE TO DEMO_ONE_OPTIONS.dmp INDEX 1;", "SET ROW_ADDRESS 0"});
  b.dumps.emplace_back("DEMO_ONE_OPTIONS.dmp", d);
  ExpectedDump unique = d;
  unique.uniqueName = true;
  b.kinds.kind("unique-name", "DEMO_ONE_UNIQUE.dmp",
               {"SET UNIQUE_TNAME YES", "UNLOAD TABLE DEMO.ONE TO DEMO_ONE_UNIQUE.dmp;", "SET UNIQUE_TNAME NO"});
  b.dumps.emplace_back("DEMO_ONE_UNIQUE.dmp", unique);
}

// Columns C0001 to C1000, NUMBER and VARCHAR2 by turns; every seventh
// value NULL; the third row stores only its first 600 columns. Each row is
// pieces of at most 255 columns, one block each (small enough for 2 KB).
void wide(Build& b) {
  std::vector<ColDef> cols;
  for (size_t i = 1; i <= kWideColumns; ++i)
    cols.push_back(i % 2 ? num(format("C%04zu", i)) : vc(format("C%04zu", i), 10));
  const TableDef t = table("WIDE", 75050, 60, cols);
  std::vector<DumpRow> rows;
  uint32_t block = 61;
  for (uint32_t r = 1; r <= 3; ++r) {
    std::vector<Val> v;
    const size_t stored = r == 3 ? 600 : kWideColumns;
    for (size_t i = 1; i <= stored; ++i)
      v.push_back(i % 7 == 0 ? vnull() : i % 2 ? vnum(static_cast<int64_t>(i * r)) : vstr(format("%zu", i + r)));
    for (size_t from = 0; from < v.size(); from += kPieceColumns, ++block) {
      const size_t to = std::min(v.size(), from + kPieceColumns);
      const bool first = from == 0, last = to == v.size();
      const uint8_t flag = static_cast<uint8_t>((first ? kRowH | kRowF : 0) | (last ? kRowL : 0));
      const RowAddr next = last ? RowAddr{} : RowAddr{b.rdba(block + 1), 0};
      b.users.addTableBlock(block, blockOf(t.objNo, {rowPiece(std::vector<Val>(v.begin() + from, v.begin() + to),
                                                              flag, next)}));
    }
    rows.push_back(cells(v));
  }
  segment(b, 60, t.objNo, block - 61);
  expect(b, t, rows, {"thousand-columns"});
}

void empty(Build& b) {
  const TableDef t = table("EMPTY", 75060, 73, {num("ID"), vc("NAME", 10)});
  segment(b, 73, t.objNo, 2);
  b.users.addTableBlock(74, blockOf(t.objNo, {}));
  expect(b, t, {}, {});
  const std::string file = b.dumps.back().first;
  b.kinds.kind("empty", file, {"SET EMPTY_FILES YES", "UNLOAD TABLE DEMO.EMPTY TO " + file + ";", "SET EMPTY_FILES NO"});
  b.kinds.kind("empty-deleted", file, {"UNLOAD TABLE DEMO.EMPTY TO " + file + ";"}, true);
}

void cut(Build& b) {
  const TableDef t = table("CUT", 75070, 80, {num("ID"), vc("LABEL", 20), typed("BODY", 8, 0)});
  const Bytes part1 = longText(500, 'A'), part2 = longText(400, 'N');
  segment(b, 80, t.objNo, 2);
  b.users.addTableBlock(81, blockOf(t.objNo, {rowPiece({vnum(1), vstr("abc")}, kRowH | kRowF | kRowN, {b.rdba(86), 0}),
                                              rowPiece({vnum(2), vstr("two"), vbytes(part1)}, kRowH | kRowF | kRowN,
                                                       {b.rdba(82), 0}),
                                              plain({vnum(3), vstr("after"), vstr("fine")}),
                                              rowPiece({vnum(4), vstr("xyz")}, kRowH | kRowF, {b.rdba(85), 0})}));
  b.users.addTableBlock(82, blockOf(t.objNo, {rowPiece({vbytes(part2)}, kRowP | kRowN, {b.rdba(kPastEnd), 0})}));
  b.users.addTableBlock(85, blockOf(75099, {plain({vstr("another object")})}));
  expect(b, t,
         {cells({vnum(1), vstr("abc")}),
          {dumpValue(vnum(2).col), dumpValue(vstr("two").col), dumpPieces({part1, part2})},
          {dumpValue(vnum(3).col), dumpValue(vstr("after").col), dumpPieces({bytesOf("fine")})},
          cells({vnum(4), vstr("xyz")})},
         {"cut-chain", "long-missing-last-piece"});
}

bool writeDumps(Build& b) {
  const std::string dir = b.out.path("expect/dump/");
  if (!makeDir(b.out.path("expect"), b.error) || !makeDir(dir, b.error)) return false;
  for (const auto& [file, d] : b.dumps)
    if (!writeExpectedDump(dir, file, d, b.error)) return false;
  return b.kinds.write(dir, b.error);
}

}  // namespace

bool buildDumpScenario(ScenarioOut& out, std::string& error) {
  FileSpec usr = out.fileSpec("dump_users04.dbf", kUsersRfn);
  usr.blocks = kFileBlocks;
  usr.header.tsNumber = kUsersTs;
  usr.header.tsName = "USERS";
  Build b(out, systemFileSpec(out, "dump_system01.dbf"), usr);
  b.cat.users = {{kSysUser, "SYS", 1, "8A8F025737A9097A"}, {1, "PUBLIC", 0, ""}, {kDemo, "DEMO", 1, "5D1E0C8A7B3F2469"}};
  b.kinds.setup("UNLOAD TABLE DICT$;");
  for (void (*place)(Build&) : {chained, longs, packed, iot, one, wide, empty, cut}) place(b);
  DictScan scan;
  const bool ok = placeDictionary(b.system, b.cat, scan, b.error) && writeDumps(b) && out.add(b.system, b.error) &&
                  out.add(b.users, b.error);
  if (!ok) error = b.error;
  return ok;
}

}  // namespace bex::forge
