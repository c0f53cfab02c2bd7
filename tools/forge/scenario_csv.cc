// Scenario "csv": the schema APP, whose values try CSV output and a load
// into another database. csv_system01.dbf (rfn 1) holds the dictionary,
// csv_users04.dbf (rfn 4, USERS) the tables:
//
//   APP.TEXTS      text holding the separator, quotes, CR, LF, CR LF, tabs,
//                  NUL bytes, the text style's "|", GBK text (the database
//                  character set is ZHS16GBK), blanks-only CHAR (an empty
//                  string), NULLs; NVARCHAR2 and NCHAR beyond ASCII
//   APP.KINDS      every scalar type: NUMBER at its limits, FLOAT,
//                  BINARY_FLOAT and BINARY_DOUBLE (tiny, huge, negative,
//                  NaN, infinities), DATE (a year before 1), TIMESTAMP(9)
//                  with nanoseconds, WITH TIME ZONE, WITH LOCAL TIME ZONE,
//                  RAW, ROWID, both INTERVALs, CHAR, VARCHAR
//   APP.LONGS      LONG text with separators and line ends
//   APP.LONGRAWS   LONG RAW of every byte value
//   APP.LOBS       CLOB, BLOB and NCLOB values stored inline: text with
//                  quotes, line ends and a NUL, every byte value, empty, NULL
//   APP.PARTED     range partitions P1, P2, P3
//   APP.ORDERS, APP.ITEMS   tables 1 and 2 of the cluster APP.ORDERS_CL
//   APP.BULK       400 rows over several blocks
//
// Under expect/: what the CSV road writes (csv/: the data and LOB files of
// each UNLOAD line LIST TABLE APP prints, in OUTPUT_STYLE CSV: text of the
// data files in GBK, NCHAR converted to it as by default, CLOB and NCLOB
// values converted to UTF-8), what each table holds once loaded
// (load/, format in load_oracle.h), road.sql (the statements of the road)
// and check.sh (compares the written files with csv/).
#include <iconv.h>

#include <algorithm>
#include <limits>
#include <map>

#include "forge/dict_system.h"
#include "forge/dict_values.h"
#include "forge/load_oracle.h"
#include "forge/lob_locator.h"
#include "forge/values.h"

namespace bex::forge {

namespace {

using namespace coldef;

constexpr uint16_t kUsersRfn = 4;
constexpr uint32_t kUsersTs = 4;
constexpr uint32_t kApp = 70;
constexpr uint32_t kBulkRows = 400;
constexpr uint8_t kClob = 112, kBlob = 113, kNclob = 255;

TableDef appTable(const std::string& name, uint32_t objNo, std::vector<ColDef> cols) {
  TableDef t;
  t.owner = kApp, t.name = name, t.objNo = objNo, t.dataObjNo = objNo, t.ts = kUsersTs, t.rfn = kUsersRfn;
  t.cols = std::move(cols);
  return t;
}

// ---- values ------------------------------------------------------------

// UTF-8 text in GBK, the database character set and the one national
// text is converted to (the default ICONV_NCHAR).
std::string gbk(const std::string& utf8) {
  iconv_t cd = iconv_open("GBK", "UTF-8");
  std::string in = utf8, out(utf8.size() * 2, '\0');
  char* ip = in.data();
  char* op = out.data();
  size_t il = in.size(), ol = out.size();
  iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  out.resize(out.size() - ol);
  return out;
}

// Text stored in GBK, loaded as its UTF-8 form.
Val vgbk(const std::string& utf8) {
  Val v = vstr(gbk(utf8));
  v.load = utf8;
  return v;
}

// National text: stored as UTF-16, written in GBK; NCHAR blank-padded to
// its width, padding kept.
Val vnational(const std::string& utf8, size_t width = 0) {
  std::string padded = utf8;
  const size_t chars = static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) {
    return (static_cast<unsigned char>(c) & 0xc0) != 0x80;
  }));
  if (width > chars) padded.append(width - chars, ' ');
  Val v{col(ucs2be(padded)), gbk(padded)};
  v.load = padded;
  return v;
}

