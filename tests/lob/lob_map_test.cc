#include "lob/lob_map.h"
#include "lob/lob_map_files.h"
#include "map_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using namespace bex;

namespace {

using bex::testing::MapDir;
using bex::testing::lobId;

std::string line(unsigned objd, const std::string& id, unsigned page, unsigned version, unsigned file, unsigned block,
                 unsigned count) {
  return std::to_string(objd) + "," + id + "," + std::to_string(page) + "," + std::to_string(version) + "," +
         std::to_string(file) + "," + std::to_string(block) + "," + std::to_string(count) + ",\n";
}

std::vector<unsigned long long> positions(const std::string& text) {
  std::vector<unsigned long long> v;
  std::istringstream in(text);
  std::string l;
  while (std::getline(in, l)) v.push_back(std::stoull(l));
  return v;
}

}  // namespace

TEST(LobBucket, KnownValuesSpreadAndUseOnlyTheLastTenDigits) {
  // Same last ten characters, same bucket; the first ten do not count.
  EXPECT_EQ(lobBucket("00000001000000000ABC"), lobBucket(&"FFFFFFFFFF00000000ABC"[1]));
  EXPECT_LT(lobBucket("00000001000000000ABC"), kLobMapBuckets);
  std::vector<int> used(kLobMapFanout, 0);
  for (unsigned i = 0; i < 20000; i++) used[lobBucket(lobId(i)) >> 9]++;
  int empty = 0;
  for (int u : used) empty += u == 0;
  EXPECT_LT(empty, 10);  // 20000 ids reach nearly every first-level file
}

TEST(LobMapBuild, EmptyListingGivesAllZeroPositions) {
  MapDir d;
  d.build();
  std::string pos = d.read("BEXLOBPOS.TXT");
  std::vector<unsigned long long> p = positions(pos);
  ASSERT_EQ(p.size(), kLobMapBuckets);
  for (unsigned long long v : p) ASSERT_EQ(v, 0u);
  EXPECT_EQ(d.read("BEXLOBMAP.TXT"), "");
  LookupLobMap(d.map, lobId(1));
  EXPECT_EQ(d.map.pagecount, 0u);
}

TEST(LobMapBuild, BucketsAreOrderedPositionsNonDecreasingNoTemporaries) {
  MapDir d;
  std::string text;
  for (unsigned i = 0; i < 3000; i++) text += line(77, lobId(i % 700), i / 700, 1, 4, 100 + i, 1);
  d.listing(text);
  d.build();
  std::vector<unsigned long long> p = positions(d.read("BEXLOBPOS.TXT"));
  ASSERT_EQ(p.size(), kLobMapBuckets);
  for (size_t i = 1; i < p.size(); i++) ASSERT_LE(p[i - 1], p[i]);
  std::string map = d.read("BEXLOBMAP.TXT");
  EXPECT_EQ(map.size(), text.size());
  // Every line sits in its own bucket's byte range, in listing order.
  std::istringstream in(map);
  std::string l;
  unsigned long long off = 0;
  uint32_t lastBucket = 0;
  while (std::getline(in, l)) {
    uint32_t b = lobBucket(l.substr(l.find(',') + 1, 20));
    ASSERT_GE(b, lastBucket);
    ASSERT_GE(off, p[b]);
    if (b + 1 < kLobMapBuckets) {
      ASSERT_LT(off, p[b + 1]);
    }
    lastBucket = b;
    off += l.size() + 1;
  }
  for (unsigned i = 0; i < kLobMapFanout; i++) {
    char name[32];
    snprintf(name, sizeof name, "/BEXLOBMAP%03u.L1T", i);
    struct stat st;
    ASSERT_NE(stat((d.dir + name).c_str(), &st), 0) << name;
    snprintf(name, sizeof name, "/BEXLOBMAP%03u.L2T", i);
    ASSERT_NE(stat((d.dir + name).c_str(), &st), 0) << name;
  }
}

