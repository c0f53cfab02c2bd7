// The forged ASM groups read back by hand: block fields at their offsets in
// both byte orders, and every original rebuilt byte for byte by following
// the pointers from the disk headers, through the file directory, direct
// and indirect extents, mirror copies, holes and fine striping.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>

#include "forge_test_util.h"

using namespace forge_test;
using bex::forge::ByteOrder;
using bex::forge::ScenarioOptions;

namespace {

ScenarioOptions asmOpts(uint32_t auMb, uint32_t disks, ByteOrder order = ByteOrder::Little) {
  ScenarioOptions o;
  o.auSize = auMb << 20;
  o.disks = disks;
  o.order = order;
  return o;
}

Bytes readAt(const std::string& path, uint64_t offset, size_t len) {
  std::ifstream in(path, std::ios::binary);
  Bytes b(len);
  if (!in.seekg(static_cast<std::streamoff>(offset)) || !in.read(reinterpret_cast<char*>(b.data()), len)) return {};
  return b;
}

struct Ptr {
  uint32_t au = 0;
  uint16_t disk = 0;
};

// One group as its expectation lines describe it; everything else is read
// from the images.
struct Group {
  uint32_t au = 0, bsize = 0, copies = 1;
  bool big = false;
  std::vector<std::string> disks;  // "" when missing
  std::vector<std::pair<uint32_t, uint32_t>> levels;
  std::vector<ExpectLine> files;
  mutable std::map<uint16_t, std::ifstream> open;

  explicit Group(const std::vector<ExpectLine>& ex) {
    for (const ExpectLine& e : ex) {
      if (e.kind == "asmgroup") {
        au = e.num("au"), bsize = e.num("bsize"), big = e.kv.at("order") == "BIG";
        copies = e.kv.at("redundancy") == "HIGH" ? 3 : e.kv.at("redundancy") == "NORMAL" ? 2 : 1;
      } else if (e.kind == "asmdisk") {
        disks.push_back(e.num("present") ? e.kv.at("path") : "");
      } else if (e.kind == "asmfile") {
        files.push_back(e);
      }
    }
  }
  uint32_t perAu() const { return au / bsize; }
  uint32_t f32(const Bytes& b, uint32_t off) const { return rd32(b.data() + off, big); }
  uint16_t f16(const Bytes& b, uint32_t off) const { return rd16(b.data() + off, big); }
  Ptr ptr(const Bytes& b, uint32_t off) const { return {f32(b, off), f16(b, off + 4)}; }
  Bytes read(Ptr p, uint64_t offset, size_t len) const {
    if (p.au == 0 || p.disk >= disks.size() || disks[p.disk].empty()) return {};
    std::ifstream& in = open[p.disk];
    if (!in.is_open()) in.open(disks[p.disk], std::ios::binary);
    in.clear();
    Bytes b(len);
    if (!in.seekg(static_cast<std::streamoff>(uint64_t{p.au} * au + offset)) ||
        !in.read(reinterpret_cast<char*>(b.data()), static_cast<std::streamsize>(len)))
      return {};
    return b;
  }
  uint32_t extentAus(uint32_t extent) const {
    for (const auto& [last, aus] : levels)
      if (extent <= last) return aus;
    return 1;
  }

