// Block writers used directly: checksum modes, descriptions that do not fit,
// NUMBER bytes, and extent lists that continue in map blocks.
#include <gtest/gtest.h>

#include "forge/forge_file.h"
#include "forge/values.h"
#include "forge_test_util.h"

using namespace bex::forge;
using forge_test::xorWords;

namespace {

TableBlockSpec oneRow(Checksum c) {
  TableBlockSpec s;
  s.hdr.rdba = makeRdba(3, 9);
  s.hdr.checksum = c;
  s.trans.objd = 42;
  TableRow r;
  r.piece.cols = {col(numberInt(42)), col("answer")};
  s.tables[0] = {r};
  return s;
}

FileSpec fileLayout(const char* name, uint32_t bsize, ByteOrder order = ByteOrder::Little) {
  FileSpec s;
  s.name = name;
  s.rfn = 3;
  s.blockSize = bsize;
  s.order = order;
  return s;
}

}  // namespace

TEST(Blocks, ChecksumModesAndSingleBitFlips) {
  for (uint32_t size : {2048u, 16384u}) {
    for (ByteOrder o : {ByteOrder::Little, ByteOrder::Big}) {
      Facts facts;
      ForgeBlock good = buildTableBlock(oneRow(Checksum::Valid), size, o, facts);
      EXPECT_EQ(xorWords(good.data(), size), 0);
      EXPECT_EQ(good.at(15) & 0x04, 0x04);
      // Any flipped bit, tail and checksum field included, breaks it.
      for (uint32_t off : {0u, 16u, 17u, size / 2, size - 1}) {
        ForgeBlock bad = good;
        bad.data()[off] ^= 0x10;
        EXPECT_NE(xorWords(bad.data(), size), 0) << off;
      }
      ForgeBlock broken = buildTableBlock(oneRow(Checksum::Broken), size, o, facts);
      EXPECT_NE(xorWords(broken.data(), size), 0);
      EXPECT_EQ(broken.at(15) & 0x04, 0x04);
      ForgeBlock absent = buildTableBlock(oneRow(Checksum::Absent), size, o, facts);
      EXPECT_EQ(absent.at(15) & 0x04, 0);
      EXPECT_EQ(absent.at(16) | absent.at(17), 0);
    }
  }
}

TEST(Blocks, TailCarriesScnTypeAndSeq) {
  Facts facts;
  TableBlockSpec s = oneRow(Checksum::Valid);
  s.hdr.scnBase = 0x001732d3;
  s.hdr.seq = 7;
  ForgeBlock le = buildTableBlock(s, 8192, ByteOrder::Little, facts);
  ForgeBlock be = buildTableBlock(s, 8192, ByteOrder::Big, facts);
  EXPECT_EQ(forge_test::rd32(le.data() + 8188, false), 0x32d30607u);
  EXPECT_EQ(forge_test::rd32(be.data() + 8188, true), 0x32d30607u);
}

TEST(Blocks, DescriptionsThatDoNotFitAreRefusedNotWrittenPastTheBlock) {
  ForgeFile f(fileLayout("/nonexistent-dir/x.dbf", 2048));
  TableBlockSpec s = oneRow(Checksum::Valid);
  TableRow big;
  big.piece.cols = {col(Bytes(3000, 0x41))};
  s.tables[0] = {big};
  f.addTableBlock(9, s);
  std::string expect, error;
  EXPECT_FALSE(f.write("/nonexistent-dir/x.dbf", expect, error));
  EXPECT_NE(error.find("block 9 does not fit"), std::string::npos) << error;

  // Too many extents for the header and no map block to continue in.
  ForgeFile g(fileLayout("g.dbf", 2048));
  SegmentSpec seg;
  seg.extents.assign(300, Extent{makeRdba(3, 10), 8});
  g.addSegment(2, seg);
  EXPECT_NE(g.problems().find("block 2 does not fit"), std::string::npos);

  ForgeFile h(fileLayout("h.dbf", 3000));
  EXPECT_FALSE(h.write("/tmp/never-written.dbf", expect, error));
}

