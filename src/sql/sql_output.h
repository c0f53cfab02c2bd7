// The result of a query as text: a table padded for reading (a terminal),
// CSV with a header line, or JSON (an array of one object per row).
#pragma once
#include <sqlite3.h>

#include <cstdint>
#include <string_view>

#include "base/sink.h"

namespace bex {

enum class SqlFormat : uint8_t { kTable, kCsv, kJson };

// "table", "csv" or "json" (any case); false for any other word.
bool parseSqlFormat(std::string_view word, SqlFormat& out);

// Steps the statement to its end, writing its rows; the last step's
// result code (SQLITE_DONE when every row came).
int writeResult(sqlite3_stmt* st, SqlFormat f, Sink& out);

}  // namespace bex
