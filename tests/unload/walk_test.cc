// The block walkers on real Oracle blocks, on forged files in both byte
// orders and block sizes, and on damaged copies of them.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "../block/real_blocks.h"
#include "base/rdba.h"
#include "block/block_header.h"
#include "block/index_block.h"
#include "forge/forge_file.h"
#include "forge/index_block.h"
#include "forge/values.h"
#include "unload/chain_guard.h"
#include "unload/damage.h"
#include "unload_test_util.h"

using namespace bex;
using bex::testing::ScratchDir;
using bex::testing::UnloadShell;

namespace {

std::string hexUpper(const bex::testing::Bytes& b) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (uint8_t c : b) s += kDigits[c >> 4], s += kDigits[c & 15];
  return s;
}

// Writes block into file rfn at block 5 (behind a file header) and opens it.
void openBlockFile(UnloadShell& sh, const ScratchDir& dir, const bex::testing::Bytes& block, uint16_t rfn,
                   bool big, bool bigfile = false) {
  forge::FileSpec cs;
  cs.name = dir.file("real.dbf");
  cs.rfn = rfn;
  cs.bigfile = bigfile;
  if (bigfile) sh.statement("SET BIGFILE YES");
  cs.order = big ? forge::ByteOrder::Big : forge::ByteOrder::Little;
  cs.blocks = 8;
  forge::ForgeFile f(cs);
  forge::ForgeBlock b(8192, cs.order);
  b.putBytes(0, block);
  f.addBlock(5, b);
  std::string expect, error;
  ASSERT_TRUE(f.write(cs.name, expect, error)) << error;
  std::ofstream(dir.file("real.cfg")) << cs.name << "\n";
  if (big) sh.statement("SET BYTE_ORDER BIG");
  sh.statement("OPEN " + dir.file("real.cfg"));
}

// The rows Oracle's trace shows as unloadable, each column as hexadecimal.
// The trace shows no columns for deleted rows (their bytes stay in the
// block): those lines are "*" and match any row.
std::vector<std::string> traceRows(const std::vector<bex::testing::TraceRow>& rows, bool deleted) {
  std::vector<std::string> out;
  for (const auto& r : rows) {
    if (r.fb.find('H') == std::string::npos || (!deleted && r.fb.find('D') != std::string::npos)) continue;
    std::string s = r.cc < 0 ? "*" : "";
    for (size_t i = 0; i < r.cols.size(); i++) s += (i ? "|" : "") + (r.nulls[i] ? std::string() : hexUpper(r.cols[i]));
    out.push_back(s);
  }
  return out;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  for (size_t p = 0, e; (e = text.find("\r\n", p)) != std::string::npos; p = e + 2) out.push_back(text.substr(p, e - p));
  return out;
}

// The rows part of a console unload: between the date line and the summary.
std::string rowsOf(const std::string& out) {
  size_t start = out.find('\n') + 1;
  size_t end = out.find("Sucessfully unload");
  return out.substr(start, end - start);
}

}  // namespace

TEST(RealBlocks, RowsAndColumnBytesAsOraclesTraceShowsThem) {
  for (const auto& rb : bex::testing::kRealTableBlocks) {
    if (!rb.hasTrace) continue;
    const std::string base = bex::testing::blockDumpDir() + rb.name;
    bex::testing::Bytes le;
    if (!bex::testing::readFile(base + ".blk", le)) GTEST_SKIP() << "real data not found in " << base;
    const auto trace = bex::testing::readTraceRows(base + ".trc.txt");
    const BlockView v{le.data(), static_cast<uint32_t>(le.size()), 0};
    const uint32_t objd = txnSegObj(v), rfn = rdbaFile(blockRdba(v));
    for (bool big : {false, true}) {
      for (bool deleted : {false, true}) {
        ScratchDir dir;
        UnloadShell sh;
        openBlockFile(sh, dir, big ? bex::testing::toBigEndian(le) : le, static_cast<uint16_t>(rfn), big);
        sh.statement(deleted ? "SET DELETED_ROW TRUE" : "SET DELETED_ROW FALSE");
        std::string cmd = "UNLOAD OBJECT " + std::to_string(objd) + " FILE " + std::to_string(rfn) + " BLOCK 5";
        for (int i = 0; i < 8; i++) cmd += " COLUMN RAW";
        const std::vector<std::string> got = lines(rowsOf(sh.statement(cmd)));
        const std::vector<std::string> want = traceRows(trace, deleted);
        ASSERT_EQ(got.size(), want.size()) << rb.name << (big ? " big-endian" : "") << (deleted ? " deleted" : "");
        for (size_t i = 0; i < got.size(); i++) {
          if (want[i] != "*") {
            EXPECT_EQ(got[i], want[i]) << rb.name << " row " << i;
          }
        }
      }
    }
  }
}

