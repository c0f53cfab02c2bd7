#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dict/dictionary.h"
#include "dict/queries.h"
#include "dict_dir.h"

using namespace bex;
using C = ColumnTypeCode;

namespace {

class Queries : public bex::testing::DictDir {
 protected:
  void SetUp() override {
    DictDir::SetUp();
    users("0,SYS,\n54,SCOTT,\n55,SCOTTY,\n");
    objects(
        "73181,54,EMP,,2,\n"
        "73200,54,PT,,2,\n"
        "73201,54,PT,P1,19,\n"
        "73202,54,PT,P2,19,\n"
        "73210,54,ST,,2,\n"
        "73211,54,ST,P1,19,\n"
        "73212,54,ST,P1_S1,34,\n"
        "73220,54,EMP_PK,,1,\n"
        "73221,54,PT_IX,,1,\n"
        "73222,54,PT_IX,P1,20,\n"
        "73230,55,EMP,,2,\n");
    storage(
        "73181,,4,4,120,0\n"  // a row without DATAOBJ# does not count
        "73181,73181,4,4,130,0\n"
        "73201,73201,4,4,140,0\n"
        "73202,73250,4,4,150,0\n"
        "73212,73212,4,4,160,0\n"
        "73220,73220,4,4,170,\n");
  }
};

}  // namespace

TEST_F(Queries, UserByNameIgnoresCaseButNotLength) {
  UserRecord u;
  ASSERT_TRUE(findUser(dict(), "scott", u));
  EXPECT_EQ(u.userNo, 54u);
  EXPECT_FALSE(findUser(dict(), "SCOT", u));
  ASSERT_TRUE(findUser(dict(), "Scotty", u));
  EXPECT_EQ(u.userNo, 55u);
  ASSERT_TRUE(findUserByNumber(dict(), 0, u));
  EXPECT_STREQ(u.name, "SYS");
  EXPECT_FALSE(findUserByNumber(dict(), 99, u));
}

TEST_F(Queries, TableSegmentIsTheTableItself) {
  ObjectRecord o;
  ASSERT_TRUE(findTableObject(dict(), 54, "emp", "", o));
  EXPECT_EQ(o.objNo, 73181u);
  EXPECT_EQ(o.segmentObjNo, 73181u);
  ASSERT_TRUE(findTableObject(dict(), 55, "EMP", nullptr, o = ObjectRecord{}));
  EXPECT_EQ(o.objNo, 73230u);  // another owner's table of the same name
  EXPECT_FALSE(findTableObject(dict(), 54, "EMP_PK", "", o));
  ASSERT_TRUE(findIndexObject(dict(), 54, "EMP_PK", "", o = ObjectRecord{}));
  EXPECT_EQ(o.type, 1u);
}

TEST_F(Queries, PartitionKeepsItsSegmentAndTakesTheTableRow) {
  ObjectRecord o;
  ASSERT_TRUE(findTableObject(dict(), 54, "PT", "p2", o));
  EXPECT_EQ(o.segmentObjNo, 73202u);
  EXPECT_EQ(o.objNo, 73200u);
  EXPECT_EQ(o.type, 2u);
  EXPECT_STREQ(o.subname, "");

  o = ObjectRecord{};
  ASSERT_TRUE(findTableObject(dict(), 54, "ST", "P1_S1", o));
  EXPECT_EQ(o.segmentObjNo, 73212u);
  EXPECT_EQ(o.objNo, 73210u);

  o = ObjectRecord{};
  EXPECT_FALSE(findTableObject(dict(), 54, "PT", "P3", o));
  ASSERT_TRUE(findIndexObject(dict(), 54, "PT_IX", "P1", o));
  EXPECT_EQ(o.segmentObjNo, 73222u);
  EXPECT_EQ(o.objNo, 73221u);
}

TEST_F(Queries, StorageNeedsADataObjectNumber) {
  StorageRecord s;
  ASSERT_TRUE(findStorage(dict(), 73181, s));
  EXPECT_EQ(s.block, 130u);
  ASSERT_TRUE(findStorage(dict(), 73202, s));
  EXPECT_EQ(s.dataObjNo, 73250u);
  EXPECT_FALSE(findStorage(dict(), 73200, s));
  EXPECT_EQ(s.objNo, 0u);
  EXPECT_EQ(s.file, 0u);
}

