// Scenario "truncated": tables truncated with their first extent kept.
//
// trunc_system01.dbf holds the dictionary; trunc_users04.dbf (rfn 4) the
// segments. TRUNCATE gave each table a new data object number and kept the
// old rows in blocks that carry the old one:
//
//   SCOTT.ORDERS  OBJ# 73400, DATAOBJ# now 73420. Its kept extent (blocks
//                 8 to 15) holds a new block (9, which overwrote two old
//                 rows), old blocks 10 and 11, and a stray block of the live
//                 table PARTS (14); old blocks 40 and 41 lie in an extent
//                 given back (outside every segment).
//   SCOTT.ITEMS   OBJ# 73440, DATAOBJ# now 73441. The new rows overwrote its
//                 kept extent; the old blocks (60, 61) lie only in an extent
//                 given back: only its columns tell whose they are.
//   SCOTT.LEDGER  OBJ# 73450, truncated twice: DATAOBJ# 73450, then 73451,
//                 now 73452. Its kept extent (blocks 70 to 77) holds a new
//                 block (71) and the second incarnation's blocks 72 and 74;
//                 the first incarnation's blocks (90, 91) lie only in an
//                 extent given back.
//   SCOTT.PARTS   a live table (73430), never truncated.
//   HR.EMPLOYEES  a live table (73300), never truncated: HR has none.
//   object 73499  look-alike: blocks (50, 51) of no live object whose six
//                 columns fit no table of either user.
//
// expect/rows/SCOTT_ORDERS_73400.txt, SCOTT_ITEMS_73440.txt,
// SCOTT_LEDGER_73450.txt and SCOTT_LEDGER_73451.txt hold the
// rows of the old incarnations that survive, as UNLOAD TABLE ... OBJECT
// old writes them, in block order.
#include "forge/dict_system.h"
#include "forge/dict_values.h"

