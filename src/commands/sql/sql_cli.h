// bex sql: SQL queries over data files from the command line. The layout
// is learnt as bex recover learns it (OPEN of the files, the dictionary
// when the SYSTEM file is among them, else a scan and guessed columns),
// in a working directory of its own that is removed at the end; what those
// statements print stays off standard output, which gets only the results.
#pragma once

namespace bex {

// Exit status of bex sql.
enum SqlCliStatus { kSqlAnswered = 0, kSqlQueryFailed = 1, kSqlNoLayout = 2 };

// bex sql with its arguments (those after "sql").
int sqlMain(int argc, char** argv);

}  // namespace bex
