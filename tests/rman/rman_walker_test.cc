// The piece walker's run rules, the listing line, the choice among copies
// of one block and the data file read in place from pieces, on blocks made
// here.
#include <gtest/gtest.h>

#include <map>

#include "base/rdba.h"
#include "rman/block_copies.h"
#include "rman/piece_source.h"
#include "rman/piece_walker.h"
#include "rman/run_listing.h"
#include "test_files.h"

namespace bex {
namespace {

using testing::makeBlock;
using testing::put32;
using testing::sealBlock;

constexpr uint32_t kBlockBytes = 2048;

using Block = std::vector<uint8_t>;

Block at(uint8_t type, uint32_t file, uint32_t block) { return makeBlock(kBlockBytes, type, makeRdba(file, block)); }

Block withByte(Block b, size_t off, uint8_t v) {
  b[off] = v;
  sealBlock(b);
  return b;
}

struct Walk {
  std::vector<PieceRun> runs;
  PieceCounts counts;
};

Walk walk(const std::vector<Block>& piece, PieceRules rules = {}, const std::vector<uint32_t>& positions = {}) {
  Walk w;
  rules.blockSize = kBlockBytes;
  PieceWalker walker(rules, [&](const PieceRun& r) { w.runs.push_back(r); });
  walker.start(7);
  for (uint32_t i = 0; i < piece.size(); i++) walker.block(piece[i].data(), positions.empty() ? i : positions[i]);
  walker.finish();
  w.counts = walker.counts();
  return w;
}

std::string lines(const std::vector<PieceRun>& runs) {
  StringSink s;
  for (const PieceRun& r : runs) writeRunLine(s, r);
  return s.str();
}

TEST(PieceWalker, RunsOfEveryDataFileTypeFollowTheBlockAddresses) {
  // A header and a trailer of types data files use, but with an address of
  // 0; blocks of every kind in runs; a gap; a zero block; another file.
  const std::vector<Block> piece = {
      at(0x1d, 0, 0),  at(0x0b, 5, 1), at(0x1d, 5, 2), at(0x10, 5, 3), at(0x12, 5, 4), at(0x06, 5, 5),
      at(0x1b, 5, 6),  at(0x02, 5, 9), at(0x20, 5, 10), at(0x06, 6, 11), Block(kBlockBytes, 0), at(0x28, 6, 12),
      at(0x06, 0, 0)};
  const Walk w = walk(piece);
  EXPECT_EQ(lines(w.runs), "5,1,7,1,6,\r\n5,9,7,7,2,\r\n6,11,7,9,1,\r\n6,12,7,11,1,\r\n");
  EXPECT_EQ(w.counts.blocks, 13u);
  EXPECT_EQ(w.counts.runBlocks, 10u);
  EXPECT_EQ(w.counts.runs, 4u);
}

TEST(PieceWalker, OnlyPlausibleBlocksStartARunButAnyDataFileBlockAtTheNextAddressExtendsIt) {
  BlockList corrupt;
  corrupt.add(makeRdba(5, 40));
  PieceRules rules;
  rules.corrupt = &corrupt;
  const std::vector<Block> cannotStart = {
      at(0x01, 5, 10),                    // not a data-file type
      withByte(at(0x06, 5, 20), 1, 0x01),  // unknown format
      withByte(at(0x06, 5, 30), 15, 16),   // flag 16
      at(0x06, 5, 40),                    // on the CORRUPT list
  };
  Walk w = walk(cannotStart, rules);
  EXPECT_TRUE(w.runs.empty());
  EXPECT_EQ(w.counts.badBlocks, 1u);
  // The same blocks carry the run on when they follow it at the right place.
  std::vector<Block> extended = {at(0x06, 5, 19), withByte(at(0x06, 5, 20), 1, 0x01), at(0x06, 5, 21),
                                 withByte(at(0x06, 5, 22), 15, 16), at(0x01, 5, 23)};
  w = walk(extended, rules);
  EXPECT_EQ(lines(w.runs), "5,19,7,0,4,\r\n");
  // With BLOCK_CHECK a block whose checksum does not fold to 0 starts none.
  Block broken = at(0x06, 5, 50);
  broken[100] ^= 1;
  rules.blockCheck = true;
  w = walk({broken, at(0x06, 5, 51)}, rules);
  EXPECT_EQ(lines(w.runs), "5,51,7,1,1,\r\n");
  EXPECT_EQ(w.counts.badBlocks, 1u);
}

TEST(PieceWalker, ABlockNotReadEndsTheRunAndBigfileAddressesAreWholeBlockNumbers) {
  // Position 2 was not read: block 5/3 at position 3 is not the next of the run.
  Walk w = walk({at(0x06, 5, 1), at(0x06, 5, 2), at(0x06, 5, 3)}, {}, {0, 1, 3});
  EXPECT_EQ(lines(w.runs), "5,1,7,0,2,\r\n5,3,7,3,1,\r\n");
  PieceRules big;
  big.bigfile = true;
  const uint32_t high = (1u << 22) + 5;
  w = walk({makeBlock(kBlockBytes, 0x06, high), makeBlock(kBlockBytes, 0x06, high + 1)}, big);
  EXPECT_EQ(lines(w.runs), "0,4194309,7,0,2,\r\n");
}

TEST(RunListing, LinesAreFiveCommaEndedNumbers) {
  PieceRun r;
  ASSERT_TRUE(parseRunLine("4,100,2,17,9,\r\n", r));
  EXPECT_EQ(lines({r}), "4,100,2,17,9,\r\n");
  for (const char* bad : {"", "4,100,2,17,\r\n", "4,100,2,17,9", "4,100,2,17,0,", "4,100,2,17,9,x", "4,-1,2,17,9,",
                          "4294967296,1,1,1,1,", "1,4294967295,0,0,2,", " 4,100,2,17,9,"})
    EXPECT_FALSE(parseRunLine(bad, r)) << bad;
}

// Copies of one file's blocks in three pieces, each block's SCN chosen here.
struct FakePieces {
  std::map<std::pair<uint32_t, uint32_t>, Block> blocks;  // slot, position
  void put(uint32_t slot, uint32_t position, uint32_t block, uint32_t scn, bool sound = true) {
    Block b = at(0x06, 4, block);
    put32(&b[8], scn, false);
    sealBlock(b);
    if (!sound) b[200] ^= 1;
    blocks[{slot, position}] = b;
  }
  bool read(uint32_t slot, uint32_t position, uint8_t* buf) const {
    auto it = blocks.find({slot, position});
    if (it == blocks.end()) return false;
    memcpy(buf, it->second.data(), kBlockBytes);
    return true;
  }
};

std::string stretches(const FileCopies& c) {
  std::string s;
  for (const BlockStretch& b : c.stretches)
    s += std::to_string(b.first) + "+" + std::to_string(b.count) + "@" + std::to_string(b.slot) + ":" +
         std::to_string(b.position) + " ";
  return s;
}

TEST(BlockCopies, TheHighestScnWinsWhicheverLineListsIt) {
  FakePieces p;
  for (uint32_t k = 0; k < 10; k++) p.put(0, k, 10 + k, 100);      // a level 0: blocks 10-19
  for (uint32_t k = 0; k < 4; k++) p.put(1, k, 12 + k, 200);       // a level 1: 12-15, newer
  p.put(2, 0, 14, 200);                                            // another copy of 14, as new
  p.put(2, 1, 15, 50);                                             // an older copy of 15
  p.put(2, 2, 16, 300, false);                                     // the newest 16 fails its checksum
  p.blocks.erase({1, 1});                                          // 13 of the level 1 cannot be read
  const std::vector<PieceRun> runs = {{4, 12, 1, 0, 4}, {4, 10, 0, 0, 10}, {4, 14, 2, 0, 3}};
  CopyRules rules;
  rules.blockSize = kBlockBytes;
  auto read = [&](uint32_t slot, uint32_t position, uint8_t* buf) { return p.read(slot, position, buf); };
  FileCopies c = chooseCopies(runs, rules, read);
  // 12 from the level 1 though the level 0 is listed later; 13 from the
  // level 0; 14 the later of two equals; 15 the level 1; 16 the newest.
  EXPECT_EQ(stretches(c), "10+2@0:0 12+1@1:0 13+1@0:3 14+1@2:0 15+1@1:3 16+1@2:2 17+3@0:7 ");
  EXPECT_EQ(c.severalCopies, 5u);
  EXPECT_EQ(c.newerKept, 2u);  // 12 and 15
  rules.blockCheck = true;
  c = chooseCopies(runs, rules, read);
  EXPECT_EQ(stretches(c), "10+2@0:0 12+1@1:0 13+1@0:3 14+1@2:0 15+1@1:3 16+4@0:6 ");
}

// A piece held in memory, cut short after `bytes`.
class MemorySource final : public ByteSource {
 public:
  MemorySource(std::vector<uint8_t> bytes, bool failAtEnd) : bytes_(std::move(bytes)), failAtEnd_(failAtEnd) {}
  ReadResult read(uint64_t offset, uint8_t* buf, size_t n) override {
    ReadResult r;
    if (offset < bytes_.size()) r.bytes = std::min<uint64_t>(n, bytes_.size() - offset);
    memcpy(buf, bytes_.data() + std::min<uint64_t>(offset, bytes_.size()), r.bytes);
    r.error = failAtEnd_ && r.bytes < n;
    return r;
  }
  uint64_t size() const override { return bytes_.size(); }

