// loadColumns: the column list of one table for the unload engine.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "dict/dictionary.h"
#include "dict/dropped.h"
#include "dict/queries.h"

namespace bex {

namespace {

// The segment header of a LOB column's index, found as the object
// SYS_IL<table OBJ#>C<INTCOL#>$$ of the table's owner.
void findLobIndex(const DictFiles& dir, const ObjectRecord& table, const char* partition, const ColumnRecord& c,
                  ColumnSpec& cs) {
  if (cs.lobIndexFile != 0 || cs.lobIndexBlock != 0) return;  // given by the LOB option
  char name[kDictNameMax + 1];
  snprintf(name, sizeof name, "SYS_IL%010uC%05u$$", table.objNo, c.intColNo);
  ObjectRecord index;
  index.segmentObjNo = 0;
  if (!findTableObject(dir, table.ownerNo, name, partition, index) &&
      !findIndexObject(dir, table.ownerNo, name, partition, index))
    return;
  StorageRecord st;
  if (!findStorage(dir, index.segmentObjNo, st)) return;
  cs.lobIndexFile = static_cast<uint16_t>(st.file);
  cs.lobIndexBlock = st.block;
}

void enterColumn(const DictFiles& dir, const ObjectRecord& table, const char* partition, const ColumnRecord& c,
                 TableColumns& cols) {
  const uint32_t i = c.segColNo - 1;
  ColumnSpec& cs = cols.column[i];
  cs.type = columnTypeOf(c.type);
  cs.charsetId = static_cast<uint16_t>(c.charsetId);
  cs.charsetForm = static_cast<uint16_t>(c.charsetForm);
  ColumnDescription& d = cols.desc[i];
  memcpy(d.name, c.name, sizeof d.name);
  d.length = c.length;
  d.typeKind = c.typeKind;
  memcpy(d.typeOwner, c.typeOwner, sizeof d.typeOwner);
  memcpy(d.typeName, c.typeName, sizeof d.typeName);
  if (cs.type == ColumnTypeCode::kClob || cs.type == ColumnTypeCode::kBlob) findLobIndex(dir, table, partition, c, cs);
}

}  // namespace

void loadColumns(const DictFiles& dir, const ObjectRecord& table, const char* partition, TableColumns& cols) {
  if (!partition) partition = "";
  uint32_t count = 0;
  forEachTableColumn(dir, table, [&](const ColumnRecord& c) {
    enterColumn(dir, table, partition, c, cols);
    count = std::max(count, c.segColNo);
  });
  cols.count = static_cast<uint16_t>(count);
}

}  // namespace bex
