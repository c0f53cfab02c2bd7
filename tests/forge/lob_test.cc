// LOB blocks, chunk blocks and locators read back by their layouts, and the
// "lob" scenario in both byte orders and three block sizes: its listing
// against the LOB blocks in the files, its locators in the rows, and its
// data and LOB files against the values.
#include <gtest/gtest.h>

#include <algorithm>

#include "forge/lob_locator.h"
#include "forge/values.h"
#include "forge_test_util.h"

using namespace bex::forge;
using namespace forge_test;

namespace {

uint64_t be(const uint8_t* p, size_t n) {
  uint64_t v = 0;
  for (size_t i = 0; i < n; ++i) v = v << 8 | p[i];
  return v;
}

// A locator as a reader takes it: the case by F and G, tried A to E.
struct Parsed {
  char kind = '?';  // A B C D E, O offline, X invalid
  uint64_t pages = 0, total = 0, count = 0;
  uint32_t lastlen = 0, dataoff = 0;
  uint8_t inlineMark = 0;
};

Parsed parse(const Bytes& v) {
  Parsed r;
  if (!(v[5] & 0x04)) {
    r.kind = 'O';
    return r;
  }
  const uint8_t f = v[22];
  const bool g = v[23] & 0x02;
  if (f & 0x01) {
    r = {((f & 0x0f) == 5 || (f & 0x0f) == 9) && !g ? 'A' : 'X', be(&v[24], 4), 0, 0, uint32_t(be(&v[28], 2)), 36,
         v[35]};
  } else if (f & 0x08) {
    const uint8_t n = v[26];
    if (g || !(n == 0 || n == 1 || n == 2 || n == 4)) return {'X'};
    r = {'B', be(&v[27], n), 0, 0, uint32_t(be(&v[n + 27], 2)), uint32_t(n + 30), v[n + 29]};
  } else if (f & 0x0f) {
    r.kind = 'C';
  } else if (g) {
    r = {'D', be(&v[24], 2), 0, 0, uint32_t(be(&v[26], 2)), 29, v[28]};
  } else {
    const uint32_t k = v[26] >= 0x21 && v[26] <= 0x23 ? v[26] - 0x1f : 0;
    const uint8_t m = k ? v[28 + k] : 0;
    if (!k || !(m == 1 || m == 2 || m == 4)) return {'X'};
    r = {'E', 0, be(&v[28], k), be(&v[29 + k], m), 0, 29 + k + m, 0};
  }
  return r;
}

LobId someId() { return lobIdOf(0x123456789aULL); }

}  // namespace

TEST(LobBlocks, FieldsAtTheirOffsetsInBothByteOrders) {
  for (ByteOrder o : {ByteOrder::Little, ByteOrder::Big}) {
    const bool big = o == ByteOrder::Big;
    for (uint32_t bs : {2048u, 32768u}) {
      LobBlockSpec s;
      s.hdr.type = kLobClob;
      s.hdr.rdba = makeRdba(4, 77);
      s.objd = 74001, s.lobId = someId(), s.version = 0x01020304, s.page = 513;
      s.payload = Bytes(bs, 0x5a);  // longer than the block holds
      Facts facts;
      ForgeBlock b = buildLobBlock(s, bs, o, facts);
      const uint8_t* p = b.data();
      EXPECT_EQ(p[0], 0x28);
      EXPECT_EQ(rd32(p + 4, big), makeRdba(4, 77));
      EXPECT_EQ(rd32(p + 20, big), 74001u);
      EXPECT_EQ(Bytes(p + 24, p + 34), Bytes(s.lobId.begin(), s.lobId.end()));
      EXPECT_EQ(rd32(p + 40, big), 0x01020304u);
      EXPECT_EQ(rd32(p + 44, big), 513u);
      EXPECT_EQ(std::count(p + 56, p + bs - 4, 0x5a), long(bs - 60)) << "payload from 56 to the tail";
      EXPECT_EQ(xorWords(p, bs), 0);

      LobChunkSpec c;
      c.payload = Bytes(bs, 0xa5);
      ForgeBlock k = buildLobChunkBlock(c, bs, o, facts);
      EXPECT_EQ(std::count(k.data() + 128, k.data() + bs - 4, 0xa5), long(bs - 132)) << "chunk payload from 128";
      EXPECT_EQ(std::count(k.data() + 20, k.data() + 128, 0), 108);
      EXPECT_EQ(xorWords(k.data(), bs), 0);
    }
  }
}

