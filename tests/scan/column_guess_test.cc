// The value tests and the type guess against stored values made by Oracle's
// own encoders (tests/vectors), and the layout line's breaks.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../value/value_test_util.h"
#include "scan/column_guess.h"

using namespace bex;
using bex::test::bytesOf;

namespace {

std::vector<std::vector<std::string>> vectorRows(const char* name) {
  return bex::test::readRows(std::string(BEX_SOURCE_DIR) + "/tests/vectors/" + name);
}

// Feeds values to column 0 the way the row walker does: each value copied
// into a block buffer.
struct Guesser {
  ColumnGuess g;
  std::vector<uint8_t> block = std::vector<uint8_t>(8192);
  Guesser() { g.reset(8192); }
  void value(const std::vector<uint8_t>& v, uint32_t pos = 0) {
    std::copy(v.begin(), v.end(), block.begin() + 100);
    GuessValue(g, pos, block.data(), 100, static_cast<uint32_t>(v.size()));
  }
  void text(const std::string& s, uint32_t pos = 0) { value(std::vector<uint8_t>(s.begin(), s.end()), pos); }
  uint8_t type(uint32_t pos = 0) const { return g.col[pos].type; }
};

std::string layout(uint32_t columns) {
  ColumnGuess g;
  g.reset(8192);
  g.count = columns;
  StringSink out;
  writeLayoutLine(out, g, 7, -1);
  return out.str();
}

}  // namespace

// Every NUMBER the encoders made passes the NUMBER test, and a column of
// them is guessed NUMBER.
TEST(GuessValueTest, NumbersFromTheEncodersAreNumbers) {
  Guesser col;
  auto rows = vectorRows("number_vectors.tsv");
  ASSERT_GT(rows.size(), 50u);
  for (const auto& r : rows) {
    const auto b = bytesOf(r[0]);
    EXPECT_TRUE(numberValueTest(b.data(), static_cast<uint32_t>(b.size()))) << r[0] << " " << r[1];
    col.value(b);
  }
  EXPECT_EQ(col.type(), kGuessNumber);
}

// DATE, TIMESTAMP and TIMESTAMP WITH TIME ZONE values pass the DATE test;
// the first value's length decides the type.
TEST(GuessValueTest, DatetimesFromTheEncoders) {
  auto rows = vectorRows("datetime_vectors.tsv");
  ASSERT_FALSE(rows.empty());
  for (const auto& r : rows) {
    const auto b = bytesOf(r[1]);
    // The test takes centuries 51 to 149 (years -4900 to 4999) only.
    if (b[0] < 51 || b[0] > 149) continue;
    EXPECT_TRUE(dateValueTest(b.data(), static_cast<uint32_t>(b.size()))) << r[1];
    Guesser col;
    col.value(b);
    const uint8_t want = b.size() == 7 ? kGuessDate : b.size() == 11 ? kGuessTimestamp : kGuessTimestampTz;
    EXPECT_EQ(col.type(), want) << r[0] << " " << r[1];
  }
}

// Binary floats that no text reading accepts are guessed by their length.
TEST(GuessValueTest, BinaryFloatsByLength) {
  for (const auto& r : vectorRows("float_vectors.tsv")) {
    const auto b = bytesOf(r[1]);
    Guesser col;
    col.value(b);
    if (textValueTest(b.data(), static_cast<uint32_t>(b.size())) ||
        numberValueTest(b.data(), static_cast<uint32_t>(b.size())) ||
        dateValueTest(b.data(), static_cast<uint32_t>(b.size())))
      continue;
    EXPECT_EQ(col.type(), r[0] == "BINARY_FLOAT" ? kGuessFloat : kGuessDouble) << r[1];
  }
}

TEST(GuessValueTest, NumbersDemoteToVarcharThenRaw) {
  Guesser col;
  col.value({0xC1, 0x02});
  col.value({0xC1, 0x03});
  col.value({0xC2, 0x02, 0x02});
  EXPECT_EQ(col.type(), kGuessNumber);
  col.text("ABC");
  EXPECT_EQ(col.type(), kGuessVarchar);
  // The numbers failed the text test: one more value makes it RAW.
  col.text("DEF");
  EXPECT_EQ(col.type(), kGuessRaw);
  EXPECT_STREQ(guessTypeWord(col.g.col[0]), " RAW");
}

