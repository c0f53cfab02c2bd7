// The recovery report's address runs and the line a finished statement
// leaves in the report file.
#include <gtest/gtest.h>

#include "base/recovery_report.h"
#include "scratch_dir.h"

namespace bex {
namespace {

TEST(BlockRanges, AnAddressThatFollowsTheLastRunOfItsObjectLengthensIt) {
  auto r = std::make_unique<BlockRanges>();
  r->add(4, 100);
  r->add(4, 101, 2);
  r->add(4, 103, 1, 9);  // claims another object
  r->add(5, 104);        // another file
  EXPECT_EQ(r->blocks, 5u);
  ASSERT_EQ(r->kept, 3u);
  EXPECT_EQ(r->range[0].count, 3u);
}

TEST(BlockRanges, RunsPastTheRoomAreCountedAndTheCutIsSaid) {
  auto r = std::make_unique<BlockRanges>();
  for (uint32_t i = 0; i < BlockRanges::kKept + 5; i++) r->add(1, i * 2);
  EXPECT_EQ(r->kept, BlockRanges::kKept);
  EXPECT_TRUE(r->cut);
  EXPECT_EQ(r->blocks, BlockRanges::kKept + 5);
  auto all = std::make_unique<BlockRanges>();
  all->addAll(*r);
  EXPECT_TRUE(all->cut);
  EXPECT_EQ(all->blocks, r->blocks);
}

TEST(RecoveryReport, AFinishedStatementIsOneLineAndAStatementNeverBegunWritesNothing) {
  testing::ScratchDir dir;
  auto report = std::make_unique<RecoveryReport>(dir.file(RecoveryReport::kFileName));
  ASSERT_TRUE(report->finish("SET VERBOSE 1", false));
  EXPECT_EQ(dir.read(RecoveryReport::kFileName), "");
  report->begin("unload");
  report->entry().rows = 3;
  report->entry().walkedBy(0);
  report->entry().walkedBy(1);
  report->entry().walkedBy(1);
  ASSERT_TRUE(report->finish("UNLOAD TABLE A.\"B\nC\";", true));
  report->begin("scan");
  ASSERT_TRUE(report->finish("SCAN DATABASE;", false));
  const std::string text = dir.read(RecoveryReport::kFileName);
  ASSERT_EQ(std::count(text.begin(), text.end(), '\n'), 2);
  const std::string first = text.substr(0, text.find('\n'));
  EXPECT_NE(first.find("\"status\":\"failed\""), std::string::npos);
  EXPECT_NE(first.find("\"rows\":3,"), std::string::npos);
  EXPECT_NE(first.find("\"workers\":2,\"chunks\":3"), std::string::npos);
  EXPECT_NE(text.find("\"workers\":1,\"chunks\":0"), std::string::npos);  // the scan: no worker took a part
}

TEST(RecoveryReport, AReportThatCannotBeWrittenSaysSo) {
  RecoveryReport report("/nonexistent-dir/" + std::string(RecoveryReport::kFileName));
  report.begin("unload");
  EXPECT_FALSE(report.finish("UNLOAD TABLE A.B;", false));
}

}  // namespace
}  // namespace bex