TEST_F(Queries, MissingFilesFindNothing) {
  remove(path("BEXDICT/BEXUSR.TXT").c_str());
  remove(path("BEXDICT/BEXOBJ.TXT").c_str());
  remove(path("BEXDICT/BEXTAB.TXT").c_str());
  UserRecord u;
  ObjectRecord o;
  StorageRecord s;
  ColumnTypeRecord t;
  EXPECT_FALSE(findUser(dict(), "SCOTT", u));
  EXPECT_FALSE(findTableObject(dict(), 54, "EMP", "", o));
  EXPECT_FALSE(findObjectByNumber(dict(), 73181, o));
  EXPECT_FALSE(findStorage(dict(), 73181, s));
  EXPECT_FALSE(findColumnType(dict(), 1, 1, 1, t));
}

TEST_F(Queries, HandEditedLinesArePassedOver) {
  objects(
      "73181,54\n"                       // truncated
      "7318x,54,EMP,,2,\n"               // non-numeric
      "73182,54," + std::string(130, 'E') + ",,2,\n"  // too long
      "1,2\n"                            // too short
      "73183,54,EMP,,2,\n");
  ObjectRecord o;
  ASSERT_TRUE(findTableObject(dict(), 54, "EMP", "", o));
  EXPECT_EQ(o.objNo, 73183u);
}

TEST_F(Queries, ObjectTypeThroughSynonymOrTypeOid) {
  users("0,SYS,\n54,SCOTT,\n");
  objects(
      "73300,54,DOCS,,2,\n"
      "800,0,XMLTYPE,,13,00000000000000000000000000020100\n"
      "801,54,ADDRESS_T,,13,7A1F\n"
      "802,0,ANYDATA,,13,00000000000000000000000000020011\n");
  types(
      "73300,2,2,00000000000000000000000000020100,1,0,800\n"
      "73300,3,3,7a1f,1,0,\n"
      "73300,4,4,FFFF,1,0,802\n"  // the synonym wins over the OID
      "73300,5,5,DEAD,1,0,\n");
  ColumnRecord c;
  c.objNo = 73300, c.colNo = 2, c.intColNo = 2, c.type = 58;
  resolveObjectType(dict(), c);
  EXPECT_EQ(c.typeKind, kKindXmlType);
  EXPECT_STREQ(c.typeOwner, "SYS");
  EXPECT_STREQ(c.typeName, "XMLTYPE");

  c.colNo = c.intColNo = 3, c.type = 121;
  resolveObjectType(dict(), c);
  EXPECT_EQ(c.typeKind, kKindOther);
  EXPECT_STREQ(c.typeOwner, "SCOTT");
  EXPECT_STREQ(c.typeName, "ADDRESS_T");

  c.colNo = c.intColNo = 4;
  resolveObjectType(dict(), c);
  EXPECT_EQ(c.typeKind, kKindAnyData);

  ColumnRecord unknown;
  unknown.objNo = 73300, unknown.colNo = unknown.intColNo = 5, unknown.type = 121;
  resolveObjectType(dict(), unknown);  // neither synonym nor OID leads anywhere
  EXPECT_EQ(unknown.typeKind, kKindNone);
  EXPECT_STREQ(unknown.typeName, "");

  ColumnRecord number = c;
  number.type = 2, number.typeKind = kKindNone;
  resolveObjectType(dict(), number);  // not an object type: untouched
  EXPECT_EQ(number.typeKind, kKindNone);
}

