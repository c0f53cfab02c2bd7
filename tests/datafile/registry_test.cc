#include <gtest/gtest.h>

#include <string>

#include "datafile/block_reader.h"
#include "commands/datafile/datafile_commands.h"
#include "run/run_context.h"
#include "test_files.h"
#include "test_shell.h"

using namespace bex;
using namespace bex::testing;

namespace {

struct Shell : bex::testing::TestShell {
  ScratchDir dir;
  std::string config(const std::string& text, const std::string& name = "files.txt") {
    std::string p = dir.file(name);
    FILE* f = fopen(p.c_str(), "w");
    fputs(text.c_str(), f);
    fclose(f);
    return p;
  }
};

const char* kHeading =
    "*  ts#  rfn ver bsize     blocks   sizemb hsize filename\n"
    "- ---- ---- --- ----- ---------- -------- ----- -----------------------------------\n";

std::vector<std::vector<uint8_t>> dataFile(uint32_t rfn, uint32_t ts, uint32_t count, uint32_t bs = 8192,
                                           uint32_t headerBs = 8192) {
  std::vector<std::vector<uint8_t>> blocks;
  blocks.push_back(std::vector<uint8_t>(bs, 0));
  blocks.push_back(makeFileHeader(bs, rfn, ts, headerBs));
  for (uint32_t b = 2; b < count; b++) blocks.push_back(makeBlock(bs, 0x06, makeRdba(rfn, b)));
  return blocks;
}

}  // namespace

TEST(Open, ListsProbedFilesCommentsBlanksMissingAndDuplicates) {
  Shell sh;
  std::string a = sh.dir.write("a.dbf", dataFile(4, 7, 256));
  std::string b = sh.dir.write("b.dbf", dataFile(4, 9, 128));
  std::string c = sh.dir.write("c.dbf", dataFile(5, 9, 64), 4096);
  std::string cfg = sh.config("# the files of PROD\n\n   \n" + a + "\n" + sh.dir.file("missing.dbf") + "\n" + b +
                              "  \n   " + c + " 4096 trailing words\n");
  std::string out = sh.run(cmdOpen, "OPEN " + cfg);
  EXPECT_EQ(out, "Cannot open file : " + sh.dir.file("missing.dbf") + " \n" + kHeading +
                     "Y    7    4 a2   8192        255        2     0 " + a + "\n" +
                     "N    0    2 00      0          0        0     0 " + sh.dir.file("missing.dbf") + "\n" +
                     "Y    9    4 a2   8192        127        1     0 " + b + "\n" +
                     "Y    9    5 a2   8192         63        0  4096 " + c + "\n");
  // rfn 4 is held by a.dbf and b.dbf: the later line wins.
  EXPECT_EQ(lookupFile(sh.rc.bc, 4), 2);
  EXPECT_EQ(lookupFile(sh.rc.bc, 5), 3);
  EXPECT_EQ(lookupFile(sh.rc.bc, 2), 1);  // the unopenable slot keeps its line position
  EXPECT_EQ(lookupFile(sh.rc.bc, 3), -1);
  ASSERT_EQ(ReadBlock(sh.rc.bc, 4, 100), 8192u);
  EXPECT_EQ(ReadBlock(sh.rc.bc, 4, 200), 0u);  // b.dbf has only 128 blocks
  EXPECT_EQ(ReadBlock(sh.rc.bc, 2, 1), 0u);
}

TEST(Open, OnlyCommentsEmptyTheRegistryAndMissingConfigKeepsIt) {
  Shell sh;
  std::string a = sh.dir.write("a.dbf", dataFile(1, 0, 16));
  sh.run(cmdOpen, "OPEN " + sh.config(a + "\n"));
  EXPECT_EQ(sh.run(cmdOpen, "OPEN " + sh.dir.file("nothing-here.txt")), "");
  EXPECT_EQ(sh.rc.registry.count, 1u);
  EXPECT_EQ(sh.run(cmdOpen, "OPEN " + sh.config("# only\n\n")), kHeading);
  EXPECT_EQ(sh.rc.registry.count, 0u);
  EXPECT_EQ(sh.run(cmdOpen, "OPEN"), "");
}

TEST(Open, ConfigurationNameMayHoldBlanks) {
  Shell sh;
  std::string a = sh.dir.write("a.dbf", dataFile(1, 0, 16));
  std::string cfg = sh.config(a + "\n", "my files.txt");
  std::string out = sh.run(cmdOpen, "OPEN " + cfg);
  EXPECT_NE(out.find(a), std::string::npos);
}

TEST(Open, CapsAt1023FilesAnd512CharacterPaths) {
  Shell sh;
  std::string text;
  for (int i = 0; i < 1100; i++) text += "/nonexistent/f" + std::to_string(i) + "\n";
  DataFileRegistry& reg = sh.rc.registry;
  FILE* f = fmemopen(text.data(), text.size(), "r");
  char line[1024];
  while (fgets(line, sizeof line, f)) parseConfigLine(reg, line);
  fclose(f);
  EXPECT_EQ(reg.count, 1023u);
  EXPECT_STREQ(reg.slots[1022].path, "/nonexistent/f1022");
  reg.clear();
  std::string longPath(600, 'p');
  EXPECT_TRUE(parseConfigLine(reg, (longPath + " 8192\n").c_str()));
  EXPECT_EQ(std::string(reg.slots[0].path), longPath.substr(0, 512));
  EXPECT_EQ(reg.slots[0].headerSize, 8192u);
  EXPECT_TRUE(parseConfigLine(reg, "+263\n"));
  EXPECT_TRUE(parseConfigLine(reg, "x.dbf abc\n"));
  EXPECT_EQ(reg.slots[2].headerSize, 0u);
  EXPECT_EQ(reg.slots[2].rfn, 3);
  EXPECT_FALSE(parseConfigLine(reg, "  # comment\n"));
}

