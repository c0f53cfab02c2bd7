#include "datafile/slot_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "datafile/block_reader.h"
#include "base/byte_order.h"
#include "commands/datafile/datafile_commands.h"
#include "run/run_context.h"
#include "test_files.h"

using namespace bex;
using namespace bex::testing;

namespace {

// An open registry of one file of 300 blocks of rfn 2 (500 bytes of no
// block after them) and one that cannot be opened.
struct OpenFile {
  StringSink out;
  RunContext rc{stdin, out};
  ScratchDir dir;
  std::string path;

  OpenFile() {
    std::vector<std::vector<uint8_t>> blocks;
    for (uint32_t b = 0; b < 300; b++) blocks.push_back(makeBlock(8192, 0x06, makeRdba(2, b)));
    path = dir.write("a.dbf", blocks, 0, 500);
    std::string cfg = dir.file("f.txt");
    FILE* f = fopen(cfg.c_str(), "w");
    fprintf(f, "%s\n/nonexistent/x.dbf\n", path.c_str());
    fclose(f);
    rc.cmd.set("OPEN " + cfg);
    rc.cmd.nextToken();
    cmdOpen(rc);
  }
};

// Block numbers of a walk of blocks 2 .. 1000 of slot 0, each checked
// against the address it carries.
std::vector<uint32_t> walk(SlotReader& r) {
  std::vector<uint32_t> seen;
  r.start(0, 2, 1000);
  uint32_t n;
  while (const uint8_t* b = r.next(n)) {
    EXPECT_EQ(getLE32(b + 4), makeRdba(2, n));
    seen.push_back(n);
  }
  return seen;
}

}  // namespace

TEST(SlotReader, WalksARangeAcrossWindowsAndStopsAtTheEnd) {
  OpenFile o;
  RunContext& rc = o.rc;
  SlotReader r(rc.bc, 65536);  // 8 blocks per window
  r.start(0, 2, 1000);
  uint32_t n, expect = 2;
  while (const uint8_t* b = r.next(n)) {
    ASSERT_EQ(n, expect);
    ASSERT_EQ(getLE32(b + 4), makeRdba(2, n));
    expect++;
  }
  EXPECT_EQ(expect, 300u);  // the 500 trailing bytes are no block
  r.start(0, 5, 7);
  int count = 0;
  while (r.next(n)) count++;
  EXPECT_EQ(count, 3);
  r.start(1, 2, 10);  // unopenable slot
  EXPECT_EQ(r.next(n), nullptr);
  r.start(0, 10, 9);
  EXPECT_EQ(r.next(n), nullptr);
}

// Mapped walks give the blocks a read walk gives. A file cut short after
// OPEN: the mapped walk ends where the read walk ends. Cut while a window is mapped, the walk reads at most one block of
// zeros (what a file changed under a reader may give) and ends, with no
// bus error.
TEST(SlotReader, AMappedWalkOfAFileCutShortEndsLikeARead) {
  OpenFile o;
  SlotReader read(o.rc.bc, 65536);
  SlotReader mapped(o.rc.bc, 65536, 131072);  // 16 blocks a mapping
  const std::vector<uint32_t> whole = walk(mapped);
  EXPECT_EQ(whole, walk(read));
  EXPECT_EQ(whole.size(), 298u);
  SlotReader wide(o.rc.bc, 65536, 2u << 20);  // blocks 2 .. 255 end on the 2 MiB boundary
  EXPECT_EQ(walk(wide), whole);
  ASSERT_EQ(truncate(o.path.c_str(), 100 * 8192 + 3000), 0);
  const std::vector<uint32_t> cut = walk(mapped);
  EXPECT_EQ(cut, walk(read));
  EXPECT_EQ(cut.back(), 99u);

  // The progress counts the blocks handed out, not the mapping's whole.
  o.rc.progress.begin("walk", 8192);
  mapped.start(0, 2, 1000);
  uint32_t n = 0, handed = 0;
  while (n < 20 && mapped.next(n)) handed++;
  ASSERT_EQ(n, 20u);  // inside the mapping of blocks 18 .. 33
  ASSERT_EQ(truncate(o.path.c_str(), 25 * 8192), 0);
  uint32_t zeros = 0;
  while (const uint8_t* b = mapped.next(n)) {
    handed++;
    if (n < 25) {
      EXPECT_EQ(getLE32(b + 4), makeRdba(2, n));
    } else {
      EXPECT_EQ(std::count(b, b + 8192, 0), 8192) << n;
      zeros++;
    }
  }
  EXPECT_LE(zeros, 1u);
  EXPECT_EQ(o.rc.progress.done(), handed);
}
