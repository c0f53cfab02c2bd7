// UNLOAD TABLE straight into a PostgreSQL server: the table created when
// it is missing (pg/pg_type_map.h), the rows written as CSV into memory and
// sent in batches with COPY ... FROM STDIN (in COPY's binary format, the
// same fields) into a temporary table of text fields, from which each
// batch is inserted with the conversions of the
// load script; LOB values go into one large object of the table's
// transaction, which the references of the rows point into. One
// transaction per table: a server that goes away leaves nothing of the
// table behind.
//
// A batch the server refuses is sent again row by row; each row it refuses
// then goes, with the server's reason, to the reject file
// "owner_table[_partition]_pg.rej" in the working directory, and the rest
// of the table is loaded.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "run/loaded_tables.h"
#include "run/unload_history.h"
#include "unload/output_format.h"

namespace bex {

// The damage name (ReportEntry::damage) of the rows the server refused.
inline constexpr const char* kPgRefusedRows = "rows refused by PostgreSQL";

struct PgDestination {
  std::string target;  // the connection string as given (never shown)
  bool append = false;  // a table that already holds rows gets more
  // The tables this run loaded into (target and name): they take more rows
  // (another partition) without APPEND.
  LoadedTables* loaded = nullptr;
};

// Creates the schemas of the owners in the server of target where missing,
// before tables load into them on several connections at once (two
// connections creating one schema collide); false, why says, when not.
bool pgCreateSchemas(const std::string& target, const std::vector<std::string>& owners, std::string& why);

std::unique_ptr<OutputFormat> makePgFormat(const OutputEnv& env, UnloadJob& job, UnloadedTable table,
                                           PgDestination dest);

}  // namespace bex
