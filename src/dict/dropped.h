// Dropped tables: what a DROP ... PURGE left in the files of deleted
// dictionary rows (BEXOBJDEL, BEXTABDEL, BEXCOLDEL) that the bootstrap
// writes. A dropped table is a deleted OBJ$ row of a table whose OBJ# no
// live object has; its storage and columns are the deleted TAB$ and COL$
// rows of that OBJ#, which may be gone where their slots were reused.
#pragma once
#include <cstdint>
#include <vector>

#include "dict/dict_files.h"
#include "dict/dict_records.h"
#include "dict/dictionary.h"

namespace bex {

struct DroppedTable {
  ObjectRecord object;
  StorageRecord storage;  // all zero when no deleted TAB$ row names the table
  // By SEGCOL# (position 1 at index 0) up to the highest one found; a
  // position without a COL$ row has objNo 0.
  std::vector<ColumnRecord> columns;
};

// The dropped tables of the user, in the order of the deleted OBJ$ rows
// (the first row of an OBJ# counts); one pass over each file. False when
// the file of deleted OBJ$ rows cannot be read.
bool findDroppedTables(const DictFiles& dir, uint32_t userNo, std::vector<DroppedTable>& out);

}  // namespace bex
