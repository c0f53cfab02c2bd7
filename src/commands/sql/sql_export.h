// SQL ... TO file: the rows of a query written through UNLOAD's output
// formats, as UNLOAD OBJECT writes them (no script or control file): each
// result column becomes a column of the unload, NUMBER when it is declared
// numeric or its first value is a number, RAW when its first value is a
// blob, else VARCHAR2; each value is stored as that type stores it and
// written by the style the name or OUTPUT_STYLE chooses. The export-dump
// style needs a table to describe and is refused.
#pragma once
#include <sqlite3.h>

#include <string>
#include <string_view>

#include "run/run_context.h"

namespace bex {

// The query's trailing "TO name" (the name in single quotes when it holds
// blanks, as UNLOAD takes it): true, with the name and the query without it.
bool splitQueryTarget(std::string_view& query, std::string& name);

// Steps the statement to its end, its rows into the file; false after a
// message when the query or the file failed.
bool exportResult(RunContext& rc, sqlite3_stmt* st, const std::string& name);

}  // namespace bex
