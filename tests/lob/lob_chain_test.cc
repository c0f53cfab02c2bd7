// LOB columns in rows that do not lie in one piece: a migrated row (its
// head in one block, all its columns in another) and chained rows whose
// CLOB locator is split over two pieces, once in its header and once in its
// inline bytes. Every row holds the same values, so the first row, stored
// whole, says what each of the others must give.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "forge/forge_file.h"
#include "forge/lob_locator.h"
#include "forge/values.h"
#include "forged_lobs.h"

using namespace bex;
using bex::testing::readWhole;
using bex::testing::ScratchDir;
using bex::testing::UnloadShell;
namespace forge = bex::forge;

namespace {

constexpr uint32_t kObjd = 74000;
constexpr uint16_t kRfn = 4;
constexpr uint32_t kHeads = 3, kPieces = 4;  // the table blocks

forge::Bytes inlineLocator(const forge::Bytes& data, uint64_t id) {
  forge::LocatorSpec l;
  l.kind = forge::LocatorCase::A, l.id = forge::lobIdOf(id);
  l.lastlen = static_cast<uint16_t>(data.size());
  l.inlineData = true, l.data = data;
  return forge::encodeLocator(l);
}

forge::TableRow piece(uint8_t flag, std::vector<forge::Column> cols, forge::RowAddr next = {}) {
  forge::TableRow r;
  r.piece.flag = flag;
  r.piece.cols = std::move(cols);
  r.piece.next = next;
  return r;
}

forge::TableBlockSpec tableBlock(std::vector<forge::TableRow> rows) {
  forge::TableBlockSpec s;
  s.trans.objd = kObjd;
  s.tables[0] = std::move(rows);
  return s;
}

forge::Bytes slice(const forge::Bytes& b, size_t from, size_t n = std::string::npos) {
  return forge::Bytes(b.begin() + from, n == std::string::npos ? b.end() : b.begin() + from + n);
}

// Rows 1 to 4 of (ID NUMBER, C CLOB, B BLOB), each with the same inline
// CLOB and BLOB: 1 whole, 2 migrated, 3 and 4 chained with C split after
// byte 10 (in its header) and in the middle of its text.
void forgeRows(const std::string& path, uint32_t blockSize) {
  forge::FileSpec fs;
  fs.name = path, fs.rfn = kRfn, fs.blockSize = blockSize, fs.blocks = kPieces + 1;
  forge::ForgeFile f(fs);
  const forge::Bytes c = inlineLocator(forge::ucs2be("Grüße aus 東京, split over two row pieces."), 1);
  const forge::Bytes b = inlineLocator(forge::bytesOf(std::string("\x00\x01\x0d\x0a|\xff", 6)), 2);
  auto id = [](int n) { return forge::col(forge::numberInt(n)); };
  using forge::kRowF, forge::kRowH, forge::kRowL, forge::kRowN, forge::kRowP;
  forge::TableRow migrated = piece(kRowF | kRowL, {id(2), forge::col(c), forge::col(b)});
  migrated.piece.head = {f.rdba(kHeads), 1};
  f.addTableBlock(kHeads, tableBlock({piece(kRowH | kRowF | kRowL, {id(1), forge::col(c), forge::col(b)}),
                                      piece(kRowH, {}, {f.rdba(kPieces), 0}),
                                      piece(kRowH | kRowF | kRowN, {id(3), forge::col(slice(c, 0, 10))},
                                            {f.rdba(kPieces), 1}),
                                      piece(kRowH | kRowF | kRowN, {id(4), forge::col(slice(c, 0, c.size() / 2))},
                                            {f.rdba(kPieces), 2})}));
  f.addTableBlock(kPieces, tableBlock({migrated, piece(kRowP | kRowL, {forge::col(slice(c, 10)), forge::col(b)}),
                                       piece(kRowP | kRowL, {forge::col(slice(c, c.size() / 2)), forge::col(b)})}));
  std::string expect, error;
  ASSERT_TRUE(f.write(path, expect, error)) << error;
}

}  // namespace

TEST(LobsInRowPieces, MigratedAndSplitLocatorsGiveWhatAWholeRowGives) {
  for (const uint32_t blockSize : {2048u, 8192u}) {
    SCOPED_TRACE(blockSize);
    ScratchDir dir;
    forgeRows(dir.file("users04.dbf"), blockSize);
    std::ofstream(dir.file("rows.cfg")) << dir.file("users04.dbf") << "\n";
    UnloadShell sh;
    sh.statement("SET BLOCK_SIZE " + std::to_string(blockSize));
    sh.statement("SET ICONV_CLOB UCS-2BE UTF-8");
    sh.statement("OPEN " + dir.file("rows.cfg"));
    sh.rc.unloadLog = fopen(dir.file("unload.log").c_str(), "w+");
    ASSERT_NE(sh.rc.unloadLog, nullptr);
    const std::string out = sh.statement("UNLOAD OBJECT 74000 COLUMN NUMBER COLUMN CLOB COLUMN BLOB TO " +
                                         dir.file("rows.txt"));
    ASSERT_NE(out.find("Sucessfully unload 4 rows"), std::string::npos) << out;
    EXPECT_EQ(out.find("Invalid"), std::string::npos) << out;
    EXPECT_EQ(out.find("Warning"), std::string::npos) << out;

    // Each row refers to its own copy of the first row's values.
    const std::string data = readWhole(dir.file("rows.txt")), lob = readWhole(dir.file("rows.LOB"));
    const std::string values = lob.substr(0, lob.size() / 4);
    EXPECT_EQ(lob, values + values + values + values);
    const size_t cLength = lob.find("\r\n"), bLength = values.size() - cLength - 4;
    ASSERT_GT(cLength, 0u);
    std::string expected;
    for (size_t row = 0; row < 4; row++) {
      const size_t start = row * values.size() + 1;
      expected += std::to_string(row + 1) + "|" + dir.file("rows.LOB") + "." + std::to_string(start) + "." +
                  std::to_string(cLength) + "/|" + dir.file("rows.LOB") + "." +
                  std::to_string(start + cLength + 2) + "." + std::to_string(bLength) + "/\r\n";
    }
    EXPECT_EQ(data, expected);

    // The log counts every LOB value written, in whichever piece it lay.
    fflush(sh.rc.unloadLog);
    const std::string log = readWhole(dir.file("unload.log"));
    EXPECT_NE(log.find(",         4,         8,         0, "), std::string::npos) << log;
  }
}
