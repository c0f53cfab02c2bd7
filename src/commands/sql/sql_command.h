// SQL: one SQLite statement over the data files, typed at the prompt (it
// may span lines up to its ";"). "SQL [-o table|csv|json] query", "SQL
// .tables", "SQL .schema owner.table". Rows print as a table on a terminal
// and as CSV otherwise.
#pragma once
#include <string_view>

#include "run/run_context.h"
#include "sql/sql_output.h"

namespace bex {

void cmdSql(RunContext& rc);

// Runs one statement text on the run's files and dictionary; false when
// it failed.
bool runSql(RunContext& rc, std::string_view text, SqlFormat format);

}  // namespace bex
