// The scenarios' files checked as a reader would see them: checksums, file
// sizes, both byte orders, and row directories against the expectations.
#include <gtest/gtest.h>

#include "forge_test_util.h"

using namespace forge_test;
using bex::forge::ByteOrder;
using bex::forge::ScenarioOptions;

namespace {

ScenarioOptions opts(uint32_t bsize, ByteOrder order = ByteOrder::Little, uint32_t hsize = 0) {
  ScenarioOptions o;
  o.blockSize = bsize;
  o.order = order;
  o.headerSize = hsize;
  o.headerSizeGiven = hsize != 0;
  return o;
}

struct FileImage {
  ExpectLine info;
  Bytes bytes;
  const uint8_t* block(uint32_t n) const {
    return bytes.data() + info.num("hsize") + static_cast<size_t>(n) * info.num("bsize");
  }
};

std::vector<FileImage> filesOf(const std::vector<ExpectLine>& ex) {
  std::vector<FileImage> files;
  for (const ExpectLine& e : ex)
    if (e.kind == "file") files.push_back({e, readFile(e.kv.at("name"))});
  return files;
}

// Block n of a file that the expectations put under "rfn/n" of the same file.
const FileImage* fileFor(const std::vector<FileImage>& files, const std::vector<ExpectLine>& ex,
                         size_t lineIndex) {
  const FileImage* f = nullptr;
  size_t fi = 0;
  for (size_t i = 0; i <= lineIndex; ++i)
    if (ex[i].kind == "file") f = &files[fi++];
  return f;
}

}  // namespace

TEST(ScenarioFiles, EveryBlockChecksumsToZeroExceptTheDeliberatelyBrokenOne) {
  for (uint32_t bsize : {2048u, 8192u, 32768u}) {
    for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
      for (const char* name : {"small", "open"}) {
        ScenarioDir d(name, opts(bsize, order), std::to_string(bsize));
        ASSERT_TRUE(d.ok) << d.error;
        for (const FileImage& f : filesOf(d.expect(name))) {
          for (uint32_t n = 0; n <= f.info.num("blocks"); ++n) {
            bool broken = std::string(name) == "small" && n == 16;
            EXPECT_EQ(xorWords(f.block(n), bsize) != 0, broken)
                << name << " " << f.info.kv.at("name") << " block " << n << " bsize " << bsize;
          }
        }
      }
    }
  }
}

TEST(ScenarioFiles, SizeIsHeaderPlusBlocksAndHeadersAgree) {
  for (uint32_t bsize : {2048u, 4096u, 8192u, 16384u, 32768u}) {
    for (uint32_t hsize : {0u, 512u, 8192u}) {
      ScenarioDir d("small", opts(bsize, ByteOrder::Big, hsize), std::to_string(bsize + hsize));
      ASSERT_TRUE(d.ok) << d.error;
      for (const FileImage& f : filesOf(d.expect("small"))) {
        const uint32_t blocks = f.info.num("blocks");
        EXPECT_EQ(f.bytes.size(), hsize + uint64_t{blocks + 1} * bsize);
        EXPECT_EQ(f.info.num("bytes"), f.bytes.size());
        EXPECT_EQ(rd32(f.block(0) + 20, true), bsize);   // OS block: block size
        EXPECT_EQ(rd32(f.block(0) + 24, true), blocks);  // and count
        EXPECT_EQ(f.block(1)[0], 0x0b);
        EXPECT_EQ(rd32(f.block(1) + 44, true), blocks);
        EXPECT_EQ(rd32(f.block(1) + 48, true), bsize);
        EXPECT_EQ(rd32(f.block(1) + 4, true), (5u << 22) | 1);
      }
    }
  }
}

TEST(ScenarioFiles, OpenConfigurationHasCommentBlankMissingAndHeaderSizeLines) {
  ScenarioDir d("open", opts(8192));
  ASSERT_TRUE(d.ok) << d.error;
  std::ifstream in(d.dir / "open.cfg");
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0][0], '#');
  EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string()), 1);
  int withSize = 0, missing = 0;
  for (const std::string& l : lines) {
    if (l.empty() || l[0] == '#') continue;
    std::string path = l.substr(0, l.find(' '));
    if (l.find(' ') != std::string::npos) ++withSize;
    if (!std::filesystem::exists(path)) ++missing;
  }
  EXPECT_EQ(withSize, 1);
  EXPECT_EQ(missing, 1);
  // Two files share relative file number 4 and both hold block 3, of different objects.
  std::map<uint32_t, int> perRfn;
  std::set<std::string> objects;
  for (const ExpectLine& e : d.expect("open")) {
    if (e.kind == "file") ++perRfn[e.num("rfn")];
    if (e.kind == "block" && e.addr == "4/3") objects.insert(e.kv.at("objd"));
  }
  EXPECT_EQ(perRfn[4], 2);
  EXPECT_EQ(objects.size(), 2u);
}

