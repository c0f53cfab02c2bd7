// The dictionary queries the unload engine and the commands built on the
// dictionary files (BEX*.TXT in the run's dictionary directory) answer
// through. Each query reads the lines the index of DictFiles points it to
// and answers as a pass over the whole file would.
#pragma once
#include <cstdint>
#include <string>

#include "dict/dict_files.h"
#include "value/column_type.h"

namespace bex {

inline constexpr uint32_t kDictNameMax = 63;
inline constexpr uint32_t kMaxSegmentColumns = 1024;  // positions 1..1023 and the type list's 1024th

// A row of RECYCLEBIN$: the object in the bin and the name it had.
struct RecycleBinRecord {
  uint32_t objNo = 0;
  uint32_t ownerNo = 0;
  char originalName[kDictNameMax + 1] = "";
};

struct UserRecord {
  uint32_t userNo = 0;
  char name[kDictNameMax + 1] = "";
};

// A row of OBJ$. segmentObjNo is the object whose storage holds the rows:
// the partition's or subpartition's when a subname was searched for, else
// the table's own number.
struct ObjectRecord {
  uint32_t objNo = 0;
  uint32_t ownerNo = 0;
  uint32_t type = 0;
  uint32_t segmentObjNo = 0;
  char name[kDictNameMax + 1] = "";
  char subname[kDictNameMax + 1] = "";
  char oid[kDictNameMax + 1] = "";  // OID$ in hexadecimal, empty when NULL
  // A table rebuilt from the deleted dictionary rows (dict/dropped.h): its
  // columns are read from those rows, not from the live column files.
  bool dropped = false;
};

// A row of TAB$ (and the partition tables): where a segment lives.
struct StorageRecord {
  uint32_t objNo = 0;
  uint32_t dataObjNo = 0;
  uint32_t ts = 0;
  uint32_t file = 0;
  uint32_t block = 0;
  uint32_t cluster = 0;  // TAB#: table number inside a cluster, 0 outside
};

// Object-type kinds of a column (XMLTYPE and ANYDATA get their own binds).
enum ObjectTypeKind : uint8_t { kKindNone = 0, kKindXmlType = 1, kKindAnyData = 2, kKindOther = 255 };

// What a segment column position is beyond its ColumnSpec: the texts of the
// control file, the CREATE TABLE and the export-dump descriptors.
struct ColumnDescription {
  char name[kDictNameMax + 1] = "";
  uint32_t length = 0;  // LENGTH in bytes
  uint8_t typeKind = kKindNone;
  char typeOwner[kDictNameMax + 1] = "";
  char typeName[kDictNameMax + 1] = "";
};

// The columns of one table by segment column position: index 0 is position
// 1. count is the highest position with a column.
struct TableColumns {
  uint16_t count = 0;
  ColumnSpec column[kMaxSegmentColumns];
  ColumnDescription desc[kMaxSegmentColumns];
};

// BEXUSR.TXT: the user of that name (same length, ASCII case ignored).
bool findUser(const DictFiles& dir, const char* name, UserRecord& out);
// BEXOBJ.TXT: a table (TYPE# 2, 19, 34) or an index (1, 20, 35) of the owner
// with that name and subname (empty matches empty). The caller clears
// out.segmentObjNo first.
bool findTableObject(const DictFiles& dir, uint32_t ownerNo, const char* name, const char* subname,
                     ObjectRecord& out);
bool findIndexObject(const DictFiles& dir, uint32_t ownerNo, const char* name, const char* subname,
                     ObjectRecord& out);
// BEXTAB.TXT: the first row of objNo with a non-zero DATAOBJ#; all zero when none.
bool findStorage(const DictFiles& dir, uint32_t objNo, StorageRecord& out);
// Fills names, types, lengths, character-set data and LOB index addresses
// of the table's columns. A LOB index address already set in cols (by the
// LOB option) is kept.
void loadColumns(const DictFiles& dir, const ObjectRecord& table, const char* partition, TableColumns& cols);
// The CREATE TABLE text of the table under targetName (the table's own
// NAME when empty); false when the table has no usable column list.
bool buildCreateTable(const DictFiles& dir, const ObjectRecord& table, const char* targetName, bool multiLine,
                      bool uniqueName, uint32_t dataObjNo, bool commentNotNull, std::string& text);

}  // namespace bex
