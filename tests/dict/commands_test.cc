#include <gtest/gtest.h>

#include <string>

#include "commands/dict/dict_commands.h"
#include "dict_dir.h"
#include "test_shell.h"

using namespace bex;
using bex::testing::TestShell;

namespace {

class DictCommands : public bex::testing::DictDir {
 protected:
  void SetUp() override {
    DictDir::SetUp();
    users("0,SYS,\n5,SYSTEM,\n54,SCOTT,\n55,HR,\n");
    objects(
        "73181,54,EMP,,2,\n"
        "73182,54,PT,,2,\n"
        "73183,54,PT,P1,19,\n"
        "73184,54,PT,P2,19,\n"
        "73185,54,EMP_PK,,1,\n"
        "73186,54,EMP_V,,4,\n"
        "73187,54,BIN$ABCDEFGHIJKLMNOPQRSTUV==$0,,2,\n"
        "73188,54,DEPT,,2,\n"
        "73189,54,GAPS,,2,\n"
        "73190,54,RAISE,,7,\n"
        "73191,54,BONUS,,8,\n"
        "73192,54,PAYROLL,,9,\n"
        "73193,54,PT,P2_S1,34,\n");
    storage(
        "73181,73181,4,4,130,0\n"
        "73182,,4,0,0,0\n"
        "73183,73183,4,4,140,0\n"
        "73184,73199,4,4,150,0\n"
        "73188,73100,4,4,160,2\n"
        "73193,73193,4,4,170,\n");
    columns(
        "73181,1,1,EMPNO,2,22,4,0,1,1,0,0,0,\n"
        "73181,2,2,ENAME,1,10,,,0,2,0,852,1,\n"
        "73182,1,1,ID,2,22,,,1,1,0,0,0\n"
        "73188,1,1,DEPTNO,2,22,2,0,0,1,0,0,0\n"
        "73189,2,2,B,1,10\n");
  }
  TestShell sh{dict().path()};
};

}  // namespace

TEST_F(DictCommands, ListTableWithPartitionsClustersAndNoDict) {
  EXPECT_EQ(sh.run(cmdListDictionary, "LIST TABLE scott"),
            " UNLOAD TABLE scott.EMP OBJECT 73181 TO scott_EMP_73181.txt;\n"
            " UNLOAD TABLE scott.PT OBJECT 73182 TO scott_PT_73182_NODICT.txt;\n"
            " UNLOAD TABLE scott.DEPT OBJECT 73100 CLUSTER 2 TO scott_DEPT_73100.txt;\n"
            " UNLOAD TABLE scott.GAPS OBJECT 73189 TO scott_GAPS_73189_NODICT.txt;\n"
            " UNLOAD TABLE scott.PT OBJECT 73183 TO scott_PT_73183.txt;\n"
            " UNLOAD TABLE scott.PT OBJECT 73199 TO scott_PT_73199.txt;\n"
            " UNLOAD TABLE scott.PT OBJECT 73193 TO scott_PT_73193.txt;\n");
  sh.rc.settings.outputStyle = findOutputStyle("DMP");
  EXPECT_EQ(sh.run(cmdListDictionary, "LIST TABLE SCOTT").substr(0, 62),
            " UNLOAD TABLE SCOTT.EMP OBJECT 73181 TO SCOTT_EMP_73181.dmp;\n ");
}

TEST_F(DictCommands, ListNamesByKind) {
  EXPECT_EQ(sh.run(cmdListDictionary, "LIST VIEW SCOTT"), "   EMP_V \n");
  EXPECT_EQ(sh.run(cmdListDictionary, "LIST INDEX SCOTT"), "   EMP_PK \n");
  EXPECT_EQ(sh.run(cmdListDictionary, "LIST PROCEDURE SCOTT"), "   RAISE \n");
  EXPECT_EQ(sh.run(cmdListDictionary, "LIST FUNCTION SCOTT"), "   BONUS \n");
  EXPECT_EQ(sh.run(cmdListDictionary, "LIST PACKAGE SCOTT"), "   PAYROLL \n");
  EXPECT_EQ(sh.run(cmdListDictionary, "LIST VIEW HR"), "");
}

TEST_F(DictCommands, ListUsersThreeToALine) {
  EXPECT_EQ(sh.run(cmdListDictionary, "LIST USER"),
            " SYS                             SYSTEM                          SCOTT                          \n"
            " HR                             \n\n");
  users("0,SYS,\n5,SYSTEM,\n54,SCOTT,\n");
  EXPECT_EQ(sh.run(cmdListDictionary, "LIST USER").size(), 3 * 32 + 2);
  remove(path("BEXDICT/BEXUSR.TXT").c_str());
  EXPECT_EQ(sh.run(cmdListDictionary, "LIST USER"), "");
}

