// Decodes the forged blocks with a small test-side parser written from the
// block layouts (not from the forge's writers) and compares what it finds
// with the expectations file: row pieces, cluster members, compressed rows,
// index and IOT entries, undo records and undo segment headers.
#include <gtest/gtest.h>

#include "forge_test_util.h"

using namespace forge_test;
using bex::forge::ByteOrder;
using bex::forge::ScenarioOptions;

namespace {

struct Block {
  const uint8_t* p;
  uint32_t size;
  bool big;
  uint16_t u16(uint32_t off) const { return rd16(p + off, big); }
  uint32_t hdsz() const { return 44 + 24 * p[big ? 37 : 36] + (p[38] == 0x32 ? 8 : 0); }
};

using Cols = std::vector<std::string>;

std::string hexOf(const uint8_t* p, size_t n) {
  static const char d[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; ++i) s += {d[p[i] >> 4], d[p[i] & 15]};
  return s;
}

// One column in the length-byte encoding; returns the position after it.
uint32_t column(const Block& b, uint32_t p, Cols& out) {
  const uint8_t l = b.p[p];
  if (l == 0xff) {
    out.push_back("");
    return p + 1;
  }
  if (l == 0xfe) {
    uint16_t n = b.u16(p + 1);
    out.push_back(hexOf(b.p + p + 3, n));
    return p + 3 + n;
  }
  out.push_back(hexOf(b.p + p + 1, l));
  return p + 1 + l;
}

uint16_t rowEntry(const Block& b, uint32_t tab, uint32_t slot, uint32_t comp) {
  const uint32_t h = b.hdsz();
  const uint32_t ntab = b.p[h + 1];
  const uint32_t tabdir = h + 14 + comp;
  return b.u16(tabdir + 4 * ntab + 2 * (b.u16(tabdir + 4 * tab) + slot));
}

Cols plainPiece(const Block& b, uint32_t tab, uint32_t slot) {
  uint32_t p = b.hdsz() + rowEntry(b, tab, slot, 0);
  const uint8_t flag = b.p[p], cc = b.p[p + 2];
  Cols cols;
  p += 3;
  if (flag & 0x40) cols = plainPiece(b, 0, b.p[p++]);  // cluster key first
  if ((flag & 0xac) == 0xac) {
    p += 16;
  } else {
    if ((flag & 0x28) == 0x08) p += 6;
    if (!(flag & 0x04)) p += 6;
  }
  for (int i = 0; i < cc; ++i) p = column(b, p, cols);
  return cols;
}

struct Compressed {
  const Block& b;
  uint32_t comp = 0, full = 0, n = 0;
  std::vector<uint16_t> a;
  explicit Compressed(const Block& blk) : b(blk) {
    const uint32_t h = b.hdsz() + 14;
    full = b.u16(h + 2);
    n = b.p[h + 5];
    for (uint32_t i = 0; i < n; ++i) a.push_back(b.u16(h + 8 + 2 * i));
    comp = (8 + 2 * n + b.p[h + 6] + 1) & ~1u;
  }
  uint32_t start(uint32_t tab, uint32_t row) const { return b.hdsz() + rowEntry(b, tab, row, comp); }
  // A value or reference entry; returns the position after it and how many
  // columns it counts as inside a symbol row.
  uint32_t entry(uint32_t p, Cols& cols, uint32_t& counted) const {
    const uint8_t e = b.p[p];
    if (e <= 200) {
      Cols sub = symbol(e);
      cols.insert(cols.end(), sub.begin(), sub.end());
      counted += e < full ? b.p[start(0, e) + 2] : 1;
      return p + 1;
    }
    counted += 1;
    if (e <= 249) {
      cols.push_back(hexOf(b.p + p + 1, e - 200));
      return p + 1 + (e - 200);
    }
    if (e == 250) {
      uint16_t len = rd16(b.p + p + 1, true);
      cols.push_back(hexOf(b.p + p + 3, len));
      return p + 3 + len;
    }
    if (e == 251) {
      Cols sub = symbol(rd16(b.p + p + 1, true));
      cols.insert(cols.end(), sub.begin(), sub.end());
      return p + 3;
    }
    cols.push_back("");
    return p + 1;
  }
  Cols symbol(uint32_t r) const {
    uint32_t p = start(0, r);
    uint32_t u = 1;
    if (r < full) u = b.p[p + 2];
    p += r < full ? 3 : 2;
    Cols cols;
    for (uint32_t counted = 0; counted < u;) p = entry(p, cols, counted);
    return cols;
  }
  Cols row(uint32_t r) const {
    uint32_t p = start(1, r);
    const uint8_t flag = b.p[p], cc = b.p[p + 2];
    const uint32_t lead = n ? b.p[p + 3] : 0;
    p += n ? 4 : 3;
    if (!(flag & 0x08)) p += 6;
    if (!(flag & 0x04)) p += 6;
    Cols cols;
    for (int i = 0; i < cc; ++i) {
      const uint8_t e = b.p[p];
      if (e >= 201 && e <= 249 && cols.size() < lead) {
        p = run(p + 1, e - 200, cols);
      } else {
        uint32_t ignored = 0;
        p = entry(p, cols, ignored);
      }
    }
    return cols;
  }
  uint32_t run(uint32_t p, uint32_t count, Cols& cols) const {
    const uint32_t k = static_cast<uint32_t>(cols.size());
    uint16_t from = a[k];
    if (from & 0x8000) {
      from = 0;
      for (uint32_t l = 0; l < k; ++l)
        if (!(a[l] & 0x8000)) from = a[l];
    }
    for (uint32_t c = k; c < k + count; ++c) {
      uint16_t len = static_cast<uint16_t>(a[c + 1] - from);
      if (len & 0x8000) len = 0;
      cols.push_back(hexOf(b.p + p, len));
      p += len;
      from = static_cast<uint16_t>(from + len);
    }
    return p;
  }
};

Cols indexEntry(const Block& b, uint32_t slot, uint32_t& offs) {
  const uint32_t h = b.hdsz();
  offs = h + b.u16(h + 36 + 2 * slot);
  const uint8_t flag = b.p[offs];
  uint32_t p = offs + 2 + b.p[h + 28];
  Cols cols;
  for (int i = 0; i < b.p[h + 3]; ++i) p = column(b, p, cols);
  if (flag & 0x04) {
    const uint8_t rowFlag = b.p[p], cc = b.p[p + 2];
    p += 3;
    if (!(rowFlag & 0x04)) p += 6;
    for (int i = 0; i < cc; ++i) p = column(b, p, cols);
  }
  return cols;
}

Cols split(const std::string& s, uint32_t n) {
  Cols out;
  if (n == 0) return out;
  size_t from = 0;
  for (;;) {
    size_t comma = s.find(',', from);
    out.push_back(s.substr(from, comma - from));
    if (comma == std::string::npos) return out;
    from = comma + 1;
  }
}

class Decode : public ::testing::TestWithParam<std::tuple<uint32_t, ByteOrder>> {};

}  // namespace