// The same scenario in both byte orders: multi-byte header fields come out
// byte-swapped, single bytes and big-endian row addresses identical.
TEST(ScenarioFiles, ByteOrdersSwapFieldsAndKeepSingleBytes) {
  ScenarioDir le("small", opts(8192, ByteOrder::Little), "le");
  ScenarioDir be("small", opts(8192, ByteOrder::Big), "be");
  ASSERT_TRUE(le.ok && be.ok) << le.error << be.error;
  std::vector<ExpectLine> exLe = le.expect("small"), exBe = be.expect("small");
  FileImage fl = filesOf(exLe)[0], fb = filesOf(exBe)[0];
  ASSERT_EQ(fl.bytes.size(), fb.bytes.size());
  for (uint32_t n = 0; n <= fl.info.num("blocks"); ++n) {
    const uint8_t *l = fl.block(n), *b = fb.block(n);
    for (int off : {0, 1, 14, 15}) EXPECT_EQ(l[off], b[off]) << "block " << n << " byte " << off;
    EXPECT_EQ(rd32(l + 4, false), rd32(b + 4, true)) << "rdba of block " << n;
    EXPECT_EQ(rd32(l + 8, false), rd32(b + 8, true));
    EXPECT_EQ(rd32(l + 8188, false), rd32(b + 8188, true)) << "tail of block " << n;
    if (l[0] == 0x06) {
      EXPECT_EQ(l[20], b[20]);
      EXPECT_EQ(l[38], b[38]);
      EXPECT_EQ(rd32(l + 24, false), rd32(b + 24, true));
      EXPECT_EQ(rd16(l + 36, false), rd16(b + 36, true));
      uint32_t hdsz = 44 + 24 * l[36] + (l[38] == 0x32 ? 8 : 0);
      if (l[20] == 1) {  // data header: nrow .. tosp
        for (uint32_t f = 2; f < 14; f += 2) EXPECT_EQ(rd16(l + hdsz + f, false), rd16(b + hdsz + f, true));
        EXPECT_NE(rd16(l + hdsz + 2, false), rd16(b + hdsz + 2, false)) << "nrow not swapped";
      } else {  // index header: kdxconro .. kdxcoavs, kdxlenxt
        for (int i = 0; i < 4; ++i) EXPECT_EQ(l[hdsz + i], b[hdsz + i]);
        for (uint32_t f = 8; f < 16; f += 2) EXPECT_EQ(rd16(l + hdsz + f, false), rd16(b + hdsz + f, true));
        EXPECT_EQ(rd32(l + hdsz + 20, false), rd32(b + hdsz + 20, true));
      }
    }
    if (l[0] == 0x10) {
      for (int off : {36, 40, 60, 92, 96, 100, 108, 112}) EXPECT_EQ(rd32(l + off, false), rd32(b + off, true));
    }
    if (l[0] == 0x23) {
      for (int off : {36, 40, 60, 264, 268, 272, 280, 284}) EXPECT_EQ(rd32(l + off, false), rd32(b + off, true));
    }
    if (l[0] == 0x02) {
      EXPECT_EQ(l[30], b[30]);  // cnt
      for (int off : {20, 22, 28, 34, 36}) EXPECT_EQ(rd16(l + off, false), rd16(b + off, true));
    }
  }
  // Row pieces: identical bytes, except the 16-bit length after 0xFE.
  ASSERT_EQ(exLe.size(), exBe.size());
  for (size_t i = 0; i < exLe.size(); ++i) {
    if (exLe[i].kind != "row") continue;
    Bytes pl = unhex(exLe[i].kv.at("piece")), pb = unhex(exBe[i].kv.at("piece"));
    ASSERT_EQ(pl.size(), pb.size());
    for (size_t k = 0; k < pl.size(); ++k) {
      if (pl[k] == pb[k]) continue;
      ASSERT_TRUE(k >= 1 && (pl[k - 1] == 0xfe || (k >= 2 && pl[k - 2] == 0xfe)))
          << exLe[i].addr << " differs at " << k;
    }
  }
}

// Each row directory entry, read from the written block, points at the piece
// bytes and offset the expectations record.
TEST(ScenarioFiles, RowDirectoryPointsAtTheRecordedPieces) {
  for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
    ScenarioDir d("small", opts(4096, order), order == ByteOrder::Big ? "b" : "l");
    ASSERT_TRUE(d.ok) << d.error;
    const bool big = order == ByteOrder::Big;
    std::vector<ExpectLine> ex = d.expect("small");
    std::vector<FileImage> files = filesOf(ex);
    int rows = 0;
    for (size_t i = 0; i < ex.size(); ++i) {
      const ExpectLine& e = ex[i];
      if (e.kind != "row" && e.kind != "free") continue;
      const uint8_t* blk = fileFor(files, ex, i)->block(e.block());
      const uint32_t hdsz = 44 + 24 * blk[big ? 37 : 36] + (blk[38] == 0x32 ? 8 : 0);
      // Compressed blocks: 8 bytes, n 16-bit lengths and m bytes, even-sized.
      const uint32_t comp = blk[hdsz] & 0x40 ? (8 + 2 * blk[hdsz + 19] + blk[hdsz + 20] + 1) & ~1u : 0;
      const uint32_t tabdir = hdsz + 14 + comp;
      const uint32_t ntab = blk[hdsz + 1];
      const uint32_t t = e.num("tab");
      ASSERT_LT(t, ntab);
      const uint32_t first = rd16(blk + tabdir + 4 * t, big);
      const uint16_t entry = rd16(blk + tabdir + 4 * ntab + 2 * (first + e.num("slot")), big);
      if (e.kind == "free") {
        EXPECT_EQ(entry, 0xffff);
        continue;
      }
      ++rows;
      const uint32_t offs = hdsz + entry;
      EXPECT_EQ(offs, e.num("offs")) << e.addr;
      Bytes piece = unhex(e.kv.at("piece"));
      ASSERT_LE(offs + piece.size(), 4096u - 4) << e.addr << " runs into the tail";
      EXPECT_EQ(Bytes(blk + offs, blk + offs + piece.size()), piece) << e.addr << " slot " << e.num("slot");
    }
    EXPECT_GT(rows, 20);
  }
}
