// The PostgreSQL script LOAD SCRIPT writes beside the batch file: for every
// table unloaded in the run a CREATE TABLE in PostgreSQL's types, and for
// the tables unloaded in CSV style the psql commands that load their data
// and LOB files into it. Owners become schemas; names in capitals become
// lower case; every name is quoted.
//
// Each data file is copied into a temporary table of text fields (read as
// LATIN1, so every byte arrives unchanged whatever the character sets of
// its columns) and inserted from there with each field converted: text
// from the character set it was written in, RAW from hexadecimal, LOB
// values cut out of the LOB file (imported as a large object) through
// their references. PostgreSQL text cannot hold NUL bytes: the script
// leaves them out of the data files that hold them and out of CLOB values.
#pragma once
#include <string>
#include <string_view>

#include "pg/pg_type_map.h"
#include "run/unload_history.h"

namespace bex {

// The script's name: the batch name with its extension replaced by
// "_pg.sql" ("_pg.sql" appended when it has none).
std::string pgScriptName(const char* batchPath);

// Writes the script; false when it cannot be created or written.
bool writePgScript(const char* path, const UnloadHistory& history);

}  // namespace bex
