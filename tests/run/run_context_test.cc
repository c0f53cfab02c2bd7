// A RunContext made on a dictionary directory keeps the run's files there:
// the recovery report of a statement lands in it.
#include <gtest/gtest.h>

#include "run/run_context.h"
#include "scratch_dir.h"

namespace bex {
namespace {

TEST(RunContext, TheReportOfAStatementLandsInTheRunsDictionaryDirectory) {
  testing::ScratchDir dir;
  StringSink out;
  {
    RunContext rc(stdin, out, dir.path);
    rc.report.begin("unload");
    ASSERT_TRUE(rc.report.finish("UNLOAD TABLE A.B;", false));
  }
  EXPECT_NE(dir.read(RecoveryReport::kFileName).find("\"command\":\"UNLOAD TABLE A.B;\""), std::string::npos);
  EXPECT_EQ(out.str(), "");
}

}  // namespace
}  // namespace bex
