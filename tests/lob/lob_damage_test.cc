// Damaged LOBs: zeroed LOB blocks, pages missing from the listing,
// locators with absurd lengths, and chunk lists that point elsewhere or
// repeat themselves. Each unload ends with all its rows, every value the
// damage does not touch comes out as the forge stored it, a damaged value's
// output stays bounded by what its blocks hold, and the warnings after the
// unload count, per column, the values that lost bytes.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "datafile/block_reader.h"
#include "forged_lobs.h"
#include "lob/lob_sinks.h"

using bex::testing::ForgedLobs;

namespace {

constexpr const char* kUnload =
    "UNLOAD OBJECT 74000 COLUMN NUMBER COLUMN CLOB COLUMN BLOB COLUMN NCLOB TO lob.74000.txt";
constexpr const char* kColumns = "CBN";  // the scenario's LOB columns, in the row's order

std::string be32(uint32_t v) {
  return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}
std::string be16(uint16_t v) { return {static_cast<char>(v >> 8), static_cast<char>(v)}; }

// Each LOB value of a data file and its LOB file, by "ROW.COLUMN"; a NULL
// reference gives "NULL".
std::map<std::string, std::string> valuesOf(const std::string& data, const std::string& lob) {
  std::map<std::string, std::string> values;
  size_t from = 0;
  for (size_t end; (end = data.find("\r\n", from)) != std::string::npos; from = end + 2) {
    const std::string row = data.substr(from, end - from);
    const std::string id = row.substr(0, row.find('|'));
    size_t field = row.find('|');
    for (const char* c = kColumns; *c && field != std::string::npos; ++c) {
      // lob.74000.LOB.START.LENGTH/
      const size_t length = row.rfind('.', row.find('/', field)), start = row.rfind('.', length - 1);
      const long long n = std::stoll(row.substr(length + 1));
      values[id + "." + *c] = n < 0 ? "NULL" : lob.substr(std::stoull(row.substr(start + 1)) - 1, n);
      field = row.find('|', field + 1);
    }
  }
  return values;
}

// One UNLOAD OBJECT of the forged table on damaged files.
struct Unloaded {
  std::string console;
  std::map<std::string, std::string> values, forged;
  std::map<char, uint64_t> lost, forgedLost;  // per column: values with losses

