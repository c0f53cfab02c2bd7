// Matching a guessed layout against candidate tables: the rejection rules,
// GUESS_SCORE, GUESS_COLSIZE, the ordering of the survivors and the lines
// written for them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scan/guess_candidate.h"

using namespace bex;

namespace {

// A guess of three columns over five rows: NUMBER always, text in two rows
// (up to 9 bytes), DATE always.
struct Sample {
  ColumnGuess g;
  std::vector<uint8_t> block = std::vector<uint8_t>(8192);
  Sample() {
    g.reset(8192);
    for (int r = 0; r < 5; r++) {
      value(0, {0xC1, static_cast<uint8_t>(2 + r)});
      if (r < 2) value(1, std::vector<uint8_t>(r ? 9 : 4, 'a'));
      value(2, {0x78, 0x7C, 0x06, static_cast<uint8_t>(1 + r), 1, 1, 1});
    }
  }
  void value(uint32_t pos, const std::vector<uint8_t>& v) {
    std::copy(v.begin(), v.end(), block.begin() + 100);
    GuessValue(g, pos, block.data(), 100, static_cast<uint32_t>(v.size()));
  }
};

struct Col {
  uint32_t type, length, notNull;
};

GuessCandidate candidate(uint32_t objNo, const char* name, const std::vector<Col>& cols) {
  GuessCandidate c;
  c.objNo = objNo;
  c.setNames("APP", name);
  for (uint32_t i = 0; i < cols.size(); i++) c.addColumn(i + 1, cols[i].type, cols[i].length, cols[i].notNull);
  return c;
}

std::vector<std::string> names(const GuessMatch& m) {
  std::vector<std::string> out;
  for (const GuessCandidate* c : m.survivors) out.push_back(c->table);
  return out;
}

GuessMatch match(const Sample& s, const GuessCandidates& list, MatchSettings settings = {}) {
  GuessMatch m;
  matchCandidates(s.g, 5, list, settings, m);
  return m;
}

}  // namespace

// Equal match counts are printed fewer columns first; a text column too
// short for the longest value rejects its table unless GUESS_COLSIZE is
// off; a candidate with fewer columns than the guess is not tried.
TEST(GuessMatchTest, LengthsAndColumnCounts) {
  GuessCandidates list;
  list.put(candidate(10, "WIDE", {{2, 22, 0}, {1, 20, 0}, {12, 7, 0}, {2, 22, 0}}));
  list.put(candidate(11, "EXACT", {{2, 22, 0}, {1, 20, 0}, {12, 7, 0}}));
  list.put(candidate(12, "SHORT", {{2, 22, 0}, {1, 5, 0}, {12, 7, 0}}));
  list.put(candidate(13, "NARROW", {{2, 22, 0}, {1, 20, 0}}));
  Sample s;
  GuessMatch m = match(s, list);
  EXPECT_EQ(names(m), (std::vector<std::string>{"EXACT", "WIDE"}));
  EXPECT_EQ(m.matches, 3u);
  EXPECT_EQ(m.valued, 3u);
  MatchSettings anyLength;
  anyLength.colsize = false;
  EXPECT_EQ(names(match(s, list, anyLength)), (std::vector<std::string>{"EXACT", "SHORT", "WIDE"}));

  StringSink out;
  writeGuessLines(out, m, 777, 1);
  EXPECT_EQ(out.str(),
            "## Guess 1 : APP.EXACT , Columns=3, Match Count = 3/3, Score = 100%\n"
            "UNLOAD TABLE APP.EXACT OBJECT 777 TO APP.EXACT_777.dmp;\n");
}

// A NOT NULL column needs a value in all sampled rows but one; a date
// guess of one length never fits another class.
TEST(GuessMatchTest, Rejections) {
  GuessCandidates list;
  list.put(candidate(1, "NOTNULL_TEXT", {{2, 22, 1}, {1, 20, 1}, {12, 7, 0}}));
  list.put(candidate(2, "DATE_AS_TEXT", {{2, 22, 1}, {1, 20, 0}, {1, 20, 0}}));
  list.put(candidate(3, "FITS", {{2, 22, 1}, {1, 20, 0}, {12, 7, 1}}));
  EXPECT_EQ(names(match(Sample(), list)), std::vector<std::string>{"FITS"});
}

