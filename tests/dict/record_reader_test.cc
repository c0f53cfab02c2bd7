#include <gtest/gtest.h>

#include <string>

#include "dict/dict_files.h"
#include "dict/dict_records.h"
#include "dict_dir.h"

using namespace bex;

TEST(UserRecord, NameEndsAtCommaOrLineEnd) {
  UserRecord u;
  ASSERT_TRUE(readUserRecord("54,SCOTT,\n", u));  // USER$ row with skipped trailing columns
  EXPECT_EQ(u.userNo, 54u);
  EXPECT_STREQ(u.name, "SCOTT");
  ASSERT_TRUE(readUserRecord("7,HR  \r\n", u));
  EXPECT_STREQ(u.name, "HR");
  ASSERT_TRUE(readUserRecord("0,S", u));  // the shortest line a user file may hold
  EXPECT_STREQ(u.name, "S");
}

TEST(UserRecord, RefusesShortLongAndMalformedLines) {
  UserRecord u;
  EXPECT_FALSE(readUserRecord("1\n", u));
  EXPECT_FALSE(readUserRecord("12,\n", u));    // no name
  EXPECT_FALSE(readUserRecord("x1,SCOTT\n", u));  // non-numeric USER#
  EXPECT_FALSE(readUserRecord("1," + std::string(127, 'N') + "\n", u));
  EXPECT_TRUE(readUserRecord("1," + std::string(126, 'N') + "\n", u));
  EXPECT_EQ(std::string(u.name).size(), kDictNameMax);  // names are kept to 63 characters
}

TEST(ObjectRecord, EmptySubnameAndMissingOid) {
  ObjectRecord o;
  ASSERT_TRUE(readObjectRecord("73181,54,EMP,,2,\n", o));
  EXPECT_EQ(o.objNo, 73181u);
  EXPECT_EQ(o.ownerNo, 54u);
  EXPECT_STREQ(o.name, "EMP");
  EXPECT_STREQ(o.subname, "");
  EXPECT_EQ(o.type, 2u);
  EXPECT_STREQ(o.oid, "");
  ASSERT_TRUE(readObjectRecord("900,0,ADDRESS_T,,13,8F2A01\n", o));
  EXPECT_STREQ(o.oid, "8F2A01");  // the last field loses its line end
  ASSERT_TRUE(readObjectRecord("73183,54,PT,P1,19", o));
  EXPECT_STREQ(o.subname, "P1");
}

TEST(ObjectRecord, RequiredFields) {
  ObjectRecord o;
  EXPECT_FALSE(readObjectRecord("73181,54,EMP\n", o));    // truncated before SUBNAME
  EXPECT_FALSE(readObjectRecord("73181,54,EMP,,\n", o));  // TYPE# empty
  EXPECT_FALSE(readObjectRecord("73181,54,,,2,\n", o));   // NAME empty
  EXPECT_FALSE(readObjectRecord(",54,EMP,,2,\n", o));
  EXPECT_FALSE(readObjectRecord("73181,5x,EMP,,2,\n", o));  // non-numeric OWNER#
  EXPECT_FALSE(readObjectRecord("1,2\n", o));               // shorter than 5
}

TEST(StorageRecord, EmptyAndAbsentFieldsAreZero) {
  StorageRecord s;
  ASSERT_TRUE(readStorageRecord("73182,,4,0,0,0\n", s));
  EXPECT_EQ(s.objNo, 73182u);
  EXPECT_EQ(s.dataObjNo, 0u);
  EXPECT_EQ(s.ts, 4u);
  ASSERT_TRUE(readStorageRecord("19,2,0,1,49,\n", s));  // an IND$ row has no TAB#
  EXPECT_EQ(s.block, 49u);
  EXPECT_EQ(s.cluster, 0u);
  ASSERT_TRUE(readStorageRecord("4,2,0,1,49,1,999\n", s));  // fields after the sixth are ignored
  EXPECT_EQ(s.cluster, 1u);
  EXPECT_FALSE(readStorageRecord("4,2,zero,1,49,1\n", s));
  EXPECT_FALSE(readStorageRecord("4,2\n", s));  // shorter than 5
}

