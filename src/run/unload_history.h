// The tables unloaded in this run, as LOAD SCRIPT needs them to write the
// PostgreSQL script: where their rows went, in which style, and what each
// field of the data file holds. Kept from UNLOAD TABLE to the end of the run.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "unload/output_style.h"
#include "value/column_type.h"

namespace bex {

// One field of the data file: a column of the table.
struct UnloadedColumn {
  std::string name;
  ColumnTypeCode type = ColumnTypeCode::kSkip;
  uint32_t length = 0;     // LENGTH in bytes
  uint32_t precision = 0;  // PRECISION#, 0 when not given
  int32_t scale = 0;       // SCALE (NUMBER), fractional digits (TIMESTAMP)
  bool notNull = false;
  bool national = false;  // character-set form 2
};

struct UnloadedTable {
  std::string owner;      // as typed in UNLOAD TABLE
  std::string table;      // the name it is created under (AS name, UNIQUE_TNAME)
  std::string dataFile;   // the TO name
  std::string lobFile;    // named after the data file
  const OutputStyleSpec* style = defaultOutputStyle();
  std::string separator;  // the field tag between the values
  bool rowAddress = false;  // every row starts with its address field
  bool textNul = false;   // a value of the data file held a NUL byte
  // Character sets of the text: the database's (Oracle name, empty when
  // unknown) and the iconv targets of NCHAR, NCLOB and CLOB data (empty
  // when the conversion is off and the data is written as stored).
  std::string charset, ncharTarget, nclobTarget, clobTarget;
  std::vector<UnloadedColumn> columns;  // one per field, in file order
};

class UnloadHistory {
 public:
  // In the order of their first unload.
  const std::vector<UnloadedTable>& tables() const { return tables_; }

  // A data file written again replaces what was noted for it (found by
  // name at once: a script may unload a hundred thousand tables).
  void note(UnloadedTable t) {
    const auto [at, added] = byDataFile_.try_emplace(t.dataFile, tables_.size());
    if (added)
      tables_.push_back(std::move(t));
    else
      tables_[at->second] = std::move(t);
  }

 private:
  std::vector<UnloadedTable> tables_;
  std::unordered_map<std::string, size_t> byDataFile_;  // data file -> its entry in tables_
};

}  // namespace bex
