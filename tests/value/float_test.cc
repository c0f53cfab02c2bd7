#include "value/float.h"

#include <gtest/gtest.h>

#include "value_test_util.h"

using namespace bex;

namespace {
std::string flt(const std::string& hex) { return test::textOf(writeFloatText, hex); }
}  // namespace

TEST(FloatText, DoublesAndFloatsByLength) {
  EXPECT_EQ(flt("BF F0 00 00 00 00 00 00"), "1.000000");
  EXPECT_EQ(flt("BF 80 00 00"), "1.000000");
  EXPECT_EQ(flt("80 00 00 00 00 00 00 00"), "0.000000");
  EXPECT_EQ(flt("BF DD B3 D7"), "1.732051");
  EXPECT_EQ(flt("BF FB B6 7A E8 58 4C AA"), "1.732051");
  EXPECT_EQ(flt("C0 93 4A 45 6D 5C FA AD"), "1234.567800");
}

// Negative values are stored with every bit complemented, not only the sign.
TEST(FloatText, NegativeValuesUndoTheComplement) {
  EXPECT_EQ(flt("40 0F FF FF FF FF FF FF"), "-1.000000");
  EXPECT_EQ(flt("40 7F FF FF"), "-1.000000");
  EXPECT_EQ(flt("3F 6C B5 BA 92 A3 05 52"), "-1234.567800");
  EXPECT_EQ(flt("7F FF FF FF FF FF FF FF"), "-0.000000");
}

TEST(FloatText, ExtremesAndSpecialValues) {
  EXPECT_EQ(flt("80 00 00 00 00 00 00 01"), "0.000000");  // smallest subnormal
  const std::string max = flt("FF EF FF FF FF FF FF FF");
  EXPECT_EQ(max.size(), 309u + 7u);
  EXPECT_EQ(max.substr(0, 6), "179769");
  EXPECT_EQ(flt("FF F0 00 00 00 00 00 00"), "Inf");
  EXPECT_EQ(flt("00 0F FF FF FF FF FF FF"), "-Inf");
  EXPECT_EQ(flt("FF F8 00 00 00 00 00 00"), "Nan");
  EXPECT_EQ(flt("FF 80 00 00"), "Inf");
  EXPECT_EQ(flt("00 7F FF FF"), "-Inf");
}

TEST(FloatText, OtherLengthsWriteNothing) {
  for (const char* hex : {"", "BF", "BF F0", "BF F0 00", "BF F0 00 00 00", "BF F0 00 00 00 00 00",
                          "BF F0 00 00 00 00 00 00 00"})
    EXPECT_EQ(flt(hex), "") << hex;
}