TEST(ColumnRecord, RequiredAndOptionalFields) {
  ColumnRecord c;
  ASSERT_TRUE(readColumnRecord("73181,1,1,EMPNO,2,22,4,0,1,1,0,0,0,\n", c));
  EXPECT_EQ(c.precision, 4u);
  EXPECT_EQ(c.nullFlag, 1u);
  ASSERT_TRUE(readColumnRecord("73181,2,2,ENAME,1,10\n", c));  // the optional fields are 0
  EXPECT_EQ(c.precision, 0u);
  EXPECT_EQ(c.charsetForm, 0u);
  ASSERT_TRUE(readColumnRecord("73181,3,3,AMOUNT,2,22,5,-2,,3,0,0,0\n", c));
  EXPECT_EQ(static_cast<int32_t>(c.scale), -2);  // a negative scale survives
  EXPECT_FALSE(readColumnRecord("73181,2,2,ENAME,1\n", c));  // LENGTH missing
  EXPECT_FALSE(readColumnRecord("73181,2,,ENAME,1,10\n", c));
  EXPECT_FALSE(readColumnRecord("73181,2,2,ENAME,VARCHAR2,10\n", c));
  EXPECT_FALSE(readColumnRecord("73181,2,2,ENAME,1,10,x\n", c));  // a malformed optional field
}

TEST(ColumnRecord, LinesOverTheLimitAreRefused) {
  ColumnRecord c;
  const std::string longName(128, 'C');
  EXPECT_FALSE(readColumnRecord("73181,4,4," + longName + ",1,128,,,0,4,0,852,1,\n", c));
  const std::string head = "73181,4,4,", tail = ",1,10\n";
  std::string name(kRecordLineMax - head.size() - tail.size(), 'C');
  EXPECT_TRUE(readColumnRecord(head + name + tail, c));  // exactly 128 characters
  EXPECT_FALSE(readColumnRecord(head + name + "C" + tail, c));
}

TEST(ColumnRecord, NumbersBeyondTwentyDigitsOrThirtyTwoBits) {
  ColumnRecord c;
  EXPECT_FALSE(readColumnRecord("4294967296,1,1,A,1,1\n", c));
  EXPECT_TRUE(readColumnRecord("4294967295,1,1,A,1,1\n", c));
  EXPECT_EQ(c.objNo, 4294967295u);
  // Only the first 20 characters count: digits after them are not read.
  EXPECT_TRUE(readColumnRecord("00000000000000000007999,1,1,A,1,1\n", c));
  EXPECT_EQ(c.objNo, 7u);
}

TEST(ColumnTypeRecord, SkipsVersionAndPacked) {
  ColumnTypeRecord t;
  ASSERT_TRUE(readColumnTypeRecord("73200,3,3,00000000000000000000000000020100,1,0,905\n", t));
  EXPECT_STREQ(t.toid, "00000000000000000000000000020100");
  EXPECT_EQ(t.synObjNo, 905u);
  ASSERT_TRUE(readColumnTypeRecord("73200,3,3,ABCD,1\n", t));
  EXPECT_EQ(t.synObjNo, 0u);
  EXPECT_FALSE(readColumnTypeRecord("73200,3,3,,1,0,905\n", t));
}

TEST(RecycleBin, NameShape) {
  EXPECT_TRUE(isRecycleBinName("BIN$ABCDEFGHIJKLMNOPQRSTUV==$0"));
  EXPECT_FALSE(isRecycleBinName("BIN$ABCDEFGHIJKLMNOPQRSTUV==$1"));
  EXPECT_FALSE(isRecycleBinName("BIN$ABCDEFGHIJKLMNOPQRSTU==$0"));
  EXPECT_FALSE(isRecycleBinName("BIN$"));
}

using LineReader = bex::testing::DictDir;

TEST_F(LineReader, SkipsBlankLinesAndDropsOverLongLinesWhole) {
  const std::string tailLooksLikeARecord = std::string(kDictLineBuffer + 10, 'x') + "\n";
  write("f.txt", std::string("first\n\n\r\n") + '\0' + "nul\n" + tailLooksLikeARecord + "1,2,3\nlast");
  DictLineReader in(path("f.txt").c_str());
  ASSERT_TRUE(in.opened());
  std::string_view line;
  std::string seen;
  while (in.next(line)) seen += "[" + std::string(line) + "]";
  EXPECT_EQ(seen, "[first\n][1,2,3\n][last]");
}

TEST_F(LineReader, MissingFile) {
  DictLineReader in(dict().file("NONE.TXT").c_str());
  EXPECT_FALSE(in.opened());
  std::string_view line;
  EXPECT_FALSE(in.next(line));
}
