#include "unload/unload_options.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "unload_test_util.h"

using namespace bex;
using C = ColumnTypeCode;

namespace {

struct Parsed {
  std::unique_ptr<UnloadJob> job = std::make_unique<UnloadJob>();
  UnloadOptions opts;
  bool ok = false;
  std::string messages;
};

Parsed parse(const std::string& words) {
  Parsed p;
  CommandLine cl;
  cl.set(words);
  StringSink out;
  p.ok = parseUnloadOptions(cl, *p.job, p.opts, out);
  p.messages = out.str();
  return p;
}

}  // namespace

TEST(ColumnWords, MatchByBeginningWithLongerKeywordsFirst) {
  EXPECT_EQ(columnTypeCode("LONGRAW"), C::kLongRaw);
  EXPECT_EQ(columnTypeCode("LONG"), C::kLong);
  EXPECT_EQ(columnTypeCode("long_text"), C::kLong);
  EXPECT_EQ(columnTypeCode("TIMESTAMP_LTZ"), C::kTimestampLtz);
  EXPECT_EQ(columnTypeCode("timestamp_tz(6)"), C::kTimestampTz);
  EXPECT_EQ(columnTypeCode("TIMESTAMP(9)"), C::kTimestamp);
  // The spellings of the usage text and of the guessed lines.
  EXPECT_EQ(columnTypeCode("TIMESTAMPTZ"), C::kTimestampTz);
  EXPECT_EQ(columnTypeCode("timestampltz"), C::kTimestampLtz);
  EXPECT_EQ(columnTypeCode("VARCHAR2(30)"), C::kVarchar2);
  EXPECT_EQ(columnTypeCode("VARCHAR"), C::kVarchar);
  EXPECT_EQ(columnTypeCode("NUMBER(10)"), C::kNumber);
  EXPECT_EQ(columnTypeCode("nchar"), C::kNchar);
  EXPECT_EQ(columnTypeCode("NCHA"), C::kNchar);
  EXPECT_EQ(columnTypeCode("NCLOB"), C::kNclob);
  EXPECT_EQ(columnTypeCode("CHARACTER"), C::kChar);
  EXPECT_EQ(columnTypeCode("BINARY_FLOAT"), C::kBinaryFloat);
  EXPECT_EQ(columnTypeCode("BINARY_DOUBLE"), C::kBinaryDouble);
  EXPECT_EQ(columnTypeCode("skip"), C::kSkip);
  EXPECT_EQ(columnTypeCode("BLOB"), C::kBlob);
  EXPECT_EQ(columnTypeCode("CLOB"), C::kClob);
  EXPECT_EQ(columnTypeCode("VARRAY"), C::kVarray);
  EXPECT_EQ(columnTypeCode("NARRAY"), C::kNarray);
  EXPECT_EQ(columnTypeCode("DATE"), C::kDate);
  EXPECT_EQ(columnTypeCode("RAW"), C::kRaw);
  EXPECT_EQ(columnTypeCode("UNKNOWN"), C::kUnknown);
  EXPECT_EQ(columnTypeCode("INTEGER"), C::kUnknown);
  EXPECT_EQ(columnTypeCode("NUM"), C::kUnknown);
}

TEST(UnloadOptions, LaterOptionsWinAndColumnAppends) {
  Parsed p = parse("OBJECT 5 OBJECT 7 COLUMN NUMBER CLUSTER 2 COLUMN skip COLUMN varchar2 FILE 4 BLOCK 9 TO a.txt "
                   "TO b.txt INDEX 1 AS emp_copy CHUNK 0 EXTENT my.ext TABLE scott.emp PARTITION P1");
  ASSERT_TRUE(p.ok);
  const UnloadJob& j = *p.job;
  EXPECT_EQ(j.objectOverride, 7u);
  EXPECT_EQ(j.clusterTable, 2u);
  EXPECT_EQ(j.fileFilter, 4u);
  EXPECT_EQ(j.blockFilter, 9u);
  EXPECT_STREQ(j.outputName, "b.txt");
  EXPECT_EQ(j.indexPrefix, 1u);
  EXPECT_STREQ(j.target, "EMP_COPY");
  EXPECT_EQ(j.chunkCount, 1u);
  EXPECT_STREQ(j.extentListing, "my.ext");
  EXPECT_STREQ(j.tableArg, "scott.emp");
  EXPECT_STREQ(j.partition, "P1");
  ASSERT_EQ(j.typeListLength, 3u);
  EXPECT_EQ(j.columns.column[0].type, C::kNumber);
  EXPECT_EQ(j.columns.column[1].type, C::kSkip);
  EXPECT_EQ(j.columns.column[2].type, C::kVarchar2);
  EXPECT_TRUE(p.messages.empty());
}

