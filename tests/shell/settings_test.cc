#include "shell/settings.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "run/run_context.h"
#include "test_shell.h"

using namespace bex;

namespace {

struct Shell : bex::testing::TestShell {
  std::string set(const std::string& statement) { return run(cmdSet, statement); }
};

int lineCount(const std::string& s) { return static_cast<int>(std::count(s.begin(), s.end(), '\n')); }

}  // namespace

TEST(Set, UsageForNoKeyUnknownKeyAndHeadSize) {
  Shell sh;
  std::string usage = sh.set("SET");
  EXPECT_EQ(lineCount(usage), 32);
  EXPECT_EQ(usage.substr(0, 32), "  SET UNIQUE_TNAME   {Yes | NO}\n");
  EXPECT_EQ(sh.set("SET NOSUCHKEY 1"), usage);
  EXPECT_EQ(sh.set("SET HEAD_SIZE 8192"), usage);
  EXPECT_EQ(sh.set("SET BLOCK"), usage);  // no abbreviations
}

// The usage names the keys SET takes, and only those.
TEST(Set, UsageNamesEveryKeyItAccepts) {
  Shell sh;
  const std::string usage = sh.set("SET");
  std::istringstream lines(usage);
  std::string set, key, rest;
  while (lines >> set >> key && std::getline(lines, rest)) {
    EXPECT_EQ(set, "SET");
    EXPECT_NE(sh.set("SET " + key), usage) << key << " is in the usage but not taken";
  }
  for (const char* key : {"TABLESPACE", "TRANS_OFFSET", "TRANS_COUNT", "LONG_TAG"}) {
    EXPECT_NE(sh.set(std::string("SET ") + key), usage);
    EXPECT_NE(usage.find(std::string("  SET ") + key + " "), std::string::npos)
        << key << " is taken but not in the usage";
  }
}

// A "can only be" answer marks the statement as failed, whatever the key.
TEST(Set, EveryRejectedValueNotesAnError) {
  for (const char* statement :
       {"SET BYTE_ORDER MIDDLE", "SET OUTPUT_STYLE XML", "SET BLOCK_SIZE ABC", "SET EMPTY_FILES TRUE"}) {
    Shell sh;
    sh.set(statement);
    EXPECT_TRUE(sh.out.errorNoted()) << statement;
  }
  Shell sh;
  sh.set("SET OUTPUT_STYLE DMP");
  EXPECT_FALSE(sh.out.errorNoted());
}

TEST(Set, BlockSizeRulesAndBufferReallocation) {
  Shell sh;
  EXPECT_EQ(sh.set("SET BLOCK_SIZE"), "  Current BLOCK_SIZE is : 8192\n");
  EXPECT_EQ(sh.set("SET BLOCK_SIZE 6144"), "  Current BLOCK_SIZE is : 6144\n");
  EXPECT_EQ(sh.rc.bc.blockSize, 6144);
  EXPECT_EQ(sh.set("SET BLOCK_SIZE 5000"), "  Current BLOCK_SIZE is : 6144\n");
  EXPECT_EQ(sh.set("SET BLOCK_SIZE 40960"), "  Current BLOCK_SIZE is : 6144\n");
  EXPECT_EQ(sh.set("SET BLOCK_SIZE -2048"), "  Current BLOCK_SIZE is : 6144\n");
  EXPECT_EQ(sh.set("SET BLOCK_SIZE ABC"),
            "  BLOCK_SIZE can only be 2048, 4096, 8192, 16384, 32768\n  Current BLOCK_SIZE is : 6144\n");
  sh.rc.caches[0].file = 3;
  sh.rc.caches[0].count = 5;
  EXPECT_EQ(sh.set("set block_size 32768"), "  Current BLOCK_SIZE is : 32768\n");
  EXPECT_EQ(sh.rc.caches[0].count, 0);  // emptied with the change
  ASSERT_NE(sh.rc.bc.block, nullptr);
  sh.rc.bc.block[32767] = 1;  // the whole new size is addressable (ASan build)
}

// The caches are keyed by rfn and count blocks of the current size: every
// setting that changes what an rfn names or the block geometry empties both.
TEST(Set, SettingsThatChangeTheMappingEmptyEveryCache) {
  for (const char* statement : {"SET BYTE_ORDER BIG", "SET BIGFILE YES", "SET CACHE_SIZE 512", "SET BLOCK_SIZE 4096"}) {
    Shell sh;
    for (ReadCache& c : sh.rc.caches) c.file = 3, c.count = 5, c.blockSize = 8192;
    sh.set(statement);
    for (ReadCache& c : sh.rc.caches) EXPECT_EQ(c.count, 0) << statement;
  }
}

