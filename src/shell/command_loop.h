// The command loop: start-up of the RunContext, statement reading from the
// console or a script, prefix commands, keyword dispatch, and the end of the
// run.
#pragma once
#include <cstdio>

#include "base/cmdline.h"
#include "base/sink.h"

namespace bex {

struct RunContext;

enum class InputForm { kConsole, kScript };

// Reads one statement into cl. Returns 0 when a statement (possibly empty)
// is ready, -1 when it was EXIT. In script form each line is echoed to out.
// The console form treats end of input as EXIT.
int readStatement(FILE* in, InputForm form, CommandLine& cl, Sink& out);

// Runs one statement already in rc.cmd. Returns false when it was EXIT.
bool runStatement(RunContext& rc);

// Builds the RunContext, runs init.sql and the console until EXIT or end of
// input, and releases everything. Returns the loop's status.
int commandLoop(FILE* console, Sink& out);

}  // namespace bex