// A LOB stored inline (locator case A) holding `data`; `loaded` is the
// value a load gives (UTF-8 text of a character LOB, the bytes of a BLOB).
Val vinlineLob(uint64_t id, const Bytes& data, const std::string& loaded) {
  LocatorSpec l;
  l.kind = LocatorCase::A, l.id = lobIdOf(0x750000 + id), l.lastlen = static_cast<uint16_t>(data.size());
  l.inlineData = true, l.data = data;
  Val v{col(encodeLocator(l)), ""};
  v.load = loaded;
  return v;
}
Val vclob(uint64_t id, const std::string& utf8) { return vinlineLob(id, ucs2be(utf8), utf8); }
Val vblob(uint64_t id, const Bytes& b) { return vinlineLob(id, b, std::string(b.begin(), b.end())); }

// ---- the tables ----------------------------------------------------------

TableDef texts() {
  TableDef t = appTable("TEXTS", 75100,
                        {nn(num("ID")), vc("V", 200), text("C", 96, 12), text("N", 1, 120, 2), text("NC", 96, 12, 2)});
  const std::vector<std::string> hard = {"plain",       "a,b,c",       "say \"hi\"",      "\"",
                                         "line1\nline2", "cr\rhere",    "crlf\r\nend",     "tab\there",
                                         std::string("nul\0byte", 8), "|pipe|",  " both ends ", ",",
                                         "\"\"\"",       "end\n"};
  int id = 1;
  for (const std::string& v : hard) t.rows.push_back({vnum(id++), vstr(v)});
  t.rows.push_back({vnum(id++), vgbk("中文,汉字 \"引号\"")});
  t.rows.push_back({vnum(id++), vnull(), vchar("ab", 12), vnational("Grün, \"Ω\"\n"), vnational("Ω", 6)});
  t.rows.push_back({vnum(id++), vstr("blank char"), vchar("", 12), vnational("東京"), vnational("n", 6)});
  t.rows.push_back({vnum(id++), vstr("x"), vchar("x,y", 12), vnull(), vnull()});
  return t;
}

TableDef kinds() {
  TableDef t = appTable("KINDS", 75110,
                        {nn(num("ID")), num("NUM"), num("NUM_PS", 12, 4), num("FLT", 63, -127),
                         typed("BF", 100, 4), typed("BD", 101, 8), typed("D", 12, 7), typed("TS", 180, 11, {}, 9),
                         typed("TSTZ", 181, 13, {}, 6), typed("TSLTZ", 231, 11, {}, 3), typed("R", 23, 16),
                         typed("RID", 69, 10), typed("IYM", 182, 5, 4, 0), typed("IDS", 183, 11, 3, 9),
                         text("CH", 96, 4), text("VC", 9, 10)});
  const float nanf = std::numeric_limits<float>::quiet_NaN(), inff = std::numeric_limits<float>::infinity();
  const double nand = std::numeric_limits<double>::quiet_NaN(), infd = std::numeric_limits<double>::infinity();
  t.rows = {
      {vnum(1), vdecimal("0"), vdecimal("-99999999.9999"), vdecimal("0.1"), vfloat(1.5f), vdouble(0.1),
       vdate(2024, 2, 29, 23, 59, 59), vtimestamp(2024, 1, 2, 3, 4, 5, 123456789),
       vtimestampTz(2024, 6, 1, 12, 0, 0, 250000000, 5, 30), vtimestamp(2020, 6, 30, 12, 0, 0, 500000000),
       vhex({0x00, 0xff, 0x0d, 0x0a, 0x2c, 0x22, 0x7c}), vhex({0x00, 0x01, 0x24, 0x05, 0x00, 0x07, 0x00, 0x01, 0x00, 0x01}),
       vintervalYm(2, 11), vintervalDs(3, 4, 5, 6, 789000000), vchar("a", 4), vstr("v,1")},
      {vnum(2), vdecimal("12345678901234567890123456789012345678"), vdecimal("0.0001"), vdecimal("-1.5"),
       vfloat(1e-10f), vdouble(1e300), vdate(1, 1, 1), vtimestamp(1999, 12, 31, 23, 59, 59, 999999999),
       vtimestampTz(1970, 1, 1, 0, 0, 0, 1000, -8, 0), vtimestamp(2000, 2, 29, 0, 0, 0, 0),
       vhex({0x22}), vnull(), vintervalYm(-1, -6), vintervalDs(-1, 0, 0, 0, 1), vchar("", 4), vstr("\"")},
      {vnum(3), vdecimal("1" + std::string(120, '0')), vdecimal("123.5"), vdecimal("1000000"),
       vfloat(-3.4028235e38f), vdouble(-2.2250738585072014e-308), vdate(-44, 3, 15, 12),
       vtimestamp(1, 1, 1, 0, 0, 0, 1), vtimestampTz(9999, 12, 31, 23, 59, 59, 999999000, 0, 0),
       vnull(), vnull(), vnull(), vnull(), vnull(), vnull(), vnull()},
      {vnum(4), vdecimal("-0.000000000000000000000000000001"), vnull(), vnull(), vfloat(nanf), vdouble(nand)},
      {vnum(5), vnull(), vnull(), vnull(), vfloat(inff), vdouble(-infd)},
      {vnum(6), vnull(), vnull(), vnull(), vfloat(-inff), vdouble(infd)},
  };
  return t;
}

