// ScanFile's run rules on blocks forged for each rule, on real Oracle table
// blocks, and through read-ahead windows of every size.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <sstream>

#include "forge/forge_file.h"
#include "forge/values.h"
#include "base/block_map.h"
#include "scan/scan_workers.h"
#include "scan_fixture.h"

using namespace bex;
using namespace bex::testing;
namespace fg = bex::forge;

namespace {

fg::TableBlockSpec tableSpec(uint32_t objd, uint32_t rows, fg::Checksum sum = fg::Checksum::Valid) {
  fg::TableBlockSpec s;
  s.hdr.checksum = sum;
  s.trans.objd = objd;
  for (uint32_t r = 0; r < rows; r++) {
    fg::TableRow row;
    row.piece.cols = {fg::col(fg::numberInt(r))};
    s.tables[0].push_back(row);
  }
  return s;
}

fg::LobBlockSpec lobSpec(uint32_t objd, uint64_t id, uint32_t page, uint32_t version) {
  fg::LobBlockSpec s;
  s.objd = objd;
  s.lobId = fg::lobIdOf(id);
  s.page = page;
  s.version = version;
  return s;
}

fg::FileSpec fileSpec(const char* name, uint16_t rfn, uint32_t blockSize = 8192) {
  fg::FileSpec fs;
  fs.name = name;
  fs.rfn = rfn;
  fs.blockSize = blockSize;
  return fs;
}

std::string writeForged(ScanFixture& fx, fg::ForgeFile& f) {
  std::string expect, error;
  EXPECT_TRUE(f.write(fx.dir.file(f.layout().name), expect, error)) << error;
  return f.layout().name;
}

}  // namespace

TEST(ScanFile, RunsEndAtBadBlocksObjectsWithoutNumberAndOtherKinds) {
  ScanFixture fx;
  fg::ForgeFile f(fileSpec("rules.dbf", 9));
  f.addTableBlock(2, tableSpec(5, 1, fg::Checksum::Broken));  // a bad first block opens no run
  f.addTableBlock(3, tableSpec(5, 2));
  f.addTableBlock(4, tableSpec(5, 3, fg::Checksum::Broken));
  f.addTableBlock(5, tableSpec(5, 4, fg::Checksum::Broken));  // two bad blocks in a row
  f.addTableBlock(6, tableSpec(5, 5));
  f.addTableBlock(7, tableSpec(0, 6));  // no object number: its run is never listed
  f.addTableBlock(8, tableSpec(0, 7));
  f.addTableBlock(9, tableSpec(5, 1));
  f.addLobBlock(10, lobSpec(5, 1, 0, 1));
  f.addTableBlock(11, tableSpec(5, 1));
  f.addLobBlock(12, lobSpec(5, 1, 0, 1));  // same page again: a new run after the table block
  f.addLobBlock(13, lobSpec(5, 1, 0, 2));  // only the version differs
  f.addLobBlock(14, lobSpec(6, 1, 0, 2));  // only the object differs
  f.addTableBlock(15, tableSpec(5, 2, fg::Checksum::Broken));  // a bad table block closes the LOB run
  f.addLobBlock(16, lobSpec(6, 1, 0, 2));
  f.addLobBlock(17, lobSpec(6, 1, 0, 2));  // the last block: closed at the end of the file
  fx.open({writeForged(fx, f)});
  Listings l = fx.scan();
  EXPECT_EQ(l.ext,
            "5,9,3,1,2,\r\n"
            "5,9,6,1,5,\r\n"
            "5,9,9,1,1,\r\n"
            "5,9,11,1,1,\r\n");
  EXPECT_EQ(l.lob,
            "5,00000001000000000001,0,1,9,10,1,\n"
            "5,00000001000000000001,0,1,9,12,1,\n"
            "5,00000001000000000001,0,2,9,13,1,\n"
            "6,00000001000000000001,0,2,9,14,1,\n"
            "6,00000001000000000001,0,2,9,16,2,\n");
  EXPECT_EQ(l.errors, 4u);
}