// A date column meeting a value of another length becomes NUMBER or
// VARCHAR by that value.
TEST(GuessValueTest, DatesDemoteByTheLaterValue) {
  const auto date = bytesOf("787C061A06360C");
  Guesser num;
  num.value(date);
  num.value({0xC2, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02, 0x02});
  EXPECT_EQ(num.type(), kGuessNumber);
  Guesser txt;
  txt.value(date);
  txt.text("eight ch");
  EXPECT_EQ(txt.type(), kGuessVarchar);
}

// Text in the encodings the readings cover; UTF-16 only in pairs.
TEST(GuessValueTest, TextReadings) {
  auto t = [](const std::string& s) { return textValueTest(reinterpret_cast<const uint8_t*>(s.data()), s.size()); };
  EXPECT_TRUE(t("plain text\t\r\n"));
  EXPECT_TRUE(t("caf\xC3\xA9 \xE4\xB8\xAD\xE6\x96\x87"));  // UTF-8
  EXPECT_TRUE(t("\xD6\xD0\xCE\xC4 GBK"));                    // double-byte
  EXPECT_TRUE(t(std::string("\x4E\x2D\x00\x41", 4)));         // UTF-16BE
  EXPECT_TRUE(t(std::string("\x2D\x4E\x41\x00", 4)));         // UTF-16LE
  EXPECT_TRUE(t(std::string("zero at end\0", 12)));
  EXPECT_FALSE(t(std::string("zero\0inside", 11)));
  EXPECT_FALSE(t("\x01\x02\x03"));
  EXPECT_FALSE(t("\xC3"));  // a cut UTF-8 sequence
}

// Empty values count for the column count only; such a column is UNKNOWN.
// Values running into the block's last 4 bytes are ignored.
TEST(GuessValueTest, EmptyAndOutOfBlockValues) {
  Guesser col;
  col.value({}, 3);
  EXPECT_EQ(col.g.count, 4u);
  EXPECT_EQ(col.g.col[3].nonnull, 0);
  EXPECT_STREQ(guessTypeWord(col.g.col[3]), " UNKNOWN");
  GuessValue(col.g, 5, col.block.data(), 8190, 1);
  GuessValue(col.g, kGuessColumns, col.block.data(), 100, 1);
  EXPECT_EQ(col.g.count, 4u);
}

TEST(LayoutLineTest, LineBreaks) {
  auto breaks = [](const std::string& s) {
    std::vector<size_t> at;
    for (size_t p = s.find(" \n      "); p != std::string::npos; p = s.find(" \n      ", p + 1)) at.push_back(p);
    return at.size();
  };
  EXPECT_EQ(breaks(layout(12)), 2u);
  EXPECT_EQ(breaks(layout(15)), 3u);
  EXPECT_EQ(breaks(layout(10)), 2u);
  const std::string ten = layout(10);
  EXPECT_EQ(ten.substr(0, 31), "UNLOAD OBJECT 7 COLUMN  \n      ");
  EXPECT_NE(ten.find(" UNKNOWN \n       TO OBJD0000000007C000.txt; \n"), std::string::npos) << ten;
}

// A LOB column holds locators: the fixed 20 bytes alone, or 30 bytes and more
// whose length word at 20 counts the bytes from there on. The LOB type word
// tells CLOB from BLOB; a later value that is no locator demotes the column.
TEST(GuessValueTest, LobLocatorsByTheirFixedPart) {
  // size 0x54, version 1, LOB type, then a LOB id with zero bytes.
  auto locator = [](uint8_t lobType, size_t len) {
    std::vector<uint8_t> v = bytesOf("0054000100000000000" + std::to_string(lobType) + "00000001000000020304");
    v.resize(len, 0x41);
    if (len > 21) {
      v[20] = 0;
      v[21] = static_cast<uint8_t>(len - 20);
    }
    return v;
  };
  Guesser clob;
  clob.value(locator(2, 20));
  clob.value(locator(2, 40));
  EXPECT_EQ(clob.type(), kGuessClob);
  Guesser blob;
  blob.value(locator(1, 30));
  EXPECT_EQ(blob.type(), kGuessBlob);
  std::vector<uint8_t> wrongLength = locator(1, 30);
  wrongLength[21] = 11;
  blob.value(wrongLength);
  EXPECT_EQ(blob.type(), kGuessVarchar);
  Guesser shortOne;
  shortOne.value(locator(2, 25));  // between the fixed part and 30 bytes
  EXPECT_NE(shortOne.type(), kGuessClob);
}
