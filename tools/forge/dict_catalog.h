// The model behind the dictionary scenario: users, tables with their columns
// and rows, clusters, partitions and the other objects of a database, and
// the rows of the core dictionary tables (USER$, OBJ$, TAB$, IND$, TABPART$,
// COL$, COLTYPE$) that describe them.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "forge/dict_segments.h"

namespace bex::forge {

struct UserDef {
  uint32_t number;
  std::string name;
  uint32_t type = 1;  // 0 role, 1 user
  std::string password;  // empty: NULL, not stored
};

struct ColDef {
  std::string name;
  uint32_t type = 1;
  uint32_t length = 0;
  std::optional<int32_t> precision, scale;
  bool notNull = false;
  uint32_t form = 0;  // CHARSETFORM; 0 for columns without characters
  uint32_t charsetId = 0;
  // 0 = the position in the table's list (plus one).
  uint32_t colNo = 0, intColNo = 0;
  std::optional<uint32_t> segColNo;  // 0 for an object column without storage
  uint32_t property = 0;
  std::string typeOid;  // object columns: the TOID of their type
};

struct PartDef {
  std::string name;
  uint32_t objNo = 0, dataObjNo = 0;
  std::vector<Row> rows;
  uint32_t header = 0;  // filled when placed
};

// A table with its rows in segment column order (cluster key first).
struct TableDef {
  uint32_t owner = 0;
  std::string name;
  uint32_t objNo = 0, dataObjNo = 0;  // dataObjNo 0: no segment of its own
  uint32_t ts = 0;
  uint16_t rfn = 0;
  uint32_t header = 0;  // segment header block (the cluster's for a clustered table)
  uint32_t clusterObjNo = 0, tab = 0;  // a clustered table: its cluster and table number
  std::vector<ColDef> cols;
  std::vector<Row> rows;
  std::vector<PartDef> parts;
};

// An object of OBJ$ without a table of its own (cluster, index, view, type,
// ...); an index with storage also gets an IND$ row.
struct ObjectDef {
  uint32_t owner = 0;
  std::string name, subname;
  uint32_t objNo = 0, dataObjNo = 0, type = 0;
  std::string oid;  // hexadecimal OID$ (types)
  uint32_t baseObjNo = 0;  // indexes: the indexed table
  uint32_t ts = 0;
  uint16_t rfn = 0;
  uint32_t header = 0;
};

struct Catalog {
  std::vector<UserDef> users;
  std::vector<TableDef> tables;
  std::vector<ObjectDef> objects;
};

// The rows of each core dictionary table, in segment column order.
struct DictRows {
  std::vector<Row> user, obj, tab, ind, tabpart, col, coltype;
};
DictRows dictionaryRows(const Catalog& c);

// The text form of the dictionary file line of a row: the columns whose
// code is not 0, with the field tag "," after every column but the last
// stored one, and a line feed.
std::string dictLine(const Row& row, const std::vector<uint8_t>& codes);

// Column positions as the dictionary files describe them after the readers'
// length rule: the type code of each segment column (0 where no readable
// COL$ line gives one) and the highest position seen.
struct SegmentColumns {
  std::vector<uint8_t> codes;
  uint32_t count = 0;
};
SegmentColumns segmentColumns(const TableDef& t, const std::vector<uint8_t>& colCodes);

}  // namespace bex::forge
