#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "shell/command_loop.h"

using namespace bex;

namespace {

struct Reader {
  std::string input;
  FILE* f;
  CommandLine cl;
  StringSink out;
  explicit Reader(std::string in) : input(std::move(in)) {
    f = fmemopen(input.data(), input.size(), "r");
  }
  ~Reader() { fclose(f); }
  int read(InputForm form = InputForm::kConsole) { return readStatement(f, form, cl, out); }
  std::string text() const { return std::string(cl.text, cl.length); }
};

}  // namespace

TEST(StatementReader, OneLineStatementsEndAtTheLineWithOrWithoutSemicolon) {
  Reader r("SET BLOCK_SIZE 4096\nSET BLOCK_SIZE 4096;\nSET BLOCK_SIZE 4096 ;  \n");
  for (int i = 0; i < 3; i++) {
    ASSERT_EQ(r.read(), 0);
    EXPECT_EQ(r.text(), i == 2 ? "SET BLOCK_SIZE 4096 " : "SET BLOCK_SIZE 4096");
  }
  EXPECT_EQ(r.out.str(), "BEX> BEX> BEX> ");
}

TEST(StatementReader, UnloadContinuesUntilSemicolonWithNumberedPrompts) {
  Reader r("UNLOAD TABLE a.b\n  COLUMN NUMBER\nTO x.txt;\nSET VERBOSE 1\n");
  ASSERT_EQ(r.read(), 0);
  EXPECT_EQ(r.text(), "UNLOAD TABLE a.b   COLUMN NUMBER TO x.txt");
  EXPECT_EQ(r.out.str(), "BEX>    2    3 ");
  ASSERT_EQ(r.read(), 0);
  EXPECT_EQ(r.text(), "SET VERBOSE 1");
}

TEST(StatementReader, FullStopDiscardsTheStatement) {
  Reader r("UNLOAD TABLE a.b\n.\nHELP.\nHELP\n");
  ASSERT_EQ(r.read(), 0);
  EXPECT_EQ(r.text(), "");
  ASSERT_EQ(r.read(), 0);
  EXPECT_EQ(r.text(), "");
  ASSERT_EQ(r.read(), 0);
  EXPECT_EQ(r.text(), "HELP");
}

TEST(StatementReader, ExitIsReportedUnlessEndedBySemicolon) {
  Reader r("exit\nEXIT;\n");
  EXPECT_EQ(r.read(), -1);
  EXPECT_EQ(r.read(), 0);  // "EXIT;" reaches the dispatcher
  EXPECT_EQ(r.text(), "EXIT");
}

TEST(StatementReader, ConsoleEndOfInputActsAsExit) {
  Reader r("");
  EXPECT_EQ(r.read(), -1);
  Reader partial("UNLOAD TABLE x\n");
  EXPECT_EQ(partial.read(), -1);
}

TEST(StatementReader, ConsoleBlankLineIsAnEmptyStatement) {
  Reader r("   \nHELP\n");
  ASSERT_EQ(r.read(), 0);
  EXPECT_EQ(r.text(), "");
}

// A stray NUL typed or piped at the start of a line must not end the run:
// the line reads as empty, in either form, and the next line still comes.
TEST(StatementReader, LineStartingWithNulIsEmpty) {
  for (InputForm form : {InputForm::kConsole, InputForm::kScript}) {
    Reader r(std::string("\0junk\nHELP\n", 11));
    ASSERT_EQ(r.read(form), 0);
    if (form == InputForm::kConsole) {
      EXPECT_EQ(r.text(), "");
      ASSERT_EQ(r.read(form), 0);
    }
    EXPECT_EQ(r.text(), "HELP");
  }
}

TEST(StatementReader, ScriptEchoesLinesAndSkipsBlankOnes) {
  Reader r("\n  \nHELP\n");
  ASSERT_EQ(r.read(InputForm::kScript), 0);
  EXPECT_EQ(r.text(), "HELP");
  EXPECT_EQ(r.out.str(), "BEX> \nBEX>   \nBEX> HELP\n");
  ASSERT_EQ(r.read(InputForm::kScript), 0);  // end of file: empty statement
  EXPECT_EQ(r.text(), "");
}

TEST(StatementReader, ScriptLastLineWithoutNewlineStillRuns) {
  Reader r("UNLOAD TABLE a.b\nTO x");
  ASSERT_EQ(r.read(InputForm::kScript), 0);
  EXPECT_EQ(r.text(), "UNLOAD TABLE a.b TO x");
}

TEST(StatementReader, LongUnloadIsCompleteAfter7168Characters) {
  std::string line = "UNLOAD " + std::string(1000, 'c') + "\n";
  std::string in = line;
  for (int i = 0; i < 9; i++) in += std::string(1000, 'd') + "\n";
  Reader r(in);
  ASSERT_EQ(r.read(), 0);
  EXPECT_GT(r.cl.length, kStatementCut);
  EXPECT_LE(r.cl.length, kStatementMax);
  // 1007 + 7 * 1001 = 8014 characters after eight lines.
  EXPECT_EQ(r.cl.length, 8014u);
}

TEST(StatementReader, LineLongerThan1023IsReadAsTwoLines) {
  std::string in = "REM " + std::string(1500, 'z') + "\n";
  Reader r(in);
  ASSERT_EQ(r.read(), 0);
  EXPECT_EQ(r.cl.length, 1023u);
  ASSERT_EQ(r.read(), 0);
  EXPECT_EQ(r.cl.length, 1500u - 1019u);
}
