#include "dict/column_map.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "dict/dict_files.h"

using namespace bex;

namespace {
std::string slurp(const std::string& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}
}  // namespace

TEST(SplitColumnFile, ByObjectNumberModulo64UntilAShortLine) {
  char tmpl[] = "/tmp/bex-colsplit.XXXXXX";
  std::string dir = mkdtemp(tmpl);
  std::ofstream(dir + "/BEXCOL.TXT", std::ios::binary) << "65,1,1,NAME,1,30,\n"
                                                          "1,2,2,ID,2,22,\r\n"
                                                          ",,129,3,3,X,2,22,\n"
                                                          "short\n"
                                                          "2,1,1,AFTER,1,30,\n";
  splitColumnFile(DictFiles(dir));
  EXPECT_EQ(slurp(dir + "/BEXCOLMAP001.TXT"), "65,1,1,NAME,1,30,\n1,2,2,ID,2,22,\r\n,,129,3,3,X,2,22,\n");
  EXPECT_EQ(slurp(dir + "/BEXCOLMAP002.TXT"), "");
  EXPECT_EQ(slurp(dir + "/BEXCOLMAP063.TXT"), "");
  (void)system(("rm -rf " + dir).c_str());
}

TEST(SplitColumnFile, MissingInputCreatesNothing) {
  char tmpl[] = "/tmp/bex-colsplit.XXXXXX";
  std::string dir = mkdtemp(tmpl);
  splitColumnFile(DictFiles(dir));
  std::ifstream f(dir + "/BEXCOLMAP000.TXT");
  EXPECT_FALSE(f.good());
  (void)system(("rm -rf " + dir).c_str());
}
