#include <gtest/gtest.h>

#include "datafile/block_reader.h"
#include "base/byte_order.h"
#include "commands/datafile/datafile_commands.h"
#include "run/run_context.h"
#include "test_files.h"

using namespace bex;
using namespace bex::testing;

namespace {

// A data file of `count` table blocks for rfn 1, each block numbered in its rdba.
std::vector<std::vector<uint8_t>> numberedBlocks(uint32_t count, uint32_t size, uint32_t rfn = 1) {
  std::vector<std::vector<uint8_t>> blocks;
  blocks.push_back(std::vector<uint8_t>(size, 0));  // block 0: the OS header block
  blocks.push_back(makeFileHeader(size, rfn, 4, size));
  for (uint32_t b = 2; b < count; b++) blocks.push_back(makeBlock(size, 0x06, makeRdba(rfn, b)));
  return blocks;
}

struct Reader {
  StringSink out;
  RunContext rc{stdin, out};
  ScratchDir dir;
  void open(const std::string& config) {
    std::string cfg = dir.file("files.txt");
    FILE* f = fopen(cfg.c_str(), "w");
    fputs(config.c_str(), f);
    fclose(f);
    rc.cmd.set("OPEN " + cfg);
    rc.cmd.nextToken();
    cmdOpen(rc);
  }
  uint32_t blockRdba() const { return get32(rc.bc.block + 4, rc.bc.byteOrder); }
};

}  // namespace

TEST(ReadCache, ReadAheadStartsAtTheRequestedBlockAndRefillsBackwards) {
  Reader r;
  r.dir.write("a.dbf", numberedBlocks(100, 8192));
  r.open(r.dir.file("a.dbf") + "\n");
  ReadCache& c = r.rc.caches[0];
  uint64_t bad = r.rc.bc.counters->BadBlockCount;  // the size probe's reads past the end count
  ASSERT_EQ(ReadBlock(r.rc.bc, 1, 10), 8192u);
  EXPECT_EQ(c.first, 10u);
  EXPECT_EQ(c.count, 32u);  // 256 KB of 8 KB blocks
  for (uint32_t b = 11; b <= 41; b++) {
    ASSERT_EQ(ReadBlock(r.rc.bc, 1, b), 8192u);
    ASSERT_EQ(r.blockRdba(), makeRdba(1, b));
  }
  EXPECT_EQ(c.first, 10u);  // all served by the one stretch
  ASSERT_EQ(ReadBlock(r.rc.bc, 1, 9), 8192u);
  EXPECT_EQ(c.first, 9u);
  EXPECT_EQ(r.blockRdba(), makeRdba(1, 9));
  ASSERT_EQ(ReadBlockByRdba(r.rc.bc, makeRdba(1, 42)), 8192u);
  EXPECT_EQ(r.blockRdba(), makeRdba(1, 42));
  EXPECT_EQ(r.rc.bc.counters->BadBlockCount, bad);
}

TEST(ReadCache, ShortLastBlockFailsAndCountsOnce) {
  Reader r;
  r.dir.write("a.dbf", numberedBlocks(100, 8192), 0, 100);
  r.open(r.dir.file("a.dbf") + "\n");
  uint64_t before = r.rc.bc.counters->BadBlockCount;
  ASSERT_EQ(ReadBlock(r.rc.bc, 1, 99), 8192u);
  EXPECT_EQ(r.blockRdba(), makeRdba(1, 99));
  EXPECT_EQ(ReadBlock(r.rc.bc, 1, 100), 0u);
  EXPECT_EQ(r.rc.bc.counters->BadBlockCount, before + 1);
  EXPECT_EQ(ReadBlock(r.rc.bc, 1, 5000), 0u);
  EXPECT_EQ(r.rc.bc.counters->BadBlockCount, before + 2);
  // A file not in the registry fails without counting for ReadBlock,
  // and counts for the LOB and direct readers.
  EXPECT_EQ(ReadBlock(r.rc.bc, 7, 2), 0u);
  EXPECT_EQ(r.rc.bc.counters->BadBlockCount, before + 2);
  EXPECT_EQ(ReadBlockLob(r.rc.bc, 7, 2), 0u);
  EXPECT_EQ(ReadBlockDirect(r.rc.bc, 7, 2), 0u);
  EXPECT_EQ(r.rc.bc.counters->BadBlockCount, before + 4);
}

