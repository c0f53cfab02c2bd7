// The command loop: start-up of the RunContext, statement reading from the
// console or a script, prefix commands, keyword dispatch, and the end of the
// run.
#pragma once
#include <cstdio>
#include <vector>

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

// How a run gets its statements and where it draws its progress.
struct RunOptions {
  // A batch run (bex -f, bex -e): these streams, one after the other, take
  // the console's place; their lines are echoed like a script's, and their
  // end, or EXIT, ends the run. Empty: the console stream is read.
  std::vector<FILE*> batch;
  // Where the progress line is drawn (standard error when it is a
  // terminal); -1: nowhere.
  int progressFd = -1;
};

// Builds the RunContext, runs init.sql and the console (or the batch
// inputs) until EXIT or end of input, and releases everything. Returns the
// exit status: for a batch run 1 when any statement failed, else 0.
int commandLoop(FILE* console, Sink& out, const RunOptions& options = {});

}  // namespace bex
