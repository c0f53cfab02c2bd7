// RMAN SCAN, RESTORE FILE and OPEN on small pieces written here: the runs
// and suggested lines, filler holes, listing lines that cannot be taken,
// unreadable blocks, the files a restore never writes, and the holes of a
// file read from its pieces.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <stdexcept>

#include "datafile/block_reader.h"
#include "commands/datafile/datafile_commands.h"
#include "rman/restore.h"
#include "commands/rman/rman_commands.h"
#include "commands/scan/scan_commands.h"
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

std::string blockAt(const std::string& path, uint64_t block) {
  std::string b(kBs, 'x');
  const int fd = ::open(path.c_str(), O_RDONLY);
  const ssize_t got = fd < 0 ? -1 : pread(fd, b.data(), kBs, static_cast<off_t>(block * kBs));
  if (fd >= 0) ::close(fd);
  return got == static_cast<ssize_t>(kBs) ? b : std::string();
}

// A shell whose working directory is a scratch directory, with BLOCK_SIZE
// 2048 and its pieces written there. Everything it writes goes there by
// its full name; only RESTORE writes into the working directory, so the
// shell refuses to run anywhere else.
struct RmanShell {
  testing::ScratchDir dir;
  testing::TestShell sh{dir.file("BEXDICT")};
  char home[4096];

  RmanShell() {
    if (!getcwd(home, sizeof home) || chdir(dir.path().c_str()) != 0)
      throw std::runtime_error("cannot work in " + dir.path());
    mkdir(dir.file("BEXDICT").c_str(), 0755);
    sh.rc.setBlockSize(kBs);
  }
  ~RmanShell() { EXPECT_EQ(chdir(home), 0); }

  std::string run(const std::string& statement) { return sh.run(cmdRman, statement); }
  // OPEN of the pieces named (in the scratch directory).
  std::string open(const std::vector<std::string>& names) {
    std::ofstream(dir.file("pieces.cfg")) << [&] {
      std::string s;
      for (const std::string& n : names) s += dir.file(n) + "\n";
      return s;
    }();
    return sh.run(cmdOpen, "OPEN " + dir.file("pieces.cfg"));
  }
  void listing(const std::string& text) { std::ofstream(dir.file("BEXDICT/BEXRMAN.TXT"), std::ios::binary) << text; }
  std::string read(const std::string& name) const { return readAll(dir.file(name)); }
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
  EXPECT_NE(access(r.dir.file("RMAN_6.DBF").c_str(), F_OK), 0);
}

TEST(RmanCommand, ScanListsTheRunsAndRestoreWritesEachAtItsOffset) {
  RmanShell r;
  const std::vector<Block> piece = fivePiece();
  r.dir.write("five.bkp", piece);
  r.open({"five.bkp"});
  EXPECT_EQ(work(r.run("RMAN SCAN")),
            "  Slot 0 " + r.dir.file("five.bkp") + ": runs 2, blocks in runs 110, other blocks 2\nRMAN RESTORE FILE 6\n");
  EXPECT_EQ(r.read("BEXDICT/BEXRMAN.TXT"), "5,100,0,1,100,\r\n5,500,0,101,10,\r\n");
  EXPECT_EQ(work(r.run("RMAN RESTORE FILE 6")), "  RMAN_6.DBF: blocks restored 110, filler blocks 400, unreadable blocks 0\n");
  const std::string file = r.read("RMAN_6.DBF");
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
  EXPECT_EQ(r.read("RMAN_6.DBF").size(), 110u * kBs);
}

// Filler is a hole of the restored file: a run however far from the others
// is restored, and the room taken is that of the blocks written.
TEST(RmanCommand, EveryRunIsRestoredWithFillerAsAHoleAndARestoreNeverWritesAnOpenFile) {
  RmanShell r;
  const std::vector<Block> piece = fivePiece();
  r.dir.write("five.bkp", piece);
  r.open({"five.bkp"});
  r.listing("5,0,0,1,10,\r\n5,200000,0,20,1,\r\n");
  EXPECT_EQ(work(r.run("RMAN RESTORE FILE 6")),
            "  RMAN_6.DBF: blocks restored 11, filler blocks 199990, unreadable blocks 0\n");
  const std::string name = r.dir.file("RMAN_6.DBF");
  struct stat st;
  ASSERT_EQ(stat(name.c_str(), &st), 0);
  EXPECT_EQ(static_cast<uint64_t>(st.st_size), 200001ull * kBs);
  EXPECT_LT(static_cast<uint64_t>(st.st_blocks) * 512, 1ull << 20);
  EXPECT_EQ(blockAt(name, 9), blockText(piece[10]));
  EXPECT_EQ(blockAt(name, 100000), std::string(kBs, '\0'));
  EXPECT_EQ(blockAt(name, 200000), blockText(piece[20]));
  r.open({"five.bkp", "RMAN_6.DBF"});
  EXPECT_EQ(work(r.run("RMAN RESTORE FILE 6")), "  RMAN_6.DBF is open as slot 1, it is not written.\n");
  ASSERT_EQ(stat(name.c_str(), &st), 0);
  EXPECT_EQ(static_cast<uint64_t>(st.st_size), 200001ull * kBs);
}

// A piece holding blocks 10 to 29 of file 3 between its header and trailer;
// with sound false every block fails its checksum.
std::vector<Block> threePiece(bool sound) {
  std::vector<Block> p = {makeBlock(kBs, 0x00, 0)};
  for (uint32_t b = 10; b < 30; b++) {
    p.push_back(makeBlock(kBs, 0x06, makeRdba(3, b)));
    if (!sound) p.back()[100] ^= 1;
  }
  p.push_back(makeBlock(kBs, 0x00, 0));
  return p;
}

// A listing line naming one block far past the others (a damaged or forged
// listing): the blocks between are holes of the file RMAN OPEN maps, which
// the probe and the scans pass over instead of reading them as zeros one by
// one (billions of them here).
TEST(RmanCommand, BlocksNoPieceHoldsAreHolesThatTheProbeAndTheScansPassOver) {
  RmanShell r;
  const std::string far = "3,10,0,1,20,\r\n3,4000000000,0,1,1,\r\n";
  r.dir.write("three.bkp", threePiece(false));
  r.open({"three.bkp"});
  r.listing(far);
  EXPECT_NE(r.run("RMAN OPEN").find("\nN    0    1 00      0          0        0     0 RMAN FILE 4\n"),
            std::string::npos);
  r.dir.write("three.bkp", threePiece(true));
  r.open({"three.bkp"});
  r.listing(far);
  EXPECT_NE(r.run("RMAN OPEN").find("\nY    0    3 a2   2048 4000000000  7812500     0 RMAN FILE 4\n"),
            std::string::npos);
  // SCAN DATABASE lists each held block (the blocks differ in object), the
  // far one included.
  r.sh.run(cmdScan, "SCAN DATABASE");
  const std::string runs = r.read("BEXDICT/BEXEXT.TXT");
  EXPECT_EQ(std::count(runs.begin(), runs.end(), '\n'), 21);
  EXPECT_NE(runs.find(",3,4000000000,1,"), std::string::npos);
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
