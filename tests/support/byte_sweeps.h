// Tests of the byte sweeps (block checksums, tag-byte counts) and of what
// runs on them, once for every sweep: the processor's widest one alone
// would leave the narrower loops untested. A sweep the processor lacks is
// skipped.
#pragma once
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "base/wide_loads.h"

namespace bex {

inline const char* byteSweepName(ByteSweep s) {
  switch (s) {
    case ByteSweep::kAvx2: return "Avx2";
    case ByteSweep::kSse2: return "Sse2";
    default: return "Words";
  }
}

inline void PrintTo(ByteSweep s, std::ostream* os) { *os << byteSweepName(s); }

}  // namespace bex

namespace bex::testing {

class EachByteSweep : public ::testing::TestWithParam<ByteSweep> {
 protected:
  void SetUp() override {
    if (!forceByteSweep(GetParam())) GTEST_SKIP() << "this processor lacks the sweep";
  }
  void TearDown() override { unforceByteSweep(); }
};

inline std::string byteSweepTestName(const ::testing::TestParamInfo<ByteSweep>& info) {
  return byteSweepName(info.param);
}

}  // namespace bex::testing

// Instantiates the TEST_P tests of suite (derived from EachByteSweep) for
// every sweep.
#define BEX_EACH_BYTE_SWEEP(suite)                                                                    \
  INSTANTIATE_TEST_SUITE_P(Sweeps, suite,                                                             \
                           ::testing::Values(bex::ByteSweep::kWords, bex::ByteSweep::kSse2,           \
                                             bex::ByteSweep::kAvx2),                                  \
                           bex::testing::byteSweepTestName)