TEST(Set, KeywordValuesAnyCaseAndTheirMessages) {
  Shell sh;
  EXPECT_EQ(sh.set("SET BYTE_ORDER big"), "  Current BYTE_ORDER is : BIG\n");
  EXPECT_EQ(sh.rc.bc.byteOrder, 1);
  EXPECT_EQ(sh.set("SET BYTE_ORDER MIDDLE"), "  BYTE_ORDER can only be BIG, LITTLE\n  Current BYTE_ORDER is : BIG\n");
  EXPECT_EQ(sh.set("SET DELETED_ROW True"), "  Current DELETED_ROW is : TRUE\n");
  EXPECT_EQ(sh.set("SET COMMITED_ONLY x"), "  COMMITED_ONLY can only be TRUE, FALSE\n  Current COMMITED_ONLY is : FALSE\n");
  EXPECT_EQ(sh.set("SET GUESS_COLSIZE no"), "  GUESS_COLSIZE can only be TRUE, FALSE\n  Current GUESS_COLSIZE is : TRUE\n");
  EXPECT_EQ(sh.set("SET OUTPUT_STYLE dmp"), "  Current OUTPUT_STYLE is : DMP\n");
  EXPECT_EQ(sh.set("SET OUTPUT_STYLE XML"), "  OUTPUT_STYLE can only be TXT, DMP, CSV\n  Current OUTPUT_STYLE is : DMP\n");
  EXPECT_EQ(sh.set("SET OUTPUT_STYLE csv"), "  Current OUTPUT_STYLE is : CSV\n");
  EXPECT_EQ(sh.set("SET BIGFILE yes"), "  Current BIGFILE is : YES\n");
  EXPECT_EQ(sh.set("SET EMPTY_FILES TRUE"), "  EMPTY_FILES can only be YES, NO\n  Current EMPTY_FILES is : NO\n");
  EXPECT_EQ(sh.set("SET UNIQUE_TNAME Yes"), "  Current UNIQUE_TNAME is : YES\n");
  EXPECT_EQ(sh.set("SET IGNORE_NOTNULL"), "  Current IGNORE_NOTNULL is : NO\n");
}

TEST(Set, NumbersAreCutClampedOrMasked) {
  Shell sh;
  EXPECT_EQ(sh.set("SET GUESS_SIZE 5"), "  Current GUESS_SIZE is : 10\n");
  EXPECT_EQ(sh.set("SET GUESS_SIZE -1"), "  Current GUESS_SIZE is : 65535\n");
  EXPECT_EQ(sh.set("SET GUESS_LIMIT 1000"), "  Current GUESS_LIMIT is : 256\n");
  EXPECT_EQ(sh.set("SET GUESS_COLPCT 1"), "  Current GUESS_COLPCT is : 5\n");
  EXPECT_EQ(sh.set("SET GUESS_SCORE 101"), "  Current GUESS_SCORE is : 100\n");
  EXPECT_EQ(sh.set("SET GUESS_SCORE 65546"), "  Current GUESS_SCORE is : 10\n");  // low 16 bits: 10
  EXPECT_EQ(sh.set("SET VERBOSE 257"), "  Current VERBOSE is : 1\n");
  EXPECT_EQ(sh.set("SET ROW_ADDRESS abc"), "  Current ROW_ADDRESS is : 0\n");
  EXPECT_EQ(sh.set("SET BLOCK_CHECK 1"), "  Current BLOCK_CHECK is : 1\n");
  EXPECT_EQ(sh.set("SET TABLESPACE 65537"), "  Current TABLESPACE is : 1\n");
  EXPECT_EQ(sh.set("SET MAXCHAINS 3"), "  Current MAXCHAINS is : 3\n");
  EXPECT_EQ(sh.set("SET TRANS_OFFSET 9000"), "  Current TRANS_OFFSET is : 0\n");
  EXPECT_EQ(sh.set("SET TRANS_OFFSET 100"), "  Current TRANS_OFFSET is : 100\n");
  EXPECT_EQ(sh.set("SET TRANS_COUNT 70000"), "  Current TRANS_COUNT is : 4464\n");
  EXPECT_EQ(sh.set("SET THREADS 0"), "  Current THREADS is : 1\n");
  EXPECT_EQ(sh.set("SET THREADS 1000"), "  Current THREADS is : 64\n");
}

TEST(Set, CacheSizeIsClampedReallocatedAndSilent) {
  Shell sh;
  EXPECT_EQ(sh.set("SET CACHE_SIZE 10"), "");
  EXPECT_EQ(sh.rc.caches[0].size, 64u * 1024);
  EXPECT_EQ(sh.set("SET CACHE_SIZE 100000"), "");
  EXPECT_EQ(sh.rc.caches[0].size, 8192u * 1024);
  EXPECT_EQ(sh.set("SET CACHE_SIZE -5"), "");
  EXPECT_EQ(sh.rc.caches[0].size, 8192u * 1024);
  EXPECT_EQ(sh.set("SET CACHE_SIZE"), "");
  EXPECT_EQ(sh.rc.caches[0].size, 256u * 1024);
}

