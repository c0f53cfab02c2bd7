// Scenario "dropped": the dictionary scenario's database after two tables of
// SCOTT were dropped with PURGE. Their OBJ$, TAB$ and COL$ rows are deleted
// but intact in the dictionary blocks; their data blocks keep their data
// object numbers:
//
//   SCOTT.OLD_ORDERS  object 73250, data object 73251, every column known
//   SCOTT.OLD_NOTES   object 73260, whose COL$ row of column 2 (BODY) was
//                     reused: only columns 1 and 3 can be rebuilt
//   SCOTT.DEPT_C      object 73270, no rows left, whose name the live
//                     clustered DEPT_C has again
//   SCOTT.OLD_SALES   object 73280, range partitions P1 (data object
//                     73281) and P2 (73285) from the deleted TABPART$ rows
//   SCOTT.OLD_ITEMS   object 73291, table 1 of the cluster SCOTT.OLD_C
//                     (data object 73290), dropped with it
//
// and deleted rows that are no dropped table (addLookAlikes).
//
// The recycle-bin table of the dictionary scenario stays as it is (live
// rows under its BIN$ name); the dictionary gets SYS.RECYCLEBIN$ (a heap
// segment at block 95 of the SYSTEM file), whose rows name it OLD_PRICES.
// Besides the expectations of the dictionary scenario, expect/BEXDICT/ gets
// the files of deleted dictionary rows (BEXOBJDEL, BEXTABDEL, BEXCOLDEL),
// BEXBIN.TXT of the RECYCLEBIN$ rows, and expect/rows/ the data file of the
// UNLOAD that LIST DROPPED prints for OLD_ORDERS, expect/columns/ the column
// names of each dropped table's unload.
#include "forge/dict_values.h"
#include "forge/scenario_dict.h"

