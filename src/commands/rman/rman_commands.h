// RMAN: backup pieces entered with OPEN like data files. SCAN lists the runs
// of data-file blocks they hold (rman/run_listing.h); RESTORE FILE writes a
// data file back from them ("RMAN_<fileid>.DBF"); OPEN makes the listed data
// files readable in place, as registry slots that read from the pieces.
#pragma once

namespace bex {

struct RunContext;

void cmdRman(RunContext& rc);

}  // namespace bex