TableDef longs() {
  TableDef t = appTable("LONGS", 75120, {nn(num("ID")), typed("L", 8, 0)});
  std::string l;
  for (int i = 0; i < 60; ++i) l += format("line %d, \"quoted\"\r\n\t", i);
  t.rows = {{vnum(1), vstr(l)}, {vnum(2), vnull()}, {vnum(3), vstr(",")}};
  return t;
}

Bytes everyByte() {
  Bytes b;
  for (int i = 0; i < 256; ++i) b.push_back(static_cast<uint8_t>(i));
  return b;
}

TableDef longRaws() {
  TableDef t = appTable("LONGRAWS", 75125, {nn(num("ID")), typed("LR", 24, 0)});
  t.rows = {{vnum(1), vhex(everyByte())}, {vnum(2), vnull()}};
  return t;
}

TableDef lobs() {
  TableDef t = appTable("LOBS", 75130,
                        {nn(num("ID")), text("CL", 112, 4000), typed("BL", 113, 4000), text("NCL", 112, 4000, 2)});
  t.rows = {
      {vnum(1), vclob(1, "Hello, \"world\"\r\nsecond line"), vblob(2, everyByte()), vclob(3, "Ω and 東京, \"n\"")},
      {vnum(2), vclob(4, std::string("a NUL \0 inside", 14)), vblob(5, {0x00}), vclob(6, "")},
      {vnum(3), vnull(), vnull(), vnull()},
      {vnum(4), vclob(7, ""), vblob(8, {})},
  };
  return t;
}

TableDef parted() {
  TableDef t = appTable("PARTED", 75140, {nn(num("ID")), vc("REGION", 10), num("AMOUNT", 10, 2)});
  t.dataObjNo = 0;
  PartDef p1{"P1", 75141, 75141, {}, 0}, p2{"P2", 75142, 75142, {}, 0}, p3{"P3", 75143, 75143, {}, 0};
  for (int i = 1; i <= 5; ++i) p1.rows.push_back({vnum(i), vstr("north,1"), vdecimal(format("%d.25", i))});
  for (int i = 6; i <= 9; ++i) p2.rows.push_back({vnum(i), vstr("south \"2\""), vdecimal(format("-%d.5", i))});
  p3.rows = {{vnum(10), vnull(), vnull()}};
  t.parts = {p1, p2, p3};
  return t;
}

// ORDERS and ITEMS in the cluster ORDERS_CL, key ORDER_ID stored first.
std::vector<TableDef> clustered(uint32_t clusterObjNo) {
  TableDef orders = appTable("ORDERS", 75151, {nn(num("ORDER_ID")), vc("CUSTOMER", 30)});
  orders.rows = {{vnum(1), vstr("Smith, John")}, {vnum(2), vstr("\"ACME\"")}, {vnum(3), vnull()}};
  TableDef items = appTable("ITEMS", 75152,
                            {at(vc("ITEM", 20), 1, 2), at(num("QTY", 5, 0), 2, 3), at(nn(num("ORDER_ID")), 3, 1)});
  items.rows = {{vnum(1), vstr("bolt,M6"), vnum(100)},
                {vnum(1), vstr("nut\nM6"), vnum(250)},
                {vnum(2), vstr("anvil"), vnum(1)},
                {vnum(3), vstr("")}};
  for (TableDef* t : {&orders, &items}) t->dataObjNo = t->clusterObjNo = clusterObjNo;
  orders.tab = 1, items.tab = 2;
  return {orders, items};
}

