#include <gtest/gtest.h>

#include <string>

#include "dict/ddl_text.h"
#include "dict/dictionary.h"
#include "dict_dir.h"

using namespace bex;

namespace {

ColumnRecord column(uint32_t type, uint32_t length = 0, uint32_t precision = 0, int32_t scale = 0,
                    uint32_t form = 1, bool notNull = false) {
  ColumnRecord c;
  c.type = type;
  c.length = length;
  c.precision = precision;
  c.scale = static_cast<uint32_t>(scale);
  c.charsetForm = form;
  c.nullFlag = notNull;
  c.intColNo = 7;
  return c;
}

std::string create(const ColumnRecord& c, bool comment = false) {
  std::string s;
  appendCreateType(s, c, comment);
  return s;
}

std::string desc(const ColumnRecord& c) {
  StringSink out;
  printDescType(out, c, 73181);
  return out.str();
}

}  // namespace

TEST(CreateTypeText, CharacterTypesAndNationalForms) {
  EXPECT_EQ(create(column(1, 30)), " VARCHAR2(30)");
  EXPECT_EQ(create(column(1, 60, 0, 0, 2)), " NVARCHAR2(30)");
  EXPECT_EQ(create(column(9, 12)), " VARCHAR(12)");
  EXPECT_EQ(create(column(9, 12, 0, 0, 2)), " NCHAR VARYING(6)");
  EXPECT_EQ(create(column(96, 10)), " CHAR(10)");
  EXPECT_EQ(create(column(96, 20, 0, 0, 2)), " NCHAR(10)");
  EXPECT_EQ(create(column(8)), " LONG");
  EXPECT_EQ(create(column(23, 16)), " RAW(16)");
  EXPECT_EQ(create(column(24)), " LONG RAW");
  EXPECT_EQ(create(column(112)), " CLOB");
  EXPECT_EQ(create(column(112, 4000, 0, 0, 2)), " NCLOB");
  EXPECT_EQ(create(column(113)), " BLOB");
}

TEST(CreateTypeText, Numbers) {
  EXPECT_EQ(create(column(2, 22)), " NUMBER");  // PRECISION# 0: no parentheses
  EXPECT_EQ(create(column(2, 22, 10, 2)), " NUMBER(10,2)");
  EXPECT_EQ(create(column(2, 22, 5, -2)), " NUMBER(5,-2)");
  EXPECT_EQ(create(column(2, 22, 38)), " NUMBER(38)");
  EXPECT_EQ(create(column(2, 22, 126)), " FLOAT");  // PRECISION# 126, SCALE 0
  EXPECT_EQ(create(column(2, 22, 126, 3)), " NUMBER(*,3)");
  // A FLOAT's SCALE is -127: never a NUMBER scale.
  EXPECT_EQ(create(column(2, 22, 126, -127)), " FLOAT");
  EXPECT_EQ(create(column(2, 22, 10, -127)), " FLOAT(10)");
  EXPECT_EQ(create(column(100)), " BINARY_FLOAT");
  EXPECT_EQ(create(column(101)), " BINARY_DOUBLE");
}

TEST(CreateTypeText, DatesIntervalsAndTheRest) {
  EXPECT_EQ(create(column(12, 7)), " DATE");
  EXPECT_EQ(create(column(180, 11, 0, 6)), " TIMESTAMP(6)");
  EXPECT_EQ(create(column(180, 11)), " TIMESTAMP");
  EXPECT_EQ(create(column(181, 13, 0, 3)), " TIMESTAMP(3) WITH TIME ZONE");
  EXPECT_EQ(create(column(181, 13)), " TIMESTAMP WITH TIME ZONE");
  EXPECT_EQ(create(column(231, 11, 0, 9)), " TIMESTAMP(9) WITH LOCAL TIME ZONE");
  EXPECT_EQ(create(column(231, 11)), " TIMESTAMP WITH LOCAL TIME ZONE");
  EXPECT_EQ(create(column(182, 5, 4)), " INTERVAL YEAR(4) TO MONTH");
  EXPECT_EQ(create(column(182, 5)), " INTERVAL YEAR TO MONTH");
  EXPECT_EQ(create(column(183, 11, 2, 6)), " INTERVAL DAY(2) TO SECOND(6)");
  EXPECT_EQ(create(column(183, 11)), " INTERVAL DAY TO SECOND");
  EXPECT_EQ(create(column(69, 10, 0, 0, 1, true)), " ROWID");  // never NOT NULL
  EXPECT_EQ(create(column(208, 4000, 0, 0, 1, true)), " UROWID");
  EXPECT_EQ(create(column(105)), " MLSLABEL");
  EXPECT_EQ(create(column(106)), " MLSLABEL");
  EXPECT_EQ(create(column(114)), " BFILE");
  EXPECT_EQ(create(column(115)), " CFILE");
  EXPECT_EQ(create(column(99)), " 99");
  EXPECT_EQ(create(column(368)), " 368");  // not CLOB (112) in its low byte
}

