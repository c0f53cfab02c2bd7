// Scenario "dict": a small database whose dictionary BEX bootstraps.
//
// dict_system01.dbf (rfn 1, tablespace 0 SYSTEM) holds the core dictionary
// as Oracle keeps it: USER$ in the user cluster C_USER# (data object 10,
// table 1); OBJ$ (data object 18); TAB$, IND$, COL$ and COLTYPE$ in the
// object cluster C_OBJ# (data object 2, tables 1, 3, 5 and 6); TABPART$
// (data object 230). The rows describe the dictionary tables themselves and
// the application tables of dict_users04.dbf (rfn 4, tablespace 4 USERS):
//
//   SCOTT.EMP          heap table, NOT NULL columns
//   SCOTT.DEPT_C/BONUS_C  tables 1 and 2 of the cluster SCOTT.EMP_DEPT
//   SCOTT.SALES_PT     range partitions P2023 and P2024 (data object 73205)
//   SCOTT.ACCT$HIST    a name holding "$"
//   SCOTT.BIN$...==$0  a dropped table in the recycle bin
//   SCOTT.ALLTYPES     a column of every type of the CREATE TABLE texts
//   SCOTT.RAWLOG       a LONG RAW column
//   SCOTT.DOCS         an XMLTYPE column (SEGCOL# 0, stored as a BLOB), CLOB,
//                      NCLOB and BLOB columns with their SYS_IL LOB indexes
//   HR.EMPLOYEES       heap table; HR also owns an index, a view, a
//                      procedure, a function and a package
//   HR.WIDE            a 128-character column name between two others
//
// Besides the data files the scenario writes what a correct BEX makes of
// them, under expect/: the dictionary files of UNLOAD TABLE DICT$
// (expect/BEXDICT/), the lines of LIST TABLE for each user
// (expect/list_<USER>.txt), the data and LOB files of each of those UNLOAD
// lines (expect/rows/), and expect/check.sh, which compares them with the
// files in the working directory, prints one line per file and exits 1
// when any of them is not as expected.
#include <sys/stat.h>

#include <algorithm>
#include <map>

#include "forge/scenario_dict.h"
#include "forge/dict_values.h"
#include "forge/export_dump.h"
#include "forge/load_oracle.h"

