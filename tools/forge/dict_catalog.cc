#include "forge/dict_catalog.h"

#include <algorithm>

#include "forge/dict_values.h"

namespace bex::forge {

namespace {

constexpr uint32_t kObjTable = 2, kObjTablePartition = 19, kObjIndex = 1, kObjView = 4;
constexpr uint32_t kNamespaceTable = 1, kNamespaceIndex = 4;
constexpr uint32_t kPctFree = 10;
constexpr uint32_t kReaderLineMin = 5, kReaderLineMax = 128;
constexpr uint32_t kMaxPositions = 1023;

Val vopt(uint32_t v) { return v ? vnum(v) : vnull(); }
Val vopt(const std::optional<int32_t>& v) { return v ? vnum(*v) : vnull(); }

Bytes bytesOfHex(const std::string& h) {
  Bytes b;
  for (size_t i = 0; i + 1 < h.size(); i += 2) b.push_back(static_cast<uint8_t>(std::stoi(h.substr(i, 2), nullptr, 16)));
  return b;
}

Val created() { return vdate(2024, 3, 18, 9, 41, 7); }

// OBJ$: OBJ#, DATAOBJ#, OWNER#, NAME, NAMESPACE, SUBNAME, TYPE#, CTIME,
// MTIME, STIME, STATUS, REMOTEOWNER, LINKNAME, FLAGS[, OID$[, SPARE1]].
// Views also store SPARE1 after a NULL OID$.
Row objRow(uint32_t objNo, uint32_t dataObjNo, uint32_t owner, const std::string& name, const std::string& subname,
           uint32_t type, const std::string& oid) {
  Row r = {vnum(objNo), vopt(dataObjNo), vnum(owner), vstr(name),
           vnum(type == kObjIndex ? kNamespaceIndex : kNamespaceTable),
           subname.empty() ? vnull() : vstr(subname), vnum(type), created(), created(), created(), vnum(1), vnull(),
           vnull(), vnum(0)};
  if (!oid.empty()) r.push_back(vhex(bytesOfHex(oid)));
  if (oid.empty() && type == kObjView) r.insert(r.end(), {vnull(), vnum(6)});
  return r;
}

Row userRow(const UserDef& u) {
  Row r = {vnum(u.number), vstr(u.name), vnum(u.type)};
  if (!u.password.empty()) r.push_back(vstr(u.password));
  return r;
}

uint32_t segColOf(const ColDef& c, size_t i) { return c.segColNo ? *c.segColNo : static_cast<uint32_t>(i + 1); }
uint32_t colNoOf(const ColDef& c, size_t i) { return c.colNo ? c.colNo : static_cast<uint32_t>(i + 1); }
uint32_t intColOf(const ColDef& c, size_t i) { return c.intColNo ? c.intColNo : static_cast<uint32_t>(i + 1); }

// COL$: OBJ#, COL#, SEGCOL#, SEGCOLLENGTH, OFFSET, NAME, TYPE#, LENGTH,
// FIXEDSTORAGE, PRECISION#, SCALE, NULL$, DEFLENGTH, DEFAULT$, INTCOL#,
// PROPERTY, CHARSETID, CHARSETFORM[, SPARE1 for SYS's own tables].
Row colRow(const TableDef& t, const ColDef& c, size_t i) {
  Row r = {vnum(t.objNo), vnum(colNoOf(c, i)), vnum(segColOf(c, i)), vnum(c.length), vnum(0), vstr(c.name),
           vnum(c.type), vnum(c.length), vnum(0), vopt(c.precision), vopt(c.scale), vnum(c.notNull ? 1 : 0),
           vnull(), vnull(), vnum(intColOf(c, i)), vnum(c.property), vnum(c.charsetId), vnum(c.form)};
  if (t.owner == 0) r.push_back(vnum(0));
  return r;
}

// TAB$: OBJ#, DATAOBJ#, TS#, FILE#, BLOCK#, BOBJ#, TAB#, COLS, CLUCOLS, PCTFREE$.
Row tabRow(const TableDef& t) {
  const bool own = t.dataObjNo != 0;
  return {vnum(t.objNo), vopt(t.dataObjNo), vnum(t.ts), vnum(own ? t.rfn : 0), vnum(own ? t.header : 0),
          vopt(t.clusterObjNo), vopt(t.tab), vnum(static_cast<int64_t>(t.cols.size())),
          t.clusterObjNo ? vnum(1) : vnull(), vnum(kPctFree)};
}

// IND$ (cluster key BO# first): BO#, OBJ#, DATAOBJ#, TS#, FILE#, BLOCK#, TYPE#.
Row indRow(const ObjectDef& o) {
  const bool lobIndex = o.name.rfind("SYS_IL", 0) == 0;
  return {vnum(o.baseObjNo), vnum(o.objNo), vopt(o.dataObjNo), vnum(o.ts), vnum(o.rfn), vnum(o.header),
          vnum(lobIndex ? 8 : 1)};
}

// TABPART$: OBJ#, DATAOBJ#, BO#, PART#, HIBOUNDLEN, HIBOUNDVAL, TS#,
// FILE#, BLOCK#, PCTFREE$.
Row tabpartRow(const TableDef& t, const PartDef& p, size_t i) {
  const std::string bound = format("TO_DATE(' %d-01-01 00:00:00', 'SYYYY-MM-DD HH24:MI:SS')", 2024 + static_cast<int>(i));
  return {vnum(p.objNo), vnum(p.dataObjNo), vnum(t.objNo), vnum(static_cast<int64_t>(10 * (i + 1))),
          vnum(static_cast<int64_t>(bound.size())), vstr(bound), vnum(t.ts), vnum(t.rfn), vnum(p.header),
          vnum(kPctFree)};
}

// COLTYPE$: OBJ#, COL#, INTCOL#, TOID, VERSION#, PACKED, INTCOLS, INTCOL#S,
// FLAGS (TYPIDCOL# and SYNOBJ# NULL, not stored).
Row coltypeRow(const TableDef& t, const ColDef& c, size_t i) {
  const uint32_t intCol = intColOf(c, i);
  return {vnum(t.objNo), vnum(colNoOf(c, i)), vnum(intCol), vhex(bytesOfHex(c.typeOid)), vnum(1), vnum(0), vnum(1),
          vhex({0, static_cast<uint8_t>(intCol)}), vnum(2)};
}

}  // namespace

DictRows dictionaryRows(const Catalog& c) {
  DictRows d;
  for (const UserDef& u : c.users) d.user.push_back(userRow(u));
  std::vector<std::pair<uint32_t, Row>> objs;
  for (const TableDef& t : c.tables) {
    objs.emplace_back(t.objNo, objRow(t.objNo, t.dataObjNo, t.owner, t.name, "", kObjTable, ""));
    for (size_t i = 0; i < t.parts.size(); ++i) {
      const PartDef& p = t.parts[i];
      objs.emplace_back(p.objNo, objRow(p.objNo, p.dataObjNo, t.owner, t.name, p.name, kObjTablePartition, ""));
      d.tabpart.push_back(tabpartRow(t, p, i));
    }
    d.tab.push_back(tabRow(t));
    for (size_t i = 0; i < t.cols.size(); ++i) {
      d.col.push_back(colRow(t, t.cols[i], i));
      if (!t.cols[i].typeOid.empty()) d.coltype.push_back(coltypeRow(t, t.cols[i], i));
    }
  }
  for (const ObjectDef& o : c.objects) {
    objs.emplace_back(o.objNo, objRow(o.objNo, o.dataObjNo, o.owner, o.name, o.subname, o.type, o.oid));
    if (o.type == kObjIndex && o.baseObjNo) d.ind.push_back(indRow(o));
  }
  std::stable_sort(objs.begin(), objs.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (auto& o : objs) d.obj.push_back(std::move(o.second));
  return d;
}

std::string dictLine(const Row& row, const std::vector<uint8_t>& codes) {
  std::string line;
  for (size_t i = 0; i < row.size(); ++i) {
    if (i >= codes.size() || codes[i] == 0) continue;
    line += row[i].text;
    if (i + 1 < row.size()) line += ',';
  }
  return line + "\n";
}

SegmentColumns segmentColumns(const TableDef& t, const std::vector<uint8_t>& colCodes) {
  SegmentColumns s;
  s.codes.assign(kMaxPositions, 0);
  for (size_t i = 0; i < t.cols.size(); ++i) {
    const ColDef& c = t.cols[i];
    const uint32_t seg = segColOf(c, i);
    const size_t len = dictLine(colRow(t, c, i), colCodes).size();
    if (seg == 0 || seg > kMaxPositions || len < kReaderLineMin || len > kReaderLineMax) continue;
    s.codes[seg - 1] = static_cast<uint8_t>(c.type <= 0xff ? c.type : 253);
    s.count = std::max(s.count, seg);
  }
  return s;
}

}  // namespace bex::forge
