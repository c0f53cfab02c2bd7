// SCAN PARALLELDB over data files that all live in one ASM disk group: four
// workers read their "+n" slots through the same disks at once. The merged
// listing must equal the one-thread scan's; built with -fsanitize=thread
// (BEX_TSAN) this test is the proof that ASM reads need no lock.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "commands/asm/asm_commands.h"
#include "commands/datafile/datafile_commands.h"
#include "commands/scan/scan_commands.h"
#include "asm_image.h"
#include "test_files.h"
#include "test_shell.h"

namespace bex {
namespace {

using testing::AsmImage;
using testing::AsmImageSpec;
using testing::ScratchDir;

// A data file of rfn: its header, then table blocks of a few objects.
std::vector<uint8_t> dataFile(uint32_t rfn, uint32_t blocks) {
  std::vector<uint8_t> out;
  for (uint32_t b = 0; b < blocks; b++) {
    std::vector<uint8_t> blk = b == 1 ? testing::makeFileHeader(8192, rfn, rfn, 8192)
                                      : testing::makeBlock(8192, 6, (rfn << 22) | b);
    if (b > 1) {
      testing::put32(&blk[24], 1000 + rfn * 10 + b / 37, false);  // runs of one object
      blk[20] = 1;
      testing::sealBlock(blk);
    }
    out.insert(out.end(), blk.begin(), blk.end());
  }
  return out;
}

TEST(AsmParallel, FourWorkersReadOneGroup) {
  for (uint8_t type : {1, 2}) {
    ScratchDir dir;
    AsmImageSpec shape;
    shape.groupType = type;
    shape.ausPerDisk = 300;
    AsmImage img(dir.path(), shape);
    for (uint32_t n = 2; n <= 9; n++) img.addFile(n, dataFile(n, 150 + 20 * n));
    std::string list = img.write();
    std::string cfg = dir.file("asm.cfg");
    FILE* f = fopen(cfg.c_str(), "w");
    for (uint32_t n = 2; n <= 9; n++) fprintf(f, "+%u\n", n);
    fclose(f);

    testing::TestShell sh(dir.path());
    sh.run(cmdAsm, "ASM OPEN " + list);
    std::string opened = sh.run(cmdOpen, "OPEN " + cfg);
    ASSERT_NE(opened.find("Y    9    9 a2   8192        329"), std::string::npos) << opened;
    sh.rc.report.begin("scan");
    ScanResult one = scanDatabase(sh.rc.bc, sh.rc.dictDir);
    ASSERT_TRUE(one.failed.empty());
    EXPECT_EQ(sh.rc.report.entry().workers(), 1u);
    EXPECT_EQ(sh.rc.report.entry().chunks, 0u);
    std::string serial = testing::fileText(dir.file("BEXEXT.TXT"));
    EXPECT_GT(std::count(serial.begin(), serial.end(), '\n'), 40);
    for (int round = 0; round < 3; round++) {
      StringSink out;
      sh.rc.report.begin("scan");
      scanParallel(sh.rc.bc, sh.rc.dictDir, out);
      EXPECT_EQ(out.str(), "");
      // Every worker scanned its slots: the eight files, two each.
      EXPECT_EQ(sh.rc.report.entry().workers(), 4u);
      EXPECT_EQ(sh.rc.report.entry().chunks, 8u);
      std::string merged = testing::fileText(dir.file("BEXEXT.TXT"));
      // Workers take slots by index modulo 4: the lines are the same, grouped by worker.
      std::vector<std::string> a, b;
      std::stringstream sa(serial), sb(merged);
      for (std::string l; std::getline(sa, l);) a.push_back(l);
      for (std::string l; std::getline(sb, l);) b.push_back(l);
      std::sort(a.begin(), a.end());
      std::sort(b.begin(), b.end());
      EXPECT_EQ(a, b);
    }
  }
}

}  // namespace
}  // namespace bex
