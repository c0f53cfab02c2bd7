#include "scan/guess_candidate.h"

#include <algorithm>
#include <cstring>

namespace bex {

namespace {

constexpr uint16_t kUnbounded = 65535;

bool isLobClass(uint8_t c) { return c == kGuessClob || c == kGuessBlob; }

bool isDatetimeClass(uint8_t c) { return c == kGuessDate || c == kGuessTimestamp || c == kGuessTimestampTz; }

uint16_t lengthOf(uint32_t length) { return static_cast<uint16_t>(length > kUnbounded ? kUnbounded : length); }

bool fewerColumns(const GuessCandidate* a, const GuessCandidate* b) { return a->columnCount < b->columnCount; }

enum class Verdict { kNone, kMatch, kReject };

// Guessed column g against candidate column c (c may be absent: a gap in
// the candidate's positions).
Verdict compareColumn(const ColumnGuessEntry& g, const CandidateColumn& c, uint64_t sampled, bool colsize) {
  if (c.notNull && g.nonnull + 1ull < sampled) return Verdict::kReject;
  if (g.nonnull == 0) return Verdict::kNone;
  const bool longEnough = c.maxLength >= g.maxlen;
  if (g.type == c.typeClass && (!colsize || longEnough)) return Verdict::kMatch;
  if (g.nonnull <= 2) return Verdict::kNone;
  const bool sameLength = !(g.fails & kFailLength);
  if (isLobClass(g.type) != isLobClass(c.typeClass) || (sameLength && isDatetimeClass(g.type)) ||
      (!sameLength && g.type == kGuessNumber) || (colsize && !longEnough))
    return Verdict::kReject;
  return Verdict::kNone;
}

// The matches of candidate c, or -1 when it is rejected.
int64_t countMatches(const ColumnGuess& guess, const GuessCandidate& c, uint64_t sampled, bool colsize) {
  static const CandidateColumn kNoColumn{};
  int64_t m = 0;
  for (uint32_t k = 0; k < guess.count && k < kGuessColumns; k++) {
    const CandidateColumn* cc = c.at(k + 1);
    switch (compareColumn(guess.col[k], cc ? *cc : kNoColumn, sampled, colsize)) {
      case Verdict::kReject: return -1;
      case Verdict::kMatch: m++; break;
      case Verdict::kNone: break;
    }
  }
  return m;
}

// Keeps c among the survivors with the highest match count m.
void keepSurvivor(GuessMatch& match, const GuessCandidate& c, uint32_t m) {
  std::vector<const GuessCandidate*>& s = match.survivors;
  if (s.empty() || m > match.matches) {
    s.clear();
    match.matches = m;
  } else if (m < match.matches) {
    return;
  }
  if (s.size() < kGuessSurvivorsMax) {
    s.push_back(&c);
    return;
  }
  std::stable_sort(s.begin(), s.end(), fewerColumns);
  if (c.columnCount < s.back()->columnCount) s.back() = &c;
}

}  // namespace

CandidateColumn candidateClass(uint32_t type, uint32_t length) {
  switch (type) {
    case 1:
    case 9:
    case 96: return {0, kGuessVarchar, lengthOf(length)};
    case 2: return {0, kGuessNumber, 22};
    case 8: return {0, kGuessVarchar, kUnbounded};
    case 12: return {0, kGuessDate, 7};
    case 23: return {0, kGuessRaw, lengthOf(length)};
    case 24: return {0, 24, kUnbounded};
    case 100: return {0, kGuessFloat, 4};
    case 101: return {0, kGuessDouble, 8};
    case 112: return {0, kGuessClob, kUnbounded};
    case 113: return {0, kGuessBlob, kUnbounded};
    case 180: return {0, kGuessTimestamp, 11};
    case 181: return {0, kGuessTimestampTz, 13};
    // WITH LOCAL TIME ZONE is stored as a plain TIMESTAMP (in the
    // database's zone), so its values are guessed as one.
    case 231: return {0, kGuessTimestamp, 11};
    default: return {0, kGuessRaw, length ? lengthOf(length) : kUnbounded};
  }
}

void GuessCandidate::setNames(const char* ownerName, const char* tableName) {
  memset(owner, 0, sizeof owner);
  memset(table, 0, sizeof table);
  strncpy(owner, ownerName, sizeof owner - 1);
  strncpy(table, tableName, sizeof table - 1);
}

void GuessCandidate::addColumn(uint32_t position, uint32_t type, uint32_t length, uint32_t nullFlag) {
  if (position == 0 || position >= kGuessColumns) return;
  if (column.size() < position) column.resize(position);
  CandidateColumn c = candidateClass(type, length);
  c.notNull = nullFlag != 0;
  column[position - 1] = c;
  columnCount = std::max(columnCount, position);
  if (c.notNull) lastNotNull = std::max(lastNotNull, position);
}

namespace {

std::string candidateKey(const GuessCandidate& c) { return std::string(c.owner) + '\0' + c.table; }

}  // namespace

bool GuessCandidates::put(GuessCandidate&& c) {
  const auto [it, added] = at_.try_emplace(candidateKey(c), list_.size());
  if (!added) {
    list_[it->second] = std::move(c);
    return true;
  }
  if (list_.size() >= kGuessCandidatesMax) {
    at_.erase(it);
    return false;
  }
  list_.push_back(std::move(c));
  return true;
}

void GuessCandidates::sortByObject() {
  std::stable_sort(list_.begin(), list_.end(),
                   [](const GuessCandidate& a, const GuessCandidate& b) { return a.objNo < b.objNo; });
  for (size_t i = 0; i < list_.size(); i++) at_[candidateKey(list_[i])] = i;
}

void matchCandidates(const ColumnGuess& guess, uint64_t sampledRows, const GuessCandidates& candidates,
                     const MatchSettings& settings, GuessMatch& match) {
  match.survivors.clear();
  match.matches = 0;
  match.valued = 0;
  const uint32_t count = std::min<uint32_t>(guess.count, kGuessColumns);
  for (uint32_t k = 0; k < count; k++) match.valued += guess.col[k].nonnull > 0;
  const uint64_t sampled = std::min<uint64_t>(sampledRows, settings.sampleSize);
  for (const GuessCandidate& c : candidates.list()) {
    if (c.columnCount < count) continue;
    const int64_t m = countMatches(guess, c, sampled, settings.colsize);
    if (m < 1 || static_cast<uint64_t>(m) * 100 < uint64_t{c.columnCount} * settings.colpct ||
        count < c.lastNotNull)
      continue;
    keepSurvivor(match, c, static_cast<uint32_t>(m));
  }
  if (match.survivors.empty() || uint64_t{match.matches} * 100 < uint64_t{match.valued} * settings.score) {
    match.survivors.clear();
    return;
  }
  std::stable_sort(match.survivors.begin(), match.survivors.end(), fewerColumns);
}

void writeGuessLines(Sink& out, const GuessMatch& match, uint32_t objd, uint32_t limit) {
  const size_t n = std::min<size_t>(match.survivors.size(), limit);
  for (size_t i = 0; i < n; i++) {
    const GuessCandidate& c = *match.survivors[i];
    out.printf("## Guess %d : %s.%s , Columns=%d, Match Count = %d/%d, Score = %d%%\n", static_cast<int>(i + 1),
               c.owner, c.table, static_cast<int>(c.columnCount), static_cast<int>(match.matches),
               static_cast<int>(match.valued), static_cast<int>(match.matches * 100 / match.valued));
    out.printf("UNLOAD TABLE %s.%s OBJECT %u TO %s.%s_%u.dmp;\n", c.owner, c.table, objd, c.owner, c.table, objd);
  }
}

}  // namespace bex
