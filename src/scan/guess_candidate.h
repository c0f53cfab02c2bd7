// GuessCandidate: the column layout of a table from an old or partial
// dictionary (LOAD TABLE), and the matching of a guessed layout against
// the candidate list: which loaded tables an object most likely belongs to.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/sink.h"
#include "scan/column_guess.h"

namespace bex {

inline constexpr size_t kGuessCandidatesMax = 65535;
inline constexpr size_t kGuessSurvivorsMax = 256;
inline constexpr size_t kCandidateNameSize = 64;

// One column position of a candidate: what its dictionary column allows.
struct CandidateColumn {
  uint8_t notNull = 0;
  uint8_t typeClass = 0;  // 0: no column at this position
  uint16_t maxLength = 0;
};

struct GuessCandidate {
  uint32_t objNo = 0;
  char owner[kCandidateNameSize] = {};
  char table[kCandidateNameSize] = {};
  uint32_t columnCount = 0;    // the highest column position
  uint32_t lastNotNull = 0;    // the highest NOT NULL position
  std::vector<CandidateColumn> column;  // index 0 is position 1

  void setNames(const char* ownerName, const char* tableName);
  // A dictionary column at position (1 to 1023) of TYPE# type, LENGTH
  // length and NULL$ nullFlag.
  void addColumn(uint32_t position, uint32_t type, uint32_t length, uint32_t nullFlag);
  const CandidateColumn* at(uint32_t position) const {
    return position >= 1 && position <= column.size() ? &column[position - 1] : nullptr;
  }
};

// The type class and maximum length a guessed column must show to match a
// dictionary column of that TYPE# and LENGTH.
CandidateColumn candidateClass(uint32_t type, uint32_t length);

// The candidate list of the run: grows or is refreshed by LOAD TABLE.
class GuessCandidates {
 public:
  // Replaces the candidate of the same owner and table, else appends; false
  // when the list is full.
  bool put(GuessCandidate&& c);
  void sortByObject();
  const std::vector<GuessCandidate>& list() const { return list_; }

 private:
  std::vector<GuessCandidate> list_;
  std::unordered_map<std::string, size_t> at_;  // owner NUL table: its index in list_
};

// The guess settings the matching reads.
struct MatchSettings {
  uint32_t sampleSize = 8192;  // GUESS_SIZE
  uint32_t limit = 10;         // GUESS_LIMIT
  uint32_t colpct = 30;        // GUESS_COLPCT
  uint32_t score = 50;         // GUESS_SCORE
  bool colsize = true;         // GUESS_COLSIZE
};

// The candidates that fit a guess best, fewest columns first.
struct GuessMatch {
  std::vector<const GuessCandidate*> survivors;
  uint32_t matches = 0;  // of each survivor
  uint32_t valued = 0;   // guessed columns that held a value
  bool chosen() const { return !survivors.empty(); }
};

// Matches guess (from sampledRows sampled rows) against every candidate.
// match.survivors is left empty when no candidate fits well enough.
void matchCandidates(const ColumnGuess& guess, uint64_t sampledRows, const GuessCandidates& candidates,
                     const MatchSettings& settings, GuessMatch& match);

// The "## Guess" and "UNLOAD TABLE ... .dmp;" lines of the first GUESS_LIMIT
// survivors, for data object objd.
void writeGuessLines(Sink& out, const GuessMatch& match, uint32_t objd, uint32_t limit);

}  // namespace bex