TEST(CreateTypeText, NotNullForms) {
  EXPECT_EQ(create(column(1, 10, 0, 0, 1, true)), " VARCHAR2(10) NOT NULL ");
  EXPECT_EQ(create(column(1, 10, 0, 0, 1, true), true), " VARCHAR2(10) /* NOT NULL */");
  EXPECT_EQ(create(column(182, 5, 2, 0, 1, true)), " INTERVAL YEAR(2) TO MONTH NOT NULL ");
  EXPECT_EQ(create(column(2, 22, 126, 0, 1, true), true), " FLOAT /* NOT NULL */");
}

TEST(CreateTypeText, ObjectTypes) {
  ColumnRecord c = column(121, 0, 0, 0, 1, true);
  c.typeKind = kKindOther;
  strcpy(c.typeOwner, "SCOTT");
  strcpy(c.typeName, "ADDRESS_T");
  EXPECT_EQ(create(c), " SCOTT.ADDRESS_T");  // no NOT NULL for object types
  c.type = 113;
  EXPECT_EQ(create(c), " SCOTT.ADDRESS_T NOT NULL ");  // a BLOB that stores an object type
  ColumnRecord unresolved = column(58);
  EXPECT_EQ(create(unresolved), " 58");
}

TEST(DescTypeText, EveryType) {
  EXPECT_EQ(desc(column(1, 10)), "VARCHAR2(10) \n");
  EXPECT_EQ(desc(column(1, 20, 0, 0, 2, true)), "NVARCHAR2(10) NOT NULL\n");
  EXPECT_EQ(desc(column(2, 22)), "NUMBER \n");
  EXPECT_EQ(desc(column(2, 22, 7, 2)), "NUMBER(7,2) \n");
  EXPECT_EQ(desc(column(2, 22, 4, 0, 1, true)), "NUMBER(4) NOT NULL\n");
  EXPECT_EQ(desc(column(2, 22, 126)), "FLOAT \n");
  EXPECT_EQ(desc(column(2, 22, 126, 2)), "NUMBER(*,2) \n");
  EXPECT_EQ(desc(column(8)), "LONG \n");
  EXPECT_EQ(desc(column(9, 8, 0, 0, 2)), "NCHAR VARYING(4) \n");
  EXPECT_EQ(desc(column(12, 7)), "DATE \n");
  EXPECT_EQ(desc(column(23, 4)), "RAW(4) \n");
  EXPECT_EQ(desc(column(24)), "LONG RAW \n");
  EXPECT_EQ(desc(column(58)), "UNKNOWN_58\n");
  EXPECT_EQ(desc(column(69)), "ROWID\n");
  EXPECT_EQ(desc(column(96, 4, 0, 0, 2)), "NCHAR(2) \n");
  EXPECT_EQ(desc(column(100)), "BINARY_FLOAT \n");
  EXPECT_EQ(desc(column(101)), "BINARY_DOUBLE \n");
  EXPECT_EQ(desc(column(106)), "MLSLABEL\n");
  EXPECT_EQ(desc(column(112)), "CLOB  (SYS_IL0000073181C00007$$)\n");
  EXPECT_EQ(desc(column(112, 0, 0, 0, 2, true)), "NCLOB NOT NULL (SYS_IL0000073181C00007$$)\n");
  EXPECT_EQ(desc(column(113)), "BLOB  (SYS_IL0000073181C00007$$)\n");
  EXPECT_EQ(desc(column(114)), "BFILE\n");
  EXPECT_EQ(desc(column(115)), "CFILE\n");
  EXPECT_EQ(desc(column(180, 11, 0, 6)), "TIMESTAMP(6) \n");
  EXPECT_EQ(desc(column(181, 13)), "TIMESTAMP WITH TIME ZONE \n");
  EXPECT_EQ(desc(column(182, 5, 2)), "INTERVAL YEAR(2) TO MONTH \n");
  EXPECT_EQ(desc(column(182, 5)), "INTERVAL YEAR TO MONTH \n");
  EXPECT_EQ(desc(column(183, 11, 2, 6)), "INTERVAL DAY(2) TO SECOND(6) \n");
  EXPECT_EQ(desc(column(208)), "UROWID\n");
  EXPECT_EQ(desc(column(231, 11, 0, 3)), "TIMESTAMP(3) WITH LOCAL TIME ZONE \n");
  EXPECT_EQ(desc(column(250)), "UNKNOWN_250\n");
  EXPECT_EQ(desc(column(368)), "UNKNOWN_368\n");
}

