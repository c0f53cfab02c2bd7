#include "dict/dropped.h"

#include <cstdio>
#include <unordered_map>
#include <unordered_set>

#include "dict/dict_index.h"
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

constexpr uint32_t kAnyOwner = UINT32_MAX;

// The deleted OBJ$ rows of the user's dropped tables and their partitions
// (objects whose OBJ# no live object has), the first row of each OBJ#;
// userNo kAnyOwner: of every user. False when the file cannot be read.
template <class Visit>
bool forEachDroppedObject(const DictFiles& dir, uint32_t userNo, Visit&& visit) {
  std::unordered_map<uint32_t, bool> seen;
  return forEachRecord(dir.file(kDeletedObjectFile), readObjectRecord, [&](const ObjectRecord& o) {
    if ((userNo != kAnyOwner && o.ownerNo != userNo) || !isTableOrPartition(o.type)) return false;
    if (!seen.emplace(o.objNo, true).second) return false;
    ObjectRecord live;
    if (findObjectByNumber(dir, o.objNo, live)) return false;
    return visit(o);
  });
}

// Each partition goes to the table of its name with the highest OBJ# below
// its own.
void assignPartitions(const std::vector<ObjectRecord>& parts, std::vector<DroppedTable>& tables) {
  std::unordered_multimap<uint32_t, size_t> byName;
  for (size_t i = 0; i < tables.size(); ++i) byName.emplace(KeyHash().name(tables[i].object.name).value(), i);
  for (const ObjectRecord& p : parts) {
    DroppedTable* owner = nullptr;
    const auto [first, last] = byName.equal_range(KeyHash().name(p.name).value());
    for (auto it = first; it != last; ++it) {
      DroppedTable& t = tables[it->second];
      if (t.object.objNo < p.objNo && sameName(t.object.name, p.name) && (!owner || t.object.objNo > owner->object.objNo))
        owner = &t;
    }
    if (owner) owner->partitions.push_back(DroppedPartition{p, StorageRecord{}});
  }
}

// The user's dropped tables with their partitions.
bool collectDropped(const DictFiles& dir, uint32_t userNo, std::vector<DroppedTable>& out) {
  std::vector<ObjectRecord> parts;
  const bool read = forEachDroppedObject(dir, userNo, [&](const ObjectRecord& o) {
    if (isTablePartition(o.type))
      parts.push_back(o);
    else
      out.push_back(DroppedTable{o, StorageRecord{}, {}, {}});
    return false;
  });
  assignPartitions(parts, out);
  return read;
}

// The user's dropped tables of that name with their partitions, as
// collectDropped finds them, through the index of the deleted OBJ$ rows
// (a pass over the file without one: the first row of an OBJ# counts
// whatever its name).
void collectDroppedNamed(const DictFiles& dir, uint32_t userNo, const char* name, std::vector<DroppedTable>& out) {
  std::unordered_set<uint32_t> seen;
  std::vector<ObjectRecord> parts;
  dir.deletedObjects().forName(userNo, name, [&](const ObjectRecord& o) {
    if (o.ownerNo != userNo || !isTableOrPartition(o.type) || !seen.insert(o.objNo).second) return false;
    ObjectRecord live;
    if (!sameName(o.name, name) || findObjectByNumber(dir, o.objNo, live)) return false;
    if (isTablePartition(o.type))
      parts.push_back(o);
    else if (!o.subname[0])
      out.push_back(DroppedTable{o, StorageRecord{}, {}, {}});
    return false;
  });
  assignPartitions(parts, out);
}

// The first deleted TAB$ (TABPART$, TABSUBPART$) row of the object.
void findDeletedStorage(const DictFiles& dir, uint32_t objNo, StorageRecord& out) {
  dir.deletedStorage().forKey(storageKey(objNo), [&](const StorageRecord& st) {
    if (st.objNo != objNo) return false;
    out = st;
    return true;
  });
}

