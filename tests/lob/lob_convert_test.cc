// Character LOBs through their conversion, in both sinks: a character the
// conversion rejects becomes the substitute and the value converts on past
// it, counted as a value not recovered whole; a character split over two
// LOB pages converts whole; export-dump pieces never say more than a 16-bit
// length can; an inline value that converts to nothing is still written.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>
#include <vector>

#include "datafile/block_reader.h"
#include "forged_lobs.h"
#include "lob/lob_map.h"
#include "lob/lob_sinks.h"

using namespace bex;
using bex::testing::ForgedCell;
using bex::testing::ForgedLobs;

namespace {

constexpr size_t kPayloadAt = 56;  // a LOB block's payload starts here
const std::string kReplacement = "\xEF\xBF\xBD";  // U+FFFD
const std::string kEmoji = "\xF0\x9F\x98\x80";    // U+1F600

// The UTF-8 text with its characters [from, to) replaced by `with`.
std::string replaced(const std::string& text, size_t from, size_t to, const std::string& with) {
  auto at = [&](size_t index) {
    size_t n = 0, i = 0;
    for (; i < text.size(); i++)
      if ((static_cast<uint8_t>(text[i]) & 0xC0) != 0x80 && n++ == index) break;
    return i;
  };
  return text.substr(0, at(from)) + with + text.substr(at(to));
}

// The pieces of a value in blocks (FD FF, pieces, 00 00); none when the
// bytes are anything else.
std::vector<std::string> piecesOf(const std::string& dump) {
  std::vector<std::string> pieces;
  if (dump.compare(0, 2, "\xFD\xFF") != 0) return {};
  for (size_t at = 2; at + 2 <= dump.size();) {
    const size_t n = static_cast<uint8_t>(dump[at]) | static_cast<uint8_t>(dump[at + 1]) << 8;
    at += 2;
    if (n == 0) return at == dump.size() ? pieces : std::vector<std::string>{};
    if (n > 0xFFFC || at + n > dump.size()) return {};
    pieces.push_back(dump.substr(at, n));
    at += n;
  }
  return {};
}

std::string joined(const std::vector<std::string>& pieces) {
  std::string all;
  for (const std::string& p : pieces) all += p;
  return all;
}

// One CLOB cell through both sinks, its locator read where its row stores it.
struct Recovered {
  std::string text, dump;  // the LOB file's bytes of the value; the dump's
  bool textWhole = false, dumpWhole = false;

