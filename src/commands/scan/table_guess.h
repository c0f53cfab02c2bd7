// Guessing the column layout of data objects without a dictionary: SAMPLE
// (one block) and SCAN TABLE (every object of the extent listing). The
// unload engine walks the rows in guess mode and hands every value to
// GuessValue; the result is an UNLOAD OBJECT line with the guessed types,
// or the UNLOAD TABLE lines of the loaded candidate tables that fit it.
#pragma once

namespace bex {

struct RunContext;
class Sink;

void cmdSample(RunContext& rc);
// SCAN TABLE: the guesses go to dest, progress to the console.
void scanTables(RunContext& rc, Sink& dest);
// LOAD TABLE user: every table of the user becomes a candidate.
void loadGuessTables(RunContext& rc, const char* userName);
// LOAD TABLE user | LOAD SCRIPT filename
void cmdLoad(RunContext& rc);

}  // namespace bex
