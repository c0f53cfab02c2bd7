// The SQLite module "bex": one virtual table per table (or partition) of
// the dictionary. A cursor finds the segment's blocks the way UNLOAD does
// (the extent listing of the scan, else the segment header and its extent
// maps, else nothing) and walks them a stretch at a time as the query pulls
// rows, so LIMIT ends the walk early. Values are decoded only when read;
// the hidden columns BEX_FILE, BEX_BLOCK and BEX_SLOT say where a row is.
#pragma once
#include <sqlite3.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/block_context.h"
#include "dict/dictionary.h"
#include "sql/sql_values.h"
#include "unload/damage.h"
#include "unload/row_walk.h"

namespace bex {

// The columns of a data object guessed from its listed blocks (the way
// SCAN TABLE guesses them); false when nothing could be guessed.
using SqlGuessColumns = std::function<bool(uint32_t objd, TableColumns& out)>;

// What the tables of one session read through.
struct SqlEnv {
  BlockContext& bc;
  const DictFiles& dict;
  std::string extentListing;  // the scan's listing, used when it exists
  RowFilters filters;
  SqlConversions& conversions;
  SqlGuessColumns guessColumns;  // for objd_NNN; none: no guessed tables
};

// One segment of a table: its data object, cluster table number and
// segment header.
struct SqlSegment {
  uint32_t objd = 0, cluster = 0;
  uint32_t headerFile = 0, headerBlock = 0;
};

// Where the rows of one virtual table are: the segments (the table's own,
// or those of each of its partitions) and the columns.
struct SqlTableSource {
  std::string label;  // OWNER.TABLE or OWNER.TABLE:PARTITION
  std::vector<SqlSegment> segments;
  TableColumns columns;
  std::vector<uint32_t> positions;  // segment positions of the declared columns
};

// What the walks of a session's tables met: per table, the walkers'
// messages and the damage they passed over, and each damaged block.
struct SqlDamageBlock {
  std::string label;
  const char* kind;
  uint32_t file, block;
};
struct SqlWalkNote {
  std::string label;
  std::string messages;
  DamageCounts damage;
};
struct SqlWalkNotes {
  std::vector<SqlWalkNote> pending;  // printed after the statement's result
  std::vector<SqlDamageBlock> blocks;  // the bex_damage table
};

// The CREATE TABLE text the virtual table declares.
std::string sqlTableDeclaration(const SqlTableSource& s);

// Registers the module "bex" (tables made from sources handed over by
// addSource) and the table bex_damage.
class SqlTables {
 public:
  SqlTables(const SqlEnv& env, SqlWalkNotes& notes) : env_(env), notes_(notes) {}
  bool registerModule(sqlite3* db);
  // Keeps the source; its number is the argument of "USING bex(n)".
  size_t addSource(std::unique_ptr<SqlTableSource> s);

  const SqlEnv& env() const { return env_; }
  SqlWalkNotes& notes() { return notes_; }
  const SqlTableSource* source(size_t n) const { return n < sources_.size() ? sources_[n].get() : nullptr; }

 private:
  SqlEnv env_;
  SqlWalkNotes& notes_;
  std::vector<std::unique_ptr<SqlTableSource>> sources_;
};

}  // namespace bex