TEST(ReadCache, DirectReadKeepsTheSequentialStretch) {
  Reader r;
  r.dir.write("a.dbf", numberedBlocks(100, 8192));
  r.open(r.dir.file("a.dbf") + "\n");
  ASSERT_EQ(ReadBlock(r.rc.bc, 1, 2), 8192u);
  ASSERT_EQ(ReadBlockDirect(r.rc.bc, 1, 80), 8192u);
  EXPECT_EQ(r.blockRdba(), makeRdba(1, 80));
  EXPECT_EQ(r.rc.caches[0].first, 2u);
  ASSERT_EQ(ReadBlockDirect(r.rc.bc, 1, 5), 8192u);  // a hit in the primary cache
  EXPECT_EQ(r.blockRdba(), makeRdba(1, 5));
  EXPECT_EQ(ReadBlockDirect(r.rc.bc, 1, 100), 0u);
  ASSERT_EQ(ReadBlockLob(r.rc.bc, 1, 60), 8192u);
  EXPECT_EQ(r.rc.caches[1].first, 60u);
  EXPECT_EQ(r.rc.caches[0].first, 2u);
}

TEST(ReadCache, HeaderSizeShiftsEveryBlock) {
  Reader r;
  r.dir.write("h.dbf", numberedBlocks(20, 8192), 8192);
  r.open(r.dir.file("h.dbf") + " 8192\n");
  EXPECT_NE(r.out.str().find("Y    4    1 a2   8192         19        0  8192 "), std::string::npos) << r.out.str();
  ASSERT_EQ(ReadBlock(r.rc.bc, 1, 1), 8192u);
  EXPECT_EQ(r.rc.bc.block[0], 0x0b);  // block 1 came from byte 16384
}

TEST(ReadCache, BigfileFoldsFileIntoBlockNumber) {
  Reader r;
  const uint32_t bs = 2048;
  // Sparse file: a data block at block 4194309 of a bigfile (rfn 0).
  std::vector<std::vector<uint8_t>> blocks;
  blocks.push_back(std::vector<uint8_t>(bs, 0));
  blocks.push_back(makeBlock(bs, 0x06, 1));  // first good block: rdba file bits 0
  std::string p = r.dir.write("big.dbf", blocks);
  std::vector<uint8_t> far = makeBlock(bs, 0x06, 4194309);
  FILE* f = fopen(p.c_str(), "r+b");
  ASSERT_EQ(fseeko(f, static_cast<off_t>(4194309) * bs, SEEK_SET), 0);
  fwrite(far.data(), 1, bs, f);
  fclose(f);
  r.rc.setBlockSize(bs);
  r.rc.bc.bigfile = 1;
  r.open(p + "\n");
  ASSERT_EQ(ReadBlock(r.rc.bc, 1, 5), bs);
  EXPECT_EQ(r.blockRdba(), 4194309u);
}

// Every change to what an rfn names or to the block size empties the caches:
// a stale stretch would hand out another file's blocks, or blocks of the old
// size copied past the end of the cache buffer.
TEST(ReadCache, EmptiedWhenTheRegistryMappingOrBlockSizeChanges) {
  Reader r;
  // a.dbf says rfn 9 in little-endian order, b.dbf in big-endian order.
  std::vector<std::vector<uint8_t>> a = numberedBlocks(8, 8192, 9), b;
  b.push_back(std::vector<uint8_t>(8192, 0));
  b.push_back(makeFileHeader(8192, 9, 4, 8192, true));
  for (uint32_t n = 2; n < 8; n++) b.push_back(makeBlock(8192, 0x06, makeRdba(9, n) ^ 0x55, true));
  r.open(r.dir.write("a.dbf", a) + "\n" + r.dir.write("b.dbf", b) + "\n");
  BlockContext& bc = r.rc.bc;
  ASSERT_EQ(ReadBlock(bc, 9, 3), 8192u);
  ASSERT_EQ(ReadBlockLob(bc, 9, 3), 8192u);
  ASSERT_EQ(r.blockRdba(), makeRdba(9, 3));
  bc.byteOrder = kBigEndian;  // as SET BYTE_ORDER BIG leaves it
  auto check = [&] {
    r.rc.cmd.set("CHECK");
    r.rc.cmd.nextToken();
    cmdCheck(r.rc);
  };
  check();
  for (auto read : {ReadBlock, ReadBlockLob, ReadBlockDirect}) {
    ASSERT_EQ(read(bc, 9, 3), 8192u);
    EXPECT_EQ(r.blockRdba(), makeRdba(9, 3) ^ 0x55);  // b.dbf's block now
  }
  // Blocks of 2 KB cached, then 8 KB blocks asked for: each cache re-reads.
  for (auto read : {ReadBlock, ReadBlockLob}) {
    r.rc.setBlockSize(2048);
    bc.byteOrder = kLittleEndian;
    check();
    ASSERT_EQ(read(bc, 9, 5), 2048u);  // 2 KB block 5 of a.dbf
    r.rc.setBlockSize(8192);
    ASSERT_EQ(read(bc, 9, 5), 8192u);
    EXPECT_EQ(r.blockRdba(), makeRdba(9, 5));
  }
}