namespace bex::forge {

namespace {

using namespace coldef;

constexpr uint16_t kUsersRfn = 4;
constexpr uint32_t kUsersTs = 4;
constexpr uint32_t kScott = 54, kHr = 55;
constexpr uint32_t kRowsPerBlock = 2;

TableDef table(uint32_t owner, const std::string& name, uint32_t objNo, uint32_t dataObjNo, std::vector<ColDef> cols) {
  TableDef t;
  t.owner = owner, t.name = name, t.objNo = objNo, t.dataObjNo = dataObjNo, t.ts = kUsersTs, t.rfn = kUsersRfn;
  t.cols = std::move(cols);
  return t;
}

// Rows [from, to) of `rows` in one table block of object objd.
void putRows(ForgeFile& f, uint32_t block, uint32_t objd, const std::vector<Row>& rows, size_t from, size_t to) {
  TableBlockSpec s;
  s.trans.objd = objd;
  for (size_t i = from; i < to && i < rows.size(); ++i) {
    TableRow r;
    r.piece.flag = kRowHeadFirstLast;
    r.piece.cols = columnsOf(rows[i]);
    s.tables[0].push_back(r);
  }
  f.addTableBlock(block, s);
}

// kRowsPerBlock rows a block from rows[first * kRowsPerBlock] on, one block
// per entry of `blocks`.
void putBlocks(ForgeFile& f, uint32_t objd, const std::vector<Row>& rows, size_t first,
               const std::vector<uint32_t>& blocks) {
  for (size_t i = 0; i < blocks.size(); ++i)
    putRows(f, blocks[i], objd, rows, (first + i) * kRowsPerBlock, (first + i + 1) * kRowsPerBlock);
}

void segmentHeader(ForgeFile& f, uint32_t objd, uint32_t header, uint32_t blocks) {
  SegmentSpec s;
  s.objd = objd;
  s.extents = {{f.rdba(header), blocks}};
  s.hwmRdba = f.rdba(header + blocks);
  f.addSegment(header, s);
}

struct Build {
  ScenarioOut& out;
  Catalog cat;
  ForgeFile system, users;
  std::string error;
  Build(ScenarioOut& o, FileSpec sys, FileSpec usr) : out(o), system(std::move(sys)), users(std::move(usr)) {}
};

// What UNLOAD TABLE owner.table OBJECT old writes: the surviving old rows.
bool expectRows(Build& b, const TableDef& t, const std::string& file, const std::vector<Row>& rows) {
  const SegmentColumns sc = segmentColumns(t, colFileCodes());
  const UnloadedFiles un = renderUnload(rows, sc.codes, sc.count, file.substr(0, file.rfind('.') + 1) + "LOB");
  b.out.note(format("%s: %zu rows of the old incarnation", file.c_str(), rows.size()));
  return writeTextFile(b.out.path("expect/rows/" + file), un.data, b.error);
}

bool orders(Build& b) {
  TableDef t = table(kScott, "ORDERS", 73400, 73420,
                     {num("ID", 6, 0, true), vc("ITEM", 20), num("QTY", 5, 0), typed("ODATE", 12, 7)});
  std::vector<Row> old;
  for (int i = 1; i <= 10; ++i) old.push_back({vnum(i), vstr(format("item-%d", i)), vnum(i * 3), vdate(2023, 1, i)});
  t.rows = {{vnum(101), vstr("new-a"), vnum(1), vdate(2025, 5, 1)}, {vnum(102), vstr("new-b"), vnum(2), vdate(2025, 5, 2)}};
  t.header = 8;
  segmentHeader(b.users, t.dataObjNo, 8, 8);
  putRows(b.users, 9, t.dataObjNo, t.rows, 0, t.rows.size());  // over old rows 1 and 2
  putBlocks(b.users, t.objNo, old, 1, {10, 11});
  putBlocks(b.users, t.objNo, old, 3, {40, 41});  // an extent given back
  b.cat.tables.push_back(t);
  return expectRows(b, t, "SCOTT_ORDERS_73400.txt", std::vector<Row>(old.begin() + 2, old.end()));
}

bool parts(Build& b) {
  TableDef t = table(kScott, "PARTS", 73430, 73430, {num("PART_NO", 6, 0, true), vc("NAME", 10)});
  t.rows = {{vnum(1), vstr("bolt")}, {vnum(2), vstr("nut")}};
  t.header = 20;
  segmentHeader(b.users, t.dataObjNo, 20, 2);
  putRows(b.users, 21, t.dataObjNo, t.rows, 0, t.rows.size());
  // A stray block of this live object inside ORDERS' kept extent.
  putRows(b.users, 14, t.dataObjNo, {{vnum(3), vstr("washer")}}, 0, 1);
  b.cat.tables.push_back(t);
  return true;
}

bool items(Build& b) {
  TableDef t = table(kScott, "ITEMS", 73440, 73441, {nn(vc("CODE", 10)), num("PRICE", 8, 2), typed("ADDED", 12, 7)});
  const std::vector<Row> old = {{vstr("A-1"), vdecimal("12.5"), vdate(2022, 3, 1)},
                                {vstr("B-22"), vdecimal("1999.99"), vdate(2022, 3, 2)},
                                {vstr("C-3"), vdecimal("7"), vdate(2022, 4, 9)},
                                {vstr("D-404"), vdecimal("150.25"), vdate(2022, 5, 30)}};
  t.rows = {{vstr("Z-9"), vdecimal("1"), vdate(2025, 6, 1)}};
  t.header = 24;
  segmentHeader(b.users, t.dataObjNo, 24, 3);
  putRows(b.users, 25, t.dataObjNo, t.rows, 0, t.rows.size());
  putBlocks(b.users, t.objNo, old, 0, {60, 61});  // only in an extent given back
  b.cat.tables.push_back(t);
  return expectRows(b, t, "SCOTT_ITEMS_73440.txt", old);
}

// Rows of one incarnation of LEDGER.
std::vector<Row> ledgerRows(const char* which, int n) {
  std::vector<Row> rows;
  for (int i = 1; i <= n; ++i)
    rows.push_back({vstr(format("%s-%d", which, i)), vdate(2024, 2, i), vdecimal(format("%d.25", i * 10))});
  return rows;
}

bool ledger(Build& b) {
  TableDef t = table(kScott, "LEDGER", 73450, 73452, {nn(vc("ACCT", 12)), typed("POSTED", 12, 7), num("AMOUNT", 9, 2)});
  const std::vector<Row> first = ledgerRows("first", 4), second = ledgerRows("second", 4);
  t.rows = ledgerRows("now", 1);
  t.header = 70;
  segmentHeader(b.users, t.dataObjNo, 70, 8);
  putRows(b.users, 71, t.dataObjNo, t.rows, 0, t.rows.size());
  putBlocks(b.users, 73451, second, 0, {72, 74});
  putBlocks(b.users, 73450, first, 0, {90, 91});  // only in an extent given back
  b.cat.tables.push_back(t);
  return expectRows(b, t, "SCOTT_LEDGER_73450.txt", first) && expectRows(b, t, "SCOTT_LEDGER_73451.txt", second);
}

bool employees(Build& b) {
  TableDef t = table(kHr, "EMPLOYEES", 73300, 73300,
                     {num("ID", 6, 0, true), vc("NAME", 20), typed("HIRED", 12, 7), num("SAL", 8, 2)});
  t.rows = {{vnum(100), vstr("King"), vdate(2003, 6, 17), vdecimal("24000")},
            {vnum(101), vstr("Kochhar"), vdate(2005, 9, 21), vdecimal("17000.5")}};
  t.header = 30;
  segmentHeader(b.users, t.dataObjNo, 30, 2);
  putRows(b.users, 31, t.dataObjNo, t.rows, 0, t.rows.size());
  b.cat.tables.push_back(t);
  return true;
}

// Blocks of an object no live table owns, with six columns.
void lookAlike(Build& b) {
  std::vector<Row> rows;
  for (int i = 1; i <= 4; ++i)
    rows.push_back({vnum(i), vstr(format("x%d", i)), vnum(i * 7), vdate(2021, 2, i), vstr("other"), vnum(i)});
  putBlocks(b.users, 73499, rows, 0, {50, 51});
}

}  // namespace

bool buildTruncScenario(ScenarioOut& out, std::string& error) {
  Build b(out, systemFileSpec(out, "trunc_system01.dbf"), usersFileSpec(out, "trunc_users04.dbf", kUsersRfn, kUsersTs));
  b.cat.users = {{0, "SYS", 1, "8A8F025737A9097A"}, {kScott, "SCOTT", 1, "F894844C34402B67"},
                 {kHr, "HR", 1, "4C6D73C3E8B0F0DA"}};
  DictScan scan;
  lookAlike(b);
  const bool ok = makeDir(out.path("expect"), b.error) && makeDir(out.path("expect/rows"), b.error) && orders(b) &&
                  parts(b) && items(b) && ledger(b) && employees(b) && placeDictionary(b.system, b.cat, scan, b.error) &&
                  out.add(b.system, b.error) && out.add(b.users, b.error);
  if (!ok) error = b.error;
  return ok;
}

}  // namespace bex::forge