// Row counts: table 0 of a plain block, table 1 of a block with a symbol
// table, the entry count of an index leaf, nothing for other blocks.
TEST(ScanFile, BlockRowCountByBlockKind) {
  for (fg::ByteOrder order : {fg::ByteOrder::Little, fg::ByteOrder::Big}) {
    uint8_t bo = order == fg::ByteOrder::Big ? kBigEndian : kLittleEndian;
    fg::Facts facts;
    fg::TableBlockSpec cluster = tableSpec(5, 3);
    cluster.tables.push_back(cluster.tables[0]);
    cluster.tables[1].push_back(cluster.tables[0][0]);  // table 1 has 4 rows, table 0 counts
    fg::ForgeBlock t = fg::buildTableBlock(cluster, 8192, order, facts);
    EXPECT_EQ(blockRowCount(t.data(), 8192, bo), 3u);

    fg::CompressedBlockSpec c;
    c.trans.objd = 5;
    c.symbols = {{fg::kRowHeadFirstLast, 0, {fg::cval("S")}}, {fg::kRowHeadFirstLast, 0, {fg::cval("T")}}};
    for (int i = 0; i < 5; i++) c.rows.push_back({fg::kRowHeadFirstLast, 0, 0, {}, {}, {fg::symRef(0)}, -1});
    fg::ForgeBlock cb = fg::buildCompressedBlock(c, 8192, order, facts);
    EXPECT_EQ(blockRowCount(cb.data(), 8192, bo), 5u);

    fg::IndexLeafSpec ix;
    ix.trans.objd = 5;
    for (int i = 0; i < 7; i++) ix.entries.push_back({0, 0, {}, {fg::col(fg::numberInt(i))}, false, {}, -1});
    fg::ForgeBlock ib = fg::buildIndexLeaf(ix, 8192, order, facts);
    EXPECT_EQ(blockRowCount(ib.data(), 8192, bo), 7u);

    fg::ForgeBlock lob = fg::buildLobBlock(lobSpec(5, 1, 0, 1), 8192, order, facts);
    EXPECT_EQ(blockRowCount(lob.data(), 8192, bo), 0u);
    t.data()[20] = 3;  // neither a table nor an index block
    EXPECT_EQ(blockRowCount(t.data(), 8192, bo), 0u);
  }
}

// Runs continue across read-ahead windows of any size, down to one block.
TEST(ScanFile, SameListingsWhateverTheWindow) {
  ScanFixture fx;
  fg::ForgeFile f(fileSpec("long.dbf", 3, 2048));
  for (uint32_t b = 2; b < 60; b++) f.addTableBlock(b, tableSpec(7 + b / 25, 1 + b % 3));
  for (uint32_t b = 60; b < 75; b++) f.addLobBlock(b, lobSpec(8, 2, b / 6, 1));
  f.addTableBlock(40, tableSpec(7, 1, fg::Checksum::Broken));
  fx.sh.rc.bc.blockSize = 2048;
  fx.open({writeForged(fx, f)});
  Listings whole = fx.scan();
  EXPECT_EQ(whole.ext,
            "7,3,2,23,46,\r\n"
            "8,3,25,15,30,\r\n"
            "8,3,41,9,18,\r\n"
            "9,3,50,10,21,\r\n");
  EXPECT_EQ(whole.lob,
            "8,00000001000000000002,10,1,3,60,6,\n"
            "8,00000001000000000002,11,1,3,66,6,\n"
            "8,00000001000000000002,12,1,3,72,3,\n");
  for (uint32_t window : {2048u, 3u * 2048, 7u * 2048, 65536u}) {
    Listings l = fx.scan(window);
    EXPECT_EQ(l.ext, whole.ext) << window;
    EXPECT_EQ(l.lob, whole.lob) << window;
    EXPECT_EQ(l.errors, 1u);
  }
}

namespace {

struct RealBlock {
  explicit RealBlock(const char* n) : name(n) {}
  const char* name;
  std::vector<uint8_t> bytes;
  uint32_t objd = 0, nrow = 0;  // as Oracle's trace shows them
};

// Reads the block and its trace's "seg/obj: 0x..." and "pti[0] nrow=N".
bool loadReal(RealBlock& b) {
  std::string base = std::string(BEX_REALDATA_DIR) + "/blockdumps/" + b.name;
  std::ifstream blk(base + ".blk", std::ios::binary);
  b.bytes.assign(std::istreambuf_iterator<char>(blk), {});
  std::ifstream trc(base + ".trc.txt");
  std::stringstream ss;
  ss << trc.rdbuf();
  std::string t = ss.str();
  size_t seg = t.find("seg/obj: 0x"), pti = t.find("pti[0]");
  if (b.bytes.size() != 8192 || seg == std::string::npos || pti == std::string::npos) return false;
  b.objd = static_cast<uint32_t>(std::stoul(t.substr(seg + 11), nullptr, 16));
  b.nrow = static_cast<uint32_t>(std::stoul(t.substr(t.find("nrow=", pti) + 5)));
  return true;
}

}  // namespace

