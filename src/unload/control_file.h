// The files a text-style UNLOAD TABLE writes beside its rows: the
// SQL*Plus script that creates the table and the SQL*Loader control file
// that loads the data file. Both are text files.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "dict/dictionary.h"

namespace bex {

// "%s_%s_%u_syntax.sql" (owner, target, objd), every "$" made "_".
void syntaxScriptName(const char* owner, const char* target, uint32_t objd, char* out, size_t outSize);
// "%s_%s_%u_sqlldr.ctl", or "%s_%s_%s_%u_sqlldr.ctl" with a partition; "$"
// made "_".
void controlFileName(const char* owner, const char* target, const char* partition, uint32_t objd, char* out,
                     size_t outSize);

// What became of a syntax script or control file. One that cannot be
// created is passed over; one that could not be written whole (a full disk)
// is incomplete.
enum class ScriptFile { kWritten, kNotCreated, kWriteFailed };

// "%s;\nexit;\n" around the CREATE TABLE text.
std::string syntaxScriptText(const char* createTable);
ScriptFile writeSyntaxScript(const char* path, const char* createTable);
// Creates (truncates) the text file path and writes text into it.
ScriptFile writeScriptFile(const char* path, const std::string& text);

struct ControlFileSpec {
  const char* tableArg;  // owner.table as typed
  const char* dataName;  // INFILE
  const char* target;    // table name to load into
  uint32_t objd;
  bool uniqueName;  // UNIQUE_TNAME: the table is target_objd
  bool rowAddress;  // ROW_ADDRESS: the first field is the row address
  const char* fieldTag;
  uint32_t fieldTagLen;
  const char* recordTag;
  uint32_t recordTagLen;
  const TableColumns* columns;
  // CSV style: records end in a line feed (the default stream terminator)
  // that may also stand inside an enclosed value, values optionally
  // enclosed in double quotes, blanks kept.
  bool csv = false;
};

std::string controlFileText(const ControlFileSpec& s);
ScriptFile writeControlFile(const char* path, const ControlFileSpec& s);

}  // namespace bex