namespace bex::forge {

namespace {

using namespace coldef;

constexpr uint16_t kUsersRfn = 4;
constexpr uint32_t kUsersTs = 4;
constexpr uint32_t kSys = kSysUser, kScott = 54, kHr = 55;

// ---- the application schema -----------------------------------------

TableDef appTable(uint32_t owner, const std::string& name, uint32_t objNo, std::vector<ColDef> cols) {
  TableDef t;
  t.owner = owner, t.name = name, t.objNo = objNo, t.dataObjNo = objNo, t.ts = kUsersTs, t.rfn = kUsersRfn;
  t.cols = std::move(cols);
  return t;
}

TableDef emp() {
  TableDef t = appTable(kScott, "EMP", 73181,
                        {num("EMPNO", 4, 0, true), vc("ENAME", 10), vc("JOB", 9), num("MGR", 4, 0), typed("HIREDATE", 12, 7),
                         num("SAL", 7, 2), num("COMM", 7, 2), num("DEPTNO", 2, 0)});
  struct E {
    int no;
    const char *name, *job;
    int mgr, y, m, d;
    const char *sal, *comm;
    int dept;
  };
  const E rows[] = {{7369, "SMITH", "CLERK", 7902, 1980, 12, 17, "800", nullptr, 20},
                    {7499, "ALLEN", "SALESMAN", 7698, 1981, 2, 20, "1600", "300", 30},
                    {7521, "WARD", "SALESMAN", 7698, 1981, 2, 22, "1250", "500", 30},
                    {7566, "JONES", "MANAGER", 7839, 1981, 4, 2, "2975", nullptr, 20},
                    {7654, "MARTIN", "SALESMAN", 7698, 1981, 9, 28, "1250", "1400", 30},
                    {7698, "BLAKE", "MANAGER", 7839, 1981, 5, 1, "2850", nullptr, 30},
                    {7782, "CLARK", "MANAGER", 7839, 1981, 6, 9, "2450.5", nullptr, 10},
                    {7839, "KING", "PRESIDENT", 0, 1981, 11, 17, "5000", nullptr, 10},
                    {7844, "TURNER", "SALESMAN", 7698, 1981, 9, 8, "1500", "0", 30},
                    {7900, "JAMES", "CLERK", 7698, 1981, 12, 3, "950.75", nullptr, 30}};
  for (const E& e : rows)
    t.rows.push_back({vnum(e.no), vstr(e.name), vstr(e.job), e.mgr ? vnum(e.mgr) : vnull(), vdate(e.y, e.m, e.d),
                      vdecimal(e.sal), e.comm ? vdecimal(e.comm) : vnull(), vnum(e.dept)});
  t.rows.push_back({vnum(7934)});  // only the key stored: trailing NULLs
  return t;
}

// Two tables of the cluster EMP_DEPT (key DEPTNO); in BONUS_C the key is
// the third column, stored first.
std::vector<TableDef> clusterTables(uint32_t clusterObjNo) {
  TableDef dept = appTable(kScott, "DEPT_C", 73151, {num("DEPTNO", 2, 0, true), vc("DNAME", 14), vc("LOC", 13)});
  dept.rows = {{vnum(10), vstr("ACCOUNTING"), vstr("NEW YORK")},
               {vnum(20), vstr("RESEARCH"), vstr("DALLAS")},
               {vnum(30), vstr("SALES"), vstr("CHICAGO")}};
  TableDef bonus = appTable(kScott, "BONUS_C", 73152,
                            {at(vc("ENAME", 10), 1, 2), at(num("BONUS", 7, 2), 2, 3), at(num("DEPTNO", 2, 0, true), 3, 1)});
  bonus.rows = {{vnum(10), vstr("KING"), vdecimal("1000.5")},
                {vnum(30), vstr("ALLEN"), vdecimal("300")},
                {vnum(10), vstr("CLARK"), vnull()},
                {vnum(20), vstr("SCOTT")}};
  for (TableDef* t : {&dept, &bonus}) {
    t->dataObjNo = clusterObjNo;
    t->clusterObjNo = clusterObjNo;
  }
  dept.tab = 1, bonus.tab = 2;
  return {dept, bonus};
}

TableDef salesPartitioned() {
  TableDef t = appTable(kScott, "SALES_PT", 73200, {num("ID", {}, {}, true), typed("SALE_DATE", 12, 7), num("AMOUNT", 12, 2)});
  t.dataObjNo = 0;  // the rows live in the partitions
  PartDef p23{"P2023", 73201, 73201, {}, 0}, p24{"P2024", 73202, 73205, {}, 0};
  for (int i = 1; i <= 4; ++i) p23.rows.push_back({vnum(i), vdate(2023, i * 3, 15), vdecimal(format("%d.25", 100 * i))});
  for (int i = 5; i <= 7; ++i) p24.rows.push_back({vnum(i), vdate(2024, i, 1), vdecimal(format("-%d", 10 * i))});
  p24.rows.push_back({vnum(8), vnull(), vdecimal("0.05")});
  t.parts = {p23, p24};
  return t;
}

TableDef acctHist() {
  TableDef t = appTable(kScott, "ACCT$HIST", 73220,
                        {num("ACCT_ID", 8, 0, true), typed("CHANGED", 180, 11, {}, 6), vc("NOTE", 40)});
  t.rows = {{vnum(1001), vtimestamp(2024, 2, 29, 23, 59, 58, 999999000), vstr("opened")},
            {vnum(1002), vtimestamp(2024, 3, 1, 0, 0, 1, 1000), vstr("closed, then reopened")}};
  return t;
}

TableDef recycled() {
  TableDef t = appTable(kScott, "BIN$nJ2HkC8mQmKbW4cLh9u3Pw==$0", 73190, {num("ID"), vc("X", 5)});
  t.rows = {{vnum(1), vstr("gone")}};
  return t;
}

// Every type of the CREATE TABLE texts. The LONG column is stored last, as
// Oracle stores LONG columns.
TableDef allTypes() {
  std::vector<ColDef> cols = {
      nn(num("ID")), nn(vc("C_VARCHAR2", 20)), text("C_NVARCHAR2", 1, 20, 2), num("C_NUMBER", 10, 2),
      num("C_INTEGER", 9, 0), num("C_NUMSTAR", {}, 2), num("C_FLOAT", 126), num("C_FLOAT10", 10, -127),
      typed("C_LONG", 8, 0), text("C_VARCHAR", 9, 10), nn(typed("C_DATE", 12, 7)), typed("C_RAW", 23, 8),
      typed("C_ROWID", 69, 10), text("C_CHAR", 96, 10), text("C_NCHAR", 96, 10, 2), typed("C_BFLOAT", 100, 4),
      typed("C_BDOUBLE", 101, 8), typed("C_MLSLABEL", 106, 255), typed("C_BFILE", 114, 530),
      typed("C_CFILE", 115, 530), typed("C_TS", 180, 11, {}, 6), typed("C_TSTZ", 181, 13, {}, 3),
      typed("C_IYM", 182, 5, 2, 0), typed("C_IDS", 183, 11, 2, 6), typed("C_UROWID", 208, 4000),
      typed("C_TSLTZ", 231, 11, {}, 0), typed("C_BOOL", 252, 1)};
  const uint32_t longCol = 9, last = static_cast<uint32_t>(cols.size());
  for (uint32_t i = 0; i < cols.size(); ++i) {
    const uint32_t colNo = i + 1;
    cols[i] = at(cols[i], colNo, colNo == longCol ? last : colNo < longCol ? colNo : colNo - 1);
  }
  TableDef t = appTable(kScott, "ALLTYPES", 73230, cols);
  auto row = [](int id, const std::string& v, const std::string& n, int day, const std::string& lng) {
    return Row{vnum(id),
               vstr(v),
               vnvarchar(n),
               vdecimal(format("%d.5", id * 1000)),
               vnum(-id * 7),
               vdecimal("3.14"),
               vdecimal(format("%d", id * 123456)),
               vdecimal("0.0012"),
               vstr("var" + std::to_string(id)),
               vdate(2024, 12, day, 23, 59, 59),
               vhex({0x0a, 0x0b, 0x0c, static_cast<uint8_t>(id)}),
               vhex({0x00, 0x01, 0x1e, 0x03, 0x01, 0x00, 0x00, 0x05, 0x00, static_cast<uint8_t>(id)}),
               vchar("ab", 10),
               vnchar("n" + std::to_string(id), 5),
               vfloat(1.5f * static_cast<float>(id)),
               vdouble(0.25 * id),
               vhex({0x01, 0x02}),
               vhex({0x00, 0x01, 0x00, 0x03, 'D', 'I', 'R'}),
               vhex({0xcf}),
               vtimestamp(2024, 12, day, 23, 59, 59, 123456789),
               vtimestampTz(2024, 1, day, 12, 0, 0, 500000000, 1, 30),
               vintervalYm(id, 3),
               vintervalDs(id, 4, 5, 6, 700000000),
               vhex({0x02, 0x04, 0x00, 0x00, static_cast<uint8_t>(id)}),
               vtimestamp(2000, 1, 1, 0, 0, 0, 0),
               vhex({0x01}),
               vstr(lng)};
  };
  t.rows = {row(1, "first", "alpha", 30, "a long text"), row(2, "second", "beta", 31, "another, with a comma"),
            {vnum(3), vstr("third"), vnull(), vnull(), vnull(), vnull(), vnull(), vnull(), vnull(), vdate(2025, 1, 1)}};
  return t;
}

TableDef rawLog() {
  TableDef t = appTable(kScott, "RAWLOG", 73240, {num("ID", {}, {}, true), typed("DATA", 24, 0)});
  t.rows = {{vnum(1), vhex({0xde, 0xad, 0xbe, 0xef})}, {vnum(2), vnull()}};
  return t;
}

// An XMLTYPE column (no storage of its own) stored in the hidden BLOB that
// follows it; its LOB columns hold no values.
TableDef docs() {
  ColDef doc = at(typed("DOC", 58, 2000), 2, 0, 2);
  doc.typeOid = kXmlTypeOid;
  ColDef hidden = at(typed("SYS_NC00003$", 113, 4000), 2, 2, 3);
  hidden.property = 0x20;
  TableDef t = appTable(kScott, "DOCS", 73210,
                        {at(num("ID", {}, {}, true), 1, 1, 1), doc, hidden, at(text("NOTE", 112, 4000), 3, 3, 4),
                         at(text("NNOTE", 112, 4000, 2), 4, 4, 5), at(typed("BIN", 113, 4000), 5, 5, 6)});
  t.rows = {{vnum(1)}, {vnum(2), vnull(), vnull(), vnull(), vnull()}};
  return t;
}

TableDef employees() {
  TableDef t = appTable(kHr, "EMPLOYEES", 73300,
                        {num("EMPLOYEE_ID", 6, 0, true), vc("FIRST_NAME", 20), nn(vc("LAST_NAME", 25)),
                         nn(typed("HIRE_DATE", 12, 7)), num("SALARY", 8, 2)});
  t.rows = {{vnum(100), vstr("Steven"), vstr("King"), vdate(2003, 6, 17), vdecimal("24000")},
            {vnum(101), vstr("Neena"), vstr("Kochhar"), vdate(2005, 9, 21), vdecimal("17000")},
            {vnum(102), vnull(), vstr("De Haan"), vdate(2001, 1, 13), vdecimal("17000.99")}};
  return t;
}

// The middle column's COL$ line is longer than a reader takes: the table
// has a gap.
TableDef wide() {
  TableDef t = appTable(kHr, "WIDE", 73310, {num("ID"), vc(std::string(128, 'W'), 10), vc("NOTE", 10)});
  t.rows = {{vnum(1), vstr("hidden"), vstr("shown")}, {vnum(2), vnull(), vstr("after null")}};
  return t;
}

std::vector<UserDef> users() {
  return {{0, "SYS", 1, "8A8F025737A9097A"},     {1, "PUBLIC", 0, ""},
          {5, "SYSTEM", 1, "2D594E86F93B17A1"},  {kScott, "SCOTT", 1, "F894844C34402B67"},
          {kHr, "HR", 1, "4C6D73C3E8B0F0DA"},    {56, "SALES", 1, "9EB2A4B7C1D0E3F5"}};
}

// ---- placing the segments -------------------------------------------

struct Build {
  ScenarioOut& out;
  Catalog cat;
  ForgeFile system, usersFile;
  uint32_t nextUsersBlock = 8;
  std::map<std::string, std::vector<Row>> scanned;  // rows of each table in scan order, by owner.name
  std::string error;