  // The pointers of a file by index: its direct slots, then the pointers of
  // the indirect blocks its indirect slots name (first copy present).
  std::map<uint32_t, Ptr> pointers(const Bytes& entry) const {
    std::map<uint32_t, Ptr> out;
    const uint32_t slots = f16(entry, 92), direct = f16(entry, 94);
    for (uint32_t k = 0; k < std::min(slots, direct); ++k) out[k] = ptr(entry, 1216 + 8 * k);
    for (uint32_t k = direct; k < slots; k += copies) {
      for (uint32_t c = 0; c < copies; ++c) {
        const Ptr at = ptr(entry, 1216 + 8 * (k + c));
        const Bytes unit = read(at, 0, au);
        if (unit.empty()) continue;
        for (uint32_t i = 0; i < perAu(); ++i) {
          const Bytes b(unit.begin() + i * bsize, unit.begin() + (i + 1) * bsize);
          if (b[2] != 12 || f32(b, 8) != f32(entry, 4)) continue;
          for (uint32_t j = 0; j < f16(b, 36); ++j) out[f32(b, 32) + j] = ptr(b, 44 + 8 * j);
        }
        break;
      }
    }
    return out;
  }
  // The first copy of extent e (from 0) that can be read, with its length.
  Bytes extent(const std::map<uint32_t, Ptr>& ptrs, uint32_t e, uint64_t len) const {
    for (uint32_t c = 0; c < copies; ++c)
      if (auto it = ptrs.find(e * copies + c); it != ptrs.end())
        if (Bytes b = read(it->second, 0, len); !b.empty()) return b;
    return {};
  }
  // The entry of file n: the disk headers name the F1B1 AU, whose block 1
  // is file 1's entry; block n of file 1 is file n's entry.
  Bytes entry(uint32_t n) const {
    for (uint16_t d = 0; d < disks.size(); ++d) {
      const Bytes hdr = disks[d].empty() ? Bytes{} : readAt(disks[d], 0, bsize);
      if (hdr.empty() || f32(hdr, 244) == 0) continue;
      const Bytes dir = read({f32(hdr, 244), d}, bsize, bsize);
      const Bytes unit = extent(pointers(dir), n / perAu(), au);
      return unit.empty() ? unit : Bytes(unit.begin() + (n % perAu()) * bsize, unit.begin() + (n % perAu() + 1) * bsize);
    }
    return {};
  }
};

// Rebuilds file n: what COPY writes, holes as zeros; counts the holes.
Bytes rebuild(const Group& g, uint32_t n, uint32_t& holes) {
  const Bytes e = g.entry(n);
  EXPECT_FALSE(e.empty()) << "file " << n;
  if (e.empty()) return {};
  EXPECT_EQ(e[2], 4);
  EXPECT_EQ(g.f32(e, 4), n);
  const std::map<uint32_t, Ptr> ptrs = g.pointers(e);
  Bytes out;
  holes = 0;
  for (uint32_t x = 0; x < g.f32(e, 52) / g.copies; ++x) {
    const uint64_t len = uint64_t{g.extentAus(x + 1)} * g.au;
    Bytes b = g.extent(ptrs, x, len);
    if (b.empty()) ++holes, b.assign(len, 0);
    out.insert(out.end(), b.begin(), b.end());
  }
  return out;
}

// The file as SCOPY reads it: stripe g of 128 KiB from AU 8q + r % 8,
// offset 128 KiB × (r / 8), with h stripes per group of 8 AUs.
Bytes destripe(const Bytes& striped, uint32_t au) {
  const uint64_t s = 128 * 1024, h = au / s * 8;
  Bytes out(striped.size());
  for (uint64_t g = 0; g * s < striped.size(); ++g) {
    const uint64_t q = g / h, r = g % h, from = au * (8 * q + r % 8) + s * (r / 8);
    std::copy_n(striped.begin() + from, s, out.begin() + g * s);
  }
  return out;
}

Bytes whole(const std::string& path) { return readAt(path, 0, std::filesystem::file_size(path)); }

bool zeroFrom(const Bytes& b, size_t from) {
  return std::all_of(b.begin() + std::min(from, b.size()), b.end(), [](uint8_t v) { return v == 0; });
}

void expectOriginals(const ScenarioDir& d, const std::string& name, bool everyCopy) {
  const Group g(d.expect(name));
  for (const ExpectLine& f : g.files) {
    const uint32_t n = static_cast<uint32_t>(std::stoul(f.addr));
    uint32_t holes = 0;
    Bytes got = rebuild(g, n, holes);
    ASSERT_EQ(got.size(), f.num("alloc")) << name << " file " << n;
    EXPECT_EQ(holes, 0u);
    if (f.num("striped")) got = destripe(got, g.au);
    const Bytes original = whole(f.kv.at("name"));
    ASSERT_EQ(original.size(), f.num("size"));
    EXPECT_TRUE(std::equal(original.begin(), original.end(), got.begin())) << name << " file " << n;
    EXPECT_TRUE(zeroFrom(got, original.size())) << name << " file " << n;
    if (!everyCopy) continue;
    // Every copy present holds the same bytes, on a disk of its own.
    const Bytes e = g.entry(n);
    const auto ptrs = g.pointers(e);
    for (uint32_t x = 0; x < g.f32(e, 52) / g.copies; ++x) {
      std::set<uint16_t> on;
      for (uint32_t c = 0; c < g.copies; ++c) {
        const Ptr p = ptrs.at(x * g.copies + c);
        on.insert(p.disk);
        const Bytes b = g.read(p, 0, g.au);
        if (!b.empty()) {
          EXPECT_TRUE(std::equal(b.begin(), b.end(), got.begin() + uint64_t{x} * g.au)) << n << " extent " << x << " copy " << c;
        }
      }
      EXPECT_EQ(on.size(), g.copies);
    }
  }
}

}  // namespace

