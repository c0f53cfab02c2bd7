// LIST TRUNCATED user [TO file]: the old incarnations of the user's tables
// that the scan listing still holds, each with its UNLOAD TABLE line.
#pragma once

namespace bex {

struct RunContext;

// Called with the command line after LIST, its TRUNCATED word read.
void cmdListTruncated(RunContext& rc);

}  // namespace bex