namespace {

class CreateTable : public bex::testing::DictDir {
 protected:
  void SetUp() override {
    DictDir::SetUp();
    users("0,SYS,\n54,SCOTT,\n");
    objects(
        "73181,54,EMP,,2,\n"
        "73182,54,GAPS,,2,\n"
        "73183,54,ADDR,,2,\n"
        "800,0,XMLTYPE,,13,00000000000000000000000000020100\n");
    types("73183,2,2,00000000000000000000000000020100,1,0,\n");
    columns(
        "73181,1,1,EMPNO,2,22,4,0,1,1,0,0,0,\n"
        "73181,3,3,HIRED,12,7,,,,3,0,0,0\n"  // out of order in the file
        "73181,2,2,ENAME,1,10,,,0,2,0,852,1,\n"
        "73182,1,1,A,1,10\n"
        "73182,3,3,C,1,10\n"
        "73183,1,1,ID,2,22\n"
        "73183,2,0,DOC,58,1,,,1,2,0,0,0\n"
        "73183,2,2,SYS_NC00003$,113,4000,,,0,3,0,0,0\n"
        "73183,3,3,NOTE,1,40,,,0,4,0,852,1\n");
  }
  ObjectRecord table(const char* name) {
    ObjectRecord o;
    EXPECT_TRUE(findTableObject(dict(), 54, name, "", o));
    return o;
  }
};

}  // namespace

TEST_F(CreateTable, MultiLineAndOneLineForms) {
  std::string text;
  ASSERT_TRUE(buildCreateTable(dict(), table("EMP"), "", true, false, 0, false, text));
  EXPECT_EQ(text,
            "CREATE TABLE \"EMP\" (\n"
            " \"EMPNO\"  NUMBER(4) NOT NULL ,\n"
            " \"ENAME\"  VARCHAR2(10),\n"
            " \"HIRED\"  DATE\n"
            ")");
  ASSERT_TRUE(buildCreateTable(dict(), table("EMP"), "EMP_COPY", false, false, 0, true, text));
  EXPECT_EQ(text, "CREATE TABLE \"EMP_COPY\" ( \"EMPNO\"  NUMBER(4) /* NOT NULL */, \"ENAME\"  VARCHAR2(10), \"HIRED\"  DATE)");
  ASSERT_TRUE(buildCreateTable(dict(), table("EMP"), "T", false, true, 73999, false, text));
  EXPECT_EQ(text.substr(0, 27), "CREATE TABLE \"T_73999\" ( \"E");
}

TEST_F(CreateTable, GapsMakeTheTableInvalid) {
  std::string text;
  EXPECT_FALSE(buildCreateTable(dict(), table("GAPS"), "", true, false, 0, false, text));
  EXPECT_EQ(text, "CREATE TABLE \"GAPS\" (\n \"A\"  VARCHAR2(10),\n,\n \"C\"  VARCHAR2(10)\n)");
}

TEST_F(CreateTable, ObjectColumnGivesItsNameAndTypeToItsStoredColumn) {
  std::string text;
  ASSERT_TRUE(buildCreateTable(dict(), table("ADDR"), "", false, false, 0, false, text));
  EXPECT_EQ(text, "CREATE TABLE \"ADDR\" ( \"ID\"  NUMBER, \"DOC\"  SYS.XMLTYPE, \"NOTE\"  VARCHAR2(40))");
}

TEST_F(CreateTable, LongTargetNameIsNotCut) {
  std::string text;
  const std::string target(600, 'T');
  buildCreateTable(dict(), table("EMP"), target.c_str(), false, false, 0, false, text);
  EXPECT_EQ(text.substr(14, 600), target);
}
