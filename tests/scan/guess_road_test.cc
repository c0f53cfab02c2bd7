// The guess road on the forged database of "bexforge guess": without a
// dictionary SCAN TABLE guesses the type class of the columns of every
// object (the figures per class go to guess_accuracy.log), and each
// UNLOAD OBJECT line it writes, run as written, gives every row with the
// right values in the rightly guessed columns; with the old dictionary
// loaded by LOAD TABLE the true table is ranked first.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "forge/scenario.h"
#include "run/run_context.h"
#include "shell/command_loop.h"
#include "test_files.h"
#include "test_shell.h"

using namespace bex;
using bex::testing::ScratchDir;
using bex::testing::TestShell;

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> split(const std::string& s, const std::string& sep) {
  std::vector<std::string> out;
  size_t at = 0;
  for (size_t p; (p = s.find(sep, at)) != std::string::npos; at = p + sep.size()) out.push_back(s.substr(at, p - at));
  out.push_back(s.substr(at));
  return out;
}

std::string field(const std::string& line, const std::string& key) {
  const size_t p = line.find(" " + key + "=");
  if (p == std::string::npos) return "";
  const size_t start = p + key.size() + 2;
  return line.substr(start, line.find(' ', start) - start);
}

// One object of expect/guess.truth.
struct Truth {
  uint32_t objd = 0, cluster = 0;
  std::string table;
  size_t dictColumns = 0;
  std::vector<int> classes;  // 0: no value at that position
  bool guessed = true;
};

std::vector<Truth> readTruth(const std::string& path) {
  std::vector<Truth> all;
  std::istringstream in(slurp(path));
  for (std::string line; std::getline(in, line);) {
    Truth t;
    if (line.rfind("unguessed ", 0) == 0) {
      t.objd = static_cast<uint32_t>(std::stoul(field(line, "objd")));
      t.guessed = false;
    } else if (line.rfind("object ", 0) == 0) {
      t.objd = static_cast<uint32_t>(std::stoul(field(line, "objd")));
      t.cluster = static_cast<uint32_t>(std::stoul(field(line, "cluster")));
      t.table = field(line, "table");
      t.dictColumns = std::stoul(field(line, "dict"));
      for (const std::string& c : split(field(line, "classes"), ",")) t.classes.push_back(std::stoi(c));
    } else {
      continue;
    }
    all.push_back(t);
  }
  return all;
}

// What SCAN TABLE wrote for one object.
struct Guess {
  std::vector<int> classes;     // from the layout line's type words
  std::string layout;           // the UNLOAD OBJECT statement
  std::vector<std::string> tables;  // the "## Guess" lines' OWNER.TABLE, in rank order
};

int classOfWord(const std::string& w) {
  static const std::map<std::string, int> kWords = {
      {"NUMBER", 2},       {"VARCHAR", 9}, {"DATE", 12},  {"TIMESTAMP", 180}, {"TIMESTAMPTZ", 181},
      {"BINARY_FLOAT", 100}, {"BINARY_DOUBLE", 101}, {"RAW", 23}, {"CLOB", 112}, {"BLOB", 113}};
  auto it = kWords.find(w);
  return it == kWords.end() ? 0 : it->second;
}

std::map<std::pair<uint32_t, uint32_t>, Guess> readGuesses(const std::string& text) {
  std::map<std::pair<uint32_t, uint32_t>, Guess> all;
  for (const std::string& part : split(text, "## Object = ")) {
    unsigned objd, cluster;
    if (sscanf(part.c_str(), "%u.%u,", &objd, &cluster) != 2) continue;
    Guess g;
    for (const std::string& l : split(part, "\n")) {
      char owner[80], table[80];
      if (sscanf(l.c_str(), "## Guess %*d : %79[^.].%79s ,", owner, table) == 2)
        g.tables.push_back(std::string(owner) + "." + table);
    }
    const size_t at = part.find("UNLOAD OBJECT");
    if (at != std::string::npos) {
      g.layout = part.substr(at, part.find(';', at) + 1 - at);
      std::istringstream words(g.layout.substr(g.layout.find(" COLUMN ") + 8));
      for (std::string w; words >> w && w != "TO";) g.classes.push_back(classOfWord(w));
    }
    all[{objd, cluster}] = g;
  }
  return all;
}

// A data file of default tags: rows of fields, LOB references resolved
// against the LOB file beside it ("NULL" for a reference to none).
std::vector<std::vector<std::string>> readRows(const std::string& dir, const std::string& name) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> records = split(slurp(dir + name), "\r\n");
  records.pop_back();
  for (const std::string& r : records) {
    std::vector<std::string> fields = split(r, "|");
    for (std::string& f : fields) {
      const size_t len = f.rfind('.'), start = len == std::string::npos ? len : f.rfind('.', len - 1);
      if (f.empty() || f.back() != '/' || start == std::string::npos || f.find(".LOB.") == std::string::npos) continue;
      const long long from = std::stoll(f.substr(start + 1)), n = std::stoll(f.substr(len + 1));
      f = n < 0 ? "NULL" : slurp(dir + f.substr(0, start)).substr(static_cast<size_t>(from - 1), static_cast<size_t>(n));
    }
    rows.push_back(fields);
  }
  return rows;
}

