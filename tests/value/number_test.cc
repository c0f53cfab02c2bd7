#include "value/number.h"

#include <gtest/gtest.h>

#include "value_test_util.h"

using namespace bex;
using bex::test::bytesOf;

namespace {
std::string number(const std::string& hex) { return test::textOf(writeNumberText, hex); }
}  // namespace

TEST(NumberText, SmallValuesOfEveryShape) {
  EXPECT_EQ(number("80"), "0");
  EXPECT_EQ(number("C1 02"), "1");
  EXPECT_EQ(number("C2 02"), "100");
  EXPECT_EQ(number("C1 02 33"), "1.5");
  EXPECT_EQ(number("C0 33"), "0.5");
  EXPECT_EQ(number("C0 06"), "0.05");
  EXPECT_EQ(number("BF 0D"), "0.0012");
  EXPECT_EQ(number("3E 64 33 66"), "-1.5");
  EXPECT_EQ(number("3D 64 4E 66"), "-123");
  EXPECT_EQ(number("C1 02 06"), "1.05");
  EXPECT_EQ(number("C1 02 06 02"), "1.0501");
  EXPECT_EQ(number("C2 0B 0B"), "1010");
  EXPECT_EQ(number("C1 0B"), "10");
  EXPECT_EQ(number("C0 0B"), "0.1");
  EXPECT_EQ(number("C3 02 01 02"), "10001");
  EXPECT_EQ(number("C3 02 2E"), "14500");
  EXPECT_EQ(number("3F 53 49 66"), "-0.1828");
}

TEST(NumberText, FormatNumberReturnsTheLengthItWrote) {
  char text[kNumberTextMax];
  auto v = bytesOf("C2 02 18");
  ASSERT_EQ(formatNumber(v.data(), v.size(), text), 3u);
  EXPECT_EQ(std::string(text, 3), "123");
  EXPECT_EQ(formatNumber(v.data(), 0, text), 0u);
}

// Negative numbers of 20 digit bytes carry no terminator byte: the last byte
// is a digit and must not be dropped.
TEST(NumberText, FullLengthNegativeKeepsItsLastDigit) {
  EXPECT_EQ(number("2B 59 43 2D 17 0B 59 43 2D 17 0B 59 43 2D 17 0B 59 43 2D 17 0B"),
            "-1234567890123456789012345678901234567890");
  EXPECT_EQ(number("3E 59 43 2D 17 0B 59 43 2D 17 0B 59 43 2D 17 0B 59 43 2D 17 0B"),
            "-12.3456789012345678901234567890123456789");
  // With a terminator the same digits end one pair earlier.
  EXPECT_EQ(number("3E 59 43 2D 17 0B 66"), "-12.3456789");
}

// Numbers from 1e-130 up to 1e-128 have the exponent byte 0x80 of zero.
TEST(NumberText, SmallestPositiveNumbersAreNotZero) {
  EXPECT_EQ(number("80 02"), "0." + std::string(129, '0') + "1");
  EXPECT_EQ(number("80 64"), "0." + std::string(128, '0') + "99");
  EXPECT_EQ(number("7F 64 66"), "-0." + std::string(129, '0') + "1");
}

TEST(NumberText, LargestExponents) {
  EXPECT_EQ(number("FF 02"), "1" + std::string(124, '0'));
  EXPECT_EQ(number("FF 64 64"), "9999" + std::string(122, '0'));
  EXPECT_EQ(number("00 02 66"), "-99" + std::string(124, '0'));
}

TEST(NumberText, OnlyTheFirst22BytesAreRead) {
  std::string hex = "C1";
  for (int i = 0; i < 24; i++) hex += " 02";
  EXPECT_EQ(number(hex), "1." + [] {
    std::string s;
    for (int i = 0; i < 20; i++) s += "01";
    return s;
  }());
  char text[kNumberTextMax];
  auto v = bytesOf(hex);
  EXPECT_EQ(formatNumber(v.data(), v.size(), text), formatNumber(v.data(), 22, text));
}

TEST(NumberText, MalformedValuesWriteNothingOrStayBounded) {
  EXPECT_EQ(number(""), "");
  EXPECT_EQ(number("C1"), "");     // exponent without digits
  EXPECT_EQ(number("3E 66"), "");  // sign and terminator only
  EXPECT_EQ(number("66"), "");     // a lone byte that looks like the terminator
  EXPECT_EQ(number("80 80").size(), 2u + 128 + 2);  // digit byte out of range
  // Every exponent with 21 extreme digit bytes stays inside the buffer.
  char text[kNumberTextMax];
  for (int e = 0; e < 256; e++) {
    for (uint8_t fill : {0x00, 0x01, 0x65, 0xFF}) {
      std::vector<uint8_t> v(22, fill);
      v[0] = static_cast<uint8_t>(e);
      EXPECT_LT(formatNumber(v.data(), v.size(), text), kNumberTextMax) << e;
    }
  }
}