// GUESS_SCORE: the best candidate must match that share of the valued
// columns; GUESS_COLPCT (30): that share of its own columns.
TEST(GuessMatchTest, ScoreAndColumnShare) {
  GuessCandidates list;
  list.put(candidate(1, "TWO_OF_THREE", {{2, 22, 0}, {23, 20, 0}, {12, 7, 0}}));
  list.put(candidate(2, "TWO_OF_EIGHT", {{2, 22, 0}, {23, 20, 0}, {12, 7, 0}, {23, 1, 0}, {23, 1, 0}, {23, 1, 0},
                                         {23, 1, 0}, {23, 1, 0}}));
  Sample s;
  EXPECT_EQ(names(match(s, list)), std::vector<std::string>{"TWO_OF_THREE"});
  MatchSettings strict;
  strict.score = 100;
  EXPECT_FALSE(match(s, list, strict).chosen());
}

// TIMESTAMP WITH LOCAL TIME ZONE is stored like TIMESTAMP (11 bytes), so a
// column of such values fits it.
TEST(GuessMatchTest, LocalTimeZoneColumnsFitTimestamps) {
  ColumnGuess g;
  g.reset(8192);
  std::vector<uint8_t> block(8192);
  for (uint8_t r = 1; r <= 4; r++) {
    const uint8_t ts[] = {0x78, 0x7C, 0x06, r, 1, 1, 1, 0, 0, 0, r};
    std::copy(ts, ts + 11, block.begin() + 100);
    GuessValue(g, 0, block.data(), 100, 11);
  }
  GuessCandidates list;
  list.put(candidate(1, "LTZ", {{231, 11, 0}}));
  GuessMatch m;
  matchCandidates(g, 4, list, MatchSettings{}, m);
  EXPECT_EQ(names(m), std::vector<std::string>{"LTZ"});
}

// At 256 equal survivors the list is full: a candidate with fewer columns
// than the widest takes its place, a wider one is dropped.
TEST(GuessMatchTest, FullSurvivorListKeepsTheNarrowest) {
  GuessCandidates list;
  for (uint32_t i = 0; i < kGuessSurvivorsMax; i++)
    list.put(candidate(i, ("T" + std::to_string(i)).c_str(), {{2, 22, 0}, {1, 20, 0}, {12, 7, 0}, {2, 22, 0}}));
  list.put(candidate(900, "WIDER", {{2, 22, 0}, {1, 20, 0}, {12, 7, 0}, {2, 22, 0}, {2, 22, 0}}));
  list.put(candidate(901, "NARROWEST", {{2, 22, 0}, {1, 20, 0}, {12, 7, 0}}));
  const GuessMatch m = match(Sample(), list);
  ASSERT_EQ(m.survivors.size(), kGuessSurvivorsMax);
  EXPECT_EQ(names(m).front(), "NARROWEST");
  for (const GuessCandidate* c : m.survivors) EXPECT_STRNE(c->table, "WIDER");
}

// LOAD TABLE again replaces a table's candidate instead of adding one.
TEST(GuessMatchTest, CandidatesAreReplacedByName) {
  GuessCandidates list;
  list.put(candidate(5, "T", {{2, 22, 0}}));
  list.put(candidate(3, "U", {{2, 22, 0}}));
  list.put(candidate(7, "T", {{2, 22, 0}, {1, 10, 0}}));
  list.sortByObject();
  ASSERT_EQ(list.list().size(), 2u);
  EXPECT_STREQ(list.list()[0].table, "U");
  EXPECT_EQ(list.list()[1].columnCount, 2u);
}

// A table loaded again replaces its candidate, also after the list was
// sorted by object number; other tables are appended.
TEST(GuessCandidates, ATableLoadedAgainReplacesItsCandidate) {
  GuessCandidates list;
  list.put(candidate(30, "B", {{2, 22, 0}}));
  list.put(candidate(20, "A", {{2, 22, 0}}));
  list.sortByObject();
  list.put(candidate(31, "B", {{1, 20, 0}}));
  list.put(candidate(25, "C", {{2, 22, 0}}));
  ASSERT_EQ(list.list().size(), 3u);
  EXPECT_STREQ(list.list()[0].table, "A");
  EXPECT_EQ(list.list()[1].objNo, 31u);
  EXPECT_STREQ(list.list()[2].table, "C");
}
