// LIST TRUNCATED user [TO file]: the old incarnations of the user's tables
// that the scan listing still holds, each described in a REM line and
// followed by its UNLOAD TABLE line, so that the TO file runs as a script.
#pragma once

namespace bex {

struct RunContext;

// Called with the command line after LIST, its TRUNCATED word read.
void cmdListTruncated(RunContext& rc);

}  // namespace bex
