// The backup sets of bexforge rman (level 0 and 1 pieces, one in an ASM
// group, and damaged copies) through RMAN SCAN, RESTORE FILE and OPEN, in
// both byte orders: the listing as forged, each piece's counts, every
// restored file as the forge expects it and, for the sound set, equal to its
// original wherever the original's block was ever formatted; the files RMAN
// OPEN maps read the same bytes, and SCAN PARALLELDB reads them at once (files
// 1 and 4 share their pieces) into the listing SCAN DATABASE writes. CI runs
// this test under ThreadSanitizer too.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>

#include "commands/asm/asm_commands.h"
#include "commands/datafile/datafile_commands.h"
#include "forge_test_util.h"
#include "commands/rman/rman_commands.h"
#include "commands/scan/scan_commands.h"
#include "test_shell.h"

namespace bex {
namespace {

using forge::ByteOrder;
using forge::ScenarioOptions;
using forge_test::ExpectLine;
using forge_test::readFile;

struct Case {
  ByteOrder order;
  uint32_t blockSize;
};

std::vector<std::string> sortedLines(const forge_test::Bytes& text) {
  std::vector<std::string> lines;
  std::string line;
  for (uint8_t c : text) {
    line += static_cast<char>(c);
    if (c == '\n') lines.push_back(std::move(line)), line.clear();
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

class RmanForged : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(sd.ok) << sd.error;
    ASSERT_TRUE(getcwd(home, sizeof home));
    ASSERT_EQ(chdir(sd.dir.c_str()), 0);  // RESTORE writes into the working directory
    mkdir("BEXDICT", 0755);
    sh.rc.setBlockSize(static_cast<uint16_t>(GetParam().blockSize));
    sh.rc.bc.byteOrder = GetParam().order == ByteOrder::Big ? kBigEndian : kLittleEndian;
    sh.run(cmdAsm, "ASM OPEN rmanasm.disks");
  }
  void TearDown() override { ASSERT_EQ(chdir(home), 0); }

  static ScenarioOptions options() {
    ScenarioOptions o;
    o.order = GetParam().order;
    o.blockSize = GetParam().blockSize;
    return o;
  }
  std::vector<ExpectLine> facts(const std::string& kind, const std::string& cfg) {
    std::vector<ExpectLine> v;
    for (const ExpectLine& e : sd.expect("rman"))
      if (e.kind == kind && e.kv.at("cfg") == cfg) v.push_back(e);
    return v;
  }
  // RMAN SCAN and RESTORE FILE of every file of one configuration.
  void scanAndRestore(const std::string& cfg) {
    SCOPED_TRACE(cfg);
    sh.run(cmdOpen, "OPEN " + cfg + ".cfg");
    const std::string scan = sh.run(cmdRman, "RMAN SCAN");
    EXPECT_EQ(readFile("BEXDICT/BEXRMAN.TXT"), readFile(cfg + ".BEXRMAN.TXT"));
    for (const ExpectLine& p : facts("rmanpiece", cfg)) {
      const uint64_t blocks = p.num("blocks"), runBlocks = p.num("runblocks"), tail = p.num("tail");
      std::string line = ": runs " + p.kv.at("runs") + ", blocks in runs " + std::to_string(runBlocks) +
                         ", other blocks " + std::to_string(blocks - runBlocks);
      if (tail) line += ", bytes after the last whole block " + std::to_string(tail);
      const size_t at = scan.find("  Slot " + p.addr + " ");
      ASSERT_NE(at, std::string::npos) << scan;
      EXPECT_EQ(scan.substr(scan.find(": ", at), line.size() + 1), line + "\n") << scan;
    }
    for (const ExpectLine& f : facts("rmanfile", cfg)) {
      const std::string name = "RMAN_" + f.addr + ".DBF";
      const std::string out = sh.run(cmdRman, "RMAN RESTORE FILE " + f.addr);
      EXPECT_NE(out.find(name + ": blocks restored " + f.kv.at("restored") + ", filler blocks " + f.kv.at("filler") +
                         ", unreadable blocks 0\n"),
                std::string::npos)
          << out;
      if (f.num("several")) {
        EXPECT_NE(out.find("  Blocks held by several pieces " + f.kv.at("several") +
                           ": the copy with the highest SCN taken, for " + f.kv.at("newer") +
                           " of them not the one listed last\n"),
                  std::string::npos)
            << out;
      }
      EXPECT_TRUE(readFile(name) == readFile(f.kv.at("image"))) << name;
    }
  }

  forge_test::ScenarioDir sd{"rman", options(), std::to_string(GetParam().blockSize)};
  testing::TestShell sh;
  char home[4096];
};

TEST_P(RmanForged, ScanRestoreAndOpenGiveTheBlocksAsBackedUp) {
  scanAndRestore("rman");
  // Wherever an original's block was ever formatted, the restored file
  // holds it as the original does (the newest version); elsewhere zeros.
  const uint32_t bs = GetParam().blockSize;
  std::vector<ExpectLine> originals;
  for (const char* s : {"dict", "rman"})
    for (const ExpectLine& e : sd.expect(s))
      if (e.kind == "file") originals.push_back(e);
  ASSERT_EQ(originals.size(), 3u);
  for (const ExpectLine& o : originals) {
    const forge_test::Bytes original = readFile(o.kv.at("name"));
    const forge_test::Bytes restored = readFile("RMAN_" + std::to_string(o.num("rfn") + 1) + ".DBF");
    for (uint64_t n = 1; (n + 1) * bs + o.num("hsize") <= original.size(); n++) {
      const uint8_t* want = original.data() + o.num("hsize") + n * bs;
      const bool held = (n + 1) * bs <= restored.size();
      if (want[0] != 0) {
        ASSERT_TRUE(held && memcmp(restored.data() + n * bs, want, bs) == 0) << o.kv.at("name") << " block " << n;
      } else if (held) {
        ASSERT_EQ(std::count(restored.begin() + n * bs, restored.begin() + (n + 1) * bs, 0), bs) << n;
      }
    }
  }
  // RMAN OPEN: every listed file as a slot reading from the pieces.
  sh.run(cmdOpen, "OPEN rman.cfg");
  sh.run(cmdRman, "RMAN SCAN");
  sh.run(cmdRman, "RMAN OPEN");
  const std::vector<ExpectLine> files = facts("rmanfile", "rman");
  ASSERT_EQ(sh.rc.registry.count, files.size());
  for (uint32_t i = 0; i < files.size(); i++) {
    const DataFile& f = sh.rc.registry.slots[i];
    EXPECT_EQ(std::string(f.path), "RMAN FILE " + files[i].addr);
    const forge_test::Bytes want = readFile(files[i].kv.at("image"));
    forge_test::Bytes got(want.size() + bs);
    const ReadResult r = f.source->read(0, got.data(), got.size());
    EXPECT_FALSE(r.error);
    ASSERT_EQ(r.bytes, want.size());
    EXPECT_EQ(memcmp(got.data(), want.data(), want.size()), 0) << f.path;
  }
  ASSERT_TRUE(scanDatabase(sh.rc.bc, sh.rc.dictDir).failed.empty());
  const forge_test::Bytes one = readFile("BEXDICT/BEXEXT.TXT");
  EXPECT_GT(one.size(), 0u);
  sh.rc.report.begin("scan");
  scanParallel(sh.rc.bc, sh.rc.dictDir, sh.out);
  EXPECT_EQ(sortedLines(readFile("BEXDICT/BEXEXT.TXT")), sortedLines(one));
  EXPECT_EQ(sh.rc.report.entry().workers(), std::min<uint32_t>(4, sh.rc.registry.count));
  EXPECT_GT(sh.rc.report.entry().workers(), 1u);
  EXPECT_EQ(sh.rc.report.entry().chunks, sh.rc.registry.count);
  for (const ExpectLine& f : files) std::remove(("RMAN_" + f.addr + ".DBF").c_str());
  sh.run(cmdOpen, "OPEN rman_damaged.cfg");
  scanAndRestore("rman_damaged");
}

INSTANTIATE_TEST_SUITE_P(Orders, RmanForged,
                         ::testing::Values(Case{ByteOrder::Little, 8192}, Case{ByteOrder::Big, 4096}));

}  // namespace
}  // namespace bex