TEST(Checksum, XorOfAllWordsInEitherByteOrder) {
  for (bool big : {false, true}) {
    std::vector<uint8_t> b = makeBlock(8192, 0x06, makeRdba(1, 9), big);
    EXPECT_EQ(BlockChecksumTest(b.data(), b.size()), 0);
    for (size_t pos : {size_t{0}, size_t{16}, size_t{17}, size_t{4000}, size_t{8188}, size_t{8191}}) {
      std::vector<uint8_t> c = b;
      c[pos] ^= 0x10;
      EXPECT_NE(BlockChecksumTest(c.data(), c.size()), 0) << pos;
    }
  }
}

TEST(BadBlock, CorruptListAndBlockCheck) {
  Reader r;
  std::vector<std::vector<uint8_t>> blocks = numberedBlocks(10, 8192);
  blocks[5][100] ^= 1;  // breaks the checksum of block 5
  r.dir.write("a.dbf", blocks);
  r.open(r.dir.file("a.dbf") + "\n");
  BlockContext& bc = r.rc.bc;
  r.rc.corruptList.add(makeRdba(1, 3));
  uint64_t before = bc.counters->BadBlockCount;
  ASSERT_EQ(ReadBlock(bc, 1, 3), 8192u);
  EXPECT_TRUE(IsBadBlock(bc));
  EXPECT_EQ(bc.counters->BadBlockCount, before + 1);
  ASSERT_EQ(ReadBlock(bc, 1, 5), 8192u);
  EXPECT_FALSE(IsBadBlock(bc));  // BLOCK_CHECK off: the checksum is not looked at
  bc.blockCheck = 1;
  EXPECT_TRUE(IsBadBlock(bc));
  EXPECT_EQ(bc.counters->BadBlockCount, before + 2);
  ASSERT_EQ(ReadBlock(bc, 1, 3), 8192u);
  EXPECT_TRUE(IsBadBlock(bc));  // listed: bad once, whatever BLOCK_CHECK says
  EXPECT_EQ(bc.counters->BadBlockCount, before + 3);
  ASSERT_EQ(ReadBlock(bc, 1, 4), 8192u);
  EXPECT_FALSE(IsBadBlock(bc));
  r.rc.skipList.add(makeRdba(1, 4));
  EXPECT_TRUE(isSkippedBlock(bc));  // still delivered; only the unload passes it over
}

// A cursor reads into its own buffer and counts into the context it was
// made from; a worker thread's context reads into the buffer it is given
// and counts into its own record. Neither touches the block the original
// holds.
TEST(BlockContextCopies, CursorsCountIntoTheirOriginWorkersApart) {
  Reader r;
  r.dir.write("a.dbf", numberedBlocks(10, 8192));
  r.open(r.dir.file("a.dbf") + "\n");
  BlockContext& bc = r.rc.bc;
  ASSERT_EQ(ReadBlock(bc, 1, 3), 8192u);
  const uint64_t before = bc.counters->BadBlockCount;

  std::vector<uint8_t> cursorBlock(8192);
  BlockContext cursor(bc, cursorBlock.data());
  ASSERT_EQ(ReadBlock(cursor, 1, 4), 8192u);
  EXPECT_EQ(get32(cursorBlock.data() + 4, bc.byteOrder), makeRdba(1, 4));
  EXPECT_EQ(ReadBlock(cursor, 1, 5000), 0u);
  EXPECT_EQ(bc.counters->BadBlockCount, before + 1);

  std::vector<uint8_t> workerBlock(8192);
  ReadCache cache;  // empty: every read goes to the file
  BlockBuffers own = bc;
  own.block = workerBlock.data();
  own.cache = own.lobCache = &cache;
  BlockContext worker(bc, own);
  ASSERT_EQ(ReadBlockDirect(worker, 1, 6), 8192u);
  EXPECT_EQ(get32(workerBlock.data() + 4, bc.byteOrder), makeRdba(1, 6));
  EXPECT_EQ(ReadBlockDirect(worker, 1, 5000), 0u);
  EXPECT_EQ(worker.counters->BadBlockCount, 1u);
  EXPECT_EQ(bc.counters->BadBlockCount, before + 1);
  EXPECT_EQ(worker.threads, 1u);

  EXPECT_EQ(r.blockRdba(), makeRdba(1, 3));
}