TEST(RealBlocks, ScottDeletedGivesAllFourteenRowsWithDeletedRowOn) {
  const std::string base = bex::testing::blockDumpDir() + "11203_i686_f4b13171_scott_deleted";
  bex::testing::Bytes le;
  if (!bex::testing::readFile(base + ".blk", le)) GTEST_SKIP() << "real data not found in " << base;
  ScratchDir dir;
  UnloadShell sh;
  openBlockFile(sh, dir, le, 4, false);
  const std::string cols = " COLUMN NUMBER COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN NUMBER COLUMN DATE"
                           " COLUMN NUMBER COLUMN NUMBER COLUMN NUMBER";
  std::string live = sh.statement("UNLOAD OBJECT 77707 FILE 4 BLOCK 5" + cols);
  EXPECT_NE(live.find("Sucessfully unload 2 rows"), std::string::npos) << live;
  sh.statement("SET DELETED_ROW TRUE");
  std::string all = sh.statement("UNLOAD OBJECT 77707 FILE 4 BLOCK 5" + cols);
  EXPECT_NE(all.find("Sucessfully unload 14 rows"), std::string::npos) << all;
  EXPECT_NE(all.find("7839|KING|PRESIDENT||1981-11-17 00:00:00|5000||10\r\n"), std::string::npos) << all;
}

// Bigfile blocks carry the whole block number in their rdba; an encrypted
// column comes out as its stored bytes.
TEST(RealBlocks, BigfileTablespaceRows) {
  const std::string dirName = bex::testing::blockDumpDir();
  bex::testing::Bytes clear, encrypted;
  if (!bex::testing::readFile(dirName + "23ai_free_f7b790_capdata_clear.blk", clear) ||
      !bex::testing::readFile(dirName + "23ai_free_f7b781_tde_encrypted_cols.blk", encrypted))
    GTEST_SKIP() << "real data not found in " << dirName;
  {
    ScratchDir dir;
    UnloadShell sh;
    openBlockFile(sh, dir, clear, 7, false, true);
    const std::string objd = std::to_string(txnSegObj(BlockView{clear.data(), 8192, 0}));
    const std::string out =
        sh.statement("UNLOAD OBJECT " + objd + " BLOCK 5 COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN NUMBER");
    EXPECT_EQ(rowsOf(out), "Capdata|SA|9 rue de la porte de Buc Versailles|78000\r\n");
  }
  ScratchDir dir;
  UnloadShell sh;
  openBlockFile(sh, dir, encrypted, 7, false, true);
  const std::string objd = std::to_string(txnSegObj(BlockView{encrypted.data(), 8192, 0}));
  const std::string out = sh.statement("UNLOAD OBJECT " + objd + " BLOCK 5 COLUMN VARCHAR2 COLUMN RAW COLUMN RAW");
  EXPECT_NE(out.find("Sucessfully unload 1 rows"), std::string::npos) << out;
}

