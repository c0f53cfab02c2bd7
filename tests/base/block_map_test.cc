// The scan's block map: runs that join, the file that REPORT reads back,
// and lines of a damaged file that are passed over.
#include <gtest/gtest.h>

#include "base/block_map.h"
#include "scratch_dir.h"

namespace bex {
namespace {

bool sameRuns(const std::vector<BlockRun>& a, const std::vector<BlockRun>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); i++)
    if (a[i].rfn != b[i].rfn || a[i].first != b[i].first || a[i].count != b[i].count || a[i].objd != b[i].objd ||
        a[i].cls != b[i].cls)
      return false;
  return true;
}

TEST(BlockMap, BlocksInARowOfOneClassAndObjectAreOneRun) {
  BlockMap m;
  for (uint32_t b = 10; b < 14; b++) m.note(1, b, BlockClass::kTable, 7);
  m.note(1, 14, BlockClass::kTable, 8);  // another object
  m.note(1, 16, BlockClass::kTable, 8);  // a gap
  m.note(2, 17, BlockClass::kTable, 8);  // another file
  m.note(2, 18, BlockClass::kIndex, 8);  // another class
  ASSERT_EQ(m.runs().size(), 5u);
  EXPECT_EQ(m.runs()[0].count, 4u);
}

TEST(BlockMap, AStretchThatContinuesTheLastRunJoinsItAndOneThatDoesNotStaysApart) {
  BlockMap first, next, apart;
  first.note(3, 0, BlockClass::kEmpty, 0);
  next.note(3, 1, BlockClass::kEmpty, 0);
  next.note(3, 2, BlockClass::kLob, 9);
  first.follow(next);
  ASSERT_EQ(first.runs().size(), 2u);
  EXPECT_EQ(first.runs()[0].count, 2u);
  EXPECT_TRUE(next.runs().empty());
  apart.note(3, 4, BlockClass::kLob, 9);
  first.follow(apart);
  EXPECT_EQ(first.runs().size(), 3u);
}

TEST(BlockMap, TheWrittenFileReadsBackSortedByFileAndBlock) {
  testing::ScratchDir dir;
  BlockMap m, worker;
  m.note(2, 5, BlockClass::kTable, 70000);
  worker.note(1, 9, BlockClass::kChecksum, 0);
  worker.noteRange(1, 20, 300, BlockClass::kUnreadable);
  m.take(worker);
  ASSERT_TRUE(m.write(dir.file(BlockMap::kFileName)));
  std::vector<BlockRun> back;
  ASSERT_TRUE(readBlockMap(dir.file(BlockMap::kFileName), back));
  EXPECT_TRUE(sameRuns(back, m.runs()));
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(back[0].first, 9u);
  EXPECT_EQ(back[2].rfn, 2u);
}

TEST(BlockMap, LinesOfADamagedFileArePassedOver) {
  testing::ScratchDir dir;
  dir.write("map", "1,2,3,T,4,\n"
                   "1,2,3,Z,4,\n"        // no such class
                   "1,2,0,T,4,\n"        // no blocks
                   "1,2\n"               // cut short
                   "garbage\n" +
                       std::string(300, '9') + "\n" +  // longer than a line
                       "5,6,7,L,8,");                   // no line end
  std::vector<BlockRun> back;
  ASSERT_TRUE(readBlockMap(dir.file("map"), back));
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].objd, 4u);
  EXPECT_EQ(back[1].cls, BlockClass::kLob);
  EXPECT_FALSE(readBlockMap(dir.file("absent"), back));
}

TEST(ChecksumRuns, GivesAnObjectsRejectedRunsAndFollowsTheFile) {
  testing::ScratchDir dir;
  const std::string path = dir.file(BlockMap::kFileName);
  BlockMap m;
  m.note(1, 4, BlockClass::kChecksum, 70);
  m.note(1, 5, BlockClass::kTable, 70);
  m.note(1, 6, BlockClass::kChecksum, 71);
  m.note(2, 8, BlockClass::kChecksum, 70);
  ASSERT_TRUE(m.write(path));
  ChecksumRuns runs;
  ASSERT_TRUE(runs.refresh(path));
  std::vector<uint32_t> firsts;
  for (const BlockRun& r : runs.of(70)) firsts.push_back(r.first);
  EXPECT_EQ(firsts, (std::vector<uint32_t>{4, 8}));
  EXPECT_EQ(runs.of(71).size(), 1u);
  EXPECT_TRUE(runs.of(72).empty());

  // A later scan's map: its runs, not the old ones.
  BlockMap again;
  again.note(3, 9, BlockClass::kChecksum, 72);
  ASSERT_TRUE(again.write(path));
  ASSERT_TRUE(runs.refresh(path));
  EXPECT_TRUE(runs.of(70).empty());
  EXPECT_EQ(runs.of(72).size(), 1u);

  remove(path.c_str());
  EXPECT_FALSE(runs.refresh(path));
  EXPECT_TRUE(runs.of(72).empty());
}

}  // namespace
}  // namespace bex
