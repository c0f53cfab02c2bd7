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

bool isPartition(uint32_t type) { return type == kObjTablePartition || type == kObjTableSubpartition; }

constexpr uint32_t kAnyOwner = UINT32_MAX;

// The deleted OBJ$ rows of the user's dropped tables and their partitions
// (objects whose OBJ# no live object has), the first row of each OBJ#;
// userNo kAnyOwner: of every user. False when the file cannot be read.
template <class Visit>
bool forEachDroppedObject(const DictFiles& dir, uint32_t userNo, Visit&& visit) {
  std::unordered_map<uint32_t, bool> seen;
  return forEachRecord(dir.file(kDeletedObjectFile), readObjectRecord, [&](const ObjectRecord& o) {
    if ((userNo != kAnyOwner && o.ownerNo != userNo) || (o.type != kObjTable && !isPartition(o.type))) return false;
    if (!seen.emplace(o.objNo, true).second) return false;
    ObjectRecord live;
    if (findObjectByNumber(dir, o.objNo, live)) return false;
    return visit(o);
  });
}

// The dropped tables (those `keep` takes) with their partitions: each
// partition goes to the table of its name with the highest OBJ# below its
// own.
template <class Keep>
bool collectDropped(const DictFiles& dir, uint32_t userNo, Keep&& keep, std::vector<DroppedTable>& out) {
  std::vector<ObjectRecord> parts;
  const bool read = forEachDroppedObject(dir, userNo, [&](const ObjectRecord& o) {
    if (isPartition(o.type))
      parts.push_back(o);
    else if (keep(o))
      out.push_back(DroppedTable{o, StorageRecord{}, {}, {}});
    return false;
  });
  std::unordered_multimap<uint32_t, size_t> byName;
  for (size_t i = 0; i < out.size(); ++i) byName.emplace(KeyHash().name(out[i].object.name).value(), i);
  for (const ObjectRecord& p : parts) {
    DroppedTable* owner = nullptr;
    const auto [first, last] = byName.equal_range(KeyHash().name(p.name).value());
    for (auto it = first; it != last; ++it) {
      DroppedTable& t = out[it->second];
      if (t.object.objNo < p.objNo && sameName(t.object.name, p.name) && (!owner || t.object.objNo > owner->object.objNo))
        owner = &t;
    }
    if (owner) owner->partitions.push_back(DroppedPartition{p, StorageRecord{}});
  }
  return read;
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
  const bool read = collectDropped(dir, userNo, [](const ObjectRecord&) { return true; }, out);
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
  collectDropped(dir, userNo, [&](const ObjectRecord& o) { return sameName(o.name, name) && !o.subname[0]; }, tables);
  if (tables.empty()) return false;
  addStorageAndColumns(dir, tables);
  for (DroppedTable& t : tables) {
    if (t.storage.objNo == 0) t.storage = StorageRecord{t.object.objNo, t.object.objNo, 0, 0, 0, 0};
    if (t.storage.dataObjNo == 0) t.storage.dataObjNo = t.object.objNo;  // partitioned
    if (objd != 0 && !holdsObject(t, objd)) continue;
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