  Recovered(ForgedLobs& lobs, const std::string& id) {
    BlockContext& bc = lobs.rc().bc;
    const ForgedCell& c = lobs.cell(id);
    EXPECT_EQ(ReadBlock(bc, c.rfn, c.block), lobs.blockSize());
    const uint16_t len = static_cast<uint16_t>(c.locator.size());
    StringSink data, lobBytes, dumpBytes;
    LobFile lob;
    lob.sink = &lobBytes;
    lob.recordTag = "\r\n";
    ColumnSpec col;
    col.type = ColumnTypeCode::kClob;
    textWhole = RecoverLobToText(data, lob, bc, bc.block, static_cast<uint16_t>(c.offset), len, col);
    text = lobBytes.str().substr(0, lobBytes.str().size() - lob.recordTag.size());
    dumpWhole = RecoverLobToDump(dumpBytes, bc, bc.block + c.offset, len, ColumnTypeCode::kClob, 1);
    dump = dumpBytes.str();
  }
};

TEST(LobConversion, RejectedCharacterBecomesTheSubstituteAndTheValueConvertsOn) {
  ForgedLobs lobs;
  ASSERT_TRUE(lobs.ok());
  // 2.C, one block of UTF-16 text: character 50 a lone low surrogate (no
  // character at all), characters 100 and 101 a surrogate pair.
  const auto page = lobs.page("2.C", 0);
  lobs.patchBlock(page.rfn, page.first, kPayloadAt + 100, std::string("\xDC\x00", 2));
  lobs.patchBlock(page.rfn, page.first, kPayloadAt + 200, std::string("\xD8\x3D\xDE\x00", 4));
  lobs.openAndScan();
  OpenLobMap(*lobs.rc().lobMap);
  const std::string expected =
      replaced(replaced(lobs.read("expect/values/2.C"), 100, 102, kEmoji), 50, 51, kReplacement);
  const Recovered r(lobs, "2.C");
  EXPECT_EQ(r.text, expected);
  EXPECT_EQ(piecesOf(r.dump), std::vector<std::string>{expected});
  EXPECT_FALSE(r.textWhole);
  EXPECT_FALSE(r.dumpWhole);
  // The unload counts it with the values of column C that lost bytes.
  size_t lost = 1;
  for (const ForgedCell& c : lobs.cells()) lost += c.id.back() == 'C' && c.errors;
  const std::string console =
      lobs.run("UNLOAD OBJECT 74000 COLUMN NUMBER COLUMN CLOB COLUMN BLOB COLUMN NCLOB TO lob.74000.txt");
  EXPECT_NE(console.find("Warning: " + std::to_string(lost) + " LOB values not recovered in column 2\n"),
            std::string::npos)
      << console;
}

TEST(LobConversion, CharacterSplitOverTwoPagesConvertsInBothSinks) {
  ForgedLobs lobs;
  ASSERT_TRUE(lobs.ok());
  // U+1F600: its high surrogate the last character of 9.C's first block,
  // its low one the first of the second.
  const auto page = lobs.page("9.C", 0);
  ASSERT_EQ(page.count, 2u);
  const size_t p = lobs.blockSize() - 60, last = p / 2 - 1;
  lobs.patchBlock(page.rfn, page.first, kPayloadAt + p - 2, std::string("\xD8\x3D", 2));
  lobs.patchBlock(page.rfn, page.first + 1, kPayloadAt, std::string("\xDE\x00", 2));
  lobs.openAndScan();
  OpenLobMap(*lobs.rc().lobMap);
  const std::string expected = replaced(lobs.read("expect/values/9.C"), last, last + 2, kEmoji);
  const Recovered r(lobs, "9.C");
  EXPECT_EQ(r.text, expected);
  const std::vector<std::string> pieces = piecesOf(r.dump);
  EXPECT_EQ(joined(pieces), expected);
  EXPECT_EQ(pieces.size(), piecesOf(lobs.read("expect/dump/9.C")).size());
  EXPECT_EQ(r.dumpWhole, lobs.cell("9.C").errors == 0);
}

TEST(LobConversion, DumpPiecesNeverSayMoreThan65532Bytes) {
  ForgedLobs lobs(false, 32768);
  ASSERT_TRUE(lobs.ok());
  // 9.C's first block full of "東a": to ISO-2022-JP every kanji shifts out
  // and back, 4 bytes become 9, and the block's 32,708 about 73,600.
  const auto page = lobs.page("9.C", 0);
  std::string text;
  while (text.size() < lobs.blockSize() - 60) text += std::string("\x67\x71\x00\x61", 4);
  lobs.patchBlock(page.rfn, page.first, kPayloadAt, text);
  lobs.openAndScan();
  lobs.run("SET ICONV_CLOB UTF-16BE ISO-2022-JP");
  if (!lobs.rc().conversions.clob.valid()) GTEST_SKIP() << "this C library lacks ISO-2022-JP";
  OpenLobMap(*lobs.rc().lobMap);
  const Recovered r(lobs, "9.C");
  const std::vector<std::string> pieces = piecesOf(r.dump);
  ASSERT_FALSE(pieces.empty()) << "not a LONG's pieces of at most 65,532 bytes";
  EXPECT_EQ(pieces[0].size(), 65532u);
  // Read back, the pieces begin with the block's text.
  const std::string all = joined(pieces);
  iconv_t back = iconv_open("UTF-16BE", "ISO-2022-JP");
  ASSERT_NE(back, reinterpret_cast<iconv_t>(-1));
  std::string utf16(text.size(), '\0');
  char* in = const_cast<char*>(all.data());
  size_t inLeft = all.size(), outLeft = utf16.size();
  char* out = utf16.data();
  iconv(back, &in, &inLeft, &out, &outLeft);
  iconv_close(back);
  EXPECT_EQ(utf16, text);
}

TEST(LobConversion, InlineValueConvertedToNothingIsTheEmptyValue) {
  ForgedLobs lobs;
  ASSERT_TRUE(lobs.ok());
  lobs.openAndScan();
  lobs.run("SET ICONV_CLOB UTF-32 UTF-8");  // a byte-order mark alone converts to nothing
  ASSERT_TRUE(lobs.rc().conversions.clob.valid());
  // 1.C's inline locator (case A) holding only that mark.
  const ForgedCell& c = lobs.cell("1.C");
  std::string v = c.locator.substr(0, 36) + std::string("\x00\x00\xFE\xFF", 4);
  v[28] = 0, v[29] = 4;
  BlockContext& bc = lobs.rc().bc;
  ASSERT_EQ(ReadBlock(bc, c.rfn, c.block), lobs.blockSize());
  StringSink dump;
  EXPECT_TRUE(RecoverLobToDump(dump, bc, reinterpret_cast<const uint8_t*>(v.data()), static_cast<uint16_t>(v.size()),
                               ColumnTypeCode::kClob, 1));
  EXPECT_EQ(dump.str(), "\xFE\xFF");
}

}  // namespace
