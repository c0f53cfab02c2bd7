// Every forged table kind unloaded in DMP style: the dump equals, byte for
// byte, the one the forge says a correct UNLOAD TABLE writes
// (expect/dump/ of the dict, lob and dump scenarios), and the test reader
// reads it whole back into the values the forge stored.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

#include "../lob/forged_lobs.h"
#include "dump_reader.h"
#include "commands/scan/scan_commands.h"

namespace bex::testing {
namespace {

// The statements that write one kind's dump (expect/dump/kinds.txt).
struct Kind {
  std::string file;
  bool absent = false;  // no file may be left behind
  std::vector<std::string> statements;
};

// One scenario forged into a directory of its own, with a shell that has
// run its setup statements there.
struct Forged {
  ScratchDir dir;
  UnloadShell shell;
  std::map<std::string, Kind> kinds;
  std::string said;

  ~Forged() { [[maybe_unused]] int rc = chdir("/"); }
  bool enter() const { return chdir(dir.path.c_str()) == 0; }
  // A statement as the prompt takes it: without its final ";".
  std::string run(std::string statement) {
    if (!statement.empty() && statement.back() == ';') statement.pop_back();
    if (statement.rfind("SCAN ", 0) != 0) return shell.statement(statement);
    shell.rc.resetStatement();
    shell.rc.cmd.set(statement);
    shell.rc.cmd.nextToken();
    cmdScan(shell.rc);
    return shell.fresh();
  }
};

Forged* forged(const std::string& scenario) {
  static std::map<std::string, std::unique_ptr<Forged>> all;
  auto& f = all[scenario];
  if (f) return f.get();
  f = std::make_unique<Forged>();
  if (!forgeScenario(scenario, f->dir.path) || !f->enter()) {
    ADD_FAILURE() << "cannot forge " << scenario << " into " << f->dir.path;
    return f.get();
  }
  std::filesystem::create_directory("BEXDICT");
  std::istringstream in(readWhole("expect/dump/kinds.txt"));
  Kind* current = nullptr;
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::string tag, name, file, absent;
    words >> tag;
    const std::string rest = line.substr(std::min(line.size(), tag.size() + 1));
    if (tag == "setup") f->said += f->run(rest);
    if (tag == "run" && current) current->statements.push_back(rest);
    if (tag != "kind") continue;
    words >> name >> file >> absent;
    current = &f->kinds[name];
    current->file = file;
    current->absent = absent == "absent";
  }
  return f.get();
}

std::string firstDifference(const std::string& got, const std::string& want) {
  size_t i = 0;
  while (i < got.size() && i < want.size() && got[i] == want[i]) i++;
  return "first difference at byte " + std::to_string(i) + " (" + std::to_string(got.size()) + " bytes, the forge's " +
         std::to_string(want.size()) + ")";
}

class ForgedDump : public ::testing::TestWithParam<const char*> {};

TEST_P(ForgedDump, EqualsTheForgedDumpAndReadsBackIntoTheStoredValues) {
  const std::string param = GetParam(), scenario = param.substr(0, param.find(':'));
  Forged* f = forged(scenario);
  const auto it = f->kinds.find(param.substr(scenario.size() + 1));
  ASSERT_NE(it, f->kinds.end()) << "the " << scenario << " scenario forges no kind " << param;
  const Kind* k = &it->second;
  ASSERT_TRUE(f->enter());
  remove(k->file.c_str());
  std::string said = f->said;
  for (const std::string& s : k->statements) said += f->run(s);
  if (k->absent) {
    EXPECT_FALSE(std::filesystem::exists(k->file)) << said;
    return;
  }
  const std::string got = readWhole(k->file), want = readWhole("expect/dump/" + k->file);
  ASSERT_FALSE(want.empty()) << k->file;
  EXPECT_TRUE(got == want) << k->file << ": " << firstDifference(got, want) << "\n" << said;
  const dump::BexDump d = dump::readBexDump(got);
  EXPECT_TRUE(d.whole) << k->file;
  EXPECT_EQ(dump::valuesText(d.table.rows), readWhole("expect/dump/" + k->file + ".values")) << k->file;
}

// "scenario:kind"
INSTANTIATE_TEST_SUITE_P(
    Kinds, ForgedDump,
    ::testing::Values("dict:heap", "dict:heap-hr", "dump:chained", "dump:migrated", "dict:cluster",
                      "dict:cluster-key-inside", "dump:compressed", "dump:iot-overflow", "dict:partition-P2023",
                      "dict:partition-P2024", "dump:long", "dict:long-raw", "dict:every-type", "dict:xmltype-lobs",
                      "lob:lobs", "dump:one-column", "dump:thousand-columns", "dump:empty", "dump:empty-deleted",
                      "dump:default-name", "dump:unique-name", "dump:text-options-ignored", "dict:dollar-name",
                      "dump:cut-chain", "dump:long-missing-last-piece"),
    [](const ::testing::TestParamInfo<const char*>& p) {
      std::string n = p.param;
      n = n.substr(n.find(':') + 1);
      for (char& ch : n)
        if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

// CHARSET names a set other than the one the dictionary says a column is
// stored in: the header and its session block declare CHARSET throughout,
// the column keeps its own set, and the unload names the first such column.
TEST(ForgedDumpCharset, AColumnStoredInAnotherSetIsNamed) {
  Forged* f = forged("dict");
  ASSERT_TRUE(f->enter());
  f->run("SET CHARSET WE8MSWIN1252");
  const std::string said = f->run("UNLOAD TABLE SCOTT.EMP TO charset.dmp");
  f->run("SET CHARSET ZHS16GBK");
  EXPECT_NE(said.find("  Warning: column ENAME is stored in character set 852, the dump header says 178 "
                      "(SET CHARSET).\n"),
            std::string::npos)
      << said;
  const dump::BexDump d = dump::readBexDump(readWhole("charset.dmp"));
  ASSERT_TRUE(d.whole);
  EXPECT_EQ(d.header.charsets[1], 178u);
  EXPECT_EQ(d.header.blockDatabase, 178u);
  EXPECT_EQ(d.header.blockClient[0], 178u);
  EXPECT_EQ(d.table.columns[1].charset, 852u);
  const std::string quiet = f->run("UNLOAD TABLE SCOTT.EMP TO charset.dmp");
  EXPECT_EQ(quiet.find("Warning"), std::string::npos) << quiet;
}

// A dump file that cannot be created: the rows go to the console in their
// dump form, without header, table start or trailer.
TEST(ForgedDumpConsole, ADumpThatCannotBeCreatedGoesToTheConsoleAlone) {
  Forged* f = forged("dump");
  ASSERT_TRUE(f->enter());
  const std::string said = f->run("UNLOAD TABLE DEMO.ONE TO no/such/dir/one.dmp");
  const std::string rows = std::string("\x02\0\xC1\x02\0\0\xFE\xFF\0\0\x02\0\xC1\x04\0\0", 16);
  EXPECT_NE(said.find(rows), std::string::npos) << said;
  EXPECT_EQ(said.find("EXPORT:V"), std::string::npos);
  EXPECT_EQ(said.find("TABLE \"ONE\""), std::string::npos);
  EXPECT_EQ(said.find("EXIT\nEXIT"), std::string::npos);
}

// LOB blocks gone: a value none of whose blocks is left is a single blank
// piece, a value missing one page is written without it, and the dump
// stays whole.
TEST(ForgedDumpDamage, LobBlocksGoneLeaveTheDumpWhole) {
  ForgedLobs lobs;
  ASSERT_TRUE(lobs.ok());
  lobs.openAndScan();
  lobs.run("UNLOAD TABLE DICT$");
  const ForgedPage whole = lobs.page("2.C", 0), page1 = lobs.page("9.B", 1);
  for (const ForgedPage& p : {whole, page1})
    for (uint32_t b = 0; b < p.count; b++) lobs.zeroBlock(p.rfn, p.first + b);
  lobs.run("UNLOAD TABLE MEDIA.LOBCASES OBJECT 74000 TO gone.dmp");
  const dump::BexDump d = dump::readBexDump(lobs.read("gone.dmp"));
  ASSERT_TRUE(d.whole);
  ASSERT_EQ(d.table.rows.size(), 9u);
  for (const dump::Row& r : d.table.rows) EXPECT_EQ(r.size(), 4u);
  EXPECT_EQ(*d.table.rows[1][1], " ");
  const std::string all = lobs.read("expect/values/9.B");
  const size_t payload = lobs.blockSize() - 60, cut = size_t{page1.count} * payload;
  EXPECT_EQ(*d.table.rows[8][2], all.substr(0, cut) + all.substr(2 * cut));
}

}  // namespace
}  // namespace bex::testing