TEST(ChainGuard, FindsEveryLoopAndNeverAChainWithoutOne) {
  for (uint32_t prefix = 0; prefix < 20; prefix++) {
    for (uint32_t loop = 1; loop < 40; loop++) {
      ChainGuard g(1u << 30);
      uint32_t steps = 0;
      for (;; steps++) {
        uint32_t i = steps < prefix ? steps : prefix + (steps - prefix) % loop;
        if (g.loops(RowAddress{1000 + i, static_cast<uint16_t>(i)})) break;
        ASSERT_LT(steps, 4 * (prefix + loop) + 4);
      }
      EXPECT_GE(steps, prefix + loop);  // every piece before the repeat was taken
    }
  }
  ChainGuard g(1u << 30);
  for (uint32_t i = 0; i < 100000; i++) ASSERT_FALSE(g.loops(RowAddress{i, 1}));
  EXPECT_TRUE(ChainGuard(5).tooLong(6));
  EXPECT_FALSE(ChainGuard(5).tooLong(5));
}

// Every table of the forged scenario in the other byte order and in 2 KB
// and 32 KB blocks gives the same rows as in the default files.
TEST(ForgedTables, SameRowsInBothByteOrdersAndOtherBlockSizes) {
  struct Case {
    const char* objd;
    const char* columns;
    const char* expected;
  };
  const Case cases[] = {
      {"81001", "NUMBER VARCHAR2 VARCHAR2 DATE NUMBER", "81001"},
      {"81010", "NUMBER VARCHAR2 DATE NUMBER", "81010"},
      {"81020", "NUMBER VARCHAR2 NUMBER", "81020"},
      {"81040", "VARCHAR2 NUMBER VARCHAR2 NUMBER", "81040"},
      {"81050", "NUMBER VARCHAR2 DATE NUMBER", "81050"},
  };
  for (bool big : {false, true}) {
    for (uint32_t blockSize : {8192u, 4096u, 32768u}) {
      ScratchDir dir;
      ASSERT_TRUE(bex::testing::forgeScenario("unload", dir.path, big, blockSize));
      UnloadShell sh;
      if (big) sh.statement("SET BYTE_ORDER BIG");
      if (blockSize != 8192) sh.statement("SET BLOCK_SIZE " + std::to_string(blockSize));
      sh.statement("OPEN " + dir.file("unload.cfg"));
      for (const Case& c : cases) {
        std::string cmd = std::string("UNLOAD OBJECT ") + c.objd;
        std::istringstream words(c.columns);
        for (std::string w; words >> w;) cmd += " COLUMN " + w;
        const std::string out = dir.file(std::string("o") + c.objd + ".txt");
        sh.statement(cmd + " TO " + out);
        EXPECT_EQ(bex::testing::readWhole(out),
                  bex::testing::readWhole(dir.file(std::string("unload.") + c.expected + ".txt")))
            << c.objd << (big ? " big-endian " : " ") << blockSize;
      }
    }
  }
}

// Damaged copies of the forged file: random bytes changed in the blocks of
// the tables. Every unload ends, and nothing is read outside a buffer.
TEST(ForgedTables, DamagedBlocksNeverStopTheWalk) {
  ScratchDir dir;
  ASSERT_TRUE(bex::testing::forgeScenario("unload", dir.path));
  const std::string good = bex::testing::readWhole(dir.file("u07.dbf"));
  std::mt19937 rng(20261208);
  const char* const unloads[] = {
      "UNLOAD OBJECT 81001 COLUMN NUMBER COLUMN VARCHAR2 TO o.txt",
      "UNLOAD OBJECT 81010 COLUMN NUMBER COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER TO o.txt",
      "UNLOAD OBJECT 81020 COLUMN NUMBER",
      "UNLOAD OBJECT 81030 CLUSTER 1 COLUMN NUMBER COLUMN VARCHAR2 COLUMN NUMBER TO o.txt",
      "UNLOAD OBJECT 81040 COLUMN VARCHAR2 TO o.txt",
      "UNLOAD OBJECT 81050 COLUMN NUMBER COLUMN VARCHAR2 TO o.txt",
      "UNLOAD OBJECT 81003 EXTENT unload.ext TO o.txt",
  };
  UnloadShell sh;
  ASSERT_EQ(chdir(dir.path.c_str()), 0);
  for (int round = 0; round < 60; round++) {
    std::string bad = good;
    const uint32_t flips = 1 + rng() % 60;
    for (uint32_t i = 0; i < flips; i++) {
      // Blocks 10 to 85 hold the headers, maps and table blocks.
      const size_t at = 8192 * (10 + rng() % 76) + rng() % 8192;
      bad[at] = static_cast<char>(rng() % 4 == 0 ? 0xFF : rng());
    }
    std::ofstream("u07.dbf", std::ios::binary | std::ios::trunc) << bad;
    sh.statement("OPEN unload.cfg");
    for (const char* u : unloads) {
      std::string out = sh.statement(u);
      ASSERT_NE(out.find("Sucessfully unload"), std::string::npos) << u << "\n" << out;
    }
  }
  ASSERT_EQ(chdir("/"), 0);
}

