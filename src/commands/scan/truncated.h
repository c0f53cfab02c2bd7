// LIST TRUNCATED user [TO file]: the old incarnations of the user's tables
// that the scan listing still holds, each described in a REM line and
// followed by its UNLOAD TABLE line, so that the TO file runs as a script.
#pragma once
#include <memory>

namespace bex {

struct RunContext;
// What the search finds the same for every user: the scan listing, the
// live and dropped data objects, and the objects lying in live tables'
// extents (every segment header read).
struct TruncatedClaims;

// Called with the command line after LIST, its TRUNCATED word read. With
// kept, the LISTs of several users in turn (the dictionary, the listing and
// the files unchanged between them) share what the first one found.
void cmdListTruncated(RunContext& rc, std::shared_ptr<TruncatedClaims>* kept = nullptr);

}  // namespace bex
