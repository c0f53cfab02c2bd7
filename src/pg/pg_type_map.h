// What a table becomes in PostgreSQL, for the load script LOAD SCRIPT
// writes and for the rows UNLOAD writes straight into a server: owners
// become schemas, names in capitals become lower case and every name is
// quoted, each column gets its PostgreSQL type, and each text field of the
// unloaded rows its conversion.
//
// The rows arrive as text fields read as LATIN1, so every byte arrives
// unchanged whatever the character sets of the columns; each field is then
// converted by an expression over the helper functions of kPgFunctions:
// text from the character set it was written in, RAW from hexadecimal,
// times with years before 1 as BC, LOB values cut out of a large object
// holding the LOB file through their references "file.offset.length/".
#pragma once
#include <string>
#include <string_view>

#include "run/unload_history.h"

namespace bex {

// A name as PostgreSQL gets it: lower case when it has no small letters,
// in double quotes (doubled inside).
std::string pgName(std::string_view oracleName);

// The PostgreSQL type of a column.
std::string pgColumnType(const UnloadedColumn& c);

// PostgreSQL's name of an Oracle character set or an iconv encoding; empty
// when it has none.
std::string_view pgEncodingOfOracle(std::string_view charset);
std::string_view pgEncodingOfIconv(std::string_view encoding);

// The character sets the text of one data file was written in, by
// PostgreSQL's names (LATIN1, byte for byte, for those it has no name of).
struct PgEncodings {
  std::string database, nchar, nclob, clob;
};
PgEncodings pgEncodingsOf(const UnloadedTable& t);

// The PostgreSQL value of the text field `field` of column c; lob is the
// large object holding the LOB values (an expression).
std::string pgValueOf(const UnloadedColumn& c, const std::string& field, const PgEncodings& e, std::string_view lob);

bool pgHasLob(const UnloadedTable& t);

// The CREATE SCHEMA and CREATE TABLE statements of table t under name.
std::string pgCreateTable(const UnloadedTable& t, const std::string& name);

// printf onto the end of out; a short text (at most 63 bytes: names of
// types and fields).
void appendFormat(std::string& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
std::string shortFormat(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// A string literal for SQL and psql's own commands ('' doubles a quote).
std::string pgLiteral(std::string_view s);

// The session's helper functions of the conversions (in pg_temp).
extern const char kPgFunctions[];

}  // namespace bex