TEST_F(DictCommands, ListUsageAndUnknownUser) {
  const std::string usage =
      "  LIST { TABLE | VIEW | PROCEDURE | FUNCTION |INDEX | PACKAGE | DDL } username\n"
      "  LIST { USER | CHARSET } \n";
  EXPECT_EQ(sh.run(cmdListDictionary, "LIST"), usage);
  EXPECT_EQ(sh.run(cmdListDictionary, "LIST TABLE"), usage);
  EXPECT_EQ(sh.run(cmdListDictionary, "LIST SCOTT"), usage);
  EXPECT_EQ(sh.run(cmdListDictionary, "LIST TABLE NOBODY TO x.txt"), "User (NOBODY) does not exists.\n");
  EXPECT_EQ(sh.run(cmdListDictionary, "LIST CHARSET").substr(0, 2), "\n ");
}

TEST_F(DictCommands, ListToAFile) {
  EXPECT_EQ(sh.run(cmdListDictionary, "LIST TO " + path("out.txt") + " VIEW SCOTT"), "");
  EXPECT_EQ(read("out.txt"), "   EMP_V \n");
  // A file that cannot be created: the console gets the lines.
  EXPECT_EQ(sh.run(cmdListDictionary, "LIST VIEW SCOTT TO " + path("no/such/dir.txt")), "   EMP_V \n");
}

TEST_F(DictCommands, ListDdlMarksInvalidTables) {
  EXPECT_EQ(sh.run(cmdListDictionary, "LIST DDL SCOTT"),
            "CREATE TABLE \"EMP\" (\n \"EMPNO\"  NUMBER(4) NOT NULL ,\n \"ENAME\"  VARCHAR2(10)\n);\n"
            "CREATE TABLE \"PT\" (\n \"ID\"  NUMBER NOT NULL \n);\n"
            "CREATE TABLE \"DEPT\" (\n \"DEPTNO\"  NUMBER(2)\n);\n"
            "CREATE TABLE \"GAPS\" (\n,\n \"B\"  VARCHAR2(10)\n);\n"
            "-- Invalid table SCOTT.GAPS\n");
  sh.rc.settings.ignoreNotnull = 1;
  EXPECT_NE(sh.run(cmdListDictionary, "LIST DDL SCOTT").find("\"EMPNO\"  NUMBER(4) /* NOT NULL */,\n"),
            std::string::npos);
}

TEST_F(DictCommands, DescTableAndPartition) {
  EXPECT_EQ(sh.run(cmdDesc, "DESC scott.emp"),
            "\nStorage(OBJ#=73181 OBJD=73181 TS=4 FILE=4 BLOCK=130 CLUSTER=0)\n"
            "No. SEQ INT Column Name                   Type            \n"
            "--- --- --- ----------------------------- ----------------\n"
            "  1   1   1 EMPNO                         NUMBER(4) NOT NULL\n"
            "  2   2   2 ENAME                         VARCHAR2(10) \n\n");
  const std::string part = sh.run(cmdDesc, "DESCRIBE SCOTT.PT P2");
  EXPECT_EQ(part.substr(0, 64), "\nStorage(OBJ#=73184 OBJD=73199 TS=4 FILE=4 BLOCK=150 CLUSTER=0)\n");
  EXPECT_NE(part.find("  1   1   1 ID                            NUMBER NOT NULL\n"), std::string::npos);
  EXPECT_EQ(sh.run(cmdDesc, "DESC SCOTT.PT").substr(0, 50), "\nStorage(OBJ#=0 OBJD=0 TS=0 FILE=0 BLOCK=0 CLUSTER");
  EXPECT_EQ(sh.run(cmdDesc, "DESC SCOTT.PT p2_s1").substr(0, 64), "\nStorage(OBJ#=73193 OBJD=73193 TS=4 FILE=4 BLOCK=170 CLUSTER=0)\n");
}

TEST_F(DictCommands, DescMessages) {
  EXPECT_EQ(sh.run(cmdDesc, "DESC"), "  DESC owner.tablename [partition]\n");
  EXPECT_EQ(sh.run(cmdDesc, "DESC SCOTT"), "");
  EXPECT_EQ(sh.run(cmdDesc, "DESC .EMP"), "");
  EXPECT_EQ(sh.run(cmdDesc, "DESC NOBODY.EMP"), "  USER NOBODY does not exists!\n");
  EXPECT_EQ(sh.run(cmdDesc, "DESC SCOTT.NOPE"), "  TABLE SCOTT.NOPE does not exists!\n");
  EXPECT_EQ(sh.run(cmdDesc, "DESC SCOTT.PT P9"), "  TABLE SCOTT.PT does not exists!\n");
  // An index answers too.
  EXPECT_EQ(sh.run(cmdDesc, "DESC SCOTT.EMP_PK").substr(0, 9), "\nStorage(");
}
