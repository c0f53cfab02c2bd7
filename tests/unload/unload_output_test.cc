// The data and LOB files of an unload: checked at the start, created with
// their first bytes, so that an unload without rows leaves nothing behind
// and truncates nothing.
#include "unload/unload_output.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "scratch_dir.h"

using namespace bex;
using bex::testing::ScratchDir;

namespace {

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

}  // namespace

TEST(UnloadOutput, FilesAppearWithTheirFirstBytesAndEmptyOnesNotAtAll) {
  ScratchDir dir;
  StringSink console;
  const std::string data = dir.file("t.txt"), lob = dir.file("t.LOB");
  {
    UnloadOutput out;
    out.open(data.c_str(), true, console);
    ASSERT_TRUE(out.opened());
    ASSERT_NE(out.lob().sink, nullptr);
    EXPECT_FALSE(exists(data) || exists(lob));
    out.data().write("row\n", 4);
    EXPECT_TRUE(out.close(false));  // what was written but not handed on is dropped
    out.removeData();
    EXPECT_FALSE(exists(data) || exists(lob));
  }
  {
    UnloadOutput out;  // EMPTY_FILES: the empty data file stays, the LOB file never does
    out.open(data.c_str(), true, console);
    EXPECT_TRUE(out.close(true));
    EXPECT_TRUE(exists(data));
    EXPECT_FALSE(exists(lob));
  }
  {
    UnloadOutput out;
    out.open(data.c_str(), true, console);
    out.data().write("a|", 2);
    out.lob().sink->write("v\n", 2);
    EXPECT_TRUE(out.close(true));
    EXPECT_EQ(dir.read("t.txt"), "a|");
    EXPECT_EQ(dir.read("t.LOB"), "v\n");
  }
  // A name linked elsewhere is removed, never truncated, by an unload that
  // keeps nothing; an empty LOB file there before goes as ever.
  ASSERT_EQ(link(data.c_str(), dir.file("keep.txt").c_str()), 0);
  {
    UnloadOutput out;
    out.open(data.c_str(), true, console);
    EXPECT_TRUE(out.close(false));
    out.removeData();
  }
  EXPECT_FALSE(exists(data) || exists(lob));
  EXPECT_EQ(dir.read("keep.txt"), "a|");
  EXPECT_EQ(console.str(), "");
}

TEST(UnloadOutput, NamesThatCannotBeCreatedAreToldAtTheStart) {
  ScratchDir dir;
  mkdir(dir.file("sub").c_str(), 0755);
  for (const std::string& name : {dir.file("no/such/t.txt"), dir.file("sub"), dir.file("sub/")}) {
    StringSink console;
    UnloadOutput out;
    out.open(name.c_str(), true, console);
    EXPECT_FALSE(out.opened()) << name;
    EXPECT_EQ(console.str(), "  Cannot create file " + name + ", rows go to the console.\n");
    EXPECT_TRUE(console.errorNoted());
    out.data().write("x", 1);  // to the console
    EXPECT_TRUE(out.close(true));
    EXPECT_EQ(console.str().back(), 'x');
  }
}