namespace bex::forge {

namespace {

using namespace coldef;

constexpr uint32_t kScott = 54, kUsersTs = 4;
constexpr uint16_t kUsersRfn = 4;
// SYS.RECYCLEBIN$ and the dictionary scenario's table in the bin.
constexpr uint32_t kRecycleBinObj = 520, kRecycleBinHeader = 95, kRecycleBinBlocks = 3, kBinTable = 73190;

TableDef droppedTable(const std::string& name, uint32_t objNo, uint32_t dataObjNo, std::vector<ColDef> cols) {
  TableDef t;
  t.owner = kScott, t.name = name, t.objNo = objNo, t.dataObjNo = dataObjNo, t.ts = kUsersTs, t.rfn = kUsersRfn;
  for (size_t i = 0; i < cols.size(); ++i) {
    const uint32_t n = static_cast<uint32_t>(i + 1);
    t.cols.push_back(at(cols[i], n, n));
  }
  return t;
}

TableDef oldOrders() {
  TableDef t = droppedTable("OLD_ORDERS", 73250, 73251,
                            {num("ID", 6, 0, true), vc("CUSTOMER", 20), typed("ORDERED", 12, 7), num("AMOUNT", 9, 2)});
  t.rows = {{vnum(1), vstr("Acme"), vdate(2019, 3, 1), vdecimal("120.5")},
            {vnum(2), vstr("Globex, Inc."), vdate(2019, 3, 2, 10, 30), vdecimal("-7")},
            {vnum(3), vnull(), vdate(2020, 2, 29), vdecimal("0.01")},
            {vnum(4), vstr("Initech")},
            {vnum(5)}};
  return t;
}

TableDef oldSales() {
  TableDef t = droppedTable("OLD_SALES", 73280, 0, {num("ID", 6, 0, true), num("AMOUNT", 9, 2)});
  PartDef p1{"P1", 73281, 73281, {{vnum(1), vdecimal("10.5")}, {vnum(2), vnull()}}, 0};
  PartDef p2{"P2", 73282, 73285, {{vnum(3), vdecimal("-3")}, {vnum(4), vdecimal("4000000.01")}, {vnum(5)}}, 0};
  t.parts = {p1, p2};
  return t;
}

// Table 1 of the cluster OLD_C, its key DEPTNO first.
TableDef oldItems() {
  TableDef t = droppedTable("OLD_ITEMS", 73291, 73290, {num("DEPTNO", 2, 0, true), vc("ITEM", 10)});
  t.clusterObjNo = 73290, t.tab = 1;
  t.rows = {{vnum(10), vstr("pen")}, {vnum(10), vstr("ink")}, {vnum(20), vstr("desk")}};
  return t;
}

TableDef oldNotes() {
  TableDef t = droppedTable("OLD_NOTES", 73260, 73260, {num("ID"), vc("BODY", 30), typed("CREATED", 12, 7)});
  t.rows = {{vnum(10), vstr("first note"), vdate(2018, 1, 2)}, {vnum(11), vstr("second"), vnull()}};
  return t;
}

// expect/columns/OWNER_TABLE.txt: the column names UNLOAD TABLE of the
// dropped table must write, one a line; a column whose COL$ row is gone
// goes by BEX's placeholder name BEX_COL<position>.
bool writeColumnNames(ScenarioOut& out, const TableDef& t, const std::vector<bool>& reused, std::string& error) {
  std::string names;
  for (size_t i = 0; i < t.cols.size(); ++i)
    names += (i < reused.size() && reused[i] ? "BEX_COL" + std::to_string(i + 1) : t.cols[i].name) + "\n";
  return writeTextFile(out.path("expect/columns/SCOTT_" + t.name + ".txt"), names, error);
}

// Deleted rows that are no dropped table: the OBJ$ row of OLD_ORDERS'
// dropped index (and its IND$ row), and an older OBJ$ row of the live
// SCOTT.EMP (OBJ# 73181, a name it had before a rename). A table of the
// name DEPT_C was dropped (OBJ# 73270, no rows left) before the live
// clustered DEPT_C was created: UNLOAD TABLE SCOTT.DEPT_C is the live one.
void addLookAlikes(Catalog& dropped) {
  constexpr uint32_t kTypeTable = 2, kTypeIndex = 1;
  ObjectDef pk = objectDef(kScott, "OLD_ORDERS_PK", 73252, kTypeIndex);
  pk.dataObjNo = 73252, pk.baseObjNo = 73250, pk.ts = kUsersTs, pk.rfn = kUsersRfn;
  dropped.objects = {pk, objectDef(kScott, "EMP_BEFORE_RENAME", 73181, kTypeTable)};
  dropped.tables.push_back(droppedTable("DEPT_C", 73270, 73270, {num("DEPTNO", 2, 0, true), vc("DNAME", 14)}));
}

// The rows of RECYCLEBIN$ (its first fifteen columns): the table in the bin
// was OLD_PRICES, dropped with its index; binHeader is its segment header.
std::vector<Row> recycleBinRows(uint32_t binHeader) {
  auto row = [](uint32_t obj, const char* name, uint32_t type, uint32_t block) -> Row {
    return {vnum(obj),   vnum(kScott),  vstr(name), vnum(0), vnum(type), vnum(kUsersTs), vnum(kUsersRfn), vnum(block),
            vdate(2024, 5, 6, 7, 8, 9), vnum(8812345), vnull(), vnum(30), vnum(kBinTable), vnum(kBinTable), vnum(obj)};
  };
  return {row(kBinTable, "OLD_PRICES", 2, binHeader), row(kBinTable + 1, "OLD_PRICES_PK", 1, binHeader + 4)};
}

// SYS.RECYCLEBIN$ in the SYSTEM file, its rows in a heap segment.
bool addRecycleBin(ForgeFile& system, const Catalog& app, std::vector<TableDef>& tables, std::string& error) {
  TableDef t;
  t.owner = kSysUser, t.name = "RECYCLEBIN$", t.objNo = t.dataObjNo = kRecycleBinObj;
  t.ts = kSystemTs, t.rfn = kSystemRfn;
  t.cols = {nn(num("OBJ#")),      nn(num("OWNER#")),      vc("ORIGINAL_NAME", 32), nn(num("OPERATION")),
            nn(num("TYPE#")),     num("TS#"),             num("FILE#"),            num("BLOCK#"),
            typed("DROPTIME", 12, 7), num("DROPSCN"),      vc("PARTITION_NAME", 32), num("FLAGS"),
            nn(num("RELATED")),   nn(num("BO")),          nn(num("PURGEOBJ"))};
  for (const TableDef& a : app.tables)
    if (a.objNo == kBinTable) t.rows = recycleBinRows(a.header);
  SegmentPlace p;
  if (!placeHeap(system, t.dataObjNo, kRecycleBinHeader, kRecycleBinBlocks, t.rows, p, error)) return false;
  t.header = p.header;
  tables.push_back(t);
  return true;
}

// BEXBIN.TXT: OBJ#, OWNER#, ORIGINAL_NAME of each row.
bool writeRecycleBinFile(ScenarioOut& out, std::string& error) {
  std::string lines;
  for (const Row& r : recycleBinRows(0)) lines += dictLine(r, {2, 2, 1});
  return writeTextFile(out.path("expect/BEXDICT/BEXBIN.TXT"), lines, error);
}

// expect/rows/<file>: the unloaded text of the table's rows.
bool expectRows(ScenarioOut& out, const TableDef& t, const std::string& file, std::string& error) {
  const SegmentColumns sc = segmentColumns(t, colFileCodes());
  return writeTextFile(out.path("expect/rows/" + file), renderUnload(t.rows, sc.codes, sc.count, "").data, error);
}

// A heap segment in the USERS file after the ones placed.
bool placeSegment(const DictAddition& a, uint32_t objd, const std::vector<Row>& rows, uint32_t& header,
                  std::string& error) {
  SegmentPlace p;
  if (!placeHeap(a.users, objd, a.nextUsersBlock, 0, rows, p, error)) return false;
  header = p.header;
  a.nextUsersBlock += p.blocks + 2;
  return true;
}

// OLD_SALES' partitions and the cluster OLD_C with OLD_ITEMS; the rows of
// each in the order an unload meets them go to expect/rows/.
bool placePartitionedAndClustered(ScenarioOut& out, const DictAddition& a, Catalog& dropped, std::string& error) {
  TableDef sales = oldSales(), items = oldItems();
  std::vector<Row> salesRows;
  for (PartDef& part : sales.parts) {
    if (!placeSegment(a, part.dataObjNo, part.rows, part.header, error)) return false;
    salesRows.insert(salesRows.end(), part.rows.begin(), part.rows.end());
  }
  std::vector<std::vector<Row>> ordered;
  SegmentPlace p;
  if (!placeCluster(a.users, items.clusterObjNo, a.nextUsersBlock, 0, 1, {items.rows}, ordered, p, error)) return false;
  items.header = p.header;
  a.nextUsersBlock += p.blocks + 2;
  ObjectDef cluster = objectDef(kScott, "OLD_C", items.clusterObjNo, kObjTypeCluster);
  cluster.dataObjNo = items.clusterObjNo, cluster.header = p.header, cluster.ts = kUsersTs, cluster.rfn = kUsersRfn;
  dropped.objects.push_back(cluster);
  dropped.tables.push_back(sales);
  dropped.tables.push_back(items);
  sales.rows = salesRows, items.rows = ordered[0];
  return expectRows(out, sales, "SCOTT_OLD_SALES_73280.txt", error) &&
         expectRows(out, items, "SCOTT_OLD_ITEMS_73290.txt", error);
}

bool addDropped(ScenarioOut& out, const DictAddition& a, std::string& error) {
  Catalog dropped;
  dropped.tables = {oldOrders(), oldNotes()};
  for (TableDef& t : dropped.tables)
    if (!placeSegment(a, t.dataObjNo, t.rows, t.header, error)) return false;
  addLookAlikes(dropped);
  const TableDef orders = dropped.tables[0];
  if (!makeDir(out.path("expect/columns"), error) || !writeRecycleBinFile(out, error) ||
      !writeColumnNames(out, orders, {}, error) || !writeColumnNames(out, dropped.tables[1], {false, true}, error) ||
      !placePartitionedAndClustered(out, a, dropped, error))
    return false;
  // OLD_NOTES' COL$ row of BODY was taken by another row: it is gone.
  std::vector<ColDef>& notes = dropped.tables[1].cols;
  notes.erase(notes.begin() + 1);
  DictScan deleted;
  if (!placeDroppedDictionary(a.system, dropped, deleted, error) ||
      !writeDroppedDictionaryFiles(out.path("expect/BEXDICT/"), deleted, error))
    return false;
  return expectRows(out, orders, "SCOTT_OLD_ORDERS_73251.txt", error);
}

}  // namespace

bool buildDroppedScenario(ScenarioOut& out, std::string& error) {
  return buildDictScenarioWith(out, error, addDropped, addRecycleBin);
}

}  // namespace bex::forge
