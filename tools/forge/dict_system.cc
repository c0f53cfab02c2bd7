#include "forge/dict_system.h"

#include <sys/stat.h>

#include <cerrno>

#include "forge/dict_segments.h"
#include "forge/row_piece.h"
#include "forge/unload_rows.h"

namespace bex::forge {

namespace coldef {

ColDef num(const std::string& name, std::optional<int32_t> precision, std::optional<int32_t> scale, bool notNull) {
  ColDef c;
  c.name = name, c.type = 2, c.length = 22, c.precision = precision, c.scale = scale, c.notNull = notNull;
  return c;
}
ColDef nn(ColDef c) {
  c.notNull = true;
  return c;
}
ColDef typed(const std::string& name, uint32_t type, uint32_t length, std::optional<int32_t> precision,
             std::optional<int32_t> scale) {
  ColDef c;
  c.name = name, c.type = type, c.length = length, c.precision = precision, c.scale = scale;
  return c;
}
ColDef text(const std::string& name, uint32_t type, uint32_t length, uint32_t form) {
  ColDef c = typed(name, type, length);
  c.form = form;
  c.charsetId = form == 2 ? kCsNational : kCsDb;
  return c;
}
ColDef vc(const std::string& name, uint32_t length) { return text(name, 1, length); }
ColDef at(ColDef c, uint32_t colNo, uint32_t segColNo, uint32_t intColNo) {
  c.colNo = colNo, c.segColNo = segColNo, c.intColNo = intColNo ? intColNo : colNo;
  return c;
}

}  // namespace coldef

using namespace coldef;

namespace {

// Dictionary segments in the SYSTEM file: fixed headers, room after them.
struct DictSegment {
  uint32_t objd, header, maxBlocks;
};
constexpr DictSegment kUserCluster{10, 10, 3}, kObjSeg{18, 20, 9}, kObjCluster{2, 40, 39}, kTabPartSeg{230, 90, 4};

// Column type codes of the dictionary files, by stored column position.
const std::vector<uint8_t> kUserCodes = {2, 1};
const std::vector<uint8_t> kObjCodes = {2, 0, 2, 1, 0, 1, 2, 0, 0, 0, 0, 0, 0, 0, 23};
const std::vector<uint8_t> kTabCodes = {2, 2, 2, 2, 2, 0, 2};
const std::vector<uint8_t> kIndCodes = {0, 2, 2, 2, 2, 2};
const std::vector<uint8_t> kTabPartCodes = {2, 2, 0, 0, 0, 0, 2, 2, 2};
const std::vector<uint8_t> kColCodes = {2, 2, 2, 0, 0, 1, 2, 2, 0, 2, 2, 2, 0, 0, 2, 2, 2, 2};
const std::vector<uint8_t> kColTypeCodes = {2, 2, 2, 23, 2, 2, 0, 0, 0, 0, 2};

TableDef sysTable(const std::string& name, uint32_t objNo, const DictSegment& seg, uint32_t tab,
                  std::vector<ColDef> cols) {
  TableDef t;
  t.owner = kSysUser, t.name = name, t.objNo = objNo, t.dataObjNo = seg.objd, t.ts = kSystemTs, t.rfn = kSystemRfn;
  t.header = seg.header;
  if (tab) t.clusterObjNo = seg.objd, t.tab = tab;
  t.cols = std::move(cols);
  return t;
}

std::vector<TableDef> dictionaryTables() {
  const ColDef date = nn(typed("", 12, 7));
  auto d = [&](const std::string& n) {
    ColDef c = date;
    c.name = n;
    return c;
  };
  return {
      sysTable("USER$", 22, kUserCluster, 1,
               {nn(num("USER#")), nn(vc("NAME", 128)), nn(num("TYPE#")), vc("PASSWORD", 4000)}),
      sysTable("OBJ$", 18, kObjSeg, 0,
               {nn(num("OBJ#")), num("DATAOBJ#"), nn(num("OWNER#")), nn(vc("NAME", 128)), nn(num("NAMESPACE")),
                vc("SUBNAME", 128), nn(num("TYPE#")), d("CTIME"), d("MTIME"), d("STIME"), nn(num("STATUS")),
                vc("REMOTEOWNER", 128), vc("LINKNAME", 128), num("FLAGS"), typed("OID$", 23, 16), num("SPARE1")}),
      sysTable("TAB$", 4, kObjCluster, 1,
               {nn(num("OBJ#")), num("DATAOBJ#"), nn(num("TS#")), nn(num("FILE#")), nn(num("BLOCK#")),
                num("BOBJ#"), num("TAB#"), nn(num("COLS")), num("CLUCOLS"), nn(num("PCTFREE$"))}),
      // IND$ is clustered by BO#, its sixth column: the key comes first in
      // the segment.
      sysTable("IND$", 19, kObjCluster, 3,
               {at(nn(num("OBJ#")), 1, 2), at(num("DATAOBJ#"), 2, 3), at(nn(num("TS#")), 3, 4),
                at(nn(num("FILE#")), 4, 5), at(nn(num("BLOCK#")), 5, 6), at(nn(num("BO#")), 6, 1),
                at(nn(num("TYPE#")), 7, 7)}),
      sysTable("COL$", 21, kObjCluster, 5,
               {nn(num("OBJ#")), nn(num("COL#")), nn(num("SEGCOL#")), nn(num("SEGCOLLENGTH")), nn(num("OFFSET")),
                nn(vc("NAME", 128)), nn(num("TYPE#")), nn(num("LENGTH")), nn(num("FIXEDSTORAGE")),
                num("PRECISION#"), num("SCALE"), nn(num("NULL$")), num("DEFLENGTH"), typed("DEFAULT$", 8, 0),
                nn(num("INTCOL#")), nn(num("PROPERTY")), num("CHARSETID"), num("CHARSETFORM"), num("SPARE1")}),
      sysTable("COLTYPE$", 84, kObjCluster, 6,
               {nn(num("OBJ#")), nn(num("COL#")), nn(num("INTCOL#")), nn(typed("TOID", 23, 16)),
                nn(num("VERSION#")), nn(num("PACKED")), num("INTCOLS"), typed("INTCOL#S", 23, 2000), num("FLAGS"),
                num("TYPIDCOL#"), num("SYNOBJ#")}),
      sysTable("TABPART$", 230, kTabPartSeg, 0,
               {nn(num("OBJ#")), num("DATAOBJ#"), nn(num("BO#")), nn(num("PART#")), nn(num("HIBOUNDLEN")),
                typed("HIBOUNDVAL", 8, 0), nn(num("TS#")), nn(num("FILE#")), nn(num("BLOCK#")),
                nn(num("PCTFREE$"))}),
  };
}

std::string lines(const std::vector<Row>& rows, const std::vector<uint8_t>& codes) {
  std::string s;
  for (const Row& r : rows) s += dictLine(r, codes);
  return s;
}

// BEXTAB.TXT: the TAB$ rows, then those of IND$ and TABPART$.
std::string storageLines(const DictScan& s) {
  return lines(s.tab, kTabCodes) + lines(s.ind, kIndCodes) + lines(s.tabpart, kTabPartCodes);
}

}  // namespace

ObjectDef objectDef(uint32_t owner, const std::string& name, uint32_t objNo, uint32_t type) {
  ObjectDef o;
  o.owner = owner, o.name = name, o.objNo = objNo, o.type = type;
  return o;
}

const std::vector<uint8_t>& colFileCodes() { return kColCodes; }

FileSpec systemFileSpec(const ScenarioOut& out, const std::string& file) {
  FileSpec sys = out.fileSpec(file, kSystemRfn);
  sys.blocks = kSystemBlocks;
  sys.header.tsNumber = kSystemTs;
  sys.header.tsName = "SYSTEM";
  return sys;
}

FileSpec usersFileSpec(const ScenarioOut& out, const std::string& file, uint16_t rfn, uint32_t ts) {
  FileSpec usr = out.fileSpec(file, rfn);
  usr.header.tsNumber = ts;
  usr.header.tsName = "USERS";
  return usr;
}

bool placeDictionary(ForgeFile& system, Catalog& c, DictScan& s, std::string& error) {
  std::vector<TableDef> dict = dictionaryTables();
  c.tables.insert(c.tables.begin(), dict.begin(), dict.end());
  ObjectDef cObj = objectDef(kSysUser, "C_OBJ#", 2, kObjTypeCluster);
  ObjectDef cUser = objectDef(kSysUser, "C_USER#", 10, kObjTypeCluster);
  cObj.dataObjNo = 2, cObj.header = kObjCluster.header, cUser.dataObjNo = 10, cUser.header = kUserCluster.header;
  c.objects.insert(c.objects.end(), {cObj, cUser});
  const DictRows rows = dictionaryRows(c);
  std::vector<std::vector<Row>> ordered;
  SegmentPlace p;
  if (!placeCluster(system, kUserCluster.objd, kUserCluster.header, kUserCluster.maxBlocks, 1, {rows.user}, ordered,
                    p, error))
    return false;
  s.user = ordered[0];
  if (!placeHeap(system, kObjSeg.objd, kObjSeg.header, kObjSeg.maxBlocks, rows.obj, p, error)) return false;
  s.obj = rows.obj;
  // Tables 1 to 6 of C_OBJ#: TAB$, CLU$, IND$, ICOL$, COL$, COLTYPE$.
  if (!placeCluster(system, kObjCluster.objd, kObjCluster.header, kObjCluster.maxBlocks, 1,
                    {rows.tab, {}, rows.ind, {}, rows.col, rows.coltype}, ordered, p, error))
    return false;
  s.tab = ordered[0], s.ind = ordered[2], s.col = ordered[4], s.coltype = ordered[5];
  if (!placeHeap(system, kTabPartSeg.objd, kTabPartSeg.header, kTabPartSeg.maxBlocks, rows.tabpart, p, error))
    return false;
  s.tabpart = rows.tabpart;
  return true;
}

namespace {

// Deleted rows after a segment's live rows: the first block not yet used.
bool placeDeleted(ForgeFile& f, const DictSegment& seg, size_t keyColumns, const std::vector<std::vector<Row>>& rows,
                  std::vector<std::vector<Row>>& ordered, std::string& error) {
  uint32_t last = seg.header;
  while (f.has(last + 1)) ++last;
  const uint32_t room = seg.header + seg.maxBlocks - last;
  SegmentPlace p;
  const PlaceMode deleted{kRowD, false};
  if (keyColumns) return placeCluster(f, seg.objd, last, room, keyColumns, rows, ordered, p, error, deleted);
  ordered = rows;
  return placeHeap(f, seg.objd, last, room, rows[0], p, error, deleted);
}

}  // namespace

bool placeDroppedDictionary(ForgeFile& system, const Catalog& dropped, DictScan& s, std::string& error) {
  const DictRows rows = dictionaryRows(dropped);
  std::vector<std::vector<Row>> ordered;
  if (!placeDeleted(system, kObjSeg, 0, {rows.obj}, ordered, error)) return false;
  s.obj = ordered[0];
  if (!placeDeleted(system, kObjCluster, 1, {rows.tab, {}, rows.ind, {}, rows.col}, ordered, error)) return false;
  s.tab = ordered[0], s.ind = ordered[2], s.col = ordered[4];
  if (!rows.tabpart.empty() && !placeDeleted(system, kTabPartSeg, 0, {rows.tabpart}, ordered, error)) return false;
  s.tabpart = rows.tabpart;
  return true;
}

bool writeDroppedDictionaryFiles(const std::string& dir, const DictScan& s, std::string& error) {
  return writeTextFile(dir + "BEXOBJDEL.TXT", lines(s.obj, kObjCodes), error) &&
         writeTextFile(dir + "BEXTABDEL.TXT", storageLines(s), error) &&
         writeTextFile(dir + "BEXCOLDEL.TXT", lines(s.col, kColCodes), error);
}

bool makeDir(const std::string& path, std::string& error) {
  if (mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) return true;
  error = "cannot create " + path;
  return false;
}

bool writeDictionaryFiles(const std::string& dir, const DictScan& s, std::string& error) {
  const std::string col = lines(s.col, kColCodes);
  const std::string tab = storageLines(s);
  if (!writeTextFile(dir + "BEXUSR.TXT", lines(s.user, kUserCodes), error) ||
      !writeTextFile(dir + "BEXOBJ.TXT", lines(s.obj, kObjCodes), error) ||
      !writeTextFile(dir + "BEXTAB.TXT", tab, error) || !writeTextFile(dir + "BEXCOL.TXT", col, error) ||
      !writeTextFile(dir + "BEXTYP.TXT", lines(s.coltype, kColTypeCodes), error))
    return false;
  std::vector<std::string> maps(64);
  for (const Row& r : s.col) maps[std::stoul(r[0].text) % 64] += dictLine(r, kColCodes);
  for (size_t i = 0; i < maps.size(); ++i)
    if (!writeTextFile(dir + format("BEXCOLMAP%03zu.TXT", i), maps[i], error)) return false;
  return true;
}

}  // namespace bex::forge