// Damage the walkers pass over is counted per unload and summed up in one
// line after it; VERBOSE names every place.
namespace {

using bex::testing::Bytes;
using bex::testing::TransBlock;

constexpr uint32_t kDamageObjd = 91000;
constexpr uint16_t kDamageRfn = 7;

uint32_t rdbaOf(uint32_t block) { return (uint32_t{kDamageRfn} << 22) | block; }

bex::testing::RowWriter rowBytes() { return bex::testing::RowWriter(0); }
Bytes soundRow(const std::string& a, const std::string& b) { return rowBytes().header(0x2C, 0, 2).col(a).col(b).b; }

// A table block of `objd` at `block` of file 7 with the rows given.
TransBlock tableBlock(uint32_t block, const std::vector<Bytes>& rows, uint32_t objd = kDamageObjd) {
  TransBlock t(8192, 0, kTypData, 2, 0, objd, rdbaOf(block));
  bex::testing::layoutTables(t, {rows});
  return t;
}

// Offset of row-directory entry i of a one-table block.
uint32_t dirEntry(const TransBlock& t, uint32_t i) { return t.hdsz + 14 + 4 + 2 * i; }

// Writes the blocks into a file of rfn 7 and opens it.
void openBlocks(UnloadShell& sh, const ScratchDir& dir, const std::vector<std::pair<uint32_t, Bytes>>& blocks) {
  forge::FileSpec cs;
  cs.name = dir.file("damage.dbf");
  cs.rfn = kDamageRfn;
  cs.blocks = 8;
  forge::ForgeFile f(cs);
  for (const auto& [number, bytes] : blocks) {
    forge::ForgeBlock b(8192, forge::ByteOrder::Little);
    b.putBytes(0, bytes);
    f.addBlock(number, b);
  }
  std::string expect, error;
  ASSERT_TRUE(f.write(cs.name, expect, error)) << error;
  std::ofstream(dir.file("damage.cfg")) << cs.name << "\n";
  sh.statement("OPEN " + dir.file("damage.cfg"));
}

const std::string kUnloadBlock5 = "UNLOAD OBJECT 91000 FILE 7 BLOCK 5 COLUMN VARCHAR2 COLUMN VARCHAR2";

// The summary line of an unload's output, or "" without one.
std::string damageLine(const std::string& out) {
  const size_t at = out.find("  Damage: ");
  return at == std::string::npos ? "" : out.substr(at, out.find('\n', at) + 1 - at);
}

}  // namespace

TEST(Damage, PieceRunningPastTheBlockIsCountedAndItsColumnsSoFarKept) {
  ScratchDir dir;
  UnloadShell sh;
  // The second column's 16-bit length (0x7000) reaches far past the block.
  const Bytes broken = rowBytes().header(0x2C, 0, 2).col("kept").byte(0xFE).byte(0x00).byte(0x70).b;
  openBlocks(sh, dir, {{5, tableBlock(5, {soundRow("a", "b"), broken}).b}});
  const std::string out = sh.statement(kUnloadBlock5);
  EXPECT_EQ(rowsOf(out), "a|b\r\nkept\r\n");
  EXPECT_EQ(damageLine(out), "  Damage: 1 row piece outside its block (first at RDBA=0x01c00005(7/5))\n");
}