TEST(LobLocators, EveryCaseReadsBackAsTheLayoutSays) {
  const LobId id = someId();
  const Bytes data = {'h', 'i', 0x00, 0xff};
  auto locatorOf = [&](LocatorCase kind, uint8_t width = 0) {
    LocatorSpec s;
    s.kind = kind, s.id = id, s.width = width, s.pages = 3, s.lastlen = 100;
    return s;
  };
  for (LocatorCase kind : {LocatorCase::A, LocatorCase::B, LocatorCase::D}) {
    for (uint8_t width : {0, 1, 2, 4}) {
      if (kind != LocatorCase::B && width) continue;
      LocatorSpec s = locatorOf(kind, width);
      if (kind == LocatorCase::B && width == 0) s.pages = 0;
      const Bytes out = encodeLocator(s);
      Parsed r = parse(out);
      EXPECT_EQ(r.kind, *locatorCaseName(kind)) << int(width);
      EXPECT_EQ(r.pages, s.pages);
      EXPECT_EQ(r.lastlen, 100u);
      EXPECT_EQ(r.inlineMark, 0);
      EXPECT_EQ(out.size(), r.dataoff) << "an out-of-line header ends at its data offset";
      EXPECT_EQ(Bytes(out.begin() + 10, out.begin() + 20), Bytes(id.begin(), id.end()));
      EXPECT_EQ(be(out.data(), 2), out.size() - 2);

      s.inlineData = true, s.data = data, s.lastlen = 4, s.pages = 0;
      const Bytes in = encodeLocator(s);
      r = parse(in);
      EXPECT_EQ(r.inlineMark, 1);
      EXPECT_EQ(Bytes(in.begin() + r.dataoff, in.end()), data);
    }
  }
  LocatorSpec a5 = locatorOf(LocatorCase::A);
  a5.f = 0x05;
  EXPECT_EQ(parse(encodeLocator(a5)).kind, 'A');
  EXPECT_EQ(parse(encodeLocator(locatorOf(LocatorCase::C))).kind, 'C');
  EXPECT_EQ(parse(encodeLocator(locatorOf(LocatorCase::B, 3))).kind, 'X');
  const Bytes offline = encodeLocator(locatorOf(LocatorCase::Offline));
  EXPECT_EQ(parse(offline).kind, 'O');
  EXPECT_EQ(offline.size(), 20u);

  for (uint8_t k : {2, 3, 4}) {
    for (uint8_t m : {1, 2, 4}) {
      LocatorSpec e = locatorOf(LocatorCase::E, k);
      e.countWidth = m, e.total = 40000;
      e.chunks = {{makeRdba(4, 42), 2, false}, {makeRdba(5, 10), 300, true}};
      const Bytes out = encodeLocator(e);
      const Parsed r = parse(out);
      ASSERT_EQ(r.kind, 'E');
      EXPECT_EQ(r.total, 40000u);
      EXPECT_EQ(r.count, 2u);
      const uint8_t* p = out.data() + r.dataoff;
      EXPECT_EQ(p[0], 0x00);
      EXPECT_EQ(be(p + 1, 4), makeRdba(4, 42));
      EXPECT_EQ(p[5], 2);
      EXPECT_EQ(p[6], 0x20);
      EXPECT_EQ(be(p + 7, 4), makeRdba(5, 10));
      EXPECT_EQ(be(p + 11, 2), 300u);
      EXPECT_EQ(out.size(), r.dataoff + 13u) << "the chunk list ends the locator";
    }
  }
}

TEST(LobText, Ucs2BigEndianAndBack) {
  EXPECT_EQ(hex(ucs2be("aü€東")), "006100fc20ac6771");
  const std::string text = "Grüße – Ωμέγα 東京";
  EXPECT_EQ(utf8OfUcs2be(ucs2be(text)), text);
  EXPECT_EQ(utf8OfUcs2be({0, 0, 0, 0x41}), std::string("\0A", 2));
}

namespace {

class LobScenario : public ::testing::TestWithParam<std::tuple<bool, uint32_t>> {};

std::string slurp(const std::filesystem::path& p) {
  const Bytes b = readFile(p.string());
  return std::string(b.begin(), b.end());
}

std::vector<std::string> linesOf(const std::string& text, char end = '\n') {
  std::vector<std::string> out;
  std::string line;
  for (std::istringstream in(text); std::getline(in, line, end);) out.push_back(line);
  return out;
}

}  // namespace

