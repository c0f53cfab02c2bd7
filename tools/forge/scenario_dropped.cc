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
//
// and deleted rows that are no dropped table (addLookAlikes).
//
// The recycle-bin table of the dictionary scenario stays as it is (live
// rows under its BIN$ name). Besides the expectations of the dictionary
// scenario, expect/BEXDICT/ gets the files of deleted dictionary rows
// (BEXOBJDEL, BEXTABDEL, BEXCOLDEL) and expect/rows/ the data file of the
// UNLOAD that LIST DROPPED prints for OLD_ORDERS, expect/columns/ the column
// names of each dropped table's unload.
#include "forge/dict_values.h"
#include "forge/scenario_dict.h"

namespace bex::forge {

namespace {

using namespace coldef;

constexpr uint32_t kScott = 54, kUsersTs = 4;
constexpr uint16_t kUsersRfn = 4;

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

bool addDropped(ScenarioOut& out, const DictAddition& a, std::string& error) {
  Catalog dropped;
  dropped.tables = {oldOrders(), oldNotes()};
  for (TableDef& t : dropped.tables) {
    SegmentPlace p;
    if (!placeHeap(a.users, t.dataObjNo, a.nextUsersBlock, 0, t.rows, p, error)) return false;
    t.header = p.header;
    a.nextUsersBlock += p.blocks + 2;
  }
  addLookAlikes(dropped);
  const TableDef orders = dropped.tables[0];
  if (!makeDir(out.path("expect/columns"), error) || !writeColumnNames(out, orders, {}, error) || !writeColumnNames(out, dropped.tables[1], {false, true}, error))
    return false;
  // OLD_NOTES' COL$ row of BODY was taken by another row: it is gone.
  std::vector<ColDef>& notes = dropped.tables[1].cols;
  notes.erase(notes.begin() + 1);
  DictScan deleted;
  if (!placeDroppedDictionary(a.system, dropped, deleted, error) ||
      !writeDroppedDictionaryFiles(out.path("expect/BEXDICT/"), deleted, error))
    return false;
  const SegmentColumns sc = segmentColumns(orders, colFileCodes());
  const std::string file = "SCOTT_OLD_ORDERS_73251.txt";
  return writeTextFile(out.path("expect/rows/" + file), renderUnload(orders.rows, sc.codes, sc.count, "").data,
                       error);
}

}  // namespace

bool buildDroppedScenario(ScenarioOut& out, std::string& error) { return buildDictScenarioWith(out, error, addDropped); }

}  // namespace bex::forge
