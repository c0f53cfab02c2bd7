#include "value/charset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

using namespace bex;

TEST(CharsetTable, NamesAndIdsAreUniqueAndEndWithZero) {
  std::set<std::string> names;
  std::set<uint64_t> ids;
  size_t n = 0;
  for (const OracleCharset* r = OracleCharsetTable; r->name; r++, n++) {
    names.insert(r->name);
    ids.insert(r->id);
  }
  EXPECT_EQ(n, kOracleCharsetCount);
  EXPECT_EQ(names.size(), n);
  EXPECT_EQ(ids.size(), n);
  EXPECT_EQ(OracleCharsetTable[n].id, 0u);
}

TEST(FindCharsetId, ByNameAnyCaseElseNumber) {
  EXPECT_EQ(findCharsetId("ZHS16GBK"), 852);
  EXPECT_EQ(findCharsetId("al32utf8"), 873);
  EXPECT_EQ(findCharsetId("AL16UTF16"), 2000);
  EXPECT_EQ(findCharsetId("US7ASCII"), 1);
  EXPECT_EQ(findCharsetId("UTF8"), 871);
  EXPECT_EQ(findCharsetId("UTF"), 0);  // no prefix matching
  EXPECT_EQ(findCharsetId("9999"), 9999);
  EXPECT_EQ(findCharsetId("12abc"), 12);
  EXPECT_EQ(findCharsetId(""), 0);
  EXPECT_STREQ(charsetName(178), "WE8MSWIN1252");
  EXPECT_EQ(charsetName(9999), nullptr);
}

TEST(ListCharsets, SixtyOneLinesOfFourAndOneOfThree) {
  StringSink out;
  listCharsets(out);
  const std::string& s = out.str();
  ASSERT_GE(s.size(), 2u);
  EXPECT_EQ(s.front(), '\n');
  EXPECT_EQ(s.substr(s.size() - 2), "\n\n");
  std::string body = s.substr(1, s.size() - 2);
  int fours = 0, threes = 0;
  size_t pos = 0;
  while (pos < body.size()) {
    size_t nl = body.find('\n', pos);
    std::string line = body.substr(pos, nl - pos);
    int entries = static_cast<int>(std::count(line.begin(), line.end(), '=')) ;
    if (entries == 4) fours++;
    if (entries == 3) threes++;
    pos = nl + 1;
  }
  EXPECT_EQ(fours, 61);
  EXPECT_EQ(threes, 1);
  EXPECT_EQ(s.substr(0, 52), "\n US7ASCII            =    1 | WE8DEC              =");
  EXPECT_NE(s.find(" ZHT16BIG5FIXED      = 1865 | AL16UTF16           = 2000\n\n"), std::string::npos);
}