const char* className(int c) {
  switch (c) {
    case 2: return "NUMBER";
    case 9: return "text (VARCHAR2, CHAR)";
    case 12: return "DATE";
    case 180: return "TIMESTAMP";
    case 181: return "TIMESTAMP WITH TIME ZONE";
    case 100: return "BINARY_FLOAT";
    case 101: return "BINARY_DOUBLE";
    case 23: return "RAW";
    case 112: return "CLOB";
    case 113: return "BLOB";
    default: return "other";
  }
}

class GuessRoad : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(bex::forge::runScenario("guess", dir_.path(), {}, error)) << error;
    ASSERT_EQ(mkdir(dir_.file("BEXDICT").c_str(), 0755), 0);
    ASSERT_NE(getcwd(cwd_, sizeof cwd_), nullptr);
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    shell_ = std::make_unique<TestShell>(dir_.file("BEXDICT"));
    truth_ = readTruth(dir_.file("expect/guess.truth"));
    ASSERT_GT(truth_.size(), 10u);
  }
  void TearDown() override { EXPECT_EQ(chdir(cwd_), 0); }

  std::string run(const std::string& statement) {
    shell_->rc.cmd.set(statement);
    runStatement(shell_->rc);
    return shell_->fresh();
  }
  std::map<std::pair<uint32_t, uint32_t>, Guess> scanTables() {
    run("SCAN DATABASE");
    run("SCAN TABLE TO guess.sql");
    return readGuesses(slurp(dir_.file("guess.sql")));
  }

  ScratchDir dir_;
  char cwd_[4096];
  std::unique_ptr<TestShell> shell_;
  std::vector<Truth> truth_;
};

// Each object: at least 95% of the columns holding values guessed in their
// class; the layout line unloads every row, right in those columns.
TEST_F(GuessRoad, WithoutDictionaryEveryObjectIsGuessedAndUnloads) {
  run("OPEN " + dir_.file("guess.cfg"));
  const auto guesses = scanTables();
  std::map<int, std::pair<int, int>> perClass;  // right, columns
  for (const Truth& t : truth_) {
    auto it = guesses.find({t.objd, t.cluster});
    if (!t.guessed) {
      EXPECT_EQ(it, guesses.end()) << "object " << t.objd << " has no live row";
      continue;
    }
    ASSERT_NE(it, guesses.end()) << t.table;
    const Guess& g = it->second;
    ASSERT_EQ(g.classes.size(), t.classes.size()) << t.table << ": " << g.layout;
    int valued = 0, right = 0;
    for (size_t k = 0; k < t.classes.size(); ++k) {
      if (t.classes[k] == 0) continue;
      const bool ok = g.classes[k] == t.classes[k];
      valued++, right += ok;
      perClass[t.classes[k]].first += ok;
      perClass[t.classes[k]].second++;
    }
    EXPECT_GE(right * 100, valued * 95) << t.table << ": " << g.layout;

    run(g.layout);
    const std::string data = g.layout.substr(g.layout.find(" TO ") + 4, g.layout.find(';') - g.layout.find(" TO ") - 5);
    const auto got = readRows(dir_.path() + "/", data), want = readRows(dir_.file("expect/rows/"), data);
    ASSERT_EQ(got.size(), want.size()) << t.table;
    for (size_t r = 0; r < want.size(); ++r) {
      ASSERT_EQ(got[r].size(), want[r].size()) << t.table << " row " << r;
      for (size_t k = 0; k < want[r].size(); ++k) {
        if (t.classes[k] && g.classes[k] == t.classes[k]) {
          EXPECT_EQ(got[r][k], want[r][k]) << t.table << " row " << r << " column " << k + 1;
        }
      }
    }
  }
  FILE* log = fopen(BEX_GUESS_LOG, "w");
  ASSERT_NE(log, nullptr);
  fprintf(log, "Guessed type class per true class (columns holding values, bexforge guess):\n");
  for (const auto& [c, n] : perClass)
    fprintf(log, "  %-26s %3d of %3d  %5.1f%%\n", className(c), n.first, n.second, 100.0 * n.first / n.second);
  fclose(log);
  std::printf("%s", slurp(BEX_GUESS_LOG).c_str());
}

// With the old dictionary loaded the true table comes first; a table the
// old dictionary describes with fewer columns than the rows hold cannot
// take them, and an object without a fitting candidate gets its layout.
TEST_F(GuessRoad, OldDictionaryRanksTheTrueTableFirst) {
  run("OPEN " + dir_.file("guess_dict.cfg"));
  run("UNLOAD TABLE DICT$");
  run("OPEN " + dir_.file("guess.cfg"));
  const std::string loaded = run("LOAD TABLE app");
  EXPECT_NE(loaded.find(" Loaded Guess Table APP.NUMBERS\n"), std::string::npos) << loaded;
  EXPECT_EQ(loaded.find("BIN$"), std::string::npos) << loaded;
  const auto guesses = scanTables();
  for (const Truth& t : truth_) {
    if (!t.guessed) continue;
    auto it = guesses.find({t.objd, t.cluster});
    ASSERT_NE(it, guesses.end()) << t.table;
    const Guess& g = it->second;
    if (t.dictColumns >= t.classes.size()) {
      ASSERT_FALSE(g.tables.empty()) << t.table << ": " << g.layout;
      EXPECT_EQ(g.tables[0], t.table);
    } else {
      EXPECT_EQ(std::count(g.tables.begin(), g.tables.end(), t.table), 0) << t.table;
      if (g.tables.empty()) {
        EXPECT_EQ(g.classes.size(), t.classes.size()) << t.table << ": " << g.layout;
      }
    }
  }
}

}  // namespace
