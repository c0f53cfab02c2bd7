#include "dict/queries.h"

#include <cstring>

#include "dict/dictionary.h"

namespace bex {

namespace {

constexpr uint32_t kTableTypes[] = {kObjTable, kObjTablePartition, kObjTableSubpartition};
constexpr uint32_t kIndexTypes[] = {kObjIndex, kObjIndexPartition, kObjIndexSubpartition};

bool typeIn(uint32_t type, const uint32_t (&types)[3]) {
  return type == types[0] || type == types[1] || type == types[2];
}

bool findObjectOfTypes(const DictFiles& dir, uint32_t ownerNo, const char* name, const char* subname,
                       const uint32_t (&types)[3], ObjectRecord& out) {
  if (!name) return false;
  if (!subname) subname = "";
  bool found = false;
  dir.objects().forName(ownerNo, name, subname, [&](const ObjectRecord& r) {
    if (r.ownerNo != ownerNo || !typeIn(r.type, types) || !sameName(r.name, name) || !sameName(r.subname, subname))
      return false;
    const uint32_t segment = out.segmentObjNo;
    out = r;
    out.segmentObjNo = segment;
    found = true;
    return true;
  });
  if (!found) return false;
  if (subname[0]) {
    // A partition or subpartition: its rows are in its own segment, but the
    // columns belong to the table, so the record becomes the table's row.
    out.segmentObjNo = out.objNo;
    ObjectRecord table = out;
    if (findTableObject(dir, ownerNo, name, "", table) || findIndexObject(dir, ownerNo, name, "", table))
      out = table;
  } else if (out.segmentObjNo == 0) {
    out.segmentObjNo = out.objNo;
  }
  return true;
}

bool beginsWith(const char* s, const char* prefix) { return strncmp(s, prefix, strlen(prefix)) == 0; }

uint8_t typeKindOf(const char* typeName) {
  if (beginsWith(typeName, "XMLTYPE")) return kKindXmlType;
  if (beginsWith(typeName, "ANYDATA")) return kKindAnyData;
  return kKindOther;
}

}  // namespace

bool findUser(const DictFiles& dir, const char* name, UserRecord& out) {
  bool found = false;
  if (!name) return false;
  dir.users().forName(name, [&](const UserRecord& r) {
    if (!sameName(r.name, name)) return false;
    out = r;
    found = true;
    return true;
  });
  return found;
}

bool findUserByNumber(const DictFiles& dir, uint32_t userNo, UserRecord& out) {
  bool found = false;
  dir.users().forNumber(userNo, [&](const UserRecord& r) {
    if (r.userNo != userNo) return false;
    out = r;
    found = true;
    return true;
  });
  return found;
}

bool findTableObject(const DictFiles& dir, uint32_t ownerNo, const char* name, const char* subname,
                     ObjectRecord& out) {
  return findObjectOfTypes(dir, ownerNo, name, subname, kTableTypes, out);
}

bool findIndexObject(const DictFiles& dir, uint32_t ownerNo, const char* name, const char* subname,
                     ObjectRecord& out) {
  return findObjectOfTypes(dir, ownerNo, name, subname, kIndexTypes, out);
}

bool findObjectByNumber(const DictFiles& dir, uint32_t objNo, ObjectRecord& out) {
  bool found = false;
  dir.objects().forNumber(objNo, [&](const ObjectRecord& r) {
    if (r.objNo != objNo) return false;
    out = r;
    found = true;
    return true;
  });
  return found;
}

bool findObjectByOid(const DictFiles& dir, std::string_view oid, ObjectRecord& out) {
  bool found = false;
  if (oid.empty()) return false;
  dir.objects().forOid(oid, [&](const ObjectRecord& r) {
    if (!sameName(r.oid, oid)) return false;
    out = r;
    found = true;
    return true;
  });
  return found;
}

bool findStorage(const DictFiles& dir, uint32_t objNo, StorageRecord& out) {
  bool found = false;
  out = StorageRecord{};
  dir.storage().forKey(storageKey(objNo), [&](const StorageRecord& r) {
    if (r.objNo != objNo || r.dataObjNo == 0) return false;
    out = r;
    found = true;
    return true;
  });
  return found;
}

bool findColumnType(const DictFiles& dir, uint32_t objNo, uint32_t colNo, uint32_t intColNo,
                    ColumnTypeRecord& out) {
  bool found = false;
  dir.columnTypes().forKey(columnTypeKey(objNo, colNo, intColNo), [&](const ColumnTypeRecord& r) {
    if (r.objNo != objNo || r.colNo != colNo || r.intColNo != intColNo) return false;
    out = r;
    found = true;
    return true;
  });
  return found;
}

void resolveObjectType(const DictFiles& dir, ColumnRecord& col) {
  if (!isObjectType(columnTypeOf(col.type))) return;
  ColumnTypeRecord ct;
  if (!findColumnType(dir, col.objNo, col.colNo, col.intColNo, ct)) return;
  ObjectRecord type;
  UserRecord owner;
  const bool bySynonym = ct.synObjNo != 0 && findObjectByNumber(dir, ct.synObjNo, type) &&
                         findUserByNumber(dir, type.ownerNo, owner);
  if (!bySynonym && !(findObjectByOid(dir, ct.toid, type) && findUserByNumber(dir, type.ownerNo, owner))) return;
  memcpy(col.typeOwner, owner.name, sizeof col.typeOwner);
  memcpy(col.typeName, type.name, sizeof col.typeName);
  col.typeKind = typeKindOf(type.name);
}

void HeldObjectColumn::keep(const ColumnRecord& c) {
  held = true;
  memcpy(name, c.name, sizeof name);
  typeKind = c.typeKind;
  memcpy(typeOwner, c.typeOwner, sizeof typeOwner);
  memcpy(typeName, c.typeName, sizeof typeName);
}

void HeldObjectColumn::giveTo(ColumnRecord& c) {
  if (!held) return;
  memcpy(c.name, name, sizeof name);
  c.typeKind = typeKind;
  memcpy(c.typeOwner, typeOwner, sizeof typeOwner);
  memcpy(c.typeName, typeName, sizeof typeName);
  held = false;
}

}  // namespace bex
