// The LOB locator of a row, case by case: offline, the four header cases
// (A, B, C, D) with their inline and out-of-line forms, chunk lists, and
// locators cut short or holding values no locator has.
#include "lob/lob_locator.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace bex;

namespace {

// A column value of len bytes: header bit, LOB id 01 02 .. 0A, flags F and
// G, then the given bytes from offset 24 on; cut to len bytes.
std::vector<uint8_t> locator(size_t len, uint8_t f, uint8_t g, std::vector<uint8_t> from24 = {}) {
  std::vector<uint8_t> v(24 + from24.size(), 0);
  v[5] = 0x04;
  for (size_t i = 0; i < kLobIdSize; i++) v[10 + i] = static_cast<uint8_t>(i + 1);
  v[22] = f;
  v[23] = g;
  for (size_t i = 0; i < from24.size(); i++) v[24 + i] = from24[i];
  v.resize(len, 0);
  return v;
}

LobLocator parse(const std::vector<uint8_t>& v) { return parseLobLocator(v.data(), v.size()); }

std::vector<LobChunk> chunks(const std::vector<uint8_t>& v) {
  const LobLocator loc = parse(v);
  LobChunkList list(loc, v.data(), v.size());
  std::vector<LobChunk> out;
  for (LobChunk c; list.next(c);) out.push_back(c);
  return out;
}

}  // namespace

TEST(LobLocator, OfflineNeedsOnlyTheLobIdAndShorterIsInvalid) {
  std::vector<uint8_t> v = locator(20, 0, 0);
  v[5] = 0xFB;  // every bit but the header bit
  LobLocator loc = parse(v);
  EXPECT_TRUE(loc.valid);
  EXPECT_TRUE(loc.offline);
  EXPECT_FALSE(loc.isInline());
  EXPECT_FALSE(loc.pagesGiven);
  char id[kLobIdTextSize + 1];
  loc.lobIdText(id);
  EXPECT_STREQ(id, "0102030405060708090A");
  EXPECT_FALSE(parseLobLocator(v.data(), 19).valid);
  EXPECT_FALSE(parseLobLocator(v.data(), 0).valid);
  // With the header bit the flags must be there too.
  v[5] = 0x04;
  EXPECT_FALSE(parseLobLocator(v.data(), 20).valid);
  EXPECT_FALSE(parse(locator(23, 0x02, 0)).valid);
  EXPECT_TRUE(parse(locator(24, 0x02, 0)).valid);
}

// A: pages u32 at 24, lastlen u16 at 28, the inline marker at 35, data at 36;
// only F & 0x0F of 5 or 9, and never with G.
TEST(LobLocator, CaseAOnlyForFlags5Or9WithoutG) {
  LobLocator loc = parse(locator(39, 0x09, 0, {0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 1, 'a', 'b', 'c'}));
  EXPECT_TRUE(loc.valid);
  EXPECT_EQ(loc.kind, LobCase::kA);
  EXPECT_TRUE(loc.isInline());
  EXPECT_EQ(loc.lastlen, 3u);
  EXPECT_EQ(loc.dataoff, 36u);
  // The inline bytes must end inside the value.
  EXPECT_FALSE(parse(locator(38, 0x09, 0, {0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 1})).valid);

  loc = parse(locator(36, 0x15, 0, {0x01, 0x02, 0x03, 0x04, 0x12, 0x34}));
  EXPECT_TRUE(loc.valid);
  EXPECT_FALSE(loc.isInline());
  EXPECT_TRUE(loc.pagesGiven);
  EXPECT_EQ(loc.pages, 0x01020304u);
  EXPECT_EQ(loc.lastlen, 0x1234u);
  EXPECT_FALSE(parse(locator(35, 0x15, 0)).valid);  // no room for the marker

  for (uint8_t f : {0x01, 0x03, 0x07, 0x0B, 0x0D, 0x0F}) EXPECT_FALSE(parse(locator(40, f, 0)).valid) << int(f);
  EXPECT_FALSE(parse(locator(40, 0x05, 0x02)).valid);
}

// B: the byte at 26 gives the width n (0, 1, 2, 4) of pages at 27; lastlen
// u16 at n + 27, the marker at n + 29, data at n + 30.
TEST(LobLocator, CaseBWithEachWidthOfPages) {
  LobLocator loc = parse(locator(32, 0x08, 0, {0, 0, 0, 0x00, 0x02, 1, 'x', 'y'}));
  EXPECT_TRUE(loc.valid);
  EXPECT_EQ(loc.kind, LobCase::kB);
  EXPECT_TRUE(loc.isInline());
  EXPECT_EQ(loc.pages, 0u);
  EXPECT_EQ(loc.lastlen, 2u);
  EXPECT_EQ(loc.dataoff, 30u);
  EXPECT_FALSE(parse(locator(32, 0x08, 0, {0, 0, 0, 0x01, 0x00, 1, 'x', 'y'})).valid);  // 256 inline bytes

  loc = parse(locator(32, 0x0A, 0, {0, 0, 2, 0x01, 0x02, 0x00, 0x07, 0}));
  EXPECT_TRUE(loc.valid);
  EXPECT_EQ(loc.pages, 0x0102u);
  EXPECT_EQ(loc.lastlen, 7u);
  EXPECT_EQ(loc.dataoff, 32u);
  EXPECT_FALSE(loc.isInline());

  loc = parse(locator(34, 0x08, 0, {0, 0, 4, 0x01, 0x02, 0x03, 0x04, 0x00, 0x09, 0}));
  EXPECT_TRUE(loc.valid);
  EXPECT_EQ(loc.pages, 0x01020304u);
  EXPECT_EQ(loc.lastlen, 9u);
  EXPECT_EQ(loc.dataoff, 34u);
  EXPECT_FALSE(parse(locator(33, 0x08, 0, {0, 0, 4, 0x01, 0x02, 0x03, 0x04, 0x00, 0x09})).valid);

  loc = parse(locator(31, 0x08, 0, {0, 0, 1, 0x05, 0x00, 0x06, 0}));
  EXPECT_TRUE(loc.valid);
  EXPECT_EQ(loc.pages, 5u);
  EXPECT_EQ(loc.lastlen, 6u);

  EXPECT_FALSE(parse(locator(40, 0x08, 0, {0, 0, 3})).valid);
  EXPECT_FALSE(parse(locator(40, 0x08, 0x02, {0, 0, 2})).valid);
}