  explicit Unloaded(ForgedLobs& lobs) {
    lobs.run("OPEN lob.cfg");  // the caches forget what was read before the damage
    console = lobs.run(kUnload);
    values = valuesOf(lobs.read("lob.74000.txt"), lobs.read("lob.74000.LOB"));
    forged = valuesOf(lobs.read("expect/rows/lob.74000.txt"), lobs.read("expect/rows/lob.74000.LOB"));
    for (const auto& c : lobs.cells())
      if (c.errors) forgedLost[c.id.back()]++;
    // "  Warning: N LOB values not recovered in column P" (P: the position from 1)
    for (size_t at = 0; (at = console.find("Warning: ", at)) != std::string::npos; at++) {
      const size_t eol = console.find('\n', at);
      const int position = std::stoi(console.substr(console.rfind(' ', eol) + 1));
      if (position >= 2 && position <= 4) lost[kColumns[position - 2]] = std::stoull(console.substr(at + 9));
    }
  }
  // The rows all came out, and the values not named are those the forge stored.
  void expectIntactBut(const std::set<std::string>& damaged) const {
    EXPECT_NE(console.find("Sucessfully unload 9 rows"), std::string::npos) << console;
    EXPECT_EQ(values.size(), forged.size()) << console;
    for (const auto& [id, v] : forged)
      if (!damaged.count(id)) {
        EXPECT_TRUE(values.count(id) && values.at(id) == v) << id << " changed";
      }
  }
  // Values with losses per column beyond those of the undamaged files.
  void expectLost(std::map<char, uint64_t> more) const {
    for (const char c : std::string(kColumns))
      EXPECT_EQ(lost.count(c) ? lost.at(c) : 0, forgedLost.count(c) ? forgedLost.at(c) + more[c] : more[c])
          << "column " << c << "\n"
          << console;
  }
  bool shortened(const std::string& id) const {
    const std::string& v = values.at(id);
    return v.size() < forged.at(id).size() && forged.at(id).compare(0, v.size(), v) == 0;
  }
};

bool startsWith(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// The scan's LOB listing with the runs of some pages left out and the block
// count of others replaced; then SCAN MAP.
void editListing(ForgedLobs& lobs, const std::set<std::pair<std::string, uint32_t>>& drop,
                 const std::map<std::pair<std::string, uint32_t>, std::string>& count) {
  std::string listing = lobs.read("BEXDICT/BEXLOB.TXT"), kept;
  size_t dropped = 0;
  for (size_t from = 0, end; (end = listing.find('\n', from)) != std::string::npos; from = end + 1) {
    // objd,LOBID,page,version,rfn,first,count,
    std::string line = listing.substr(from, end - from + 1);
    std::vector<std::string> f;
    for (size_t a = 0, b; (b = line.find(',', a)) != std::string::npos; a = b + 1) f.push_back(line.substr(a, b - a));
    ASSERT_EQ(f.size(), 7u) << line;
    const std::pair<std::string, uint32_t> page{f[1], static_cast<uint32_t>(std::stoul(f[2]))};
    if (drop.count(page)) {
      dropped++;
      continue;
    }
    if (count.count(page)) line = line.substr(0, line.size() - f[6].size() - 2) + count.at(page) + ",\n";
    kept += line;
  }
  ASSERT_EQ(dropped, drop.size());
  FILE* out = fopen("BEXDICT/BEXLOB.TXT", "wb");
  ASSERT_NE(out, nullptr);
  fwrite(kept.data(), 1, kept.size(), out);
  fclose(out);
  lobs.run("SCAN MAP");
}

// The scan's LOB listing with stale runs added: for each (cell, page) the
// run of the cell's page 0 once more, listed as that page (the blocks a
// value leaves behind when it shrinks); then SCAN MAP.
void addStalePages(ForgedLobs& lobs, const std::vector<std::pair<std::string, uint32_t>>& stale) {
  std::string listing = lobs.read("BEXDICT/BEXLOB.TXT");
  for (const auto& [id, page] : stale) {
    const std::string key = "," + lobs.lobId(id) + ",0,";
    const size_t at = listing.find(key);
    ASSERT_NE(at, std::string::npos) << id;
    const size_t from = listing.rfind('\n', at) + 1, end = listing.find('\n', at) + 1;
    std::string line = listing.substr(from, end - from);
    line.replace(line.find(key), key.size(), "," + lobs.lobId(id) + "," + std::to_string(page) + ",");
    listing += line;
  }
  FILE* out = fopen("BEXDICT/BEXLOB.TXT", "wb");
  ASSERT_NE(out, nullptr);
  fwrite(listing.data(), 1, listing.size(), out);
  fclose(out);
  lobs.run("SCAN MAP");
}

TEST(DamagedLobs, ZeroedLobBlocks) {
  ForgedLobs lobs;
  ASSERT_TRUE(lobs.ok());
  // Before the scan: the second block of 9.C's first page (the scan then
  // lists one block for that page); after it: 2.C's only block.
  const auto ninth = lobs.page("9.C", 0), second = lobs.page("2.C", 0);
  ASSERT_EQ(ninth.count, 2u);
  lobs.zeroBlock(ninth.rfn, ninth.first + 1);
  lobs.openAndScan();
  lobs.zeroBlock(second.rfn, second.first);
  const Unloaded u(lobs);
  u.expectIntactBut({"9.C", "2.C"});
  u.expectLost({{'C', 2}});
  EXPECT_EQ(u.values.at("2.C"), "");
  // In an export dump, a value none of whose blocks could be read is a
  // single blank piece between the marks of a value in blocks.
  const auto& c = lobs.cell("2.C");
  ASSERT_EQ(bex::ReadBlock(lobs.rc().bc, c.rfn, c.block), lobs.blockSize());
  bex::StringSink dump;
  EXPECT_FALSE(bex::RecoverLobToDump(dump, lobs.rc().bc, lobs.rc().bc.block + c.offset,
                                     static_cast<uint16_t>(c.locator.size()), bex::ColumnTypeCode::kClob, 1));
  EXPECT_EQ(dump.str(), std::string("\xFD\xFF\x01\x00 \x00\x00", 7));
  // The blocks after the lost one move up a place; the last is taken whole.
  EXPECT_TRUE(startsWith(u.values.at("9.C"), u.forged.at("9.C").substr(0, 100)));
  EXPECT_LE(u.values.at("9.C").size(), u.forged.at("9.C").size() + lobs.blockSize());
}

TEST(DamagedLobs, PagesMissingFromTheListing) {
  ForgedLobs lobs;
  ASSERT_TRUE(lobs.ok());
  lobs.openAndScan();
  // 8.C's last page (in file 5), a middle page of the 3 MiB 9.B and 2.N's
  // every page go; 6.B's last page claims four thousand million blocks.
  editListing(lobs, {{lobs.lobId("8.C"), 1}, {lobs.lobId("9.B"), 5}, {lobs.lobId("2.N"), 0}, {lobs.lobId("2.N"), 1}},
              {{{lobs.lobId("6.B"), 1}, "4000000000"}});
  lobs.run("SET VERBOSE 1");
  const Unloaded u(lobs);
  // A page absent from the map is named by its number.
  EXPECT_EQ(bex::testing::occurrences(u.console, "  LOB: LOB page 5 absent\n"), 1u) << u.console;
  EXPECT_EQ(u.console.find("absent at RDBA"), std::string::npos);
  u.expectIntactBut({"8.C", "9.B", "2.N", "6.B"});
  u.expectLost({{'C', 1}, {'B', 2}, {'N', 1}});
  EXPECT_TRUE(u.shortened("8.C"));
  const size_t fivePages = 5 * 4 * (lobs.blockSize() - 60);
  EXPECT_EQ(u.values.at("9.B").substr(0, fivePages), u.forged.at("9.B").substr(0, fivePages));
  EXPECT_LT(u.values.at("9.B").size(), u.forged.at("9.B").size());
  EXPECT_EQ(u.values.at("2.N"), "");
  // The run is cut at 1024 blocks and the walk at the locator's length.
  EXPECT_EQ(u.values.at("6.B"), u.forged.at("6.B"));
}

TEST(DamagedLobs, StalePagesPastTheLocatorsLengthArePassedOver) {
  ForgedLobs lobs;
  ASSERT_TRUE(lobs.ok());
  lobs.openAndScan();
  // 2.C fills its one block (lastlen 0), 2.B takes a byte of its second.
  addStalePages(lobs, {{"2.C", 1}, {"2.C", 2}, {"2.B", 2}, {"2.B", 3}});
  const Unloaded u(lobs);
  u.expectIntactBut({});
  u.expectLost({});
  EXPECT_EQ(u.console.find("longer than its locator"), std::string::npos) << u.console;
  // No empty piece (the NULL mark) inside the dump's piece sequence.
  for (const char* id : {"2.C", "2.B"}) {
    const auto& c = lobs.cell(id);
    ASSERT_EQ(bex::ReadBlock(lobs.rc().bc, c.rfn, c.block), lobs.blockSize());
    bex::StringSink dump;
    EXPECT_TRUE(bex::RecoverLobToDump(dump, lobs.rc().bc, lobs.rc().bc.block + c.offset,
                                      static_cast<uint16_t>(c.locator.size()),
                                      c.type == "BLOB" ? bex::ColumnTypeCode::kBlob : bex::ColumnTypeCode::kClob, 1))
        << id;
    EXPECT_TRUE(dump.str() == lobs.read(std::string("expect/dump/") + id)) << id;
  }
}

TEST(DamagedLobs, ValuesLostForWantOfALobMapSaySo) {
  ForgedLobs lobs;
  ASSERT_TRUE(lobs.ok());
  lobs.run("OPEN lob.cfg");  // no SCAN DATABASE: out-of-line values have no map
  std::string console = lobs.run(kUnload);
  // Each LOB column says so on its line.
  for (const char* column : {"2", "3", "4"})
    EXPECT_NE(console.find(std::string("LOB values not recovered in column ") + column + ": "), std::string::npos)
        << column << "\n" << console;
  const std::string why = " of them lie out of line and no LOB map is open (SCAN DATABASE builds it)\n";
  EXPECT_EQ(bex::testing::occurrences(console, why), 3u) << console;
  // A loss that no block holds names none.
  lobs.run("SET VERBOSE 1");
  console = lobs.run(kUnload);
  EXPECT_NE(console.find("  LOB: no chunk in the LOB map\n"), std::string::npos) << console;
  lobs.run("SET VERBOSE 0");
  // With the map, what is lost is lost for other reasons.
  lobs.run("SCAN DATABASE");
  console = lobs.run(kUnload);
  EXPECT_NE(console.find("LOB values not recovered"), std::string::npos) << console;
  EXPECT_EQ(console.find("no LOB map"), std::string::npos) << console;
}

TEST(DamagedLobs, LocatorsWithAbsurdLengths) {
  ForgedLobs lobs;
  ASSERT_TRUE(lobs.ok());
  lobs.patchLocator("2.C", 24, be32(0xFFFFFFFF));                 // case A: pages
  lobs.patchLocator("6.C", 28, be16(0xFFFF));                     // case A: lastlen of an out-of-line value
  lobs.patchLocator("1.C", 28, be16(0xFFFF));                     // case A: inline bytes beyond the column
  lobs.patchLocator("2.N", 27, be32(0xFFFFFFFF) + be16(0xFFFF));  // case B, n 4: pages and lastlen
  lobs.patchLocator("9.N", 28, be32(0xFFFFFFFF));                 // case E: total length (4 bytes)
  lobs.patchLocator("5.C", 31, std::string(1, '\xFF'));           // case E: 255 entries announced, 1 stored
  lobs.openAndScan();
  const Unloaded u(lobs);
  u.expectIntactBut({"2.C", "6.C", "1.C", "2.N", "9.N"});
  u.expectLost({{'C', 2}, {'N', 2}});
  const size_t p = lobs.blockSize() - 60, q = lobs.blockSize() - 132;
  // Far fewer blocks than the locator says: its one block, whole.
  EXPECT_EQ(u.values.at("2.C"), u.forged.at("2.C"));
  EXPECT_EQ(u.values.at("1.C"), "");
  EXPECT_NE(u.console.find("Invalid CLOB: " + bex::testing::hexUpper(lobs.cell("1.C").locator.substr(0, 28))),
            std::string::npos);
  // A last block that cannot hold lastlen bytes gives what it holds; so
  // does a chunk list that ends long before 4 GiB. Nothing is lost of 6.C.
  EXPECT_TRUE(startsWith(u.values.at("6.C"), u.forged.at("6.C")));
  EXPECT_LE(u.values.at("6.C").size(), 2 * p * 3 / 2);
  EXPECT_TRUE(startsWith(u.values.at("2.N"), u.forged.at("2.N")));
  EXPECT_LE(u.values.at("2.N").size(), 2 * p * 3 / 2);
  EXPECT_TRUE(startsWith(u.values.at("9.N"), u.forged.at("9.N")));
  EXPECT_LE(u.values.at("9.N").size(), 3 * q * 3 / 2);
}

TEST(DamagedLobs, ChunkListsPointingElsewhere) {
  // 9.N's one wide entry names blocks far beyond the end of file 4, then
  // blocks of a file that is not open.
  for (const uint32_t elsewhere : {4u << 22 | 0x3FFF00, 9u << 22 | 100}) {
    SCOPED_TRACE(elsewhere);
    ForgedLobs lobs;
    ASSERT_TRUE(lobs.ok());
    const auto& own = lobs.cell("5.C");
    const std::string& two = lobs.cell("5.B").locator;
    const size_t ownEntry = own.locator.size() - 6, secondEntry = two.size() - 7, firstEntry = secondEntry - 6;
    // 5.C: its own row's block and the next, a table block and no LOB data.
    lobs.patchLocator("5.C", ownEntry + 1, be32(own.rfn << 22 | own.block));
    // 5.B: its second entry names the first one's block again.
    lobs.patchLocator("5.B", secondEntry + 1, two.substr(firstEntry + 1, 4));
    lobs.patchLocator("9.N", lobs.cell("9.N").locator.size() - 7 + 1, be32(elsewhere));
    lobs.openAndScan();
    const Unloaded u(lobs);
    u.expectIntactBut({"5.C", "5.B", "9.N"});
    u.expectLost({{'B', 1}, {'N', 1}});
    EXPECT_LE(u.values.at("5.C").size(), (lobs.blockSize() - 132 + 100) * 3 / 2);
    EXPECT_TRUE(u.shortened("5.B"));
    EXPECT_EQ(u.values.at("9.N"), "");
  }
}

}  // namespace
