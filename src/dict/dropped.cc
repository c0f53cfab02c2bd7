#include "dict/dropped.h"

#include <cstdio>
#include <unordered_map>

#include "dict/dict_records.h"
#include "dict/dict_scan.h"
#include "dict/queries.h"

namespace bex {

namespace {

constexpr uint32_t kMaxPosition = 1023;
constexpr uint32_t kTypeRaw = 23, kGuessedLength = 2000;

// A deleted COL$ row into the columns of its table by SEGCOL# (object
// columns without storage, SEGCOL# 0, left out); the first row of a
// position counts.
void placeColumn(std::vector<ColumnRecord>& cols, const ColumnRecord& c) {
  if (c.segColNo == 0 || c.segColNo > kMaxPosition) return;
  if (cols.size() < c.segColNo) cols.resize(c.segColNo);
  if (cols[c.segColNo - 1].objNo == 0) cols[c.segColNo - 1] = c;
}

// The deleted OBJ$ rows of the user's dropped tables (tables whose OBJ# no
// live object has), the first row of each OBJ#; false when the file cannot
// be read.
template <class Visit>
bool forEachDroppedObject(const DictFiles& dir, uint32_t userNo, Visit&& visit) {
  std::unordered_map<uint32_t, bool> seen;
  return forEachRecord(dir.file(kDeletedObjectFile), readObjectRecord, [&](const ObjectRecord& o) {
    if (o.ownerNo != userNo || o.type != kObjTable || !seen.emplace(o.objNo, true).second) return false;
    ObjectRecord live;
    if (findObjectByNumber(dir, o.objNo, live)) return false;
    return visit(o);
  });
}

// The deleted TAB$ row of each table (the first one), then its deleted
// COL$ rows by SEGCOL# (object columns without storage, SEGCOL# 0, left out).
void addStorageAndColumns(const DictFiles& dir, std::vector<DroppedTable>& tables,
                          const std::unordered_map<uint32_t, size_t>& byObjNo) {
  forEachRecord(dir.file(kDeletedStorageFile), readStorageRecord, [&](const StorageRecord& st) {
    const auto it = byObjNo.find(st.objNo);
    if (it != byObjNo.end() && tables[it->second].storage.objNo == 0) tables[it->second].storage = st;
    return false;
  });
  forEachRecord(dir.file(kDeletedColumnFile), readColumnRecord, [&](const ColumnRecord& c) {
    const auto it = byObjNo.find(c.objNo);
    if (it != byObjNo.end()) placeColumn(tables[it->second].columns, c);
    return false;
  });
}

}  // namespace

bool findDroppedTables(const DictFiles& dir, uint32_t userNo, std::vector<DroppedTable>& out) {
  std::unordered_map<uint32_t, size_t> byObjNo;
  const bool read = forEachDroppedObject(dir, userNo, [&](const ObjectRecord& o) {
    byObjNo.emplace(o.objNo, out.size());
    out.push_back(DroppedTable{o, StorageRecord{}, {}});
    return false;
  });
  if (read) addStorageAndColumns(dir, out, byObjNo);
  return read;
}

bool findDroppedTable(const DictFiles& dir, uint32_t userNo, const char* name, uint32_t objd, DroppedTable& out) {
  std::vector<DroppedTable> tables;
  std::unordered_map<uint32_t, size_t> byObjNo;
  forEachDroppedObject(dir, userNo, [&](const ObjectRecord& o) {
    if (!sameName(o.name, name) || o.subname[0]) return false;
    byObjNo.emplace(o.objNo, tables.size());
    tables.push_back(DroppedTable{o, StorageRecord{}, {}});
    return false;
  });
  if (tables.empty()) return false;
  addStorageAndColumns(dir, tables, byObjNo);
  for (DroppedTable& t : tables) {
    if (t.storage.objNo == 0) t.storage = StorageRecord{t.object.objNo, t.object.objNo, 0, 0, 0, 0};
    if (objd != 0 && t.storage.dataObjNo != objd && t.object.objNo != objd) continue;
    out = t;
    out.object.dropped = true;
    out.object.segmentObjNo = out.object.objNo;
    return true;
  }
  return false;
}

void placeholderColumnName(uint32_t position, char (&name)[kDictNameMax + 1]) {
  snprintf(name, sizeof name, "BEX_COL%u", position);
}

std::vector<ColumnRecord> droppedTableColumns(const DictFiles& dir, uint32_t objNo) {
  std::vector<ColumnRecord> cols;
  forEachRecord(dir.file(kDeletedColumnFile), readColumnRecord, [&](const ColumnRecord& c) {
    if (c.objNo == objNo) placeColumn(cols, c);
    return false;
  });
  for (size_t i = 0; i < cols.size(); ++i) {
    ColumnRecord& c = cols[i];
    if (c.objNo != 0) continue;
    const uint32_t position = static_cast<uint32_t>(i + 1);
    c.objNo = objNo, c.colNo = c.segColNo = c.intColNo = position;
    c.type = kTypeRaw, c.length = kGuessedLength;
    placeholderColumnName(position, c.name);
  }
  return cols;
}

}  // namespace bex