// C: any other F & 0x0F: every block taken in full, nothing more is read.
TEST(LobLocator, CaseCGivesNoPages) {
  for (uint8_t f : {0x02, 0x04, 0x06, 0xF2}) {
    const LobLocator loc = parse(locator(24, f, 0));
    EXPECT_TRUE(loc.valid) << int(f);
    EXPECT_EQ(loc.kind, LobCase::kC) << int(f);
    EXPECT_FALSE(loc.pagesGiven) << int(f);
    EXPECT_FALSE(loc.isInline()) << int(f);
  }
}

// D: G with F & 0x0F zero: pages u16 at 24, lastlen u16 at 26, the marker at
// 28, data at 29; then read as B.
TEST(LobLocator, CaseDIsReadAsB) {
  LobLocator loc = parse(locator(31, 0x30, 0x02, {0x00, 0x00, 0x00, 0x02, 1, 'h', 'i'}));
  EXPECT_TRUE(loc.valid);
  EXPECT_EQ(loc.kind, LobCase::kD);
  EXPECT_EQ(loc.flags, 0x38);
  EXPECT_TRUE(loc.isInline());
  EXPECT_EQ(loc.lastlen, 2u);
  EXPECT_EQ(loc.dataoff, 29u);
  EXPECT_FALSE(parse(locator(30, 0x30, 0x02, {0x00, 0x00, 0x00, 0x02, 1, 'h'})).valid);

  loc = parse(locator(29, 0x00, 0x03, {0x01, 0x00, 0x00, 0x05, 0}));
  EXPECT_TRUE(loc.valid);
  EXPECT_FALSE(loc.isInline());
  EXPECT_EQ(loc.pages, 256u);
  EXPECT_EQ(loc.lastlen, 5u);
  EXPECT_FALSE(parse(locator(28, 0x00, 0x02)).valid);
}

// E: the byte at 26 (0x21..0x23) gives the width k of the total length at
// 28, the byte at 28 + k the width m of the entry count; entries follow.
TEST(LobLocator, CaseEChunkListAndItsEntries) {
  // k = 2, m = 1, count 1: entries 0 and 1 are taken, the third is not.
  std::vector<uint8_t> v = locator(32, 0, 0, {0, 0, 0x21, 0, 0x40, 0x00, 1, 1});
  const std::vector<uint8_t> entries = {0x00, 0x01, 0x40, 0x00, 0x10, 3,     // 1 block count byte
                                        0x20, 0x01, 0x40, 0x00, 0x20, 1, 2,  // 2 bytes (flag 0x20)
                                        0x00, 0x01, 0x40, 0x00, 0x30, 1};
  v.insert(v.end(), entries.begin(), entries.end());
  LobLocator loc = parse(v);
  ASSERT_TRUE(loc.valid);
  EXPECT_TRUE(loc.chunkList());
  EXPECT_FALSE(loc.isInline());
  EXPECT_EQ(loc.totalLength, 0x4000u);
  EXPECT_EQ(loc.entryCount, 1u);
  EXPECT_EQ(loc.dataoff, 32u);
  std::vector<LobChunk> c = chunks(v);
  ASSERT_EQ(c.size(), 2u);
  EXPECT_EQ(c[0].rdba, 0x01400010u);
  EXPECT_EQ(c[0].blocks, 3u);
  EXPECT_EQ(c[1].rdba, 0x01400020u);
  EXPECT_EQ(c[1].blocks, 0x0102u);

  // An entry cut by the value's end ends the list.
  v[31] = 5;
  v.pop_back();
  EXPECT_EQ(chunks(v).size(), 2u);

  // k = 4, m = 4.
  loc = parse(locator(38, 0, 0, {0, 0, 0x23, 0, 0x01, 0x02, 0x03, 0x04, 4, 0, 0, 0x01, 0x00}));
  EXPECT_TRUE(loc.valid);
  EXPECT_EQ(loc.totalLength, 0x01020304u);
  EXPECT_EQ(loc.entryCount, 256u);
  EXPECT_EQ(loc.dataoff, 37u);
  // k = 3, m = 2.
  loc = parse(locator(36, 0, 0, {0, 0, 0x22, 0, 0x01, 0x02, 0x03, 2, 0x00, 0x07}));
  EXPECT_TRUE(loc.valid);
  EXPECT_EQ(loc.totalLength, 0x010203u);
  EXPECT_EQ(loc.entryCount, 7u);
  EXPECT_EQ(loc.dataoff, 34u);

  for (uint8_t kb : {0x00, 0x20, 0x24}) EXPECT_FALSE(parse(locator(40, 0, 0, {0, 0, kb, 0, 0, 0, 1})).valid) << int(kb);
  EXPECT_FALSE(parse(locator(40, 0, 0, {0, 0, 0x21, 0, 0, 0, 3})).valid);  // m = 3
  EXPECT_FALSE(parse(locator(31, 0, 0, {0, 0, 0x21, 0, 0, 0, 2})).valid);  // count cut
}
