#include "base/cmdline.h"

#include <gtest/gtest.h>

#include <string>

using namespace bex;

TEST(Tokeniser, SplitsOnEveryIsspaceCharacterAndNeverModifiesText) {
  CommandLine cl;
  cl.set("  SET\tFIELD_TAG\r\n\v\f|  ");
  ASSERT_EQ(cl.nextToken(), 3u);
  EXPECT_EQ(cl.token(), "SET");
  ASSERT_EQ(cl.nextToken(), 9u);
  EXPECT_EQ(cl.token(), "FIELD_TAG");
  ASSERT_EQ(cl.nextToken(), 1u);
  EXPECT_EQ(cl.token(), "|");
  EXPECT_EQ(cl.nextToken(), 0u);
  EXPECT_EQ(cl.nextToken(), 0u);  // stays at the end
  EXPECT_EQ(std::string(cl.text), "  SET\tFIELD_TAG\r\n\v\f|  ");
}

TEST(Tokeniser, FromTokenKeepsBlanksToTheEnd) {
  CommandLine cl;
  cl.set("OPEN my files.txt ");
  cl.nextToken();
  cl.nextToken();
  EXPECT_EQ(cl.fromToken(), "my files.txt ");
}

TEST(Tokeniser, OverlongStatementIsCutToCapacity) {
  CommandLine cl;
  std::string big(kStatementMax + 100, 'x');
  cl.set(big);
  EXPECT_EQ(cl.length, kStatementMax);
  EXPECT_EQ(cl.nextToken(), kStatementMax);
}

TEST(KeywordMatch, ExactLengthAnyCaseNoAbbreviation) {
  EXPECT_TRUE(keywordMatch("help", "HELP"));
  EXPECT_TRUE(keywordMatch("HeLp", "HELP"));
  EXPECT_FALSE(keywordMatch("HEL", "HELP"));
  EXPECT_FALSE(keywordMatch("HELPS", "HELP"));
  EXPECT_FALSE(keywordMatch("REMARK", "REM"));
  EXPECT_FALSE(keywordMatch("", "REM"));
  // Only ASCII letters fold; other bytes must match exactly.
  EXPECT_FALSE(keywordMatch("\xc9XIT", "EXIT"));
  EXPECT_TRUE(keywordMatch("block_size", "BLOCK_SIZE"));
}

TEST(Tokens, CopyIsCutToTheBufferLimit) {
  char buf[8];
  EXPECT_EQ(copyToken("abcdefghijkl", buf, 7), 7u);
  EXPECT_STREQ(buf, "abcdefg");
  EXPECT_EQ(copyToken("ab", buf, 7), 2u);
  EXPECT_STREQ(buf, "ab");
}

TEST(Tokens, NumbersAreDecimalWithSignAndHexWithPrefix) {
  EXPECT_EQ(tokenNumber("4096"), 4096);
  EXPECT_EQ(tokenNumber("-1"), -1);
  EXPECT_EQ(tokenNumber("+12abc"), 12);
  EXPECT_EQ(tokenNumber("ABC"), 0);
  EXPECT_EQ(tokenNumber(""), 0);
  // Cut to 31 characters before reading: the 32nd digit is not seen.
  EXPECT_EQ(tokenNumber(std::string(31, '0') + "7"), 0);
  EXPECT_EQ(tokenNumberHex("0x00400005"), 0x00400005u);
  EXPECT_EQ(tokenNumberHex("0XfF"), 255u);
  EXPECT_EQ(tokenNumberHex("4194309"), 4194309u);
  EXPECT_EQ(tokenNumberHex("0xZZ"), 0u);
}
