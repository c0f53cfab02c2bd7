// The slot's byte source is the readers' only way to the file: a file held
// in memory reads like one on disk, and the source's report of a read error
// (as against the end of the file) reaches the whole-file walk.
#include <gtest/gtest.h>

#include <cstring>

#include "base/byte_order.h"
#include "base/byte_source.h"
#include "datafile/block_reader.h"
#include "datafile/slot_reader.h"
#include "run/run_context.h"
#include "test_files.h"

using namespace bex;
using namespace bex::testing;

namespace {

// headerSize filler bytes, then `count` blocks of rfn 3 (block 1 its header).
std::vector<uint8_t> fileImage(uint32_t count, uint32_t headerSize) {
  std::vector<uint8_t> image(headerSize + 8192, 0xEE);  // filler and block 0
  std::vector<uint8_t> header = makeFileHeader(8192, 3, 4, 8192);
  image.insert(image.end(), header.begin(), header.end());
  for (uint32_t b = 2; b < count; b++) {
    std::vector<uint8_t> block = makeBlock(8192, 0x06, makeRdba(3, b));
    image.insert(image.end(), block.begin(), block.end());
  }
  return image;
}

struct MemoryRegistry {
  StringSink out;
  RunContext rc{stdin, out};
  MemorySource* source;

  MemoryRegistry(uint32_t blocks, uint32_t headerSize = 0) {
    auto s = std::make_unique<MemorySource>(fileImage(blocks, headerSize));
    source = s.get();
    DataFileRegistry& reg = rc.registry;
    EXPECT_TRUE(parseConfigLine(reg, ("memory " + std::to_string(headerSize)).c_str()));
    reg.slots[0].source = std::move(s);
    listDataFiles(rc.bc, out);  // probes through the source and hashes the slot
  }
  uint32_t rdba() const { return getLE32(rc.bc.block + 4); }
};

}  // namespace

TEST(ByteSource, ReadersGoThroughTheSlotsSource) {
  MemoryRegistry m(40, 4096);
  EXPECT_NE(m.out.str().find("Y    4    3 a2   8192         39        0  4096 memory"), std::string::npos)
      << m.out.str();
  BlockContext& bc = m.rc.bc;
  ASSERT_EQ(ReadBlock(bc, 3, 7), 8192u);
  EXPECT_EQ(m.rdba(), makeRdba(3, 7));
  const int reads = m.source->reads;
  ASSERT_EQ(ReadBlock(bc, 3, 38), 8192u);  // in the same 32-block stretch: no read
  EXPECT_EQ(m.source->reads, reads);
  ASSERT_EQ(ReadBlockDirect(bc, 3, 2), 8192u);
  EXPECT_EQ(m.rdba(), makeRdba(3, 2));
  ASSERT_EQ(ReadBlockLob(bc, 3, 20), 8192u);
  EXPECT_EQ(m.rdba(), makeRdba(3, 20));
  ASSERT_EQ(ReadBlockBySlot(bc, 0, 1), 8192u);
  EXPECT_EQ(bc.block[0], 0x0b);
  const uint64_t bad = bc.counters->BadBlockCount;
  EXPECT_EQ(ReadBlock(bc, 3, 40), 0u);  // past the end
  EXPECT_EQ(bc.counters->BadBlockCount, bad + 1);
}