namespace {
std::string convert(Conversion& c, const std::string& bytes) {
  StringSink out;
  convertValue(out, c, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return out.str();
}
}  // namespace

TEST(ConvertValue, NationalCharactersToGbkByDefault) {
  Conversions cv;
  cv.openDefaults();
  ASSERT_TRUE(cv.nchar.valid()) << "this C library lacks UTF-16 to GBK";
  // U+4E2D U+6587 stored big-endian become their four GBK bytes.
  EXPECT_EQ(convert(cv.nchar, std::string("\x4e\x2d\x65\x87", 4)), "\xd6\xd0\xce\xc4");
  // Odd length cannot be UTF-16: written as stored.
  EXPECT_EQ(convert(cv.nchar, std::string("\x4e\x2d\x65", 3)), std::string("\x4e\x2d\x65", 3));
  // A failed value leaves no state behind for the next one.
  EXPECT_EQ(convert(cv.nchar, std::string("\x00\x41", 2)), "A");
  cv.closeAll();
}

TEST(ConvertValue, ReplacedAndInvalidDescriptors) {
  Conversion c;
  c.open("UTF-16", "UTF-8");
  ASSERT_TRUE(c.valid());
  EXPECT_EQ(convert(c, std::string("\x00\xe9", 2)), "\xc3\xa9");
  c.open("NO-SUCH-CHARSET", "UTF-8");
  EXPECT_FALSE(c.valid());
  EXPECT_EQ(convert(c, std::string("\x00\xe9", 2)), std::string("\x00\xe9", 2));
  c.close();
}

TEST(ConvertValue, UnmappableCharacterWritesStoredBytes) {
  Conversion c;
  c.open("UCS-2BE", "ASCII");
  ASSERT_TRUE(c.valid());
  EXPECT_EQ(convert(c, std::string("\x00\x41\x4e\x2d", 4)), std::string("\x00\x41\x4e\x2d", 4));
  EXPECT_EQ(convert(c, std::string("\x00\x41\x00\x42", 4)), "AB");
  c.close();
}

// A LOB value converted block payload by block payload: wherever the pieces
// are cut, the output equals the value converted whole, the character the
// conversion rejects included.
TEST(LobConverter, PiecesCutAnywhereConvertAsTheWholeValue) {
  // "aé€", U+1F600 as a surrogate pair, a lone low surrogate, "b"; UTF-16BE.
  const std::string utf16("\x00\x61\x00\xE9\x20\xAC\xD8\x3D\xDE\x00\xDC\x00\x00\x62", 14);
  const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xEF\xBF\xBD" "b";
  Conversion conv;
  conv.open("UTF-16BE", "UTF-8");
  ASSERT_TRUE(conv.valid());
  const auto* bytes = reinterpret_cast<const uint8_t*>(utf16.data());
  for (size_t cut1 = 0; cut1 <= utf16.size(); cut1++) {
    for (size_t cut2 = cut1; cut2 <= utf16.size(); cut2++) {
      StringSink out;
      LobConverter c(out, conv);
      c.begin();
      c.piece(bytes, cut1);
      c.piece(bytes + cut1, cut2 - cut1);
      c.piece(bytes + cut2, utf16.size() - cut2);
      c.end();
      out.flush();
      ASSERT_EQ(out.str(), utf8) << cut1 << "," << cut2;
      ASSERT_EQ(c.replaced(), 1u) << cut1 << "," << cut2;
    }
  }
  StringSink out;
  LobConverter c(out, conv);
  c.begin();
  c.piece(bytes, 7);  // ends inside a character and stays there
  c.end();
  out.flush();
  EXPECT_EQ(out.str(), "a\xC3\xA9\xE2\x82\xAC\xEF\xBF\xBD");
  EXPECT_EQ(c.replaced(), 1u);
  conv.close();
}

// A character the conversion cannot take, because the source has no such
// character or the target has none, is one substitute (U+FFFD, else "?"),
// written in the target's shift state; the value ends in its initial one.
TEST(LobConverter, EachRejectedCharacterBecomesTheSubstitute) {
  const std::string value("\x00\x61\xD8\x3D\xDE\x00\x4E\x2D\x00\x62", 10);  // a, U+1F600, 中, b
  const std::string kanji("\x4E\x2D", 2), kanjiEmoji("\x4E\x2D\xD8\x3D\xDE\x00", 6);
  const struct {
    const char *from, *to;
    const std::string& in;
    std::string out;
    uint64_t replaced;
  } cases[] = {
      {"UCS-2BE", "UTF-8", value, "a\xEF\xBF\xBD\xEF\xBF\xBD\xE4\xB8\xAD" "b", 2},  // UCS-2 has no surrogates
      {"UTF-16BE", "UTF-8", value, "a\xF0\x9F\x98\x80\xE4\xB8\xAD" "b", 0},
      {"UTF-16BE", "GBK", value, "a?\xD6\xD0" "b", 1},  // GBK has neither U+1F600 nor U+FFFD
      {"UTF-16BE", "ISO-2022-JP", kanji, "\x1B$BCf\x1B(B", 0},
      {"UTF-16BE", "ISO-2022-JP", kanjiEmoji, "\x1B$BCf\x1B(B?", 1},
  };
  for (const auto& t : cases) {
    Conversion conv;
    conv.open(t.from, t.to);
    ASSERT_TRUE(conv.valid()) << t.from << " to " << t.to;
    StringSink out;
    LobConverter c(out, conv);
    c.begin();
    c.piece(reinterpret_cast<const uint8_t*>(t.in.data()), t.in.size());
    c.end();
    EXPECT_EQ(out.str(), t.out) << t.from << " to " << t.to;
    EXPECT_EQ(c.replaced(), t.replaced) << t.from << " to " << t.to;
    conv.close();
  }
  Conversion off;
  StringSink raw;
  LobConverter c(raw, off);
  c.begin();
  c.piece(reinterpret_cast<const uint8_t*>(value.data()), value.size());
  c.end();
  EXPECT_EQ(raw.str(), value);
}

// UTF-16BE to UTF-8 goes around iconv for LOB values: on text full of
// unpaired surrogates, odd lengths and pieces cut anywhere it gives what the
// iconv descriptor of the same pair gives, byte for byte and count for count.
TEST(LobConverter, Utf16ToUtf8GivesTheBytesOfIconv) {
  Conversion direct, through;
  direct.open("UTF-16BE", "UTF-8");
  through.open("UTF-16", "utf-8");
  ASSERT_TRUE(direct.utf16ToUtf8 && through.utf16ToUtf8);
  through.utf16ToUtf8 = false;
  const uint16_t units[] = {0x0041, 0x00E9, 0x20AC, 0xD83D, 0xDE00, 0xDBFF, 0xDFFF, 0xD800, 0xDC00,
                            0xFEFF, 0xFFFE, 0xFFFF, 0x0000, 0x07FF, 0x0800, 0x4E2D};
  uint32_t seed = 12345;
  auto next = [&seed](uint32_t n) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % n;
  };
  auto convert = [](Conversion& conv, const std::string& in, const std::vector<size_t>& cuts, uint64_t& replaced) {
    StringSink out;
    LobConverter c(out, conv);
    c.begin();
    size_t at = 0;
    for (size_t cut : cuts) {
      c.piece(reinterpret_cast<const uint8_t*>(in.data()) + at, cut - at);
      at = cut;
    }
    c.piece(reinterpret_cast<const uint8_t*>(in.data()) + at, in.size() - at);
    c.end();
    out.flush();
    replaced = c.replaced();
    return out.str();
  };
  for (int round = 0; round < 3000; round++) {
    std::string in;
    const uint32_t length = next(round < 2900 ? 24 : 9000);
    for (uint32_t i = 0; i < length; i++) {
      const uint16_t u = units[next(sizeof units / sizeof units[0])];
      in += static_cast<char>(u >> 8);
      in += static_cast<char>(u & 0xFF);
    }
    if (!in.empty() && next(3) == 0) in.pop_back();
    std::vector<size_t> cuts;
    for (uint32_t k = next(4); k > 0; k--) cuts.push_back(next(static_cast<uint32_t>(in.size()) + 1));
    std::sort(cuts.begin(), cuts.end());
    uint64_t fast = 0, slow = 0;
    ASSERT_EQ(convert(direct, in, cuts, fast), convert(through, in, cuts, slow)) << "round " << round;
    ASSERT_EQ(fast, slow) << "round " << round;
  }
  direct.close();
  through.close();
}
