// UNLOAD: TABLE owner.table (through the dictionary), OBJECT objd (column
// types from COLUMN words), or TABLE DICT$ (the dictionary bootstrap).
#pragma once
#include "unload/output_format.h"
#include "unload/unload_job.h"

namespace bex {

struct RunContext;
struct Settings;

void cmdUnload(RunContext& rc);

// What the output formats read of the run.
OutputEnv outputEnv(RunContext& rc);
// The tags an unload writes: the settings' as it starts.
RowTags tagsOf(const Settings& s);

}  // namespace bex