TEST(ByteSource, AReadErrorSkipsOnlyTheUnreadableBlocksOfAWalk) {
  MemoryRegistry m(100);
  m.source->failBetween(50 * 8192 + 100, 52 * 8192);  // blocks 50 and 51
  SlotReader r(m.rc.bc, 65536);
  r.start(0, 2, 1000);
  std::vector<uint32_t> seen;
  uint32_t n;
  while (const uint8_t* b = r.next(n)) {
    ASSERT_EQ(getLE32(b + 4), makeRdba(3, n));
    seen.push_back(n);
  }
  ASSERT_EQ(seen.size(), 96u);  // blocks 2..99 but 50 and 51; the end of the file ends the walk
  EXPECT_EQ(seen[47], 49u);
  EXPECT_EQ(seen[48], 52u);
  EXPECT_EQ(seen.back(), 99u);
  // The block reader gets the whole blocks before the error and no more.
  EXPECT_EQ(ReadBlock(m.rc.bc, 3, 45), 8192u);
  EXPECT_EQ(ReadBlock(m.rc.bc, 3, 50), 0u);
  EXPECT_EQ(ReadBlockDirect(m.rc.bc, 3, 51), 0u);
  EXPECT_EQ(ReadBlockDirect(m.rc.bc, 3, 52), 8192u);
}

TEST(ByteSource, OperatingSystemFileTellsErrorFromEnd) {
  ScratchDir dir;
  std::string path = dir.write("a.dbf", {makeBlock(8192, 0x06, 1), makeBlock(8192, 0x06, 2)}, 0, 100);
  std::unique_ptr<FileSource> f = FileSource::open(path.c_str());
  ASSERT_TRUE(f);
  EXPECT_EQ(f->size(), 2 * 8192u + 100);
  std::vector<uint8_t> buf(3 * 8192);
  ReadResult r = f->read(8192, buf.data(), buf.size());
  EXPECT_EQ(r.bytes, 8192u + 100);
  EXPECT_FALSE(r.error);
  EXPECT_EQ(getLE32(buf.data() + 4), 2u);
  r = f->read(1u << 30, buf.data(), 10);
  EXPECT_EQ(r.bytes, 0u);
  EXPECT_FALSE(r.error);
  std::unique_ptr<FileSource> d = FileSource::open(dir.path().c_str());  // opens, but reads fail
  ASSERT_TRUE(d);
  r = d->read(0, buf.data(), 10);
  EXPECT_EQ(r.bytes, 0u);
  EXPECT_TRUE(r.error);
  EXPECT_FALSE(FileSource::open(dir.file("missing").c_str()));
}

// A mapping stands for the file as it is when mapped: a range past the end
// is not mapped (it is read, short), and a file cut short while mapped
// reads as zeros from the cut on, marked damaged, instead of stopping the
// process with a bus error.
TEST(ByteSource, AMappedFileCutShortUnderTheReaderDoesNotStopTheProcess) {
  ScratchDir dir;
  std::vector<std::vector<uint8_t>> blocks;
  for (uint32_t b = 0; b < 64; b++) blocks.push_back(makeBlock(8192, 0x06, makeRdba(3, b)));
  const std::string path = dir.write("a.dbf", blocks, 100);
  std::unique_ptr<FileSource> f = FileSource::open(path.c_str());
  ASSERT_TRUE(f);
  MappedView view;
  const uint8_t* p = f->map(100 + 3 * 8192, 10 * 8192, view);
  if (!p) GTEST_SKIP() << "the scratch directory's file system is not mapped";
  EXPECT_EQ(getLE32(p + 4), makeRdba(3, 3));
  EXPECT_EQ(getLE32(p + 9 * 8192 + 4), makeRdba(3, 12));
  EXPECT_EQ(f->map(100 + 60 * 8192, 10 * 8192, view), nullptr);
  p = f->map(100, 32 * 8192, view);
  ASSERT_NE(p, nullptr);
  ASSERT_EQ(truncate(path.c_str(), 100 + 8 * 8192), 0);
  EXPECT_EQ(getLE32(p + 3 * 8192 + 4), makeRdba(3, 3));
  EXPECT_EQ(getLE32(p + 20 * 8192 + 4), 0u);
  EXPECT_TRUE(view.damaged());
  EXPECT_EQ(f->map(100 + 4 * 8192, 8 * 8192, view), nullptr);
  std::vector<uint8_t> buf(8 * 8192);
  EXPECT_EQ(f->read(100 + 4 * 8192, buf.data(), buf.size()).bytes, 4 * 8192u);
}