TEST_P(Decode, EveryRowAndEntryDecodesToItsExpectedColumns) {
  auto [bsize, order] = GetParam();
  ScenarioOptions o;
  o.blockSize = bsize;
  o.order = order;
  ScenarioDir d("small", o, std::to_string(bsize) + (order == ByteOrder::Big ? "b" : "l"));
  ASSERT_TRUE(d.ok) << d.error;
  std::vector<ExpectLine> ex = d.expect("small");
  Bytes file = readFile(ex[0].kv.at("name"));
  std::map<std::string, int> seen;
  for (const ExpectLine& e : ex) {
    if (e.kind != "row" && e.kind != "entry") continue;
    Block b{file.data() + static_cast<size_t>(e.block()) * bsize, bsize, order == ByteOrder::Big};
    const Cols want = split(e.kv.at("cols"), e.num("ncols"));
    const std::string where = e.kind + " " + e.addr + " slot " + e.kv.at("slot");
    if (e.kind == "entry") {
      uint32_t offs = 0;
      EXPECT_EQ(indexEntry(b, e.num("slot"), offs), want) << where;
      EXPECT_EQ(offs, e.num("offs")) << where;
      ++seen[b.p[b.hdsz() + 2] & 0x10 ? "iot" : "index"];
    } else if (b.p[b.hdsz()] & 0x40) {
      Compressed c(b);
      EXPECT_EQ(e.num("tab") == 0 ? c.symbol(e.num("slot")) : c.row(e.num("slot")), want) << where;
      ++seen["compressed"];
    } else {
      EXPECT_EQ(plainPiece(b, e.num("tab"), e.num("slot")), want) << where;
      ++seen[b.p[b.hdsz() + 1] > 1 ? "cluster" : "plain"];
    }
  }
  EXPECT_EQ(seen["compressed"], 11);
  EXPECT_EQ(seen["index"], 6);
  EXPECT_EQ(seen["iot"], 4);
  EXPECT_EQ(seen["cluster"], 7);
  EXPECT_GT(seen["plain"], 15);
}

INSTANTIATE_TEST_SUITE_P(SizesAndOrders, Decode,
                         ::testing::Combine(::testing::Values(2048u, 8192u, 32768u),
                                            ::testing::Values(ByteOrder::Little, ByteOrder::Big)));