TEST(Set, CharsetByNameOrNumber) {
  Shell sh;
  EXPECT_EQ(sh.set("SET CHARSET"), "  Current CHARSET is : 0x0354 (852)\n");
  EXPECT_EQ(sh.set("SET NLSCHARSET"), "  Current NLSCHARSET is : 0x07d0 (2000)\n");
  EXPECT_EQ(sh.set("SET CHARSET al32utf8"), "  Current CHARSET is : 0x0369 (873)\n");
  EXPECT_EQ(sh.set("SET CHARSET 9999"), "  Current CHARSET is : 0x270f (9999)\n");
  EXPECT_EQ(sh.set("SET CHARSET ZHS16GBK"), "  Current CHARSET is : 0x0354 (852)\n");
  EXPECT_EQ(sh.set("SET CHARSET nonsense"), "  Current CHARSET is : 0x0000 (0)\n");
}

TEST(Set, TagsDecodeEscapesAndDisplayThem) {
  Shell sh;
  EXPECT_EQ(sh.set("SET FIELD_TAG"), "  Current FIELD_TAG :|\n");
  EXPECT_EQ(sh.set("SET RECORD_TAG"), "  Current RECORD_TAG :\\r\\n\n");
  EXPECT_EQ(sh.set("SET FIELD_TAG \\x09"), "  Current FIELD_TAG :\\t\n");
  EXPECT_STREQ(sh.rc.settings.fieldTag, "\t");
  EXPECT_EQ(sh.set("SET RECORD_TAG \\n"), "  Current RECORD_TAG :\\n\n");
  EXPECT_EQ(sh.rc.settings.recordTagLen, 1);
  EXPECT_EQ(sh.set("SET FIELD_TAG \\x2e\\x3b\\s\\l\\\\\\q"), "  Current FIELD_TAG :.; |\\\\q\n");
  EXPECT_EQ(sh.set("SET FIELD_TAG \\x7f\\xc3"), "  Current FIELD_TAG :\\x7f\\xc3\n");
  EXPECT_EQ(std::string(sh.rc.settings.fieldTag, sh.rc.settings.fieldTagLen), "\x7f\xc3");
}

TEST(TagEscapes, EveryRule) {
  char out[kTagBufferSize];
  auto dec = [&](const char* s) { return std::string(out, decodeTag(s, out)); };
  EXPECT_EQ(dec("ab"), "ab");
  EXPECT_EQ(dec("a\\"), "a\\");  // final backslash copied
  EXPECT_EQ(dec("\\t\\n\\r\\s\\l\\\\"), "\t\n\r |\\");
  EXPECT_EQ(dec("\\x41\\X4a"), "AJ");
  EXPECT_EQ(dec("\\xg1"), "\x01");      // non-hex digit counts as 0
  EXPECT_EQ(dec("\\xA"), "A");          // one character after x: that character
  EXPECT_EQ(dec("ab\\x"), "ab");        // x at the end: a zero byte ends the tag
  EXPECT_EQ(dec("\\q"), "q");
  std::string longTok(300, 'y');
  EXPECT_EQ(dec(longTok.c_str()).size(), 127u);
}

TEST(Set, LongTagIsTakenAsTypedAndEmptiedAlone) {
  Shell sh;
  EXPECT_EQ(sh.set("SET LONG_TAG <\\t>"), "  Current LONG_TAG : <\\t>\n");
  EXPECT_EQ(sh.set("SET LONG_TAG"), "  Current LONG_TAG : \n");
  EXPECT_EQ(sh.rc.settings.longTagLen, 0);
}

TEST(Set, IconvPairsReplaceTheDescriptor) {
  Shell sh;
  EXPECT_EQ(sh.set("SET ICONV_CLOB UTF-16BE"), "  Current ICONV_CLOB is : ON\n");
  EXPECT_EQ(sh.set("SET ICONV_NCHAR NO-SUCH-SET ALSO-NOT"), "  Current ICONV_NCHAR is : OFF\n");
  EXPECT_FALSE(sh.rc.conversions.nchar.valid());
  EXPECT_EQ(sh.set("SET ICONV_NCHAR UTF-16 UTF-8"), "  Current ICONV_NCHAR is : ON\n");
  EXPECT_EQ(sh.set("SET ICONV_NCLOB"), "  Current ICONV_NCLOB is : ON\n");
}
