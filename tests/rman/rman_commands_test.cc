// RMAN SCAN, RESTORE FILE and OPEN on small pieces written here: the runs
// and suggested lines, filler blocks and their limit, listing lines that
// cannot be taken, unreadable blocks, and the files a restore never writes.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "datafile/block_reader.h"
#include "datafile/commands.h"
#include "rman/restore.h"
#include "rman/rman_commands.h"
#include "test_files.h"
#include "test_shell.h"

namespace bex {
namespace {

using testing::makeBlock;
using Block = std::vector<uint8_t>;

constexpr uint32_t kBs = 2048;

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string blockText(const Block& b) { return std::string(b.begin(), b.end()); }

// A shell whose working directory is a scratch directory, with BLOCK_SIZE
// 2048 and its pieces written there.
struct RmanShell {
  testing::ScratchDir dir;
  testing::TestShell sh{dir.file("BEXDICT")};
  char home[4096];

  RmanShell() {
    EXPECT_TRUE(getcwd(home, sizeof home));
    EXPECT_EQ(chdir(dir.path().c_str()), 0);
    mkdir("BEXDICT", 0755);
    sh.rc.setBlockSize(kBs);
  }
  ~RmanShell() { EXPECT_EQ(chdir(home), 0); }

  std::string run(const std::string& statement) { return sh.run(cmdRman, statement); }
  std::string open(const std::vector<std::string>& lines) {
    std::ofstream("pieces.cfg") << [&] {
      std::string s;
      for (const std::string& l : lines) s += l + "\n";
      return s;
    }();
    return sh.run(cmdOpen, "OPEN pieces.cfg");
  }
  void listing(const std::string& text) { std::ofstream("BEXDICT/BEXRMAN.TXT", std::ios::binary) << text; }
};

// Strips the date lines a command prints before and after its work.
std::string work(const std::string& out) {
  std::string s;
  size_t at = 0;
  for (size_t end; (end = out.find('\n', at)) != std::string::npos; at = end + 1) {
    std::string line = out.substr(at, end - at + 1);
    if (!(line.size() == 20 && line[4] == '-' && line[13] == ':')) s += line;
  }
  return s;
}

// A piece: its header, blocks 100-199 and 500-509 of file 5, its trailer.
std::vector<Block> fivePiece() {
  std::vector<Block> p = {makeBlock(kBs, 0x00, 0)};
  for (uint32_t b = 100; b < 200; b++) p.push_back(makeBlock(kBs, b == 100 ? 0x10 : 0x06, makeRdba(5, b)));
  for (uint32_t b = 500; b < 510; b++) p.push_back(makeBlock(kBs, 0x06, makeRdba(5, b)));
  p.push_back(makeBlock(kBs, 0x00, 0));
  return p;
}

TEST(RmanCommand, UsageAndWhatDoesNothing) {
  RmanShell r;
  const std::string usage = "  RMAN SCAN \n  RMAN RESTORE FILE fileid \n  RMAN OPEN \n";
  EXPECT_EQ(r.run("RMAN"), usage);
  EXPECT_EQ(r.run("RMAN LIST"), usage);
  EXPECT_EQ(r.run("RMAN RESTORE 6"), usage);
  EXPECT_EQ(r.run("RMAN RESTORE FILE"), "");
  EXPECT_EQ(r.run("RMAN RESTORE FILE 0"), "");
  EXPECT_EQ(work(r.run("RMAN RESTORE FILE 6")), "  Cannot open " + r.dir.file("BEXDICT/BEXRMAN.TXT") +
                                                    ": run RMAN SCAN first.\n");
  EXPECT_NE(access("RMAN_6.DBF", F_OK), 0);
}

TEST(RmanCommand, ScanListsTheRunsAndRestoreWritesEachAtItsOffset) {
  RmanShell r;
  const std::vector<Block> piece = fivePiece();
  r.dir.write("five.bkp", piece);
  r.open({"five.bkp"});
  EXPECT_EQ(work(r.run("RMAN SCAN")),
            "  Slot 0 five.bkp: runs 2, blocks in runs 110, other blocks 2\nRMAN RESTORE FILE 6\n");
  EXPECT_EQ(readAll("BEXDICT/BEXRMAN.TXT"), "5,100,0,1,100,\r\n5,500,0,101,10,\r\n");
  EXPECT_EQ(work(r.run("RMAN RESTORE FILE 6")), "  RMAN_6.DBF: blocks restored 110, filler blocks 400, unreadable blocks 0\n");
  const std::string file = readAll("RMAN_6.DBF");
  ASSERT_EQ(file.size(), 510u * kBs);
  EXPECT_EQ(file.substr(0, 100 * kBs), std::string(100 * kBs, '\0'));
  EXPECT_EQ(file.substr(100 * kBs, kBs), blockText(piece[1]));
  EXPECT_EQ(file.substr(509 * kBs, kBs), blockText(piece[110]));
  EXPECT_EQ(file.substr(200 * kBs, 300 * kBs), std::string(300 * kBs, '\0'));
  // In place: RMAN OPEN makes the file a slot of its own that reads from the
  // piece; the RMAN commands then refuse, as slots no longer name pieces.
  EXPECT_NE(r.run("RMAN OPEN").find("RMAN FILE 6"), std::string::npos);
  ASSERT_EQ(r.sh.rc.registry.count, 1u);
  ASSERT_EQ(ReadBlock(r.sh.rc.bc, 5, 509), kBs);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(r.sh.rc.bc.block), kBs), blockText(piece[110]));
  EXPECT_EQ(r.run("RMAN SCAN"), "  The open files are read from backup pieces (RMAN OPEN): OPEN the pieces again first.\n");
}