  Build(ScenarioOut& o, FileSpec sys, FileSpec usr) : out(o), system(std::move(sys)), usersFile(std::move(usr)) {}
};

std::string key(const TableDef& t) { return std::to_string(t.owner) + "." + t.name; }

bool placeAppHeap(Build& b, TableDef& t) {
  SegmentPlace p;
  if (!placeHeap(b.usersFile, t.dataObjNo, b.nextUsersBlock, 0, t.rows, p, b.error)) return false;
  t.header = p.header;
  b.nextUsersBlock += p.blocks + 2;
  b.scanned[key(t)] = t.rows;
  return true;
}

bool placePartitions(Build& b, TableDef& t) {
  for (PartDef& part : t.parts) {
    SegmentPlace p;
    if (!placeHeap(b.usersFile, part.dataObjNo, b.nextUsersBlock, 0, part.rows, p, b.error)) return false;
    part.header = p.header;
    b.nextUsersBlock += p.blocks + 2;
    b.scanned[key(t) + "." + part.name] = part.rows;
  }
  return true;
}

bool placeAppCluster(Build& b, std::vector<TableDef>& tables, ObjectDef& cluster) {
  std::vector<std::vector<Row>> rows, ordered;
  for (const TableDef& t : tables) rows.push_back(t.rows);
  SegmentPlace p;
  if (!placeCluster(b.usersFile, cluster.dataObjNo, b.nextUsersBlock, 0, 1, rows, ordered, p, b.error)) return false;
  cluster.header = p.header, cluster.rfn = kUsersRfn, cluster.ts = kUsersTs;
  for (size_t i = 0; i < tables.size(); ++i) {
    tables[i].header = p.header;
    b.scanned[key(tables[i])] = ordered[i];
  }
  b.nextUsersBlock += p.blocks + 2;
  return true;
}

// An index segment: its header block only.
ObjectDef index(Build& b, uint32_t owner, const std::string& name, uint32_t objNo, uint32_t base) {
  ObjectDef o = objectDef(owner, name, objNo, 1);
  o.dataObjNo = objNo, o.baseObjNo = base, o.ts = kUsersTs, o.rfn = kUsersRfn, o.header = b.nextUsersBlock;
  SegmentSpec s;
  s.objd = objNo;
  s.extents = {{b.usersFile.rdba(o.header), 1}};
  b.usersFile.addSegment(o.header, s);
  b.nextUsersBlock += 2;
  return o;
}

bool buildApplication(Build& b) {
  Catalog& c = b.cat;
  ObjectDef cluster = objectDef(kScott, "EMP_DEPT", 73150, 3);
  cluster.dataObjNo = 73150;
  std::vector<TableDef> clustered = clusterTables(cluster.dataObjNo);
  std::vector<TableDef> heaps = {emp(), acctHist(), recycled(), allTypes(), rawLog(), docs(), employees(), wide()};
  for (TableDef& t : heaps)
    if (!placeAppHeap(b, t)) return false;
  if (!placeAppCluster(b, clustered, cluster)) return false;
  TableDef parted = salesPartitioned();
  if (!placePartitions(b, parted)) return false;
  c.tables.insert(c.tables.end(), heaps.begin(), heaps.end());
  c.tables.insert(c.tables.end(), clustered.begin(), clustered.end());
  c.tables.push_back(parted);
  c.objects.push_back(cluster);
  c.objects.push_back(index(b, kScott, "PK_EMP", 73185, 73181));
  for (uint32_t intCol = 3; intCol <= 6; ++intCol)
    c.objects.push_back(index(b, kScott, format("SYS_IL0000073210C%05u$$", intCol), 73208 + intCol, 73210));
  c.objects.push_back(index(b, kHr, "EMP_EMP_ID_PK", 73301, 73300));
  c.objects.push_back(objectDef(kHr, "EMP_DETAILS_VIEW", 73302, 4));
  c.objects.push_back(objectDef(kHr, "ADD_JOB_HISTORY", 73303, 7));
  c.objects.push_back(objectDef(kHr, "GET_BONUS", 73304, 8));
  c.objects.push_back(objectDef(kHr, "EMP_PKG", 73305, 9));
  c.objects.push_back(objectDef(kHr, "EMP_PKG", 73306, 11));
  return true;
}

// The dictionary rows, placed in the SYSTEM file in the segments the
// bootstrap reads.
bool buildDictionary(Build& b, DictScan& s) {
  ObjectDef xml = objectDef(kSys, "XMLTYPE", 3500, 13);
  xml.oid = kXmlTypeOid;
  b.cat.objects.push_back(xml);
  if (!placeDictionary(b.system, b.cat, s, b.error)) return false;
  b.scanned["0.USER$"] = s.user, b.scanned["0.OBJ$"] = s.obj, b.scanned["0.TAB$"] = s.tab;
  b.scanned["0.IND$"] = s.ind, b.scanned["0.COL$"] = s.col, b.scanned["0.COLTYPE$"] = s.coltype;
  b.scanned["0.TABPART$"] = s.tabpart;
  return true;
}

// ---- what a correct BEX writes --------------------------------------

struct ListLine {
  std::string text, dataFile;
  const TableDef* table;
  std::string scanKey;  // whose rows the line unloads; empty: none (NODICT)
  uint32_t objd;
  std::string partition;
};

// The LIST TABLE lines of one user, in the order LIST finds them: the
// tables by OBJ# (the order of OBJ$ here), then the partitions, recycle-bin
// names passed over.
bool inRecycleBin(const TableDef& t) { return t.name.size() == 30 && t.name.rfind("BIN$", 0) == 0; }

std::vector<ListLine> listLines(const Build& b, const UserDef& u) {
  std::vector<const TableDef*> tables;
  for (const TableDef& t : b.cat.tables)
    if (t.owner == u.number && !inRecycleBin(t)) tables.push_back(&t);
  std::sort(tables.begin(), tables.end(), [](const TableDef* x, const TableDef* y) { return x->objNo < y->objNo; });
  std::vector<ListLine> out;
  auto add = [&](const TableDef& t, uint32_t objd, uint32_t tab, const std::string& scanKey,
                 const std::string& partition = "") {
    const char* nodict = scanKey.empty() ? "_NODICT" : "";
    const std::string file = format("%s_%s_%u%s.txt", u.name.c_str(), t.name.c_str(), objd, nodict);
    const std::string cl = tab ? format(" CLUSTER %u", tab) : "";
    out.push_back({format(" UNLOAD TABLE %s.%s OBJECT %u%s TO %s;\n", u.name.c_str(), t.name.c_str(), objd,
                          cl.c_str(), file.c_str()),
                   file, &t, scanKey, objd, partition});
  };
  for (const TableDef* t : tables) add(*t, t->dataObjNo ? t->dataObjNo : t->objNo, t->tab, t->dataObjNo ? key(*t) : "");
  for (const TableDef* t : tables)
    for (const PartDef& p : t->parts) add(*t, p.dataObjNo, 0, key(*t) + "." + p.name, p.name);
  return out;
}

std::string lobNameOf(const std::string& dataFile) { return dataFile.substr(0, dataFile.rfind('.') + 1) + "LOB"; }

// The rows of one LIST line: its expected files and the lines of the check
// script that compare them.
bool expectUnload(Build& b, const ListLine& l, std::string& check) {
  if (l.scanKey.empty()) {
    check += "  gone '" + l.dataFile + "'\n";
    return true;
  }
  const std::string rowsDir = b.out.path("expect/rows/");
  const SegmentColumns sc = segmentColumns(*l.table, colFileCodes());
  const UnloadedFiles un = renderUnload(b.scanned[l.scanKey], sc.codes, sc.count, lobNameOf(l.dataFile));
  if (!writeTextFile(rowsDir + l.dataFile, un.data, b.error)) return false;
  check += "  same 'expect/rows/" + l.dataFile + "' '" + l.dataFile + "'\n";
  if (un.lob.empty()) return true;
  check += "  same 'expect/rows/" + lobNameOf(l.dataFile) + "' '" + lobNameOf(l.dataFile) + "'\n";
  return writeTextFile(rowsDir + lobNameOf(l.dataFile), un.lob, b.error);
}

// The kinds of table the dumps of the LIST lines stand for.
std::string dumpKindOf(const ListLine& l) {
  static const std::map<std::string, std::string> kinds = {
      {"EMP", "heap"},           {"DEPT_C", "cluster"},       {"BONUS_C", "cluster-key-inside"},
      {"SALES_PT", "partition"}, {"ALLTYPES", "every-type"},  {"RAWLOG", "long-raw"},
      {"DOCS", "xmltype-lobs"},  {"ACCT$HIST", "dollar-name"}, {"EMPLOYEES", "heap-hr"}};
  const auto it = kinds.find(l.table->name);
  const std::string kind = it == kinds.end() ? l.table->name : it->second;
  return l.partition.empty() ? kind : kind + "-" + l.partition;
}

// The export dump of one LIST line in DMP style (the same line with a
// ".dmp" name), for tables whose every position has a readable column.
bool expectDump(Build& b, const UserDef& u, const ListLine& l, DumpKinds& kinds) {
  const SegmentColumns sc = segmentColumns(*l.table, colFileCodes());
  for (uint32_t i = 0; i < sc.count; ++i)
    if (sc.codes[i] == 0) return true;
  ExpectedDump d;
  d.user = u.name, d.target = l.table->name, d.objd = l.objd;
  d.columns = dumpColumns(*l.table);
  for (const Row& r : b.scanned[l.scanKey]) d.rows.push_back(dumpRowOf(r, d.columns));
  const std::string file = l.dataFile.substr(0, l.dataFile.rfind('.')) + ".dmp";
  std::string statement = l.text.substr(1, l.text.size() - 2);
  statement.replace(statement.rfind(l.dataFile), l.dataFile.size(), file);
  kinds.kind(dumpKindOf(l), file, {statement});
  return writeExpectedDump(b.out.path("expect/dump/"), file, d, b.error);
}

bool writeUnloadExpectations(Build& b) {
  DumpKinds kinds(b.out);
  kinds.setup("UNLOAD TABLE DICT$;");
  std::string check =
      "#!/bin/sh\n# Compares what BEX wrote with what the forged database holds: \"check.sh dict\" the\n"
      "# dictionary files, \"check.sh rows [USER]\" the files of the UNLOAD lines LIST TABLE prints\n"
      "# (for every user, or for that one). Exits 1 when a file differs or a file that must not\n"
      "# be written was left behind.\n"
      "cd \"$(dirname \"$0\")/..\"\n"
      "status=0\n"
      "same() { if cmp -s \"$1\" \"$2\"; then echo \"$2 same\"; else echo \"$2 DIFFERS\"; status=1; fi; }\n"
      "gone() { if [ -e \"$1\" ]; then echo \"$1 LEFT BEHIND\"; status=1; else echo \"$1 not written\"; fi; }\n"
      "dict() {\n"
      "  n=0\n"
      "  for f in expect/BEXDICT/*; do\n"
      "    if cmp -s \"$f\" \"BEXDICT/${f##*/}\"; then n=$((n + 1))\n"
      "    else echo \"BEXDICT/${f##*/} DIFFERS\"; status=1; fi\n"
      "  done\n"
      "  echo \"$n dictionary files same\"\n"
      "}\n"
      "rows() {\n";
  for (const UserDef& u : b.cat.users) {
    std::string list;
    check += "  if [ -z \"$1\" ] || [ \"$1\" = " + u.name + " ]; then\n  :\n";
    for (const ListLine& l : listLines(b, u)) {
      list += l.text;
      if (!expectUnload(b, l, check) || (!l.scanKey.empty() && !expectDump(b, u, l, kinds))) return false;
    }
    check += "  fi\n";
    if (!writeTextFile(b.out.path("expect/list_" + u.name + ".txt"), list, b.error)) return false;
  }
  check += "}\n\"${1:-dict}\" \"${2:-}\"\nexit $status\n";
  return writeTextFile(b.out.path("expect/check.sh"), check, b.error) &&
         kinds.write(b.out.path("expect/dump/"), b.error);
}

// What every table of the application users holds once its unloaded text
// is loaded (expect/load/, format in load_oracle.h).
bool writeLoadExpectations(Build& b) {
  const std::string dir = b.out.path("expect/load/");
  if (!makeDir(dir, b.error)) return false;
  for (const UserDef& u : b.cat.users) {
    if (u.number == kSys) continue;
    for (const TableDef& t : b.cat.tables)
      if (t.owner == u.number && !inRecycleBin(t) &&
          !writeLoadedRows(dir, u.name, t.name, loadedRows(t, segmentColumns(t, colFileCodes())), b.error))
        return false;
  }
  return true;
}

// COL$ names other character sets than the scenario's own when asked to.
bool relabelCharsets(Build& b, const ScenarioOptions& opts) {
  for (TableDef& t : b.cat.tables)
    for (ColDef& c : t.cols) {
      if (c.form == 1 && opts.charset) c.charsetId = opts.charset;
      if (c.form == 2 && opts.nlsCharset) c.charsetId = opts.nlsCharset;
    }
  return true;
}

// The SYS tables of `extend` join the catalog with their rows.
bool extendDictionary(Build& b, DictExtend extend) {
  if (!extend) return true;
  std::vector<TableDef> tables;
  if (!extend(b.system, b.cat, tables, b.error)) return false;
  for (const TableDef& t : tables) b.scanned[key(t)] = t.rows;
  b.cat.tables.insert(b.cat.tables.end(), tables.begin(), tables.end());
  return true;
}

}  // namespace

bool buildDictScenario(ScenarioOut& out, std::string& error) { return buildDictScenarioWith(out, error, nullptr); }

bool buildDictScenarioWith(ScenarioOut& out, std::string& error, DictAdd add, DictExtend extend) {
  FileSpec sys = systemFileSpec(out, "dict_system01.dbf");
  FileSpec usr = out.fileSpec("dict_users04.dbf", kUsersRfn);
  usr.header.tsNumber = kUsersTs;
  usr.header.tsName = "USERS";
  Build b(out, sys, usr);
  b.cat.users = users();
  DictScan scan;
  const bool ok = buildApplication(b) && extendDictionary(b, extend) && relabelCharsets(b, out.options()) &&
                  buildDictionary(b, scan) && makeDir(out.path("expect"), b.error) &&
                  makeDir(out.path("expect/BEXDICT"), b.error) && makeDir(out.path("expect/rows"), b.error) &&
                  makeDir(out.path("expect/dump"), b.error) &&
                  writeDictionaryFiles(out.path("expect/BEXDICT/"), scan, b.error) && writeUnloadExpectations(b) &&
                  writeLoadExpectations(b) && (!add || add(out, DictAddition{b.system, b.usersFile, b.nextUsersBlock}, b.error)) &&
                  out.add(b.system, b.error) &&
                  out.add(b.usersFile, b.error);
  if (!ok) error = b.error;
  return ok;
}

}  // namespace bex::forge