TEST(LobMapLookup, VersionsAbsentPagesAndOtherIds) {
  MapDir d;
  std::string a = lobId(42), b = lobId(43);
  d.listing(line(5, a, 0, 5, 4, 10, 1) + line(5, a, 0, 7, 4, 20, 1) + line(5, a, 2, 3, 4, 30, 2) +
            line(5, b, 0, 9, 4, 40, 1) + line(5, a, 0, 6, 4, 50, 1) + line(5, a, 2, 3, 4, 60, 1) +
            line(5, a, 600000, 1, 4, 70, 1) + "5," + a + ",1,1,x,\n");
  d.build();
  LookupLobMap(d.map, a);
  ASSERT_EQ(d.map.pagecount, 3u);
  EXPECT_EQ(d.map.pages[0].block, 20u);  // version 7 beats 5 and 6
  EXPECT_EQ(d.map.pages[0].version, 7u);
  EXPECT_TRUE(d.map.pages[1].absent());  // the malformed line is skipped
  EXPECT_EQ(d.map.pages[2].block, 30u);  // equal versions: the first line wins
  EXPECT_EQ(d.map.pages[2].count, 2u);
  LookupLobMap(d.map, b);
  EXPECT_EQ(d.map.pagecount, 1u);
  EXPECT_EQ(d.map.pages[0].block, 40u);
  EXPECT_TRUE(d.map.pages[2].absent());  // nothing left from the previous lookup
  LookupLobMap(d.map, lobId(999));
  EXPECT_EQ(d.map.pagecount, 0u);
}

TEST(LobMapLookup, VersionOrderDoesNotMatter) {
  MapDir d;
  std::string a = lobId(7);
  d.listing(line(5, a, 0, 7, 4, 20, 1) + line(5, a, 0, 5, 4, 10, 1));
  d.build();
  LookupLobMap(d.map, a);
  EXPECT_EQ(d.map.pages[0].block, 20u);
}

TEST(LobMapBuild, ShortLineEndsTheListingAndBadLinesAreDropped) {
  MapDir d;
  std::string a = lobId(1), b = lobId(2);
  d.listing(line(5, a, 0, 1, 4, 10, 1) + ",0000000100,1,1,1,1,1,\n" + "5,SHORTID,0,1,4,11,1,\n" + "9,\n" +
            line(5, b, 0, 1, 4, 12, 1));
  d.build();
  EXPECT_EQ(d.read("BEXLOBMAP.TXT"), line(5, a, 0, 1, 4, 10, 1));
  LookupLobMap(d.map, b);
  EXPECT_EQ(d.map.pagecount, 0u);
}

TEST(LobMapLookup, MissingMapFindsNothing) {
  MapDir d;
  OpenLobMap(d.map);
  EXPECT_FALSE(d.map.available());
  LookupLobMap(d.map, lobId(1));
  EXPECT_EQ(d.map.pagecount, 0u);
}

TEST(LobMapLookup, ReadsOnlyTheWantedBucket) {
  MapDir d;
  std::string text;
  for (unsigned i = 0; i < 200000; i++) text += line(9, lobId(i), 0, 1, 3, i, 1);
  d.listing(text);
  d.build();
  std::vector<unsigned long long> p = positions(d.read("BEXLOBPOS.TXT"));
  for (unsigned id : {0u, 777u, 199999u}) {
    LookupLobMap(d.map, lobId(id));
    ASSERT_EQ(d.map.pagecount, 1u);
    EXPECT_EQ(d.map.pages[0].block, id);
    uint32_t b = lobBucket(lobId(id));
    unsigned long long end = b + 1 < kLobMapBuckets ? p[b + 1] : d.read("BEXLOBMAP.TXT").size();
    // The reader stops at the first line of the next bucket.
    EXPECT_LE(static_cast<unsigned long long>(ftello(d.map.map)), end + 64);
  }
}

// The position file as read back: a line's leading digits (0 for none), a
// value past 64 bits held at the largest, a last line without its line
// feed, and buckets past the end keep what they held.
TEST(LobMapPositions, OddLinesAndShortFiles) {
  std::string text = "12,\nx\n99999999999999999999999,\n 5\n7";
  FILE* f = fmemopen(text.data(), text.size(), "rb");
  ASSERT_NE(f, nullptr);
  std::vector<uint64_t> got(7, 42);
  readBucketOffsets(f, got.data(), 6);
  fclose(f);
  EXPECT_EQ(got, (std::vector<uint64_t>{12, 0, UINT64_MAX, 0, 7, 42, 42}));
}