TEST(RmanCommand, ListingLinesThatCannotBeTakenAreNamedAndNeverReadAsZeros) {
  RmanShell r;
  r.dir.write("five.bkp", fivePiece());
  r.open({"five.bkp", "missing.bkp"});
  r.listing("5,100,0,1,3,\r\nbroken line\r\n5,103,1,4,3,\r\n5,103,9,4,3,\r\n5,108,0,110,5,\r\n5,103,0,4,2,\r\n");
  const std::string out = work(r.run("RMAN RESTORE FILE 6"));
  EXPECT_EQ(out,
            "  Listing line 2 is malformed, skipped.\n"
            "  Listing line 3 names slot 1, which is not open, skipped.\n"
            "  Listing line 4 names slot 9, which is not open, skipped.\n"
            "  RMAN_6.DBF: blocks restored 7, filler blocks 103, unreadable blocks 3\n");
  // Blocks 100-104 and 108-109 from the piece; the three the last line
  // names past the piece's end are counted, not written.
  EXPECT_EQ(readAll("RMAN_6.DBF").size(), 110u * kBs);
}

TEST(RmanCommand, FillerStopsAtItsLimitAndARestoreNeverWritesAnOpenFile) {
  RmanShell r;
  r.dir.write("five.bkp", fivePiece());
  r.open({"five.bkp"});
  r.listing("5,0,0,1,10,\r\n5,200000,0,20,1,\r\n");
  EXPECT_EQ(work(r.run("RMAN RESTORE FILE 6")),
            "  RMAN_6.DBF: blocks restored 10, filler blocks 0, unreadable blocks 0\n"
            "  Filler limit reached: block 200000 and the blocks after it are not restored.\n");
  EXPECT_EQ(readAll("RMAN_6.DBF").size(), 10u * kBs);
  r.open({"five.bkp", "RMAN_6.DBF"});
  EXPECT_EQ(work(r.run("RMAN RESTORE FILE 6")), "  RMAN_6.DBF is open as slot 1, it is not written.\n");
  EXPECT_EQ(readAll("RMAN_6.DBF").size(), 10u * kBs);
}

// Reads as a piece whose block at position `bad` cannot be read.
class BadSectorSource final : public ByteSource {
 public:
  BadSectorSource(std::vector<Block> blocks, uint32_t bad) : blocks_(std::move(blocks)), bad_(bad) {}
  ReadResult read(uint64_t offset, uint8_t* buf, size_t n) override {
    ReadResult r;
    for (uint64_t at = offset; r.bytes < n && at / kBs < blocks_.size(); at = offset + r.bytes) {
      if (at / kBs == bad_) return ReadResult{r.bytes, true};
      size_t len = std::min<size_t>(n - r.bytes, kBs - at % kBs);
      memcpy(buf + r.bytes, blocks_[at / kBs].data() + at % kBs, len);
      r.bytes += len;
    }
    return r;
  }
  uint64_t size() const override { return blocks_.size() * kBs; }

 private:
  std::vector<Block> blocks_;
  uint32_t bad_;
};

TEST(RmanRestore, AnUnreadableBlockLeavesAGapAndTheBlocksAfterItKeepTheirPlaces) {
  testing::ScratchDir dir;
  std::vector<Block> blocks;
  for (uint32_t b = 0; b < 8; b++) blocks.push_back(makeBlock(kBs, 0x06, makeRdba(3, 40 + b)));
  DataFileRegistry reg;
  reg.count = 1;
  reg.slots[0].source = std::make_unique<BadSectorSource>(blocks, 3);
  FileCopies copies;
  copies.stretches = {{40, 8, 0, 0}};
  const std::string out = dir.file("out.dbf");
  int fd = ::open(out.c_str(), O_RDWR | O_CREAT, 0644);
  ASSERT_GE(fd, 0);
  Progress progress;
  const RestoreCounts c = restoreFile(reg, kBs, copies, fd, 0, progress);
  ::close(fd);
  EXPECT_EQ(c.restored, 7u);
  EXPECT_EQ(c.unreadable, 1u);
  EXPECT_EQ(c.filler, 40u);
  const std::string file = readAll(out);
  ASSERT_EQ(file.size(), 48u * kBs);
  EXPECT_EQ(file.substr(42 * kBs, kBs), blockText(blocks[2]));
  EXPECT_EQ(file.substr(43 * kBs, kBs), std::string(kBs, '\0'));
  EXPECT_EQ(file.substr(44 * kBs, kBs), blockText(blocks[4]));
}

}  // namespace
}  // namespace bex
