// Guessing the column layout of data objects without a dictionary: SAMPLE
// (one block) and SCAN TABLE (every object of the extent listing). The
// unload engine walks the rows in guess mode and hands every value to
// GuessValue; the result is an UNLOAD OBJECT line with the guessed types,
// or the UNLOAD TABLE lines of the loaded candidate tables that fit it.
#pragma once
#include <cstdint>
#include <span>
#include <vector>

namespace bex {

struct RunContext;
struct ColumnGuess;
struct ExtentRecord;
struct GuessCandidate;
struct GuessMatch;
struct ObjectRecord;
struct UserRecord;
class DictFiles;
class GuessCandidates;
class Sink;

void cmdSample(RunContext& rc);
// SCAN TABLE: the guesses go to dest, progress to the console.
void scanTables(RunContext& rc, Sink& dest);
// The guess of one object from up to GUESS_SIZE rows of table `cluster` in
// its listed runs, as SCAN TABLE makes it; the number of rows sampled.
uint64_t sampleListedObject(RunContext& rc, std::span<const ExtentRecord> runs, uint32_t cluster, ColumnGuess& guess);
// The column test of SCAN TABLE for one object: up to GUESS_SIZE rows of
// its listed runs (table 0) sampled in guess mode and matched against
// `candidates`.
void matchListedObject(RunContext& rc, const std::vector<ExtentRecord>& runs, const GuessCandidates& candidates,
                       GuessMatch& match);
// The candidate of a table: its columns by their place in the stored row.
GuessCandidate guessCandidateOf(const DictFiles& dir, const UserRecord& user, const ObjectRecord& table);
// LOAD TABLE user: every table of the user becomes a candidate.
void loadGuessTables(RunContext& rc, const char* userName);
// LOAD TABLE user | LOAD SCRIPT filename
void cmdLoad(RunContext& rc);

}  // namespace bex