TEST(DecodeUndo, RecordsStackDownwardAndTransactionTableSitsWhereExpected) {
  for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
    for (uint32_t bsize : {2048u, 8192u}) {
      ScenarioOptions o;
      o.blockSize = bsize;
      o.order = order;
      ScenarioDir d("small", o, "undo" + std::to_string(bsize));
      ASSERT_TRUE(d.ok) << d.error;
      const bool big = order == ByteOrder::Big;
      std::vector<ExpectLine> ex = d.expect("small");
      Bytes file = readFile(ex[0].kv.at("name"));
      int records = 0, slots = 0;
      for (const ExpectLine& e : ex) {
        if (e.kind == "file") continue;
        const uint8_t* p = file.data() + static_cast<size_t>(e.block()) * bsize;
        if (e.kind == "urec") {
          const uint32_t i = e.num("idx");
          const uint16_t off = rd16(p + 36 + 2 * i, big);
          const uint16_t upper = i == 0 ? rd16(p + 34, big) : rd16(p + 36 + 2 * (i - 1), big);
          EXPECT_EQ(off, e.num("offs"));
          EXPECT_EQ(upper - off, e.num("len"));
          EXPECT_EQ(hexOf(p + off, upper - off), e.kv.at("bytes"));
          EXPECT_GE(off, 36 + 2 * p[30]);
          EXPECT_LE(upper, bsize - 4);
          ++records;
        }
        if (e.kind == "useg") {
          const uint32_t t = e.num("trans");
          if (bsize == 8192 && p[0] == 0x26) {
            EXPECT_EQ(t, 6096u);  // where readers look in 8 KiB blocks
          }
          const uint32_t exts = rd32(p + 92, big);
          const uint32_t offset = rd32(p + 44, big) & 0xffff;
          EXPECT_GE(offset + 20, 108 + 8 * exts) << "timestamps overlap the extent list";
          const uint32_t stamps = p[0] == 0x26 ? 4 * exts : 0;  // 0x0e keeps no timestamps
          EXPECT_LE(offset + 20 + stamps, t) << "lists overlap the transaction area";
          if (p[0] == 0x0e) {
            EXPECT_EQ(t, offset + 20);  // where readers look for type 0x0e
          }
          EXPECT_LE(t + 104 + 40 * e.num("tcount"), bsize - 4);
        }
        if (e.kind == "tslot") {
          uint32_t t = 0;
          for (const ExpectLine& u : ex)
            if (u.kind == "useg" && u.addr == e.addr) t = u.num("trans");
          const uint8_t* slot = p + t + 104 + 40 * e.num("idx");
          EXPECT_EQ(rd16(slot, big), e.num("wrap"));
          EXPECT_EQ(rd16(slot + 16, big) & 0xff, e.num("state"));
          EXPECT_EQ(rd32(slot + 4, big), e.num("rdba"));
          ++slots;
        }
      }
      EXPECT_EQ(records, 3);
      EXPECT_EQ(slots, 2);
    }
  }
}

// Segment headers and map blocks read field by field per block type.
TEST(DecodeSegments, HeaderAndMapFieldsMatchTheirFacts) {
  for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
    ScenarioOptions o;
    o.order = order;
    o.blockSize = 4096;
    ScenarioDir d("small", o, order == ByteOrder::Big ? "segb" : "segl");
    ASSERT_TRUE(d.ok) << d.error;
    const bool big = order == ByteOrder::Big;
    std::vector<ExpectLine> ex = d.expect("small");
    Bytes file = readFile(ex[0].kv.at("name"));
    int segs = 0, extents = 0;
    const uint8_t* p = nullptr;
    uint32_t list = 0, k = 0;
    for (const ExpectLine& e : ex) {
      if (e.kind == "file") continue;
      const uint8_t* blk = file.data() + static_cast<size_t>(e.block()) * 4096;
      if (e.kind == "seg") {
        p = blk;
        k = 0;
        const uint8_t t = p[0];
        const bool map = t == 0x12 || t == 0x24;
        const uint32_t here = t == 0x23 ? 264 : map ? 20 : 92;
        list = t == 0x23 ? 280 : map ? 36 : 108;
        EXPECT_EQ(rd32(p + (map ? 20 : 36), big), e.num("exts")) << e.addr;
        EXPECT_EQ(map ? 0 : rd32(p + 40, big), e.num("blks")) << e.addr;
        EXPECT_EQ(rd32(p + here, big), e.num("here")) << e.addr;
        EXPECT_EQ(rd32(p + here + 4, big), e.num("map")) << e.addr;
        const uint32_t objdAt = t == 0x23 ? 272 : t == 0x10 ? 100 : t == 0x12 ? 28 : 0;
        EXPECT_EQ(objdAt ? rd32(p + objdAt, big) : 0, e.num("objd")) << e.addr;
        ++segs;
      }
      if (e.kind == "extent" && blk == p) {  // this block's entries, in list order
        EXPECT_EQ(rd32(p + list + 8 * k, big), e.num("rdba")) << e.addr << " extent " << k;
        EXPECT_EQ(rd32(p + list + 8 * k + 4, big), e.num("len")) << e.addr << " extent " << k;
        ++k;
        ++extents;
      }
    }
    EXPECT_EQ(segs, 4);
    EXPECT_EQ(extents, 6);
  }
}
