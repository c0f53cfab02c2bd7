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
#include "dict/queries.h"

namespace bex {

// A partition or subpartition of a dropped table: its deleted OBJ$ row
// (SUBNAME its name) and its deleted TABPART$ or TABSUBPART$ row.
struct DroppedPartition {
  ObjectRecord object;
  StorageRecord storage;  // all zero when no deleted row names it
};

struct DroppedTable {
  ObjectRecord object;
  StorageRecord storage;  // all zero when no deleted TAB$ row names the table
  // By SEGCOL# (position 1 at index 0) up to the highest one found; a
  // position without a COL$ row has objNo 0.
  std::vector<ColumnRecord> columns;
  // A partitioned table's partitions (subpartitions), in the order of the
  // deleted OBJ$ rows. A deleted partition row of the table's name belongs
  // to the dropped table of that name with the highest OBJ# below its own
  // (a partition is numbered after its table).
  std::vector<DroppedPartition> partitions;
};

// The data object number of a dropped table or partition: its own when its
// TAB$ (TABPART$) row is left, else its OBJ# (the two are equal until a
// TRUNCATE or MOVE).
inline uint32_t dataObjectOf(const DroppedTable& t) {
  return t.storage.dataObjNo ? t.storage.dataObjNo : t.object.objNo;
}
inline uint32_t dataObjectOf(const DroppedPartition& p) {
  return p.storage.dataObjNo ? p.storage.dataObjNo : p.object.objNo;
}

// The dropped tables of the user, in the order of the deleted OBJ$ rows
// (the first row of an OBJ# counts); one pass over each file. False when
// the file of deleted OBJ$ rows cannot be read.
bool findDroppedTables(const DictFiles& dir, uint32_t userNo, std::vector<DroppedTable>& out);

// The data object numbers of every user's dropped tables and partitions
// (their OBJ#s too, which stand in where no deleted TAB$ row is left),
// appended to out: objects a search for truncated tables must leave to
// LIST DROPPED.
void droppedDataObjects(const DictFiles& dir, std::vector<uint32_t>& out);

// The dropped table of the user with that name (ASCII case ignored): the
// one whose data object number (or OBJ#, or a partition's data object
// number) is objd when objd is not 0, else the first. Its object record is
// marked dropped and its storage row, when no deleted TAB$ row is left,
// takes the OBJ# as data object number. Looks up the rows through the index
// of the files of deleted rows (dict_index.h), which reads each file once
// while it does not change: a run that unloads every dropped table stays
// linear.
bool findDroppedTable(const DictFiles& dir, uint32_t userNo, const char* name, uint32_t objd, DroppedTable& out);

// The name a column gets whose COL$ row is gone: BEX_COL<position>.
void placeholderColumnName(uint32_t position, char (&name)[kDictNameMax + 1]);

// The segment columns of a dropped table by position, each known column
// from its deleted COL$ row; a position whose row is gone gets the
// placeholder name and the guessed type RAW(2000) (any bytes come out in
// hexadecimal and load back). Empty when no COL$ row of the table is left.
std::vector<ColumnRecord> droppedTableColumns(const DictFiles& dir, uint32_t objNo);

// Every segment column of the table in position order: a dropped table's
// from droppedTableColumns, a live table's as forEachSegmentColumn.
template <class Visit>
void forEachTableColumn(const DictFiles& dir, const ObjectRecord& table, Visit&& visit) {
  if (!table.dropped) {
    forEachSegmentColumn(dir, table.objNo, visit);
    return;
  }
  for (const ColumnRecord& c : droppedTableColumns(dir, table.objNo)) visit(c);
}

}  // namespace bex