 private:
  std::vector<uint8_t> bytes_;
  bool failAtEnd_;
};

TEST(PieceFileSource, ReadsStretchesFromThePiecesZerosBetweenAndFailsWhereAPieceEnds) {
  std::vector<uint8_t> piece(100, 0xEE);  // 100 bytes before block 0
  for (uint32_t b = 0; b < 6; b++) {
    Block x = at(0x06, 3, 20 + b);
    piece.insert(piece.end(), x.begin(), x.end());
  }
  auto pieces = std::make_shared<PieceSet>();
  pieces->add(std::make_unique<MemorySource>(piece, false), 100);
  // Blocks 2-3 from positions 0-1, 6-9 from positions 2-5, 10 past the piece's end.
  PieceFileSource f(pieces, {{2, 2, 0, 0}, {6, 4, 0, 2}, {10, 1, 0, 6}}, kBlockBytes);
  EXPECT_EQ(f.size(), 11u * kBlockBytes);
  std::vector<uint8_t> buf(12 * kBlockBytes, 0x55);
  const ReadResult r = f.read(kBlockBytes + 10, buf.data(), 12 * kBlockBytes);
  EXPECT_TRUE(r.error);
  ASSERT_EQ(r.bytes, 9u * kBlockBytes - 10);
  auto file = [&](uint64_t k) { return buf.data() + (k - kBlockBytes - 10); };  // byte k of the file
  for (uint64_t k = kBlockBytes + 10; k < 2 * kBlockBytes; k++) ASSERT_EQ(*file(k), 0) << k;
  EXPECT_EQ(memcmp(file(2 * kBlockBytes), piece.data() + 100, 2 * kBlockBytes), 0);
  for (uint64_t k = 4 * kBlockBytes; k < 6 * kBlockBytes; k++) ASSERT_EQ(*file(k), 0) << k;
  EXPECT_EQ(memcmp(file(6 * kBlockBytes), piece.data() + 100 + 2 * kBlockBytes, 4 * kBlockBytes), 0);
  EXPECT_EQ(f.read(11 * kBlockBytes, buf.data(), kBlockBytes).bytes, 0u);  // the end of the file
  EXPECT_FALSE(f.read(11 * kBlockBytes, buf.data(), kBlockBytes).error);
}

}  // namespace
}  // namespace bex