TEST(Damage, DirectoryEntriesPastTheBlockOrIntoTheFreeSpaceAreCounted) {
  ScratchDir dir;
  UnloadShell sh;
  TransBlock past = tableBlock(5, {soundRow("a", "b"), soundRow("c", "d"), soundRow("e", "f")});
  past.u16(dirEntry(past, 1), 0x7ff0);
  TransBlock free = tableBlock(6, {soundRow("a", "b"), soundRow("c", "d")});
  const DataHeader h = readDataHeader(free.view());
  free.u16(dirEntry(free, 0), static_cast<uint16_t>(h.fsbo + 16));  // between the directory and the rows
  openBlocks(sh, dir, {{5, past.b}, {6, free.b}});
  std::string out = sh.statement(kUnloadBlock5);
  EXPECT_EQ(rowsOf(out), "a|b\r\ne|f\r\n");
  EXPECT_EQ(damageLine(out), "  Damage: 1 row directory entry past the data (first at RDBA=0x01c00005(7/5))\n");
  out = sh.statement("UNLOAD OBJECT 91000 FILE 7 BLOCK 6 COLUMN VARCHAR2 COLUMN VARCHAR2");
  EXPECT_EQ(rowsOf(out), "c|d\r\n");
  EXPECT_EQ(damageLine(out), "  Damage: 1 row directory entry into the free space (first at RDBA=0x01c00006(7/6))\n");
}

// An index leaf whose kdxconro runs its directory far past the block: every
// entry outside is counted, as a table block's are.
TEST(Damage, IndexDirectoryEntriesPastTheBlockAreCounted) {
  ScratchDir dir;
  UnloadShell sh;
  forge::IndexLeafSpec ix;
  ix.trans.objd = kDamageObjd;
  ix.hdr.rdba = rdbaOf(5);
  for (int i = 0; i < 2; i++) ix.entries.push_back({0, 0, {}, {forge::col(forge::numberInt(i))}, false, {}, -1});
  forge::Facts facts;
  forge::ForgeBlock leaf = forge::buildIndexLeaf(ix, 8192, forge::ByteOrder::Little, facts);
  const IndexHeader ih = readIndexHeader(BlockView{leaf.data(), 8192, 0});
  const uint32_t count = 60000, inside = (8192 - ih.rowDir()) / 2;
  memcpy(leaf.data() + ih.hdsz + 8, &count, 2);
  openBlocks(sh, dir, {{5, Bytes(leaf.data(), leaf.data() + 8192)}});
  const std::string out = sh.statement("UNLOAD OBJECT 91000 FILE 7 BLOCK 5 COLUMN NUMBER");
  const std::string line = damageLine(out);
  ASSERT_NE(line.find("row directory entries past the data"), std::string::npos) << out;
  EXPECT_GE(std::stoul(line.substr(strlen("  Damage: "))), count - inside);
}

TEST(Damage, ChainsIntoAnotherObjectOrToAMissingRowAreCountedAndNamedWithVerbose) {
  ScratchDir dir;
  UnloadShell sh;
  // Row 0 goes on in block 6 (another object), row 1 in slot 3 of block 7,
  // which holds one row.
  const Bytes toOther = rowBytes().header(0x28, 0, 1).addr(rdbaOf(6), 0).col("x").b;
  const Bytes toMissing = rowBytes().header(0x28, 0, 1).addr(rdbaOf(7), 3).col("y").b;
  openBlocks(sh, dir, {{5, tableBlock(5, {toOther, toMissing}).b},
                       {6, tableBlock(6, {soundRow("o", "p")}, kDamageObjd + 1).b},
                       {7, tableBlock(7, {soundRow("q", "r")}).b}});
  std::string out = sh.statement(kUnloadBlock5);
  EXPECT_NE(out.find("Sucessfully unload 2 rows"), std::string::npos) << out;
  EXPECT_EQ(damageLine(out),
            "  Damage: 2 chains to a foreign block (first at RDBA=0x01c00006(7/6), RDBA=0x01c00007(7/7))\n");
  sh.statement("SET VERBOSE 1");
  out = sh.statement(kUnloadBlock5);
  EXPECT_NE(out.find("  Damage: chain to a foreign block at RDBA=0x01c00006(7/6) slot 0\n"), std::string::npos) << out;
  EXPECT_NE(out.find("  Damage: chain to a foreign block at RDBA=0x01c00007(7/7) slot 3\n"), std::string::npos) << out;
}