TEST(Probe, HeaderOfAnotherBlockSizeAndDataBlockFirst) {
  Shell sh;
  // Header claims 16384 while the run reads 8192: bsize 8192, ts# 0.
  std::string a = sh.dir.write("a.dbf", dataFile(3, 6, 32, 8192, 16384));
  // No valid header: the first good block is a data block of file 9.
  auto blocks = dataFile(9, 2, 32);
  blocks[1][100] ^= 0xFF;  // header fails its checksum
  std::string b = sh.dir.write("b.dbf", blocks);
  std::string out = sh.run(cmdOpen, "OPEN " + sh.config(a + "\n" + b + "\n"));
  EXPECT_NE(out.find("Y    0    3 a2   8192         31        0     0 " + a), std::string::npos) << out;
  EXPECT_NE(out.find("Y    0    9 a2   8192         31        0     0 " + b), std::string::npos) << out;
  EXPECT_GT(sh.rc.bc.counters->BadBlockCount, 0u);
}

TEST(Probe, FormatsPlaceTheTablespaceNumber) {
  for (uint8_t fmt : {uint8_t{0x02}, uint8_t{0xa2}, uint8_t{0xc2}, uint8_t{0x22}}) {
    Shell sh;
    auto blocks = dataFile(2, 0, 8);
    blocks[1] = makeFileHeader(8192, 2, 11, 8192, false, fmt);
    std::string a = sh.dir.write("a.dbf", blocks);
    std::string out = sh.run(cmdOpen, "OPEN " + sh.config(a + "\n"));
    char expected[64];
    snprintf(expected, sizeof expected, "Y   11    2 %02x   8192          7", fmt);
    EXPECT_NE(out.find(expected), std::string::npos) << out;
  }
}

TEST(Check, ReprobesWithTheCurrentSettings) {
  Shell sh;
  std::string a = sh.dir.write("a.dbf", dataFile(3, 6, 32));
  sh.run(cmdOpen, "OPEN " + sh.config(a + "\n"));
  sh.rc.setBlockSize(4096);
  std::string out = sh.run(cmdCheck, "CHECK");
  // 4 KB blocks: block 1 is the zero second half of the OS block; block 2,
  // the first half of the header, is accepted by its type, but its block
  // size field says 8192: bsize follows the setting and ts# is 0.
  EXPECT_NE(out.find("Y    0    3 a2   4096         63        0     0 " + a), std::string::npos) << out;
  sh.rc.setBlockSize(8192);
  sh.rc.bc.byteOrder = 1;
  out = sh.run(cmdCheck, "CHECK");
  // Read big-endian, the header's rdba names file 4 and its block size field
  // is no longer 8192.
  EXPECT_NE(out.find("Y    0    4 a2   8192         31"), std::string::npos) << out;
  sh.rc.bc.byteOrder = 0;
  out = sh.run(cmdCheck, "CHECK");
  EXPECT_NE(out.find("Y    6    3 a2   8192         31"), std::string::npos) << out;
}

TEST(Probe, BigEndianFiles) {
  Shell sh;
  std::vector<std::vector<uint8_t>> blocks;
  blocks.push_back(std::vector<uint8_t>(8192, 0));
  blocks.push_back(makeFileHeader(8192, 12, 5, 8192, true));
  for (uint32_t b = 2; b < 10; b++) blocks.push_back(makeBlock(8192, 0x06, makeRdba(12, b), true));
  std::string a = sh.dir.write("be.dbf", blocks);
  sh.rc.bc.byteOrder = 1;
  std::string out = sh.run(cmdOpen, "OPEN " + sh.config(a + "\n"));
  EXPECT_NE(out.find("Y    5   12 a2   8192          9        0     0 " + a), std::string::npos) << out;
  ASSERT_EQ(ReadBlock(sh.rc.bc, 12, 9), 8192u);
}

namespace {

// A storage of its own for paths beginning "mem:": what it was asked to open.
struct NamedStorage final : Storage {
  std::vector<std::string> opened;
  bool names(const char* path) const override { return std::string(path).rfind("mem:", 0) == 0; }
  std::unique_ptr<ByteSource> open(const char* path, Sink&) override {
    opened.push_back(path);
    return nullptr;
  }
};

TEST(SourceOpener, APathGoesToTheFirstStorageThatNamesItAndAPathNoneNamesIsAPlainFile) {
  NamedStorage first, second;
  SourceOpener opener{&first, &second};
  DataFileRegistry reg;
  ScratchDir dir;
  ASSERT_TRUE(addSlot(reg, "mem:a", 0));
  ASSERT_TRUE(addSlot(reg, dir.file("missing.dbf"), 0));
  StringSink out;
  openSlots(reg, opener, out);
  EXPECT_EQ(first.opened, std::vector<std::string>{"mem:a"});
  EXPECT_TRUE(second.opened.empty());
  EXPECT_EQ(out.str(), "Cannot open file : " + dir.file("missing.dbf") + " \n");
  EXPECT_FALSE(opener.namesPlainFile("mem:b"));
}

}  // namespace