TEST_P(LobScenario, FilesListingsRowsAndLobFilesAgree) {
  const bool big = std::get<0>(GetParam());
  const uint32_t bs = std::get<1>(GetParam());
  ScenarioOptions o;
  o.order = big ? ByteOrder::Big : ByteOrder::Little;
  o.blockSize = bs;
  ScenarioDir d("lob", o, std::to_string(bs) + (big ? "b" : "l"));
  ASSERT_TRUE(d.ok) << d.error;

  // Every block of every file is sound; the LOB listing is the runs of LOB
  // blocks of one object, LOB id, page and version as the files hold them.
  std::string listed, tableBlocks;
  uint64_t rows = 0;
  for (const ExpectLine& f : d.expect("lob")) {
    if (f.kind != "file") continue;
    const Bytes bytes = readFile(f.kv.at("name"));
    std::string run;
    uint32_t first = 0, count = 0;
    auto close = [&]() {
      if (count) listed += run + std::to_string(first) + "," + std::to_string(count) + ",\n";
      count = 0;
    };
    for (uint32_t n = 0; n <= f.num("blocks"); ++n) {
      const uint8_t* p = bytes.data() + size_t{n} * bs;
      ASSERT_EQ(xorWords(p, bs), 0) << f.kv.at("name") << " block " << n;
      if (p[0] == 0x06 && rd32(p + 24, big) == 74000) {
        tableBlocks.append(p, p + bs);
        const uint32_t hdsz = 44 + 24 * p[big ? 37 : 36] + (p[38] == 0x32 ? 8 : 0);
        rows += rd16(p + hdsz + 14 + 2, big);  // table 0's row count
      }
      if (n < 2 || (p[0] != 0x1b && p[0] != 0x28)) {
        close();
        continue;
      }
      std::string key = std::to_string(rd32(p + 20, big)) + ",";
      for (int i = 24; i < 34; ++i) key += format("%02X", p[i]);
      key += "," + std::to_string(rd32(p + 44, big)) + "," + std::to_string(rd32(p + 40, big)) + "," +
             f.kv.at("rfn") + ",";
      if (!count || key != run) close(), run = key, first = n;
      ++count;
    }
    close();
  }
  EXPECT_EQ(slurp(d.dir / "lob.BEXLOB.TXT"), listed);
  EXPECT_EQ(rows, 9u);

  // Each locator lies in the table blocks behind its length: one byte, or
  // 0xFE and 16 bits in the file's byte order.
  std::map<std::string, Parsed> located;  // "ID.COL"
  for (const std::string& line : linesOf(slurp(d.dir / "expect/cases.txt"))) {
    if (line.rfind("case ", 0) != 0) continue;
    std::istringstream in(line);
    std::string word, row, column, type, name, locator;
    in >> word >> row >> column >> type >> name >> locator;
    if (locator.find_first_not_of("0123456789abcdef", 8) != std::string::npos) continue;  // NULL, not stored
    const Bytes loc = unhex(locator.substr(8));
    const size_t at = tableBlocks.find(std::string(loc.begin(), loc.end()));
    ASSERT_NE(at, std::string::npos) << line;
    const auto* p = reinterpret_cast<const uint8_t*>(tableBlocks.data()) + at;
    if (loc.size() <= 0xfd) {
      EXPECT_EQ(size_t{p[-1]}, loc.size());
    } else {
      EXPECT_EQ(p[-3], 0xfe);
      EXPECT_EQ(size_t{rd16(p - 2, big)}, loc.size());
    }
    located[row + "." + column] = parse(loc);
  }
  EXPECT_EQ(located.size(), 22u);
  EXPECT_EQ(located["8.B"].kind, 'X');
  EXPECT_EQ(located["6.N"].kind, 'O');

  // The 3 MiB BLOB is its pages' payloads in page order, up to its size.
  const Parsed blob = located["9.B"];
  const Bytes value = readFile((d.dir / "expect/values/9.B").string());
  ASSERT_EQ(value.size(), blob.pages * (bs - 60) + blob.lastlen);
  const Bytes users = readFile((d.dir / "lob_users04.dbf").string());
  Bytes joined;
  for (const std::string& line : linesOf(slurp(d.dir / "expect/lob_pages.txt"))) {
    std::istringstream in(line);
    std::string kind, id, page, rfn, first, count;
    in >> kind >> id >> page >> rfn >> first >> count;
    if (kind != "page" || id != "00000001000000740091") continue;
    for (uint32_t b = std::stoul(first.substr(6)), n = 0; n < std::stoul(count.substr(6)); ++n, ++b)
      joined.insert(joined.end(), users.begin() + size_t{b} * bs + 56, users.begin() + size_t{b + 1} * bs - 4);
  }
  joined.resize(value.size());
  EXPECT_TRUE(joined == value);

  // Every reference of both data files points at its value in its LOB file,
  // each value followed by the record tag.
  for (const char* data : {"MEDIA_LOBCASES_74000", "lob.74000"}) {
    const std::string lob = slurp(d.dir / "expect/rows" / (std::string(data) + ".LOB"));
    size_t values = 0, end = 0;
    for (std::string row : linesOf(slurp(d.dir / "expect/rows" / (std::string(data) + ".txt")))) {
      ASSERT_EQ(row.back(), '\r');
      const std::vector<std::string> fields = linesOf(row.substr(0, row.size() - 1), '|');
      ASSERT_EQ(fields.size(), 4u) << row;
      for (size_t c = 1; c < 4; ++c) {
        const std::string prefix = std::string(data) + ".LOB.";
        ASSERT_EQ(fields[c].rfind(prefix, 0), 0u) << fields[c];
        const size_t start = std::stoul(fields[c].substr(prefix.size())) - 1;
        const long len = std::stol(fields[c].substr(fields[c].find('.', prefix.size()) + 1));
        EXPECT_EQ(start, end) << fields[c];
        const size_t n = len < 0 ? 0 : size_t(len);
        if (len >= 0) {
          const std::string file = fields[0] + "." + "CBN"[c - 1];
          EXPECT_EQ(lob.substr(start, n), slurp(d.dir / "expect/values" / file)) << file;
        }
        EXPECT_EQ(lob.substr(start + n, 2), "\r\n");
        end = start + n + 2, ++values;
      }
    }
    EXPECT_EQ(values, 27u);
    EXPECT_EQ(end, lob.size());
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, LobScenario,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(2048u, 8192u, 32768u)));