// The lines SAMPLE and SCAN TABLE write: several type words after one
// COLUMN, up to the next option keyword.
TEST(UnloadOptions, ColumnTakesEveryWordUpToTheNextOption) {
  Parsed p = parse("OBJECT 9 CLUSTER 1 COLUMN \n NUMBER VARCHAR DATE TIMESTAMPTZ UNKNOWN COLUMN RAW TO x.txt CLUSTER 2");
  ASSERT_TRUE(p.ok);
  const UnloadJob& j = *p.job;
  ASSERT_EQ(j.typeListLength, 6u);
  EXPECT_EQ(j.columns.column[0].type, C::kNumber);
  EXPECT_EQ(j.columns.column[1].type, C::kVarchar);
  EXPECT_EQ(j.columns.column[2].type, C::kDate);
  EXPECT_EQ(j.columns.column[3].type, C::kTimestampTz);
  EXPECT_EQ(j.columns.column[4].type, C::kUnknown);
  EXPECT_EQ(j.columns.column[5].type, C::kRaw);
  EXPECT_STREQ(j.outputName, "x.txt");
  EXPECT_EQ(j.clusterTable, 2u);
  EXPECT_TRUE(p.messages.empty()) << p.messages;
}

TEST(UnloadOptions, LimitHasAFloorOfTen) {
  EXPECT_EQ(parse("LIMIT 3").opts.rowLimit, 10u);
  EXPECT_EQ(parse("LIMIT -4").opts.rowLimit, 10u);
  EXPECT_EQ(parse("LIMIT 25").opts.rowLimit, 25u);
  EXPECT_EQ(parse("OBJECT 1").opts.rowLimit, 0u);  // not given
}

TEST(UnloadOptions, LobAddressNeedsThreeNonZeroParts) {
  Parsed p = parse("LOB 3.4.100 LOB 5.0.7 LOB 6.1 LOB 1023.2.3 LOB 1024.2.3 LOB 7.x.1");
  const UnloadJob& j = *p.job;
  EXPECT_EQ(j.columns.column[2].lobIndexFile, 4u);
  EXPECT_EQ(j.columns.column[2].lobIndexBlock, 100u);
  EXPECT_EQ(j.columns.column[4].lobIndexFile, 0u);
  EXPECT_EQ(j.columns.column[5].lobIndexFile, 0u);
  EXPECT_EQ(j.columns.column[1022].lobIndexBlock, 3u);
  EXPECT_EQ(j.columns.column[6].lobIndexFile, 0u);
}

TEST(UnloadOptions, OverlongValuesAreRefusedWithOneLine) {
  const std::string p63(63, 'P'), p64(64, 'P'), e127(127, 'e'), e128(128, 'e'), t1024(1024, 't');
  EXPECT_TRUE(parse("PARTITION " + p63).ok);
  Parsed bad = parse("OBJECT 5 PARTITION " + p64);
  EXPECT_FALSE(bad.ok);
  EXPECT_EQ(bad.messages, "  Value of PARTITION is too long (at most 63 characters)!\n");
  EXPECT_TRUE(parse("EXTENT " + e127).ok);
  EXPECT_FALSE(parse("EXTENT " + e128).ok);
  EXPECT_FALSE(parse("TO " + t1024).ok);
  EXPECT_TRUE(parse("TO " + t1024.substr(1)).ok);
}

TEST(UnloadOptions, UnknownWordsAreReportedAndAMissingValueIgnored) {
  Parsed p = parse("OBJECTS 5 OBJECT 6 COLUMN");
  EXPECT_TRUE(p.ok);
  EXPECT_EQ(p.job->objectOverride, 6u);
  EXPECT_EQ(p.job->typeListLength, 0u);
  EXPECT_EQ(p.messages, "  Unknown UNLOAD option OBJECTS ignored.\n  Unknown UNLOAD option 5 ignored.\n");
}