TEST(AsmForge, DiskHeadersEntriesAndAliasesAtTheirOffsetsInBothByteOrders) {
  for (ByteOrder order : {ByteOrder::Little, ByteOrder::Big}) {
    const bool big = order == ByteOrder::Big;
    ScenarioDir d("asm", asmOpts(4, 3, order), big ? "be" : "le");
    ASSERT_TRUE(d.ok) << d.error;
    const Group g(d.expect("asm"));
    ASSERT_EQ(g.disks.size(), 3u);
    for (uint16_t n = 0; n < 3; ++n) {
      const Bytes h = readAt(g.disks[n], 0, 4096);
      EXPECT_EQ(h[0], big ? 0 : 1);
      EXPECT_EQ(h[2], 1);
      EXPECT_EQ(h[3], 1);
      EXPECT_EQ(rd16(&h[68], big), n);
      EXPECT_EQ(h[70], 1);  // EXTERNAL
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(&h[72])), "BEXDG_000" + std::to_string(n));
      EXPECT_EQ(std::string(reinterpret_cast<const char*>(&h[104])), "BEXDG");
      EXPECT_EQ(rd16(&h[218], big), 4096);
      EXPECT_EQ(rd32(&h[220], big), 4u << 20);
      EXPECT_EQ(uint64_t{rd32(&h[228], big)} << 20, std::filesystem::file_size(g.disks[n]));
      EXPECT_EQ(rd32(&h[244], big), n == 0 ? 2u : 0u);
    }
    // The F1B1 AU: the list head, then the entries of files 1, 2 and 6.
    const Bytes dir = g.read({2, 0}, 0, 8 * 4096);
    EXPECT_EQ(dir[2], 5);
    for (uint32_t n : {1u, 2u, 6u}) {
      const uint8_t* e = &dir[n * 4096];
      EXPECT_EQ(e[2], 4);
      EXPECT_EQ(rd32(e + 4, big), n);
      EXPECT_EQ(rd32(e + 8, big), 1u);
      EXPECT_EQ(rd16(e + 94, big), 60);
    }
    EXPECT_EQ(rd32(&dir[4096 + 48], big), 4u << 20);  // file 1: one AU
    // File 260 (scan06.dbf, 3 MiB): one extent, its size in two words.
    const Bytes e = g.entry(260);
    ASSERT_FALSE(e.empty());
    EXPECT_EQ(rd32(&e[44], big), 0u);
    EXPECT_EQ(rd32(&e[48], big), 3211264u);
    EXPECT_EQ(rd32(&e[52], big), 1u);
    EXPECT_EQ(rd16(&e[92], big), 1);
    EXPECT_EQ(rd32(&e[100], big), 2u);  // its alias in block 2 of the alias directory
    // That alias: file 260, flags 18, name SCAN06.260.<incarnation>.
    const Bytes aliasDir = g.read(g.pointers(g.entry(6)).at(0), 2 * 4096, 4096);
    const uint8_t* a = &aliasDir[68 + 76 * rd32(&e[104], big)];
    EXPECT_EQ(aliasDir[2], 11);
    EXPECT_EQ(rd32(a + 64, big), 260u);
    EXPECT_EQ(a[72], 18);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(a + 16)).rfind("SCAN06.260.", 0), 0u);
    EXPECT_NE(rd32(a + 4, big), 0u);
    // The image without a disk header: an ASM block of another type.
    const Bytes junk = readAt((d.dir / "asm_nohdr.img").string(), 0, 4096);
    EXPECT_EQ(junk[3], 1);
    EXPECT_NE(junk[2], 1);
  }
}

TEST(AsmForge, FollowingThePointersRebuildsEveryOriginal) {
  struct Case {
    uint32_t auMb, disks;
    ByteOrder order;
  };
  for (const Case& c : {Case{1, 2, ByteOrder::Little}, Case{8, 1, ByteOrder::Big}, Case{4, 4, ByteOrder::Little}}) {
    ScenarioDir d("asm", asmOpts(c.auMb, c.disks, c.order), std::to_string(c.auMb));
    ASSERT_TRUE(d.ok) << d.error;
    expectOriginals(d, "asm", false);
  }
}