// Walks header and map blocks as a reader would, for both header kinds:
// 0x10 (here 92, next 96, objd 100, list 108) continued by 0x12 (here 20,
// next 24, objd 28, list 36); 0x23 (264, 268, 272, 280) continued by 0x24.
TEST(Blocks, ExtentListContinuesThroughMapBlocksInOrder) {
  for (uint8_t type : {uint8_t{0x10}, uint8_t{0x23}}) {
    FileSpec fs = fileLayout("seg.dbf", 2048, ByteOrder::Big);
    fs.rfn = 2;
    ForgeFile f(fs);
    SegmentSpec seg;
    seg.hdr.type = type;
    seg.objd = 900;
    for (uint32_t i = 0; i < 500; ++i) seg.extents.push_back({makeRdba(2, 100 + 8 * i), 8});
    seg.mapRdbas = {makeRdba(2, 3), makeRdba(2, 4)};
    f.addSegment(2, seg);
    ASSERT_EQ(f.problems(), "");
    const bool paged = type == 0x23;
    std::vector<uint32_t> firsts;
    uint32_t block = 2;
    for (int hops = 0; block && hops < 4; ++hops) {
      const uint8_t* p = f.block(block)->data();
      const bool header = p[0] == type;
      if (!header) {
        EXPECT_EQ(p[0], paged ? 0x24 : 0x12);
      }
      const uint32_t here = forge_test::rd32(p + (header ? (paged ? 264 : 92) : 20), true);
      const uint32_t list = header ? (paged ? 280 : 108) : 36;
      for (uint32_t i = 0; i < here; ++i) firsts.push_back(forge_test::rd32(p + list + 8 * i, true));
      const uint32_t objdAt = header ? (paged ? 272 : 100) : (paged ? 0 : 28);
      if (objdAt) {
        EXPECT_EQ(forge_test::rd32(p + objdAt, true), 900u);
      }
      block = forge_test::rd32(p + (header ? (paged ? 268 : 96) : 24), true) & 0x3fffff;
    }
    ASSERT_EQ(firsts.size(), 500u) << int(type);
    for (uint32_t i = 0; i < 500; ++i) EXPECT_EQ(firsts[i], makeRdba(2, 100 + 8 * i));
    EXPECT_EQ(forge_test::rd32(f.block(2)->data() + 36, true), 500u);
    EXPECT_EQ(forge_test::rd32(f.block(2)->data() + 40, true), 4000u);
  }
}

TEST(Blocks, BigfileAddressesCarryTheWholeBlockNumber) {
  FileSpec fs = fileLayout("big.dbf", 2048);
  fs.rfn = 0;
  fs.bigfile = true;
  ForgeFile f(fs);
  EXPECT_EQ(f.rdba(5000000), 5000000u);
  TableBlockSpec s = oneRow(Checksum::Valid);
  s.hdr.rdba = 0;
  f.addTableBlock(9, s);
  EXPECT_EQ(forge_test::rd32(f.block(9)->data() + 4, false), 9u);
}

TEST(Values, NumberIntegersMatchOracleBytes) {
  const std::pair<int64_t, const char*> cases[] = {
      {0, "80"},         {1, "c102"},       {10, "c10b"},      {100, "c202"},
      {101, "c20202"},   {123, "c20218"},   {999, "c20a64"},   {7369, "c24a46"},
      {7902, "c25003"},  {14500, "c3022e"}, {78000, "c30851"}, {123456, "c30d2339"},
      {-1, "3e6466"},    {-100, "3d6466"},  {-123, "3d644e66"},
  };
  for (const auto& [v, h] : cases) EXPECT_EQ(hex(numberInt(v)), h) << v;
  // 19 decimal digits: exponent, 10 base-100 digits and the 0x66 terminator.
  EXPECT_EQ(hex(numberInt(INT64_MIN)), "355c4f441d62212f182b5d66");
}