TableDef bulk() {
  TableDef t = appTable("BULK", 75160,
                        {nn(num("ID")), vc("NAME", 40), typed("WHEN", 12, 7), typed("SCORE", 101, 8), typed("TAG", 23, 4)});
  for (uint32_t i = 1; i <= kBulkRows; ++i) {
    const int n = static_cast<int>(i);
    t.rows.push_back({vnum(n), vstr(i % 7 ? format("item %d", n) : format("item %d, \"special\"", n)),
                      vdate(2000 + n % 25, 1 + n % 12, 1 + n % 28, n % 24, n % 60, n % 59),
                      i % 11 ? vdouble(n * 0.1) : vnull(),
                      vhex({static_cast<uint8_t>(i), static_cast<uint8_t>(i >> 8), 0x00, 0x2c})});
  }
  return t;
}

// ---- placing them ----------------------------------------------------------

struct Build {
  ScenarioOut& out;
  Catalog cat;
  ForgeFile system, users;
  uint32_t nextBlock = 8;
  std::map<std::string, std::vector<Row>> scanned;  // rows in scan order, by data file
  std::string error;

  Build(ScenarioOut& o, FileSpec sys, FileSpec usr) : out(o), system(std::move(sys)), users(std::move(usr)) {}

  std::string dataFile(const std::string& table, uint32_t objd) const {
    return format("APP_%s_%u.csv", table.c_str(), objd);
  }
  bool place(uint32_t objd, const std::string& table, const std::vector<Row>& rows, uint32_t& header) {
    SegmentPlace p;
    if (!placeHeap(users, objd, nextBlock, 0, rows, p, error)) return false;
    header = p.header;
    nextBlock += p.blocks + 2;
    scanned[dataFile(table, objd)] = rows;
    return true;
  }
};

bool placeTables(Build& b) {
  std::vector<TableDef> heaps = {texts(), kinds(), longs(), longRaws(), lobs(), bulk()};
  for (TableDef& t : heaps)
    if (!b.place(t.dataObjNo, t.name, t.rows, t.header)) return false;
  TableDef p = parted();
  for (PartDef& part : p.parts)
    if (!b.place(part.dataObjNo, p.name, part.rows, part.header)) return false;
  ObjectDef cluster = objectDef(kApp, "ORDERS_CL", 75150, kObjTypeCluster);
  cluster.dataObjNo = 75150, cluster.ts = kUsersTs, cluster.rfn = kUsersRfn;
  std::vector<TableDef> members = clustered(cluster.dataObjNo);
  std::vector<std::vector<Row>> rows, ordered;
  for (const TableDef& t : members) rows.push_back(t.rows);
  SegmentPlace place;
  if (!placeCluster(b.users, cluster.dataObjNo, b.nextBlock, 0, 1, rows, ordered, place, b.error)) return false;
  cluster.header = place.header;
  b.nextBlock += place.blocks + 2;
  for (size_t i = 0; i < members.size(); ++i) {
    members[i].header = place.header;
    b.scanned[b.dataFile(members[i].name, cluster.dataObjNo)] = ordered[i];
  }
  b.cat.tables = heaps;
  b.cat.tables.insert(b.cat.tables.end(), members.begin(), members.end());
  b.cat.tables.push_back(p);
  b.cat.objects.push_back(cluster);
  return true;
}

// ---- what a correct BEX writes -------------------------------------------

bool isLob(uint8_t code) { return code == kClob || code == kBlob || code == kNclob; }
bool isCharacter(uint8_t code) { return code == 1 || code == 8 || code == 9 || code == 96; }

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string q = "\"";
  for (char c : text) q += c == '"' ? std::string("\"\"") : std::string(1, c);
  return q + "\"";
}

struct Unloaded {
  std::string data, lob;
};

