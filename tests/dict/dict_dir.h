// A scratch directory holding an empty dictionary directory (BEXDICT); the
// tests hand it to the queries and write the dictionary files by hand. The
// working directory is left alone.
#pragma once
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "dict/column_map.h"
#include "dict/dict_files.h"

namespace bex::testing {

class DictDir : public ::testing::Test {
 protected:
  DictDir() : root_(makeRoot()), dict_(root_ + "/BEXDICT") { mkdir(dict_.path().c_str(), 0755); }
  ~DictDir() override { (void)system(("rm -rf " + root_).c_str()); }

  const DictFiles& dict() const { return dict_; }
  // A file of the scratch directory ("BEXDICT/BEXUSR.TXT" is a dictionary file).
  std::string path(const std::string& name) const { return root_ + "/" + name; }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(path(name), std::ios::binary) << text;
  }
  std::string read(const std::string& name) const {
    std::ifstream f(path(name), std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
  // BEXCOL.TXT and its column map files.
  void columns(const std::string& text) const {
    write("BEXDICT/BEXCOL.TXT", text);
    splitColumnFile(dict_);
  }
  void users(const std::string& t) const { write("BEXDICT/BEXUSR.TXT", t); }
  void objects(const std::string& t) const { write("BEXDICT/BEXOBJ.TXT", t); }
  void storage(const std::string& t) const { write("BEXDICT/BEXTAB.TXT", t); }
  void types(const std::string& t) const { write("BEXDICT/BEXTYP.TXT", t); }

 private:
  static std::string makeRoot() {
    char tmpl[] = "/tmp/bex-dict.XXXXXX";
    const char* made = mkdtemp(tmpl);
    EXPECT_NE(made, nullptr);
    return made ? made : "/nonexistent";
  }

  std::string root_;
  DictFiles dict_;
};

}  // namespace bex::testing
