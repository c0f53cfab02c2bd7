// The records of the dictionary files and the readers that parse one line
// into one record. Each reader checks the line length and the fields it
// needs, and refuses the line otherwise; it never reads past the line.
//
//   BEXUSR.TXT  USER#, NAME
//   BEXOBJ.TXT  OBJ#, OWNER#, NAME, SUBNAME, TYPE#, OID$
//   BEXTAB.TXT  OBJ#, DATAOBJ#, TS#, FILE#, BLOCK#[, TAB#]
//   BEXCOL.TXT  OBJ#, COL#, SEGCOL#, NAME, TYPE#, LENGTH, PRECISION#, SCALE,
//               NULL$, INTCOL#, PROPERTY, CHARSETID, CHARSETFORM
//   BEXTYP.TXT  OBJ#, COL#, INTCOL#, TOID, VERSION#, PACKED, SYNOBJ#
//   BEXBIN.TXT  OBJ#, OWNER#, ORIGINAL_NAME
#pragma once
#include <cstdint>
#include <string_view>

#include "dict/dictionary.h"

namespace bex {

// A line outside these lengths (line end included) is refused.
inline constexpr size_t kRecordLineMin = 5;
inline constexpr size_t kUserLineMin = 2;  // trailing white space removed first
inline constexpr size_t kRecordLineMax = 128;
// Digits of a number field that are looked at.
inline constexpr size_t kNumberFieldMax = 20;
inline constexpr size_t kStorageNumberFieldMax = 63;

// Object types (TYPE# of OBJ$).
enum ObjectType : uint32_t {
  kObjIndex = 1,
  kObjTable = 2,
  kObjView = 4,
  kObjProcedure = 7,
  kObjFunction = 8,
  kObjPackage = 9,
  kObjTablePartition = 19,
  kObjIndexPartition = 20,
  kObjTableSubpartition = 34,
  kObjIndexSubpartition = 35,
};

inline bool isTablePartition(uint32_t type) { return type == kObjTablePartition || type == kObjTableSubpartition; }
// What a dropped table is rebuilt from: a table's or its partitions' objects.
inline bool isTableOrPartition(uint32_t type) { return type == kObjTable || isTablePartition(type); }

// A row of COL$, plus the object type of the column filled in by
// resolveObjectType (not read from the file).
struct ColumnRecord {
  uint32_t objNo = 0;
  uint32_t colNo = 0;
  uint32_t segColNo = 0;
  char name[kDictNameMax + 1] = "";
  uint32_t type = 0;
  uint32_t length = 0;
  uint32_t precision = 0;
  uint32_t scale = 0;  // may hold a negative scale
  uint32_t nullFlag = 0;
  uint32_t intColNo = 0;
  uint32_t property = 0;
  uint32_t charsetId = 0;
  uint32_t charsetForm = 0;
  uint8_t typeKind = kKindNone;
  char typeOwner[kDictNameMax + 1] = "";
  char typeName[kDictNameMax + 1] = "";
};

// A row of COLTYPE$: the named type of an object column.
struct ColumnTypeRecord {
  uint32_t objNo = 0;
  uint32_t colNo = 0;
  uint32_t intColNo = 0;
  char toid[kDictNameMax + 1] = "";
  uint32_t synObjNo = 0;
};

bool readUserRecord(std::string_view line, UserRecord& out);
bool readObjectRecord(std::string_view line, ObjectRecord& out);
bool readStorageRecord(std::string_view line, StorageRecord& out);
bool readColumnRecord(std::string_view line, ColumnRecord& out);
bool readColumnTypeRecord(std::string_view line, ColumnTypeRecord& out);
bool readRecycleBinRecord(std::string_view line, RecycleBinRecord& out);
// The number in the first field, as the object, storage, column and
// column-type readers take their OBJ#; false when it is not one.
bool readLeadingNumber(std::string_view line, uint32_t& out);

// Names compare ignoring ASCII case and must have the same length.
bool sameName(std::string_view a, std::string_view b);

// A recycle-bin name: 30 characters, "BIN$" first and "==$0" last.
bool isRecycleBinName(std::string_view name);

}  // namespace bex
