// The layout probe finds a data file's block size, byte order, bigfile
// addressing and header size from its header block alone, takes a value
// the user fixed as the only one to try, and finds nothing in bytes that
// hold no header block where one belongs.
#include <gtest/gtest.h>

#include <random>

#include "base/limits.h"
#include "base/rdba.h"
#include "datafile/layout_probe.h"
#include "test_files.h"

using namespace bex;
using namespace bex::testing;

namespace {

// headerSize filler bytes, block 0, then the header block of relative file
// rfn (0: a bigfile's).
std::vector<uint8_t> fileImage(uint32_t blockSize, bool big, uint32_t headerSize, uint32_t rfn = 5) {
  std::vector<uint8_t> image(headerSize + blockSize, 0xEE);
  const std::vector<uint8_t> header = makeFileHeader(blockSize, rfn, 4, blockSize, big);
  image.insert(image.end(), header.begin(), header.end());
  return image;
}

FileLayout probe(std::vector<uint8_t> image, const LayoutFixed& fixed = {}) {
  MemorySource source(std::move(image));
  return probeFileLayout(source, fixed);
}

}  // namespace

TEST(LayoutProbe, FindsEveryBlockSizeByteOrderAndHeaderSize) {
  for (uint32_t size = kBlockSizeMin; size <= kBlockSizeMax; size += kBlockSizeMin)
    for (bool big : {false, true})
      for (uint32_t headerSize : kProbedHeaderSizes)
        for (uint32_t rfn : {0u, 5u}) {
          const FileLayout l = probe(fileImage(size, big, headerSize, rfn));
          SCOPED_TRACE(::testing::Message() << size << " big " << big << " header " << headerSize << " rfn " << rfn);
          ASSERT_TRUE(l.found);
          EXPECT_EQ(l.blockSize, size);
          EXPECT_EQ(l.byteOrder, big ? 1 : 0);
          EXPECT_EQ(l.headerSize, headerSize);
          EXPECT_EQ(l.bigfile, rfn == 0 ? 1 : 0);
        }
}

TEST(LayoutProbe, TriesOnlyTheValuesTheUserFixed) {
  const std::vector<uint8_t> image = fileImage(16384, true, 8192);
  // Each fixed value the file does not have: byte order, block size,
  // bigfile addressing, header size.
  const int any = kLayoutFree;
  for (const LayoutFixed& fixed : {LayoutFixed{0, 0, any, any}, LayoutFixed{8192, any, any, any},
                                   LayoutFixed{0, any, 1, any}, LayoutFixed{0, any, any, 0}})
    EXPECT_FALSE(probe(image, fixed).found);
  // A header size a configuration line gives is tried even when unusual.
  const FileLayout odd = probe(fileImage(4096, false, 3000), LayoutFixed{0, kLayoutFree, kLayoutFree, 3000});
  ASSERT_TRUE(odd.found);
  EXPECT_EQ(odd.headerSize, 3000u);
  EXPECT_EQ(odd.blockSize, 4096);
  const FileLayout agreeing = probe(image, LayoutFixed{16384, 1, 0, 8192});
  EXPECT_TRUE(agreeing.found);
}

TEST(LayoutProbe, FindsNothingInBytesWithoutAHeaderBlock) {
  EXPECT_FALSE(probe({}).found);
  // Cut inside the fields the probe compares.
  std::vector<uint8_t> cut = fileImage(8192, false, 0);
  cut.resize(8192 + 40);
  EXPECT_FALSE(probe(cut).found);
  // A header whose own block size or address disagrees with its place (a
  // 4096-byte header after 4096 bytes would agree).
  std::vector<uint8_t> other = fileImage(8192, false, 0);
  put32(&other[8192 + 48], 16384, false);
  EXPECT_FALSE(probe(other).found);
  std::vector<uint8_t> moved = fileImage(8192, false, 0);
  put32(&moved[8192 + 4], makeRdba(5, 2), false);
  EXPECT_FALSE(probe(moved).found);
  std::vector<uint8_t> format = fileImage(8192, false, 0);
  format[8192 + 1] = 0xa3;
  EXPECT_FALSE(probe(format).found);
  std::vector<uint8_t> data = fileImage(8192, false, 0);
  data[8192] = 0x06;
  EXPECT_FALSE(probe(data).found);
  // Random bytes, and a source that fails to read past its first bytes.
  std::mt19937 random(29);
  std::vector<uint8_t> noise(200000);
  for (uint8_t& b : noise) b = static_cast<uint8_t>(random());
  EXPECT_FALSE(probe(noise).found);
  MemorySource failing(fileImage(8192, false, 0));
  failing.failBetween(100, 1u << 20);
  EXPECT_FALSE(probeFileLayout(failing, {}).found);
}

TEST(LayoutProbe, FindsTheLayoutOfRealDataFiles) {
  const std::string dir = std::string(BEX_REALDATA_DIR) + "/ocl-11204-dbfheaders/";
  const std::string system = fileText(dir + "system01bak.dbf");
  if (system.empty()) GTEST_SKIP() << "no real data files at " << dir;
  for (const char* name : {"system01bak.dbf", "sysaux01bak.dbf", "undotbs01bak.dbf", "users01bak.dbf"}) {
    const std::string bytes = fileText(dir + name);
    const FileLayout l = probe(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    SCOPED_TRACE(name);
    ASSERT_TRUE(l.found);
    // 11.2.0.4 on Linux x86-64: 8 KiB blocks, little-endian, no header.
    EXPECT_EQ(l.blockSize, 8192);
    EXPECT_EQ(l.byteOrder, 0);
    EXPECT_EQ(l.bigfile, 0);
    EXPECT_EQ(l.headerSize, 0u);
  }
}
