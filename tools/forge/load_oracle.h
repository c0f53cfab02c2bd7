// What a database holds once the unloaded text of a table is loaded into
// it: the oracle of the load tests, one file expect/load/OWNER.TABLE per
// table, rows in any order:
//
//   # comment lines
//   row V V ...
//
// one value per field of the table's data file (the segment column
// positions that have a column): "-" for NULL, else "x" followed by the
// lower-case hexadecimal of the value: its UTF-8 text, or its bytes for
// binary columns (RAW, LONG RAW, BLOB). Text holds NUL bytes as stored.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "forge/dict_catalog.h"
#include "forge/unload_rows.h"

namespace bex::forge {

using LoadedValue = std::optional<std::string>;
using LoadedRow = std::vector<LoadedValue>;

// The loaded value of a stored column whose type code is `code`: NULL for
// a NULL or empty column, the stored bytes of RAW and LONG RAW, the load
// value of LOB columns (none: NULL), else the value's loaded text.
LoadedValue loadedValue(const Val& v, uint8_t code);

// The rows of a table and of all its partitions, as loaded.
std::vector<LoadedRow> loadedRows(const TableDef& t, const SegmentColumns& sc);

// Writes <dir>/<owner>.<table>.
bool writeLoadedRows(const std::string& dir, const std::string& owner, const std::string& table,
                     const std::vector<LoadedRow>& rows, std::string& error);

}  // namespace bex::forge
