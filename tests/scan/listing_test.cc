// The readers of the scan listings on hand-edited lines: what they pass
// over, next to lines their own writers made.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/extent_listing.h"
#include "base/lob_listing.h"
#include "test_files.h"

using namespace bex;
using namespace bex::testing;

namespace {

std::string saved(const ScratchDir& dir, const std::string& text) {
  const std::string path = dir.file("listing.txt");
  FILE* f = fopen(path.c_str(), "wb");
  fwrite(text.data(), 1, text.size(), f);
  fclose(f);
  return path;
}

}  // namespace

TEST(ExtentListing, PassesOverLinesThatAreNoRecord) {
  StringSink s;
  writeExtentRecord(s, ExtentRecord{7, 3, 100, 20, 5000000000ull});
  s.write("x7,3,100,20,5,\n"                       // no number first
          "7,3,100,20\r\n"                         // four fields
          "7,3,100,20,5\n"                         // the last without its comma
          "4294967296,3,100,20,5,\n"               // an object number past 32 bits
          "7,3,100,20,18446744073709551616,\n");   // rows past 64 bits
  // The rest of an over-long line is no record of its own, even where it
  // would read as one.
  const std::string head = "1,1,1,1,1,";
  s.write(head + std::string(ExtentListingReader::kLineMax - head.size(), ' ') + "8,8,8,8,8,\n");
  writeExtentRecord(s, ExtentRecord{9, 1, 2, 3, 4});
  ScratchDir dir;
  ExtentListingReader in(saved(dir, s.str()));
  ASSERT_TRUE(in.opened());
  std::vector<uint32_t> objects;
  ExtentRecord r;
  while (in.next(r)) objects.push_back(r.objd);
  EXPECT_EQ(objects, (std::vector<uint32_t>{7, 1, 9}));
  in.rewind();
  ASSERT_TRUE(in.next(r));
  EXPECT_EQ(r.rows, 5000000000ull);
  EXPECT_EQ(r.count, 20u);
}

TEST(LobListing, RefusesLinesWithoutObjectWholeIdOrNumbers) {
  const uint8_t id[kLobIdDigits / 2] = {0, 0, 0, 1, 0, 0, 0, 0, 0x0A, 0xBC};
  StringSink s;
  writeLobRun(s, 5, id, LobRunFields{0, 1, 2, 3, 4});
  s.write(",00000001000000000ABC,0,1,2,3,4,\n"    // no object
          "5,00000001000000000AB,0,1,2,3,4,\n"    // a LOB id one digit short
          "5,00000001000000000ABC,0,1,,3,4,\n"    // no file number
          "5,00000001000000000ABC,0,1,2,3,4,");  // the last line, without its line feed
  ScratchDir dir;
  FILE* f = fopen(saved(dir, s.str()).c_str(), "rb");
  ASSERT_NE(f, nullptr);
  LobLineBuffer buf;
  std::string_view line;
  std::vector<std::string> taken;
  while (readLobListingLine(f, buf, line)) {
    LobRunFields r;
    if (usableLobLine(line) && parseLobRunFields(line, r)) taken.emplace_back(lobIdOfLine(line));
    EXPECT_EQ(line.back(), '\n');
  }
  fclose(f);
  EXPECT_EQ(taken, (std::vector<std::string>{"00000001000000000ABC", "00000001000000000ABC"}));
}

TEST(ExtentIndex, GivesAnObjectsRunsInListingOrderAndFollowsTheFile) {
  StringSink s;
  for (const ExtentRecord& r : {ExtentRecord{5, 1, 10, 2, 3}, ExtentRecord{7, 1, 20, 4, 5},
                                ExtentRecord{5, 2, 30, 6, 7}, ExtentRecord{3, 1, 40, 8, 9}})
    writeExtentRecord(s, r);
  ScratchDir dir;
  const std::string path = saved(dir, s.str());
  ExtentIndex index;
  ASSERT_TRUE(index.refresh(path));
  EXPECT_EQ(index.records().size(), 4u);
  std::vector<uint32_t> firsts;
  for (const ExtentRecord& r : index.of(5)) firsts.push_back(r.first);
  EXPECT_EQ(firsts, (std::vector<uint32_t>{10, 30}));
  EXPECT_TRUE(index.of(6).empty());

  // The listing written again by a later scan: its records, not the old ones.
  StringSink again;
  writeExtentRecord(again, ExtentRecord{6, 1, 100, 1, 1});
  saved(dir, again.str());
  ASSERT_TRUE(index.refresh(path));
  EXPECT_EQ(index.records().size(), 1u);
  EXPECT_TRUE(index.of(5).empty());
  EXPECT_EQ(index.of(6).size(), 1u);

  remove(path.c_str());
  EXPECT_FALSE(index.refresh(path));
  EXPECT_TRUE(index.records().empty());
}
