// What LOAD SCRIPT needs to know of an UNLOAD TABLE, noted in the run's
// UnloadHistory once the unload is done.
#pragma once
#include <cstdint>

#include "dict/dictionary.h"
#include "run/unload_history.h"
#include "unload/output_style.h"
#include "unload/unload_job.h"

namespace bex {

struct RunContext;

// The table as unloaded to a data file (job.outputName) in `style`: the
// fields of its rows, their types from the dictionary, the tags and
// character sets the text was written with.
void rememberUnload(RunContext& rc, const UnloadJob& job, const OutputStyleSpec* style, bool rowAddress,
                    const ObjectRecord& table, const char* target, uint32_t objd);
// The same description of the table, not noted (rows going elsewhere).
UnloadedTable describeUnload(RunContext& rc, const UnloadJob& job, const OutputStyleSpec* style, bool rowAddress,
                             const ObjectRecord& table, const char* target, uint32_t objd);

}  // namespace bex