TEST(UnloadOptions, ColumnListStopsAt1024Words) {
  // One statement holds at most 8192 characters, so the words come in parts.
  UnloadJob job;
  UnloadOptions opts;
  StringSink out;
  std::string words;
  for (int i = 0; i < 300; i++) words += "COLUMN DATE ";
  for (int part = 0; part < 4; part++) {
    CommandLine cl;
    cl.set(words);
    ASSERT_TRUE(parseUnloadOptions(cl, job, opts, out));
  }
  EXPECT_EQ(job.typeListLength, 1024u);
  EXPECT_EQ(job.columns.column[1023].type, C::kDate);
}

TEST(UnloadOptions, DumpNamesNeedMoreThanTheExtension) {
  const OutputStyleSpec* dump = findOutputStyle("DMP");
  EXPECT_EQ(styleOfName("x.dmp"), dump);
  EXPECT_EQ(styleOfName("DIR/T.DmP"), dump);
  EXPECT_EQ(styleOfName(".DMP"), nullptr);
  EXPECT_EQ(styleOfName("x.dmpx"), nullptr);
  EXPECT_EQ(styleOfName("x.txt"), nullptr);
}

TEST(UnloadOptions, TableNameSplitsAtTheFirstDot) {
  UnloadJob j;
  ASSERT_TRUE(splitTableName("scott.emp", j));
  EXPECT_STREQ(j.owner, "scott");
  EXPECT_STREQ(j.table, "emp");
  ASSERT_TRUE(splitTableName("a.b.c", j));
  EXPECT_STREQ(j.table, "b.c");
  ASSERT_TRUE(splitTableName("nodot", j));
  EXPECT_STREQ(j.owner, "nodot");
  EXPECT_STREQ(j.table, "");
  EXPECT_FALSE(splitTableName((std::string(64, 'o') + ".t").c_str(), j));
  EXPECT_FALSE(splitTableName(("o." + std::string(64, 't')).c_str(), j));
  EXPECT_TRUE(splitTableName((std::string(63, 'o') + "." + std::string(63, 't')).c_str(), j));
}

// A statement refused for its words changes nothing the next statement
// sees: the settings an UNLOAD reads into its own options stay as they
// were, and so do the tags the next unload takes from the settings.
TEST(UnloadOptions, ARefusedStatementLeavesEverySettingAsItWas) {
  bex::testing::UnloadShell sh;
  sh.statement("SET OUTPUT_STYLE DMP");
  sh.statement("SET ROW_ADDRESS 1");
  const ReadSettings before = sh.rc.bc;
  const OutputStyleSpec* styleBefore = sh.rc.settings.outputStyle;
  const Settings tagsBefore = sh.rc.settings;
  const std::string refused[] = {
      "UNLOAD TABLE scott.emp TO emp.txt PARTITION " + std::string(64, 'P'),
      "UNLOAD TABLE " + std::string(64, 'O') + ".EMP TO emp.txt",
      "UNLOAD OBJECT 5 LIMIT 20 TO emp.txt EXTENT " + std::string(128, 'e'),
  };
  for (const std::string& statement : refused) {
    EXPECT_NE(sh.statement(statement).find("!\n"), std::string::npos) << statement;
    const BlockContext& bc = sh.rc.bc;
    EXPECT_EQ(sh.rc.settings.outputStyle, styleBefore) << statement;
    EXPECT_EQ(bc.rowAddress, before.rowAddress) << statement;
    EXPECT_EQ(bc.rowLimit, before.rowLimit) << statement;
    const Settings& now = sh.rc.settings;
    EXPECT_EQ(std::string(now.fieldTag, now.fieldTagLen), std::string(tagsBefore.fieldTag, tagsBefore.fieldTagLen))
        << statement;
    EXPECT_EQ(std::string(now.recordTag, now.recordTagLen),
              std::string(tagsBefore.recordTag, tagsBefore.recordTagLen))
        << statement;
  }
}
