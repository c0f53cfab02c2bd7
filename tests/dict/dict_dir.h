// A scratch working directory with an empty BEXDICT folder; the test runs
// inside it and the dictionary files are written by hand.
#pragma once
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "dict/column_split.h"

namespace bex::testing {

class DictDir : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/bex-dict.XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    old_ = cwd;
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    ASSERT_EQ(mkdir("BEXDICT", 0755), 0);
  }
  void TearDown() override {
    if (!old_.empty()) {
      EXPECT_EQ(chdir(old_.c_str()), 0);
    }
    if (!dir_.empty()) (void)system(("rm -rf " + dir_).c_str());
  }

  static void write(const std::string& name, const std::string& text) {
    std::ofstream(name, std::ios::binary) << text;
  }
  static std::string read(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  // BEXCOL.TXT and its column map files.
  static void columns(const std::string& text) {
    write("BEXDICT/BEXCOL.TXT", text);
    splitColumnFile();
  }
  static void users(const std::string& t) { write("BEXDICT/BEXUSR.TXT", t); }
  static void objects(const std::string& t) { write("BEXDICT/BEXOBJ.TXT", t); }
  static void storage(const std::string& t) { write("BEXDICT/BEXTAB.TXT", t); }
  static void types(const std::string& t) { write("BEXDICT/BEXTYP.TXT", t); }

 private:
  std::string dir_, old_;
};

}  // namespace bex::testing