// The rows in CSV style: "," between fields, "\n" after each row and each
// LOB value, every position up to the column count given a field.
Unloaded renderCsv(const std::vector<Row>& rows, const SegmentColumns& sc, const std::string& lobName) {
  Unloaded u;
  for (const Row& r : rows) {
    std::string line;
    bool first = true;
    for (size_t pos = 0; pos < sc.count; ++pos) {
      const uint8_t code = sc.codes[pos];
      if (code == 0) continue;
      if (!first) line += ',';
      first = false;
      const Val* v = pos < r.size() ? &r[pos] : nullptr;
      if (isLob(code)) {
        const std::optional<std::string> content = v ? v->load : std::nullopt;
        line += csvField(format("%s.%zu.%lld/", lobName.c_str(), u.lob.size() + 1,
                                content ? static_cast<long long>(content->size()) : -1LL));
        if (content) u.lob += *content;
        u.lob += '\n';
      } else if (v && !v->col.null && !v->col.bytes.empty()) {
        const std::string& text = v->csvText();
        line += text.empty() && isCharacter(code) ? "\"\"" : csvField(text);
      }
    }
    u.data += line + '\n';
  }
  return u;
}

std::string lobNameOf(const std::string& dataFile) { return dataFile.substr(0, dataFile.rfind('.') + 1) + "LOB"; }

const TableDef* tableOf(const Build& b, const std::string& dataFile) {
  for (const TableDef& t : b.cat.tables) {
    if (t.owner != kApp) continue;
    if (b.dataFile(t.name, t.dataObjNo) == dataFile) return &t;
    for (const PartDef& p : t.parts)
      if (b.dataFile(t.name, p.dataObjNo) == dataFile) return &t;
  }
  return nullptr;
}

bool writeExpectations(Build& b) {
  const std::string csvDir = b.out.path("expect/csv/"), loadDir = b.out.path("expect/load/");
  if (!makeDir(b.out.path("expect"), b.error) || !makeDir(csvDir, b.error) || !makeDir(loadDir, b.error))
    return false;
  std::string files;
  for (const auto& [dataFile, rows] : b.scanned) {
    const TableDef* t = tableOf(b, dataFile);
    const Unloaded u = renderCsv(rows, segmentColumns(*t, colFileCodes()), lobNameOf(dataFile));
    if (!writeTextFile(csvDir + dataFile, u.data, b.error)) return false;
    files += " " + dataFile;
    if (u.lob.empty()) continue;
    if (!writeTextFile(csvDir + lobNameOf(dataFile), u.lob, b.error)) return false;
    files += " " + lobNameOf(dataFile);
  }
  for (const TableDef& t : b.cat.tables)
    if (t.owner == kApp &&
        !writeLoadedRows(loadDir, "APP", t.name, loadedRows(t, segmentColumns(t, colFileCodes())), b.error))
      return false;
  const std::string road =
      "REM The CSV road on the forged files; run bex in the directory the scenario was forged into.\n"
      "SET ICONV_CLOB UTF-16BE UTF-8\n"
      "SET ICONV_NCLOB UTF-16BE UTF-8\n"
      "SET OUTPUT_STYLE CSV\n"
      "OPEN csv.cfg\n"
      "UNLOAD TABLE DICT$;\n"
      "LIST TABLE APP TO app.sql\n"
      "@app.sql\n"
      "LOAD SCRIPT loadall.bat\n"
      "! sh expect/check.sh\n"
      "EXIT\n";
  const std::string check =
      "#!/bin/sh\n"
      "# Compares the data and LOB files of the CSV road with what the forged files hold;\n"
      "# exits 1 when one differs.\n"
      "cd \"$(dirname \"$0\")/..\"\n"
      "status=0\n"
      "for f in" + files + "; do\n"
      "  if cmp -s \"expect/csv/$f\" \"$f\"; then echo \"$f same\"; else echo \"$f DIFFERS\"; status=1; fi\n"
      "done\n"
      "exit $status\n";
  return writeTextFile(b.out.path("expect/road.sql"), road, b.error) &&
         writeTextFile(b.out.path("expect/check.sh"), check, b.error);
}

}  // namespace

bool buildCsvScenario(ScenarioOut& out, std::string& error) {
  Build b(out, systemFileSpec(out, "csv_system01.dbf"), usersFileSpec(out, "csv_users04.dbf", kUsersRfn, kUsersTs));
  b.cat.users = {{kSysUser, "SYS", 1, "8A8F025737A9097A"}, {1, "PUBLIC", 0, ""}, {kApp, "APP", 1, "5A1F3C2B4D6E7F80"}};
  DictScan scan;
  const bool ok = placeTables(b) && writeExpectations(b) && placeDictionary(b.system, b.cat, scan, b.error) &&
                  out.add(b.system, b.error) && out.add(b.users, b.error);
  if (!ok) error = b.error;
  return ok;
}

}  // namespace bex::forge
