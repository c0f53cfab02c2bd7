// The data and LOB files of an unload: checked at the start, created with
// their first bytes, so that an unload without rows leaves nothing behind
// and truncates nothing.
#include "unload/unload_output.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
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

// Written behind on a thread of its own, the files hold the bytes in the
// order they were written, whether they came through the buffer or were
// written straight past it, and with write-behind turned off halfway.
TEST(UnloadOutput, WrittenBehindKeepsOrderAndTellsWriteErrors) {
  ScratchDir dir;
  StringSink console;
  const std::string data = dir.file("t.txt");
  std::string want;
  {
    UnloadOutput out;
    out.open(data.c_str(), true, console);
    out.writeBehind(true);
    for (uint32_t i = 0; i < 3000; i++) {
      const std::string row = std::to_string(i) + std::string(i % 977, 'x') + "\n";
      const std::string big(i % 500 == 0 ? 3 * kOutputBufferSize : 0, static_cast<char>('a' + i % 26));
      out.data().write(row);
      out.data().writeThrough(big.data(), big.size());
      want += row + big;
      if (i == 2000) out.writeBehind(false);
      if (i == 2500) out.writeBehind(true);
    }
    EXPECT_TRUE(out.close(true));
  }
  EXPECT_TRUE(dir.read("t.txt") == want);
  // A write the kernel refuses (past the file size limit) fails the close,
  // though it failed on the other thread.
  struct rlimit was;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &was), 0);
  const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = was;
  small.rlim_cur = kOutputBufferSize + 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  UnloadOutput out;
  out.open(data.c_str(), true, console);
  out.writeBehind(true);
  for (int i = 0; i < 4; i++) out.data().write(std::string(kOutputBufferSize / 2, 'y'));
  const bool closed = out.close(true);
  setrlimit(RLIMIT_FSIZE, &was);
  signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(closed);
}
