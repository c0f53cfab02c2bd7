#include "value/collection.h"

#include <gtest/gtest.h>

#include "base/block_context.h"
#include "value_test_util.h"

using namespace bex;

namespace {
const std::string kHeader = "00 01" + [] {
  std::string s;
  for (size_t i = 2; i < kCollectionHeaderBytes; i++) s += " 5A";
  return s;
}();

std::string narray(const std::string& hex, uint8_t order = kLittleEndian) {
  return test::textOf([order](Sink& out, const uint8_t* v, size_t n) {
    writeNumberCollectionText(out, v, n, order);
  }, hex);
}
std::string varray(const std::string& hex, uint8_t order = kLittleEndian) {
  return test::textOf([order](Sink& out, const uint8_t* v, size_t n) {
    writeStringCollectionText(out, v, n, order);
  }, hex);
}
}  // namespace

TEST(NumberCollection, WithAndWithoutImageHeader) {
  EXPECT_EQ(narray(kHeader + " 02 C1 02 FF"), "1,NULL");
  EXPECT_EQ(narray("02 C1 02 FF"), ",1,NULL");
  EXPECT_EQ(narray(kHeader), "");
  EXPECT_EQ(narray("00 01 02 C1 02"), "");  // header cut short: no elements
  EXPECT_EQ(narray(""), "");
}

TEST(NumberCollection, ElementLengths) {
  // A zero-length element writes nothing between its separators.
  EXPECT_EQ(narray("00 02 C1 02 00"), ",,1,");
  EXPECT_EQ(narray(kHeader + " 00 00 FF"), ",,NULL");
  // 254: a 16-bit length in the run's byte order.
  EXPECT_EQ(narray("FE 03 00 C2 02 18 FF"), ",123,NULL");
  EXPECT_EQ(narray("FE 00 03 C2 02 18", kBigEndian), ",123");
  // Longer than 22 bytes: only the first 22 are decoded.
  std::string longElement = "19 C1";
  for (int i = 0; i < 24; i++) longElement += " 02";
  std::string expect = "1.";
  for (int i = 0; i < 20; i++) expect += "01";
  EXPECT_EQ(narray(longElement + " 02 C1 03"), "," + expect + ",2");
}

TEST(NumberCollection, ElementRunningPastTheValueEndsTheWalk) {
  EXPECT_EQ(narray("02 C1 02 05 C1 02"), ",1");
  EXPECT_EQ(narray("02 C1 02 FE 05"), ",1");
  EXPECT_EQ(narray("FE 10 00 C1 02"), "");
}

TEST(StringCollection, ElementsAsStored) {
  EXPECT_EQ(varray(kHeader + " 03 61 62 63 FF 00 01 7A"), "abc,NULL,,z");
  EXPECT_EQ(varray("01 78 02 79 7A"), ",x,yz");
  EXPECT_EQ(varray("FE 00 02 61 62", kBigEndian), ",ab");
  EXPECT_EQ(varray("01 78 04 79 7A"), ",x");
}
