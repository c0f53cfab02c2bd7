#include <gtest/gtest.h>

#include <string>

#include "datafile/block_list.h"
#include "commands/datafile/datafile_commands.h"
#include "run/run_context.h"
#include "test_files.h"
#include "test_shell.h"

using namespace bex;

TEST(BlockList, SortedUniqueAndCapped) {
  BlockList l;
  for (uint32_t v : {5u, 1u, 0xFFFFFFFFu, 5u, 3u}) l.add(v);
  ASSERT_EQ(l.count, 4);
  EXPECT_EQ(l.rdba[0], 1u);
  EXPECT_EQ(l.rdba[1], 3u);
  EXPECT_EQ(l.rdba[2], 5u);
  EXPECT_EQ(l.rdba[3], 0xFFFFFFFFu);  // unsigned order
  for (uint32_t v = 100; v < 3000; v++) l.add(v);
  EXPECT_EQ(l.count, kBlockListMax);
  for (uint16_t i = 1; i < l.count; i++) ASSERT_LT(l.rdba[i - 1], l.rdba[i]);
}

TEST(CorruptCommand, AddListClearAndUsage) {
  bex::testing::TestShell sh;
  EXPECT_EQ(sh.run(cmdCorrupt, "CORRUPT RDBA 0x00400005"), "");
  EXPECT_EQ(sh.run(cmdCorrupt, "CORRUPT FILE 1 BLOCK 5"), "");
  EXPECT_EQ(sh.run(cmdCorrupt, "corrupt block 7 file 2"), "");
  EXPECT_EQ(sh.run(cmdCorrupt, "CORRUPT LIST"),
            " Corrupted Blocks List:\n  RDBA = 4194309 , FILE = 1 , BLOCK = 5\n"
            "  RDBA = 8388615 , FILE = 2 , BLOCK = 7\n");
  std::string usage =
      "  CORRUPT CLEAR \n  CORRUPT LIST \n  CORRUPT RDBA     rdba \n  CORRUPT FILE rfn BLOCK blockid \n"
      "  CORRUPT LOAD     file \n";
  EXPECT_EQ(sh.run(cmdCorrupt, "CORRUPT"), usage);
  EXPECT_EQ(sh.run(cmdCorrupt, "CORRUPT FILE 1"), usage);
  EXPECT_EQ(sh.run(cmdCorrupt, "CORRUPT RDBA"), usage);
  EXPECT_EQ(sh.run(cmdCorrupt, "CORRUPT CLEAR LIST"), " Corrupted Blocks List:\n  RDBA = 4194309 , FILE = 1 , BLOCK = 5\n"
                                                       "  RDBA = 8388615 , FILE = 2 , BLOCK = 7\n");
  EXPECT_EQ(sh.run(cmdCorrupt, "CORRUPT LIST CLEAR"), "");
  EXPECT_EQ(sh.rc.corruptList.count, 0);
}

TEST(SkipCommand, LoadFileOfHexAndDecimalLines) {
  bex::testing::TestShell sh;
  bex::testing::ScratchDir dir;
  std::string p = dir.file("skip.txt");
  FILE* f = fopen(p.c_str(), "w");
  fputs("0x00400005\n8388615\nnot a number\n0\n0X00C00001\n4194309\n", f);
  fclose(f);
  EXPECT_EQ(sh.run(cmdSkip, "SKIP LOAD " + p), "");
  EXPECT_EQ(sh.run(cmdSkip, "SKIP LIST"),
            " Skipped Blocks List:\n  RDBA = 4194309 , FILE = 1 , BLOCK = 5\n  RDBA = 8388615 , FILE = 2 , BLOCK = 7\n"
            "  RDBA = 12582913 , FILE = 3 , BLOCK = 1\n");
  EXPECT_EQ(sh.run(cmdSkip, "SKIP LOAD " + dir.file("absent")), "");
  EXPECT_EQ(sh.run(cmdSkip, "SKIP"),
            "  SKIP  CLEAR \n  SKIP  LIST \n  SKIP  RDBA     rdba \n  SKIP  FILE rfn BLOCK blockid \n"
            "  SKIP  LOAD file \n");
  EXPECT_EQ(sh.rc.corruptList.count, 0);  // the two lists are separate
}
