// Lookups in the dictionary files beyond the ones the unload engine needs
// (dictionary.h): objects by number or OID, users by number, the named type
// of an object column, and the walk over one table's column records.
#pragma once
#include <cstdint>
#include <string_view>

#include "dict/dict_records.h"
#include "dict/dict_index.h"

namespace bex {

// BEXOBJ.TXT by OBJ#, or by OID$ text (same length, case ignored).
bool findObjectByNumber(const DictFiles& dir, uint32_t objNo, ObjectRecord& out);
bool findObjectByOid(const DictFiles& dir, std::string_view oid, ObjectRecord& out);
// BEXUSR.TXT by USER#.
bool findUserByNumber(const DictFiles& dir, uint32_t userNo, UserRecord& out);
// BEXTYP.TXT: the row of that column.
bool findColumnType(const DictFiles& dir, uint32_t objNo, uint32_t colNo, uint32_t intColNo,
                    ColumnTypeRecord& out);

// For a column of TYPE# 58, 111, 121, 122 or 123: its type owner, type name
// and kind (XMLTYPE, ANYDATA or another named type), through COLTYPE$ and the
// type's OBJ$ row (by SYNOBJ# when set, else by TOID). Unchanged when the
// type cannot be found.
void resolveObjectType(const DictFiles& dir, ColumnRecord& col);

// Every column record of the table, in file order, from its column map
// file; false when that file cannot be opened.
template <class Visit>
bool forEachColumn(const DictFiles& dir, uint32_t objNo, Visit&& visit) {
  return dir.columnMap(objNo).forTable(objNo, [&](const ColumnRecord& c) { return c.objNo == objNo && visit(c); });
}

// What a SEGCOL# 0 record (an object column without a stored column of its
// own) hands on to the next record that has one: its name and type.
struct HeldObjectColumn {
  bool held = false;
  char name[kDictNameMax + 1] = "";
  uint8_t typeKind = kKindNone;
  char typeOwner[kDictNameMax + 1] = "";
  char typeName[kDictNameMax + 1] = "";

  void keep(const ColumnRecord& c);
  void giveTo(ColumnRecord& c);
};

// The column records of the table that have a segment column (SEGCOL# 1 to
// 1023), in file order, with object types resolved and the SEGCOL# 0 rule
// applied. False when the column map file cannot be opened.
template <class Visit>
bool forEachSegmentColumn(const DictFiles& dir, uint32_t objNo, Visit&& visit) {
  HeldObjectColumn held;
  return forEachColumn(dir, objNo, [&](const ColumnRecord& record) {
    ColumnRecord c = record;
    resolveObjectType(dir, c);
    if (c.segColNo == 0) {
      held.keep(c);
      return false;
    }
    held.giveTo(c);
    if (c.segColNo < kMaxSegmentColumns) visit(static_cast<const ColumnRecord&>(c));
    return false;
  });
}

}  // namespace bex
