// Every ASM file of the forged groups (bexforge asm, asmnormal, asmhigh,
// asmvar) read through the byte source a "+n" slot gets equals its original
// byte for byte, in both metadata byte orders, AUs of 1, 4 and 8 MB and 1
// to 4 disks; with NORMAL and HIGH redundancy while disk 0 is missing. The
// extents the forge left without an AU fail to read and nothing else does.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "commands/asm/asm_commands.h"
#include "asm/asm_file.h"
#include "commands/datafile/datafile_commands.h"
#include "forge_test_util.h"
#include "commands/scan/scan_commands.h"
#include "test_shell.h"

namespace bex {
namespace {

using forge::ByteOrder;
using forge::ScenarioOptions;

struct Case {
  const char* scenario;
  ByteOrder order;
  uint32_t auMb, disks;
};

// The case as it shows in the test names: its fields, never the address of its text.
void PrintTo(const Case& c, std::ostream* os) {
  *os << c.scenario << (c.order == ByteOrder::Big ? "_big" : "_little") << "_au" << c.auMb << "_disks" << c.disks;
}

class AsmForged : public ::testing::TestWithParam<Case> {};

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

TEST_P(AsmForged, EveryFileEqualsItsOriginal) {
  Case c = GetParam();
  ScenarioOptions o;
  o.order = c.order;
  o.auSize = c.auMb << 20;
  o.disks = c.disks;
  forge_test::ScenarioDir sd(c.scenario, o, std::to_string(c.auMb) + "-" + std::to_string(c.disks));
  ASSERT_TRUE(sd.ok) << sd.error;
  char here[4096];
  ASSERT_TRUE(getcwd(here, sizeof here));
  ASSERT_EQ(chdir(sd.dir.c_str()), 0);  // the disk lists name the images relative to it

  AsmContext ctx;
  StringSink out;
  OpenDiskList(ctx.group, (std::string(c.scenario) + ".disks").c_str(), out);
  if (std::string(c.scenario) == "asmvar") {  // its variable extent table, as its road sets it
    ctx.group.levels[0] = {20000, 1};
    ctx.group.levels[1] = {40000, 4};
  }
  std::map<uint32_t, std::set<uint32_t>> holes;
  uint32_t files = 0;
  for (const forge_test::ExpectLine& e : sd.expect(c.scenario))
    if (e.kind == "asmhole") holes[std::stoul(e.addr)].insert(e.num("extent"));
  for (const forge_test::ExpectLine& e : sd.expect(c.scenario)) {
    if (e.kind != "asmfile" || e.num("striped")) continue;
    uint32_t n = std::stoul(e.addr);
    std::vector<uint8_t> want = readFile(e.kv.at("name"));
    std::unique_ptr<ByteSource> src = openAsmFile(ctx, n);
    ASSERT_TRUE(src) << "file " << n << "\n" << out.str();
    EXPECT_EQ(src->size(), want.size()) << "file " << n;
    uint64_t au = ctx.group.auSize;
    std::vector<uint8_t> got(au);
    for (uint64_t pos = 0; pos < want.size(); pos += au) {
      size_t len = std::min<uint64_t>(au, want.size() - pos);
      ReadResult r = src->read(pos, got.data(), len);
      AsmExtentSpot s = mapAu(ctx.group, pos / au);
      if (holes[n].count(s.extent + 1)) {
        EXPECT_TRUE(r.error) << "file " << n << " extent " << s.extent + 1;
        continue;
      }
      ASSERT_EQ(r.bytes, len) << "file " << n << " at " << pos;
      ASSERT_EQ(memcmp(got.data(), want.data() + pos, len), 0) << "file " << n << " at " << pos;
    }
    files++;
  }
  EXPECT_GE(files, 2u);
  ASSERT_EQ(chdir(here), 0);
}

// The hole file of asmvar ("+257": 200 blocks, one an AU; extent 3 has no
// AU and extents 101 to 120 are in no indirect block) counts the blocks its
// directory entry gives, and SCAN DATABASE walks past both holes to its
// last block: the blocks it could not read are counted, not its end, and
// no run of the listing spans them.
TEST(AsmForgedHoles, ScanGoesPastHolesToTheSizeTheDirectoryGives) {
  forge_test::ScenarioDir sd("asmvar", ScenarioOptions{}, "-holes");
  ASSERT_TRUE(sd.ok) << sd.error;
  char here[4096];
  ASSERT_TRUE(getcwd(here, sizeof here));
  ASSERT_EQ(chdir(sd.dir.c_str()), 0);
  {
    std::ofstream("holes.cfg") << "+257\n";
    testing::TestShell sh(sd.dir.string());
    sh.run(cmdAsm, "ASM OPEN asmvar.disks");
    sh.run(cmdAsm, "ASM EXTENT LEVEL 1 AU 20000 COUNT 1");
    sh.run(cmdAsm, "ASM EXTENT LEVEL 2 AU 40000 COUNT 4");
    std::string opened = sh.run(cmdOpen, "OPEN holes.cfg");
    EXPECT_EQ(sh.rc.registry.slots[0].blocks, 199u) << opened;
    sh.run(cmdScan, "SCAN DATABASE");
    std::ifstream ext(sd.dir / "BEXEXT.TXT");
    uint64_t listed = 0, last = 0;
    for (std::string line; std::getline(ext, line);) {
      unsigned objd, rfn, first, count;
      ASSERT_EQ(sscanf(line.c_str(), "%u,%u,%u,%u,", &objd, &rfn, &first, &count), 4) << line;
      if (objd != 95002) continue;
      listed += count;
      last = std::max<uint64_t>(last, first + count - 1);
      EXPECT_TRUE(first + count <= 100 || first >= 120) << "a run across the hole: " << line;
    }
    EXPECT_EQ(last, 199u);
    EXPECT_EQ(listed, 198u - 21u);
    EXPECT_EQ(sh.rc.report.entry().unreadable.blocks, 21u);
  }
  ASSERT_EQ(chdir(here), 0);
}

INSTANTIATE_TEST_SUITE_P(Groups, AsmForged,
                         ::testing::Values(Case{"asm", ByteOrder::Little, 1, 2}, Case{"asm", ByteOrder::Big, 4, 3},
                                           Case{"asm", ByteOrder::Little, 8, 4}, Case{"asm", ByteOrder::Big, 1, 1},
                                           Case{"asmnormal", ByteOrder::Little, 1, 3},
                                           Case{"asmhigh", ByteOrder::Big, 4, 4},
                                           Case{"asmvar", ByteOrder::Little, 0, 2}));

}  // namespace
}  // namespace bex
