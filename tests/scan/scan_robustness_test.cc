// ScanFile over damaged blocks: random bytes under every block type the
// scan looks into, some with a consistent checksum so that their row
// directories are parsed. The scan must end, count exactly the blocks whose
// words do not XOR to zero, and write only well-formed lines.
#include <filesystem>
#include <fstream>
#include <regex>

#include "datafile/block_reader.h"

#include "byte_sweeps.h"
#include "scan_fixture.h"

using namespace bex;
using namespace bex::testing;

namespace {

uint16_t xorWords(const std::vector<uint8_t>& b) {
  uint16_t x = 0;
  for (size_t i = 0; i + 1 < b.size(); i += 2) x ^= static_cast<uint16_t>(b[i] << 8 | b[i + 1]);
  return x;
}

struct Random {
  uint64_t s;
  uint32_t next() {
    s = s * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(s >> 33);
  }
};

// Random bytes after a plausible header; a fifth keep a broken checksum.
std::vector<uint8_t> damagedBlock(Random& r, uint32_t size, uint32_t rfn, uint32_t block) {
  static const uint8_t kTypes[] = {0x06, 0x06, 0x06, 0x1b, 0x28, 0x10, 0x23, 0x20, 0x00, 0xff};
  std::vector<uint8_t> b(size);
  for (uint8_t& x : b) x = static_cast<uint8_t>(r.next());
  b[0] = kTypes[r.next() % sizeof kTypes];
  b[1] = 0xa2;
  put32(&b[4], (rfn << 22) | block, false);
  if (r.next() % 3 == 0) b[20] = static_cast<uint8_t>(1 + r.next() % 2);  // table or index
  if (r.next() % 4 == 0) memset(&b[24], 0, 4);                            // small object numbers repeat
  if (r.next() % 5 != 0) sealBlock(b);
  return b;
}

class ScanOnEachSweep : public EachByteSweep {};
class BlockChecksum : public EachByteSweep {};

}  // namespace

TEST_P(ScanOnEachSweep, RandomBlocksEndCleanlyWithWellFormedLines) {
  for (uint32_t size : {2048u, 8192u}) {
    ScanFixture fx;
    fx.sh.rc.bc.blockSize = static_cast<uint16_t>(size);
    Random r{size};
    std::vector<std::vector<uint8_t>> blocks = {std::vector<uint8_t>(size, 0), makeFileHeader(size, 6, 1, size)};
    uint64_t unsound = 0;
    for (uint32_t n = 2; n < 1500; n++) {
      blocks.push_back(damagedBlock(r, size, 6, n));
      unsound += xorWords(blocks.back()) != 0;
    }
    fx.dir.write("random.dbf", blocks, 0, size / 2);  // and half a block at the end
    fx.open({"random.dbf"});
    Listings l = fx.scan(size * 5);
    EXPECT_EQ(l.errors, unsound);
    std::regex ext("(\\d+,6,\\d+,\\d+,\\d+,\r\n)*"), lob("(\\d+,[0-9A-F]{20},\\d+,\\d+,6,\\d+,\\d+,\n)*");
    EXPECT_TRUE(std::regex_match(l.ext, ext)) << l.ext.substr(0, 200);
    EXPECT_TRUE(std::regex_match(l.lob, lob)) << l.lob.substr(0, 200);
    EXPECT_GT(l.ext.size(), 0u);
    EXPECT_GT(l.lob.size(), 0u);
  }
}

TEST(ScanFileRobustness, FilesOfZerosAndFilesCutShort) {
  ScanFixture fx;
  fx.dir.write("zeros.dbf", std::vector<std::vector<uint8_t>>(40, std::vector<uint8_t>(8192, 0)));
  std::vector<std::vector<uint8_t>> blocks = {std::vector<uint8_t>(8192, 0), makeFileHeader(8192, 4, 1, 8192)};
  for (uint32_t n = 2; n < 40; n++) blocks.push_back(std::vector<uint8_t>(8192, 0));
  fx.dir.write("header_then_zeros.dbf", blocks, 0, 100);
  blocks.resize(2);
  fx.dir.write("header_only.dbf", blocks, 0, 8191);
  fx.open({"zeros.dbf", "header_then_zeros.dbf", "header_only.dbf", "missing.dbf"});
  Listings l = fx.scan();
  EXPECT_EQ(l.ext, "");
  EXPECT_EQ(l.lob, "");
  EXPECT_EQ(l.errors, 0u);
}

// Each sweep's checksum against a plain XOR of 16-bit words, for every
// length class (whole 64- and 128-byte steps, 8-byte and 2-byte tails) and
// every single-bit change.
TEST_P(BlockChecksum, AgreesWithWordByWordXor) {
  Random r{7};
  for (size_t length : {2u, 6u, 8u, 62u, 64u, 70u, 126u, 128u, 130u, 194u, 2048u, 8190u, 8192u}) {
    std::vector<uint8_t> b(length);
    for (uint8_t& x : b) x = static_cast<uint8_t>(r.next());
    uint16_t plain = 0;
    for (size_t i = 0; i + 1 < length; i += 2) {
      uint16_t w;
      memcpy(&w, &b[i], 2);
      plain ^= w;
    }
    EXPECT_EQ(BlockChecksumTest(b.data(), length), plain) << length;
    uint16_t first;
    memcpy(&first, &b[0], 2);
    first ^= plain;
    memcpy(&b[0], &first, 2);
    ASSERT_EQ(BlockChecksumTest(b.data(), length), 0) << length;
    for (size_t bit = 0; bit < length * 8; bit += 1 + length / 64) {
      b[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
      ASSERT_NE(BlockChecksumTest(b.data(), length), 0) << length << " bit " << bit;
      b[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
    }
  }
}

// Blocks Oracle wrote (the shared real data) are consistent on every sweep,
// and a changed bit anywhere makes them not.
TEST_P(BlockChecksum, RealBlocksAreConsistent) {
  const std::filesystem::path dir = std::filesystem::path(BEX_REALDATA_DIR) / "blockdumps";
  if (!std::filesystem::is_directory(dir)) GTEST_SKIP() << "real block dumps not found";
  int blocks = 0;
  for (const auto& e : std::filesystem::directory_iterator(dir)) {
    if (e.path().extension() != ".blk") continue;
    std::ifstream in(e.path(), std::ios::binary);
    std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_EQ(b.size(), 8192u) << e.path();
    EXPECT_EQ(BlockChecksumTest(b.data(), b.size()), 0) << e.path();
    for (size_t at : {0u, 100u, 4095u, 8191u}) {
      b[at] ^= 0x10;
      EXPECT_NE(BlockChecksumTest(b.data(), b.size()), 0) << e.path() << " byte " << at;
      b[at] ^= 0x10;
    }
    blocks++;
  }
  EXPECT_GE(blocks, 6);
}

BEX_EACH_BYTE_SWEEP(ScanOnEachSweep);
BEX_EACH_BYTE_SWEEP(BlockChecksum);