// A table row's chain counts its hops against MAXCHAINS and ends quietly at
// a block that fails the check (the chained block is not announced).
TEST(Damage, RowChainsStopAtMaxchainsAndQuietlyAtABadBlock) {
  ScratchDir dir;
  UnloadShell sh;
  const Bytes head = rowBytes().header(0x28, 0, 1).addr(rdbaOf(6), 0).col("a").b;
  const Bytes middle = rowBytes().header(0x00, 0, 1).addr(rdbaOf(7), 0).col("b").b;
  const Bytes last = rowBytes().header(0x04, 0, 1).col("c").b;
  openBlocks(sh, dir, {{5, tableBlock(5, {head}).b}, {6, tableBlock(6, {middle}).b}, {7, tableBlock(7, {last}).b}});
  const std::string unload = "UNLOAD OBJECT 91000 FILE 7 BLOCK 5 COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN VARCHAR2";
  EXPECT_EQ(rowsOf(sh.statement(unload)), "a|b|c\r\n");
  sh.statement("SET MAXCHAINS 1");
  std::string out = sh.statement(unload);
  EXPECT_NE(out.find("Max chained block reached, RDBA=" + std::to_string(rdbaOf(5)) + " ...\n"), std::string::npos)
      << out;
  EXPECT_EQ(out.find("a|b|c"), std::string::npos) << out;
  sh.statement("SET MAXCHAINS 0");
  sh.rc.corruptList.add(rdbaOf(6));  // CORRUPT FILE 7 BLOCK 6
  out = sh.statement(unload);
  EXPECT_EQ(out.find("Block check failured"), std::string::npos) << out;
  EXPECT_EQ(out.find("a|b"), std::string::npos) << out;
  EXPECT_NE(out.find("a|"), std::string::npos) << out;
}

TEST(Damage, ExtentPastTheFileIsCountedAndASoundWalkSaysNothing) {
  ScratchDir dir;
  UnloadShell sh;
  openBlocks(sh, dir, {{5, tableBlock(5, {soundRow("a", "b")}).b}});
  std::string out = sh.statement(kUnloadBlock5);
  EXPECT_EQ(damageLine(out), "");
  std::ofstream(dir.file("past.ext")) << "91000,7,5,100,0,\n";
  out = sh.statement("UNLOAD OBJECT 91000 EXTENT " + dir.file("past.ext") + " COLUMN VARCHAR2 COLUMN VARCHAR2");
  EXPECT_EQ(rowsOf(out), "a|b\r\n");
  EXPECT_EQ(damageLine(out), "  Damage: 1 extent past the file (first at RDBA=0x01c00005(7/5))\n");
}

// Counts add up per kind; the addresses shown are the first three
// places, each block once.
TEST(Damage, SummaryCountsEveryKindAndShowsTheFirstThreeBlocks) {
  DamageCounts d;
  d.note(Damage::kEntryPastData, 10);
  d.note(Damage::kPieceOutside, 10);
  d.note(Damage::kPieceOutside, 11);
  d.note(Damage::kExtentPastFile, 12);
  d.note(Damage::kPieceOutside, 13);
  StringSink out;
  printDamageSummary(out, d);
  EXPECT_EQ(out.str(),
            "  Damage: 3 row pieces outside their block, 1 row directory entry past the data, 1 extent past the file "
            "(first at RDBA=0x0000000a(0/10), RDBA=0x0000000b(0/11), RDBA=0x0000000c(0/12))\n");
}