namespace {

class Columns : public bex::testing::DictDir {
 protected:
  void SetUp() override {
    DictDir::SetUp();
    users("0,SYS,\n54,SCOTT,\n");
    objects(
        "73400,54,DOCS,,2,\n"
        "73401,54,SYS_IL0000073400C00004$$,,1,\n"
        "73402,54,SYS_IL0000073400C00005$$,,1,\n"
        "800,0,XMLTYPE,,13,00000000000000000000000000020100\n");
    storage(
        "73400,73400,4,4,200,0\n"
        "73401,73401,4,4,210,0\n"
        "73402,73402,4,6,220,0\n");
    types("73400,3,3,00000000000000000000000000020100,1,0,\n");
    // ID, an XMLTYPE column stored as a hidden BLOB, a CLOB, an NCLOB, and a
    // column of another table in the same map file.
    columns(
        "73400,1,1,ID,2,22,10,0,1,1,0,0,0\n"
        "73400,3,0,DOC,58,1,,,0,3,0,0,0\n"
        "73400,3,2,SYS_NC00004$,113,4000,,,0,4,0,0,0\n"
        "73400,4,3,NOTE,112,4000,,,0,5,0,852,1\n"
        "73464,1,1,OTHER,1,10,,,0,1,0,852,1\n"
        "73400,5,5,NNOTE,112,4000,,,0,6,0,2000,2\n");
  }
};

}  // namespace

TEST_F(Columns, ObjectColumnNamesItsStoredColumn) {
  ObjectRecord t;
  ASSERT_TRUE(findTableObject(dict(), 54, "DOCS", "", t));
  auto cols = std::make_unique<TableColumns>();
  loadColumns(dict(), t, "", *cols);
  EXPECT_EQ(cols->count, 5);  // the highest SEGCOL#, with position 4 empty
  EXPECT_EQ(cols->column[0].type, C::kNumber);
  EXPECT_STREQ(cols->desc[1].name, "DOC");
  EXPECT_EQ(cols->column[1].type, C::kBlob);
  EXPECT_EQ(cols->desc[1].typeKind, kKindXmlType);
  EXPECT_STREQ(cols->desc[1].typeName, "XMLTYPE");
  EXPECT_STREQ(cols->desc[2].name, "NOTE");  // the held name went to one column only
  EXPECT_EQ(cols->desc[2].typeKind, kKindNone);
  EXPECT_EQ(cols->column[3].type, C::kSkip);
  EXPECT_EQ(cols->column[4].charsetForm, 2);
  EXPECT_EQ(cols->column[4].charsetId, 2000);
  EXPECT_EQ(cols->desc[4].length, 4000u);
}

TEST_F(Columns, LobIndexFromTheDictionaryUnlessGiven) {
  ObjectRecord t;
  ASSERT_TRUE(findTableObject(dict(), 54, "DOCS", "", t));
  auto cols = std::make_unique<TableColumns>();
  cols->column[4].lobIndexFile = 9;  // LOB 5.9.999 on the command line
  cols->column[4].lobIndexBlock = 999;
  loadColumns(dict(), t, "", *cols);
  EXPECT_EQ(cols->column[1].lobIndexFile, 4);  // SYS_IL0000073400C00004$$
  EXPECT_EQ(cols->column[1].lobIndexBlock, 210u);
  EXPECT_EQ(cols->column[2].lobIndexFile, 6);  // SYS_IL0000073400C00005$$
  EXPECT_EQ(cols->column[2].lobIndexBlock, 220u);
  EXPECT_EQ(cols->column[4].lobIndexFile, 9);
  EXPECT_EQ(cols->column[4].lobIndexBlock, 999u);
}

TEST_F(Columns, MissingColumnMapFileLeavesTheListEmpty) {
  const std::string map = columnMapName(dict(), 73400);
  EXPECT_EQ(map, path("BEXDICT/BEXCOLMAP056.TXT"));
  remove(map.c_str());
  ObjectRecord t;
  ASSERT_TRUE(findTableObject(dict(), 54, "DOCS", "", t));
  auto cols = std::make_unique<TableColumns>();
  loadColumns(dict(), t, "", *cols);
  EXPECT_EQ(cols->count, 0);
  std::string text;
  EXPECT_FALSE(buildCreateTable(dict(), t, "", false, false, 0, false, text));
  EXPECT_EQ(text, "CREATE TABLE \"DOCS\" ()");
}