TEST(ScanFile, RealOracleTableBlocks) {
  RealBlock scott("11203_i686_f4b13171_scott_deleted"), test10g("10g_f5b16_testblock"),
      char19c("19c_f12b3126_char_varchar");
  for (RealBlock* b : {&scott, &test10g, &char19c})
    if (!loadReal(*b)) GTEST_SKIP() << "real Oracle blocks not found under " << BEX_REALDATA_DIR;
  ScanFixture fx;
  std::vector<std::vector<uint8_t>> blocks = {std::vector<uint8_t>(8192, 0), makeFileHeader(8192, 4, 4, 8192),
                                              scott.bytes, scott.bytes, test10g.bytes, char19c.bytes};
  fx.dir.write("real.dbf", blocks);
  fx.open({"real.dbf"});
  Listings l = fx.scan();
  char want[256];
  snprintf(want, sizeof want, "%u,4,2,2,%u,\r\n%u,4,4,1,%u,\r\n%u,4,5,1,%u,\r\n", scott.objd, 2 * scott.nrow,
           test10g.objd, test10g.nrow, char19c.objd, char19c.nrow);
  EXPECT_EQ(l.ext, want);
  EXPECT_EQ(l.lob, "");
  EXPECT_EQ(l.errors, 0u);
}

namespace {

// Blocks 0 .. 39 held and never written (zeros), 40 .. 139 a hole of the
// source (as a file read from backup pieces has), 140 .. 149 held.
class HoledSource final : public ByteSource {
 public:
  static constexpr uint32_t kBs = 2048, kHole = 40, kHeld = 140, kBlocks = 150;
  ReadResult read(uint64_t offset, uint8_t* buf, size_t n) override {
    const size_t len = static_cast<size_t>(std::min<uint64_t>(n, size() - std::min(offset, size())));
    memset(buf, 0, len);
    for (size_t at = 0; at < len; at += kBs)
      if ((offset + at) / kBs >= kHeld) memcpy(buf + at, makeBlock(kBs, 0x06, makeRdba(3, (offset + at) / kBs)).data(), kBs);
    return ReadResult{len, false};
  }
  uint64_t size() const override { return uint64_t{kBlocks} * kBs; }
  bool readsInParallel() const override { return true; }
  Held nextHeld(uint64_t offset) const override {
    if (offset >= uint64_t{kHole} * kBs && offset < uint64_t{kHeld} * kBs) return Held{uint64_t{kHeld} * kBs, kNoneHeld};
    return Held{offset, offset < uint64_t{kHole} * kBs ? uint64_t{kHole} * kBs : kNoneHeld};
  }
};

// The block map of one SCAN DATABASE of the file: by one thread through
// windows of window bytes, or by threads workers.
std::vector<BlockRun> holedMap(uint32_t window, uint16_t threads) {
  DataFileRegistry reg;
  reg.count = 1;
  reg.slots[0].source = std::make_unique<HoledSource>();
  reg.slots[0].rfn = 3;
  reg.slots[0].blocks = HoledSource::kBlocks - 1;
  reg.rebuildHash();
  BlockContext bc;
  bc.registry = &reg;
  bc.blockSize = HoledSource::kBs;
  bc.threads = threads;
  BlockMap map;
  bc.blockMap = &map;
  StringSink lob, ext;
  if (threads > 1) {
    scanWithWorkers(bc, lob, ext);
  } else {
    SlotReader reader(bc, window);
    uint64_t errors = 0;
    ScanFile(bc, reader, 0, lob, ext, errors);
  }
  return map.runs();
}

}  // namespace

// Empty blocks are one run of the block map, whether the walk read them as
// zeros or stepped over them as a hole, at a window's or a stretch's start.
TEST(ScanFile, EmptyBlocksAndAHoleAreOneRunOfTheBlockMapWhateverTheWindowAndTheThreads) {
  const std::vector<BlockRun> one = holedMap(kScanWindowSize, 1);
  ASSERT_FALSE(one.empty());
  EXPECT_EQ(one[0].first, 2u);
  EXPECT_EQ(one[0].count, HoledSource::kHeld - 2);
  EXPECT_EQ(one[0].cls, BlockClass::kEmpty);
  auto same = [&](const std::vector<BlockRun>& m) {
    return m.size() == one.size() && std::equal(m.begin(), m.end(), one.begin(), [](const BlockRun& a, const BlockRun& b) {
             return a.rfn == b.rfn && a.first == b.first && a.count == b.count && a.cls == b.cls && a.objd == b.objd;
           });
  };
  for (uint32_t window : {2048u, 7u * 2048}) EXPECT_TRUE(same(holedMap(window, 1))) << window;
  for (uint16_t threads : {2, 3}) EXPECT_TRUE(same(holedMap(kScanWindowSize, threads))) << threads;
}
