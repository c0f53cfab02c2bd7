#include "dict/dropped.h"

#include <unordered_map>

#include "dict/dict_records.h"
#include "dict/dict_scan.h"
#include "dict/queries.h"

namespace bex {

namespace {

constexpr uint32_t kMaxPosition = 1023;

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
    if (it == byObjNo.end() || c.segColNo == 0 || c.segColNo > kMaxPosition) return false;
    std::vector<ColumnRecord>& cols = tables[it->second].columns;
    if (cols.size() < c.segColNo) cols.resize(c.segColNo);
    if (cols[c.segColNo - 1].objNo == 0) cols[c.segColNo - 1] = c;
    return false;
  });
}

}  // namespace

bool findDroppedTables(const DictFiles& dir, uint32_t userNo, std::vector<DroppedTable>& out) {
  std::unordered_map<uint32_t, size_t> byObjNo;
  const bool read = forEachRecord(dir.file(kDeletedObjectFile), readObjectRecord, [&](const ObjectRecord& o) {
    if (o.ownerNo != userNo || o.type != kObjTable || byObjNo.count(o.objNo)) return false;
    ObjectRecord live;
    if (findObjectByNumber(dir, o.objNo, live)) return false;
    byObjNo.emplace(o.objNo, out.size());
    out.push_back(DroppedTable{o, StorageRecord{}, {}});
    return false;
  });
  if (read) addStorageAndColumns(dir, out, byObjNo);
  return read;
}

}  // namespace bex