// The table's deleted COL$ rows by SEGCOL#.
std::vector<ColumnRecord> deletedColumns(const DictFiles& dir, uint32_t objNo) {
  std::vector<ColumnRecord> cols;
  dir.deletedColumns().forTable(objNo, [&](const ColumnRecord& c) {
    if (c.objNo == objNo) placeColumn(cols, c);
    return false;
  });
  return cols;
}

// The deleted TAB$ (TABPART$, TABSUBPART$) row of each table and partition
// (the first one), then the tables' deleted COL$ rows by SEGCOL# (object
// columns without storage, SEGCOL# 0, left out).
void addStorageAndColumns(const DictFiles& dir, std::vector<DroppedTable>& tables) {
  std::unordered_map<uint32_t, size_t> byObjNo;
  std::unordered_map<uint32_t, StorageRecord*> storageOf;
  for (size_t i = 0; i < tables.size(); ++i) {
    byObjNo.emplace(tables[i].object.objNo, i);
    storageOf.emplace(tables[i].object.objNo, &tables[i].storage);
    for (DroppedPartition& p : tables[i].partitions) storageOf.emplace(p.object.objNo, &p.storage);
  }
  forEachRecord(dir.file(kDeletedStorageFile), readStorageRecord, [&](const StorageRecord& st) {
    const auto it = storageOf.find(st.objNo);
    if (it != storageOf.end() && it->second->objNo == 0) *it->second = st;
    return false;
  });
  forEachRecord(dir.file(kDeletedColumnFile), readColumnRecord, [&](const ColumnRecord& c) {
    const auto it = byObjNo.find(c.objNo);
    if (it != byObjNo.end()) placeColumn(tables[it->second].columns, c);
    return false;
  });
}

// The table holds the data object objd: its own, its OBJ#, a partition's.
bool holdsObject(const DroppedTable& t, uint32_t objd) {
  if (t.storage.dataObjNo == objd || t.object.objNo == objd) return true;
  for (const DroppedPartition& p : t.partitions)
    if (dataObjectOf(p) == objd) return true;
  return false;
}

}  // namespace

bool findDroppedTables(const DictFiles& dir, uint32_t userNo, std::vector<DroppedTable>& out) {
  const bool read = collectDropped(dir, userNo, out);
  if (read) addStorageAndColumns(dir, out);
  return read;
}

void droppedDataObjects(const DictFiles& dir, std::vector<uint32_t>& out) {
  std::unordered_set<uint32_t> dropped;
  forEachDroppedObject(dir, kAnyOwner, [&](const ObjectRecord& o) {
    dropped.insert(o.objNo);
    out.push_back(o.objNo);
    return false;
  });
  forEachRecord(dir.file(kDeletedStorageFile), readStorageRecord, [&](const StorageRecord& st) {
    if (st.dataObjNo && dropped.count(st.objNo)) out.push_back(st.dataObjNo);
    return false;
  });
}

bool findDroppedTable(const DictFiles& dir, uint32_t userNo, const char* name, uint32_t objd, DroppedTable& out) {
  std::vector<DroppedTable> tables;
  collectDroppedNamed(dir, userNo, name, tables);
  for (DroppedTable& t : tables) {
    findDeletedStorage(dir, t.object.objNo, t.storage);
    for (DroppedPartition& p : t.partitions) findDeletedStorage(dir, p.object.objNo, p.storage);
    if (t.storage.objNo == 0) t.storage = StorageRecord{t.object.objNo, t.object.objNo, 0, 0, 0, 0};
    if (t.storage.dataObjNo == 0) t.storage.dataObjNo = t.object.objNo;  // partitioned
    if (objd != 0 && !holdsObject(t, objd)) continue;
    out = t;
    out.columns = deletedColumns(dir, t.object.objNo);
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
  std::vector<ColumnRecord> cols = deletedColumns(dir, objNo);
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