TEST(AsmForge, RedundancyGroupsKeepEveryExtentOnAnotherDiskWhenOneIsMissing) {
  for (const char* name : {"asmnormal", "asmhigh"}) {
    ScenarioDir d(name, ScenarioOptions{});
    ASSERT_TRUE(d.ok) << d.error;
    const Group g(d.expect(name));
    EXPECT_TRUE(g.disks[0].empty());
    EXPECT_TRUE(std::filesystem::exists(d.dir / "missing" / (std::string(name) + "_d0.img")));
    expectOriginals(d, name, true);
  }
}

// asmvar is forged once for its two tests.
class AsmVar : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { dir = new ScenarioDir("asmvar", ScenarioOptions{}); }
  static void TearDownTestSuite() { delete dir; }
  static ScenarioDir* dir;
};
ScenarioDir* AsmVar::dir = nullptr;

TEST_F(AsmVar, VariableExtentsHolesAndADirectoryThroughIndirectExtents) {
  const ScenarioDir& d = *dir;
  ASSERT_TRUE(d.ok) << d.error;
  Group g(d.expect("asmvar"));
  g.levels = {{20000, 1}, {40000, 4}};
  ASSERT_EQ(g.au, 8192u);
  // File 256's entry is block 256 of the file directory: its 129th extent,
  // behind an indirect block.
  const Bytes dir = g.entry(1);
  EXPECT_GT(g.f32(dir, 52), 60u);
  EXPECT_EQ(g.f16(dir, 92), 61);
  const Bytes big = g.entry(256);
  ASSERT_FALSE(big.empty());
  EXPECT_EQ(g.f32(big, 52), 20040u);
  uint32_t holes = 0;
  const Bytes got = rebuild(g, 256, holes);
  const Bytes original = whole((d.dir / "asmvar_big05.dbf").string());
  EXPECT_EQ(holes, 0u);
  ASSERT_EQ(got.size(), original.size() + 2 * g.au);  // the last extent is 2 of 4 AUs used
  EXPECT_TRUE(std::equal(original.begin(), original.end(), got.begin()));
  // The hole file: extent 3's pointer is empty, extents 101-120 are in no
  // indirect block; COPY writes zeros there.
  const Bytes hole = g.entry(257);
  const auto ptrs = g.pointers(hole);
  EXPECT_EQ(ptrs.at(2).au, 0u);
  for (uint32_t x = 100; x < 120; ++x) EXPECT_EQ(ptrs.count(x), 0u);
  EXPECT_EQ(ptrs.size(), 180u);
  const Bytes copy = rebuild(g, 257, holes);
  EXPECT_EQ(holes, 21u);
  EXPECT_EQ(copy, readFile((d.dir / "expect/asmvar/COPY.257").string()));
  const Bytes plain = readFile((d.dir / "asmvar_hole06.dbf").string());
  ASSERT_EQ(plain.size(), copy.size());
  for (uint32_t x = 0; x < 200; ++x) {
    const bool gap = x == 2 || (x >= 100 && x < 120);
    const auto at = copy.begin() + uint64_t{x} * g.au;
    EXPECT_EQ(std::equal(at, at + g.au, plain.begin() + uint64_t{x} * g.au), !gap) << "extent " << x + 1;
  }
}

TEST_F(AsmVar, ScanMapNamesTheDirectPointersAndThoseOfIndirectBlocks) {
  const ScenarioDir& d = *dir;
  ASSERT_TRUE(d.ok) << d.error;
  const Group g(d.expect("asmvar"));
  std::set<std::string> want;
  for (uint32_t n : {1u, 2u, 6u, 256u, 257u})
    for (const auto& [k, p] : g.pointers(g.entry(n)))
      if (p.au) want.insert(std::to_string(n) + "," + std::to_string(k + 1) + "," + std::to_string(p.disk) + "," +
                            std::to_string(p.au));
  std::ifstream in(d.dir / "expect/asmvar/SCAN.map");
  std::set<std::string> got;
  for (std::string line; std::getline(in, line);) got.insert(line);
  EXPECT_EQ(got, want);
}
