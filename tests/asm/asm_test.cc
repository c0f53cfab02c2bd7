// The ASM reader on small disk groups made by AsmImage: every byte of a file
// read through its extent map equals the original in both metadata byte
// orders and with NORMAL and HIGH redundancy (one disk missing, a primary
// block damaged), holes and damaged metadata end reads without crashing,
// and the copy commands write the original bytes.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <iterator>

#include "commands/asm/asm_commands.h"
#include "asm/asm_file.h"
#include "asm_image.h"
#include "test_files.h"
#include "test_shell.h"

namespace bex {
namespace {

using testing::AsmImage;
using testing::AsmImageSpec;
using testing::ScratchDir;
using testing::TestShell;

std::vector<uint8_t> readFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), {});
}

void patchDisk(const std::string& path, uint64_t offset, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "r+b");
  fseeko(f, static_cast<off_t>(offset), SEEK_SET);
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

// A line of the map file ASM SCAN writes and COPY ... MAP reads.
std::string mapLine(uint32_t file, uint32_t extent, uint32_t disk, uint32_t au) {
  return std::to_string(file) + "," + std::to_string(extent) + "," + std::to_string(disk) + "," + std::to_string(au) +
         "\n";
}

// Reads the whole file in uneven pieces that cross AU and extent ends.
std::vector<uint8_t> readAll(AsmFile& f) {
  std::vector<uint8_t> got(f.length);
  for (uint64_t pos = 0; pos < f.length;) {
    size_t n = std::min<uint64_t>(70001, f.length - pos);
    ReadResult r = readAsmBytes(f, pos, got.data() + pos, n, f.length);
    EXPECT_EQ(r.bytes, n) << "at " << pos;
    if (r.bytes != n) break;
    pos += n;
  }
  return got;
}

// Alias entries: their fields, a name filling its 48 bytes, and the end of
// a block's list at an empty name or at the block's end.
TEST(AsmMetadata, AliasEntriesEndAtAnEmptyNameOrTheBlockEnd) {
  std::vector<uint8_t> block(4096);
  block[0] = 1;  // little-endian
  block[2] = kAsmAliasBlock;
  auto put32 = [&](uint32_t at, uint32_t x) { memcpy(&block[at], &x, 4); };
  for (uint32_t i = 0; i < 3; i++) {
    const uint32_t e = kAliasFirstEntry + i * kAliasEntrySize;
    put32(e + 4, 1);
    put32(e + 8, 10 + i);
    put32(e + 64, 256 + i);
    put32(e + 68, 1000 + i);
    block[e + 72] = 4;
    memset(&block[e + 16], 'A' + i, i == 1 ? kAliasNameMax : 4);
  }
  block[kAliasFirstEntry + 2 * kAliasEntrySize + 16] = 0;  // the third entry ends the list
  AsmAliasEntry e;
  AsmMeta m{block.data(), 4096};
  ASSERT_TRUE(aliasEntryAt(m, 0, e));
  EXPECT_EQ(e.reference, 10u);
  EXPECT_EQ(e.file, 256u);
  EXPECT_EQ(e.incarnation, 1000u);
  EXPECT_EQ(e.flags, 4);
  EXPECT_STREQ(e.name, "AAAA");
  ASSERT_TRUE(aliasEntryAt(m, 1, e));
  EXPECT_EQ(std::string(e.name), std::string(kAliasNameMax, 'B'));
  EXPECT_FALSE(aliasEntryAt(m, 2, e));
  // A block too short for the second entry holds only the first.
  m.size = kAliasFirstEntry + 2 * kAliasEntrySize - 1;
  EXPECT_TRUE(aliasEntryAt(m, 0, e));
  EXPECT_FALSE(aliasEntryAt(m, 1, e));
  m.size = kAliasFirstEntry;
  EXPECT_FALSE(aliasEntryAt(m, 0, e));
}

TEST(AsmMapping, VariableExtentsAndStripes) {
  AsmDiskGroup g;
  AsmExtentSpot s = mapAu(g, 5);
  EXPECT_EQ(s.extent + 1, 6u);  // offset 5 x AU_SIZE + 10: extent 6, AU offset 10
  EXPECT_EQ(s.auInExtent, 0u);
  g.levels[0] = {20000, 1};
  g.levels[1] = {40000, 4};
  s = mapAu(g, 20004);
  EXPECT_EQ(s.extent + 1, 20002u);
  EXPECT_EQ(s.auInExtent, 0u);
  EXPECT_EQ(s.aus, 4u);
  // Past the last level its AU count goes on; mapping and extent sizes agree.
  for (uint64_t a : {0ull, 19999ull, 20000ull, 20003ull, 99999ull, 100001ull, 5000000ull}) {
    AsmExtentSpot t = mapAu(g, a);
    EXPECT_EQ(extentFirstAu(g, t.extent) + t.auInExtent, a);
    EXPECT_EQ(extentAus(g, t.extent), t.aus);
  }
  // Stripes 0-7 from the first 128 KB of AUs 0-7, stripe 8 from the second
  // 128 KB of AU 0, stripe 64 from AU 8.
  for (uint64_t i = 0; i < 8; i++) EXPECT_EQ(stripeOffset(g, i), i * 1048576);
  EXPECT_EQ(stripeOffset(g, 8), 131072u);
  EXPECT_EQ(stripeOffset(g, 64), 8u * 1048576);
}

struct GroupCase {
  bool big;
  uint8_t groupType;
  uint32_t disks;
};

class AsmRead : public ::testing::TestWithParam<GroupCase> {};

TEST_P(AsmRead, EveryByteThroughDirectAndIndirectExtents) {
  GroupCase c = GetParam();
  ScratchDir dir;
  AsmImageSpec shape;
  shape.big = c.big;
  shape.groupType = c.groupType;
  shape.disks = c.disks;
  AsmImage img(dir.path(), shape);
  std::vector<uint8_t> big = AsmImage::blocks(540, 8192, 5);  // 67.5 AUs: direct, indirect, a short last AU
  std::vector<uint8_t> small = AsmImage::blocks(9, 8192, 7);
  img.addFile(5, big);
  img.addFile(7, small);
  std::string list = img.write();

  AsmDiskGroup g;
  StringSink out;
  OpenDiskList(g, list.c_str(), out);
  EXPECT_EQ(g.diskCount, c.disks);
  EXPECT_EQ(g.auSize, shape.auSize) << out.str();
  EXPECT_EQ(copiesPerExtent(g), img.copies());
  EXPECT_TRUE(g.fileDir.known());
  for (auto [n, data] : {std::pair{5u, &big}, std::pair{7u, &small}}) {
    std::unique_ptr<AsmFile> f = OpenAsmFile(g, n);
    ASSERT_TRUE(f);
    EXPECT_EQ(f->length, data->size());
    EXPECT_TRUE(readAll(*f) == *data);
    // A stretch of blocks running past the file's end gives what lies before it.
    std::vector<uint8_t> blocks(16 * 8192);
    const size_t first = n == 5 ? 60 * 8192 : 0, want = std::min(blocks.size(), data->size() - first);
    EXPECT_EQ(readAsmBytes(*f, first, blocks.data(), blocks.size(), f->length).bytes, want);
    EXPECT_EQ(memcmp(blocks.data(), data->data() + first, want), 0);
  }
  EXPECT_FALSE(OpenAsmFile(g, 9));
}

INSTANTIATE_TEST_SUITE_P(Groups, AsmRead,
                         ::testing::Values(GroupCase{false, 1, 1}, GroupCase{true, 1, 2}, GroupCase{false, 2, 2},
                                           GroupCase{true, 3, 3}));

TEST(AsmRedundancy, MissingDiskAndDamagedPrimaryReadFromMirrors) {
  for (uint8_t type : {2, 3}) {
    ScratchDir dir;
    AsmImageSpec shape;
    shape.groupType = type;
    shape.disks = 3;
    AsmImage img(dir.path(), shape);
    std::vector<uint8_t> data = AsmImage::blocks(300, 8192, type);
    std::fill(data.begin() + 11 * 8192, data.begin() + 12 * 8192, 0);  // a block never written: extent 1, block 3
    img.addFile(4, data);
    std::string list = img.write({0});  // disk 0, with the first copy of the directory, is missing
    // A primary block on a disk that is there fails the block check.
    auto [disk, au] = img.place(4, 1, 0);
    ASSERT_NE(disk, 0u);
    patchDisk(img.diskPath(disk), static_cast<uint64_t>(au) * shape.auSize + 8192 + 100, {0xAA, 0x55});
    patchDisk(img.diskPath(disk), static_cast<uint64_t>(au) * shape.auSize + 3 * 8192 + 7, {0x01});

    AsmDiskGroup g;
    StringSink out;
    OpenDiskList(g, list.c_str(), out);
    std::unique_ptr<AsmFile> f = OpenAsmFile(g, 4);
    ASSERT_TRUE(f) << out.str();
    EXPECT_TRUE(readAll(*f) == data) << "type " << int(type);

    TestShell sh;
    sh.run(cmdAsm, "ASM OPEN " + list);
    std::string fmap = sh.run(cmdAsm, "ASM FMAP FILE 4");
    EXPECT_NE(fmap.find("primary (disk not open)"), std::string::npos) << fmap;
    EXPECT_NE(fmap.find(type == 2 ? "with a copy missing" : "with a copy missing"), std::string::npos);
    std::string listing = sh.run(cmdAsm, "ASM LIST");
    EXPECT_NE(listing.find(type == 2 ? "redundancy=NORMAL, copies=2, missing disks=0"
                                     : "redundancy=HIGH, copies=3, missing disks=0"),
              std::string::npos)
        << listing;
  }
}

// A primary metadata block that reads but is damaged (zeroed) gives way to
// its mirror: a block of an indirect extent AU, a file's directory block,
// and block 1 of the F1B1 AU.
TEST(AsmRedundancy, DamagedPrimaryMetadataReadFromMirrors) {
  ScratchDir dir;
  AsmImageSpec shape;
  shape.groupType = 2;
  AsmImage img(dir.path(), shape);
  std::vector<uint8_t> big = AsmImage::blocks(540, 8192, 21);  // five indirect blocks
  std::vector<uint8_t> small = AsmImage::blocks(9, 8192, 22);
  img.addFile(5, big);
  img.addFile(7, small);
  std::string list = img.write();
  std::vector<uint8_t> zeros(shape.blockSize, 0);
  auto blockAt = [&](uint32_t au, uint32_t b) { return static_cast<uint64_t>(au) * shape.auSize + b * shape.blockSize; };
  // Disk 0 holds the primary copies of the directory and of the indirect AU.
  patchDisk(img.diskPath(0), blockAt(img.indirectAu(5), 1), zeros);
  patchDisk(img.diskPath(0), blockAt(AsmImage::kDirAu, 7), zeros);
  auto readBack = [&](const char* stage) {
    TestShell sh;
    std::string opened = sh.run(cmdAsm, "ASM OPEN " + list);
    for (auto [n, data] : {std::pair{5u, &big}, std::pair{7u, &small}}) {
      std::unique_ptr<AsmFile> f = OpenAsmFile(sh.rc.asmContext.group, n);
      ASSERT_TRUE(f) << stage << ": file " << n << "\n" << opened;
      EXPECT_TRUE(readAll(*f) == *data) << stage << ": file " << n;
    }
    std::string fmap = sh.run(cmdAsm, "ASM FMAP FILE 5");
    EXPECT_EQ(fmap.find("ERROR"), std::string::npos) << stage << "\n" << fmap;
  };
  readBack("indirect and entry block");
  // The F1B1 place comes from the last disk header naming it: disk 1.
  patchDisk(img.diskPath(1), blockAt(AsmImage::kDirAu, 1), zeros);
  readBack("block 1 of the F1B1 AU");
}

TEST(AsmRead, HoleEndsReadAndCopyWritesZeros) {
  ScratchDir dir;
  AsmImage img(dir.path(), AsmImageSpec{});
  std::vector<uint8_t> data = AsmImage::blocks(320, 8192, 3);  // 40 extents
  img.addFile(3, data, {2, 30});  // a direct and an indirect hole
  std::string list = img.write();
  TestShell sh;
  sh.run(cmdAsm, "ASM OPEN " + list);
  std::unique_ptr<AsmFile> f = OpenAsmFile(sh.rc.asmContext.group, 3);
  ASSERT_TRUE(f);
  std::vector<uint8_t> buf(3 * 65536);
  ReadResult r = readAsmBytes(*f, 65536 + 5, buf.data(), buf.size(), f->length);
  EXPECT_TRUE(r.error);
  EXPECT_EQ(r.bytes, 65536u - 5);  // up to the hole at extent 3
  std::string out = sh.run(cmdAsm, "ASM COPY FILE 3 TO " + dir.file("copy.dbf"));
  EXPECT_NE(out.find("2 AUs could not be read and were written as zeros."), std::string::npos) << out;
  std::fill(data.begin() + 2 * 65536, data.begin() + 3 * 65536, 0);
  std::fill(data.begin() + 30 * 65536, data.begin() + 31 * 65536, 0);
  EXPECT_TRUE(readFile(dir.file("copy.dbf")) == data);
}

TEST(AsmCommands, SettingsExtentTableAndUnknownWords) {
  TestShell sh;
  EXPECT_EQ(sh.run(cmdAsm, "ASM SET AU_SIZE 4"), " AU_SIZE = 4194304\n");
  EXPECT_EQ(sh.run(cmdAsm, "ASM SET AU_SIZE 8388608"), " AU_SIZE = 8388608\n");
  EXPECT_EQ(sh.run(cmdAsm, "ASM SET STRIP_SIZE 128"), " STRIP_SIZE = 131072\n");
  // Values that would divide by zero or misplace every extent are refused.
  EXPECT_EQ(sh.run(cmdAsm, "ASM SET AU_SIZE 0").find("AU_SIZE can only be"), 2u);
  EXPECT_EQ(sh.run(cmdAsm, "ASM SET STRIP_WIDTH 0").find("STRIP_WIDTH can only be"), 2u);
  EXPECT_EQ(sh.rc.asmContext.group.auSize, 8388608u);
  EXPECT_EQ(sh.run(cmdAsm, "ASM SET"), " Valid options ORACLE_BLOCK BLOCK_SIZE, AU_SIZE, F1B1_DISK, F1B1_AU\n");
  EXPECT_EQ(sh.run(cmdAsm, "ASM SET NOSUCH 1"), " Invalid option to set.\n");
  EXPECT_EQ(sh.run(cmdAsm, "ASM FROB"), "Invalid command, run ASM HELP for command list\n");
  std::string t = sh.run(cmdAsm, "ASM EXTENT LEVEL 2 AU 40000 COUNT 4");
  EXPECT_EQ(sh.rc.asmContext.group.levels[1].last, kAsmUnlimited) << t;
  sh.run(cmdAsm, "ASM EXTENT LEVEL 1 AU 20000 COUNT 1");
  t = sh.run(cmdAsm, "ASM EXTENT LEVEL 2 AU 40000 COUNT 4");
  EXPECT_NE(t.find("           1        20000        1\n       20001        40000        4\n"), std::string::npos)
      << t;
}

TEST(AsmCommands, CopiesEqualTheOriginal) {
  ScratchDir dir;
  AsmImageSpec shape;
  shape.groupType = 2;
  AsmImage img(dir.path(), shape);
  std::vector<uint8_t> data = AsmImage::blocks(400, 8192, 11);
  data.resize(data.size() - 3000);  // not a whole number of AUs
  img.addFile(6, data);
  // A fine-striped file: logical stripe s lies at stripeOffset(s) of the
  // mapped bytes (STRIP_WIDTH 8, STRIP_SIZE 8 KB of 64 KB AUs).
  AsmDiskGroup striping;
  striping.auSize = shape.auSize;
  striping.stripSize = 8192;
  std::vector<uint8_t> logical = AsmImage::blocks(160, 8192, 13), mapped(24 * 65536, 0);
  for (uint64_t s = 0; s < 160; s++) memcpy(&mapped[stripeOffset(striping, s)], &logical[s * 8192], 8192);
  img.addFile(8, mapped, {}, logical.size());
  std::string list = img.write();

  TestShell sh;
  sh.run(cmdAsm, "ASM OPEN " + list);
  EXPECT_EQ(sh.run(cmdAsm, "ASM COPY FILE 6 TO " + dir.file("f6")).find("  "), std::string::npos);
  EXPECT_TRUE(readFile(dir.file("f6")) == data);
  sh.run(cmdAsm, "ASM SET STRIP_SIZE 8");
  sh.run(cmdAsm, "ASM SCOPY FILE 8 TO " + dir.file("f8"));
  std::vector<uint8_t> striped = readFile(dir.file("f8"));
  EXPECT_TRUE(striped == logical);

  // With the directory AU zeroed on both disks, the map SCAN wrote still
  // gives the file back (in whole AUs: its size went with the directory).
  sh.run(cmdAsm, "ASM SCAN TO " + dir.file("map.txt"));
  for (uint32_t d = 0; d < 2; d++)
    patchDisk(img.diskPath(d), AsmImage::kDirAu * shape.auSize, std::vector<uint8_t>(shape.auSize, 0));
  sh.run(cmdAsm, "ASM OPEN " + list);
  EXPECT_NE(sh.run(cmdAsm, "ASM COPY FILE 6 TO " + dir.file("x")).find("ASM file 6 not found."), std::string::npos);
  std::string out = sh.run(cmdAsm, "ASM COPY FILE 6 TO " + dir.file("m6") + " MAP " + dir.file("map.txt"));
  std::vector<uint8_t> fromMap = readFile(dir.file("m6"));
  ASSERT_EQ(fromMap.size(), (data.size() + 65535) / 65536 * 65536) << out;
  EXPECT_EQ(memcmp(fromMap.data(), data.data(), data.size()), 0);
}

// Disk headers with 64 KB AUs set AU_SIZE below the default STRIP_SIZE:
// the stripe shrinks to the AU as with ASM SET AU_SIZE, and SCOPY takes
// stripe s from AU s instead of dividing by zero stripes per AU.
TEST(AsmCommands, ScopyWithHeaderAusBelowTheStripeSize) {
  ScratchDir dir;
  AsmImage img(dir.path(), AsmImageSpec{});
  std::vector<uint8_t> data = AsmImage::blocks(40, 8192, 23);
  img.addFile(3, data);
  std::string list = img.write();
  TestShell sh;
  sh.run(cmdAsm, "ASM OPEN " + list);
  EXPECT_EQ(sh.rc.asmContext.group.stripSize, 65536u);
  sh.run(cmdAsm, "ASM SCOPY FILE 3 TO " + dir.file("s3"));
  EXPECT_TRUE(readFile(dir.file("s3")) == data);
}

// A disk added with neither a header nor SIZE is scanned to the end of the
// device, and the user is told.
TEST(AsmCommands, ScanOfADiskAddedWithoutHeaderOrSize) {
  ScratchDir dir;
  AsmImage img(dir.path(), AsmImageSpec{});
  img.addFile(3, AsmImage::blocks(40, 8192, 29));
  img.write();
  patchDisk(img.diskPath(0), 0, std::vector<uint8_t>(4096, 0));  // disk 0 holds the directory
  TestShell sh;
  sh.run(cmdAsm, "ASM SET AU_SIZE 65536");
  sh.run(cmdAsm, "ASM ADD DISK 0 PATH " + img.diskPath(0));
  std::string out = sh.run(cmdAsm, "ASM SCAN TO " + dir.file("map.txt"));
  EXPECT_NE(out.find("  Disk 0 gives no size: its 96 AUs as the device holds them are scanned.\n"), std::string::npos)
      << out;
  auto [disk, au] = img.place(3, 0, 0);
  std::string map = testing::fileText(dir.file("map.txt"));
  EXPECT_NE(map.find(mapLine(3, 1, disk, au)), std::string::npos) << map;
}

// COPY ... MAP ends at the file's size when its entry is found, and at
// what the open disks can hold when it is not: map lines naming extents
// past that are passed over, and the user is told.
TEST(AsmCommands, CopyWithMapIsBounded) {
  ScratchDir dir;
  AsmImageSpec shape;
  shape.ausPerDisk = 8;  // no file of the group reaches extent 129
  AsmImage img(dir.path(), shape);
  std::vector<uint8_t> data = AsmImage::blocks(16, 8192, 31);  // 2 AUs
  img.addFile(3, data);
  std::string list = img.write();
  std::string lines;
  for (uint32_t n : {3u, 999u}) {
    for (uint32_t x = 0; x < 2; x++) lines += mapLine(n, x + 1, img.place(3, x, 0).first, img.place(3, x, 0).second);
    lines += mapLine(n, 500, 1, 7);
  }
  std::string map = dir.write("map.txt", {std::vector<uint8_t>(lines.begin(), lines.end())});
  TestShell sh;
  sh.run(cmdAsm, "ASM OPEN " + list);
  std::string out = sh.run(cmdAsm, "ASM COPY FILE 3 TO " + dir.file("c3") + " MAP " + map);
  EXPECT_NE(out.find("  1 map lines of file 3 name extents past the file's size (the first: extent 500)"),
            std::string::npos)
      << out;
  EXPECT_TRUE(readFile(dir.file("c3")) == data);
  out = sh.run(cmdAsm, "ASM COPY FILE 999 TO " + dir.file("c999") + " MAP " + map);
  EXPECT_NE(out.find("past what the open disks can hold (the first: extent 500)"), std::string::npos) << out;
  EXPECT_TRUE(readFile(dir.file("c999")) == data);
}

TEST(AsmBadInput, DiskListsAndDisksThatCannotBeUsed) {
  ScratchDir dir;
  AsmImage img(dir.path(), AsmImageSpec{});
  img.addFile(2, AsmImage::blocks(8, 8192, 1));
  img.write();
  std::string junk = dir.write("junk.img", {std::vector<uint8_t>(8192, 0x41)});
  std::string list = dir.file("twenty.lst");
  FILE* f = fopen(list.c_str(), "w");
  fprintf(f, "%s\n%s\n%s\n", img.diskPath(0).c_str(), junk.c_str(), dir.file("gone.img").c_str());
  fprintf(f, "%s\n", img.diskPath(1).c_str());
  fprintf(f, "%s\n", img.diskPath(1).c_str());
  fclose(f);
  chmod(list.c_str(), 0444);  // a read-only list opens
  TestShell sh;
  std::string out = sh.run(cmdAsm, "ASM OPEN " + list);
  EXPECT_NE(out.find("Invalid Disk : " + junk + "\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Cannot open disk : " + dir.file("gone.img")), std::string::npos);
  EXPECT_NE(out.find("  Disk 1 is already open"), std::string::npos);
  EXPECT_EQ(sh.rc.asmContext.group.diskCount, 2u);
  EXPECT_TRUE(OpenAsmFile(sh.rc.asmContext.group, 2));
  // ADD: a disk whose header holds no directory keeps the place another
  // disk gave; a disk without a header is entered under the given number.
  TestShell add;
  add.run(cmdAsm, "ASM ADD DISK 0 PATH " + img.diskPath(0));
  add.run(cmdAsm, "ASM ADD DISK 1 PATH " + img.diskPath(1));
  EXPECT_TRUE(OpenAsmFile(add.rc.asmContext.group, 2));
  out = add.run(cmdAsm, "ASM ADD DISK 7 PATH " + junk + " SIZE 3");
  EXPECT_NE(out.find("No disk header on " + junk + ": entered as disk 7"), std::string::npos) << out;
  EXPECT_NE(add.run(cmdAsm, "ASM ADD DISK 7 PATH " + junk).find("Disk 7 is already open"), std::string::npos);
  EXPECT_EQ(add.rc.asmContext.group.diskCount, 3u);
  // Twenty disks listed: sixteen are entered, and the user is told.
  AsmImageSpec many;
  many.disks = 20;
  many.ausPerDisk = 4;
  ScratchDir manyDir;
  AsmImage twenty(manyDir.path(), many);
  out = sh.run(cmdAsm, "ASM OPEN " + twenty.write());
  EXPECT_NE(out.find("  Only 16 disks can be open; the rest of the list was passed over."), std::string::npos);
  EXPECT_EQ(sh.rc.asmContext.group.diskCount, 16u);
  EXPECT_EQ(sh.run(cmdAsm, "ASM OPEN " + dir.file("none.lst")).find("Cannot open disk list file (" + dir.file("none.lst") + ")!"),
            20u);
}

// Damaged metadata: random bytes over the directory and indirect AUs, and
// indirect blocks that point back at themselves. Nothing may crash or hang,
// and what the direct extents map is still read.
TEST(AsmBadInput, DamagedMetadataEndsReadsCleanly) {
  ScratchDir dir;
  AsmImageSpec shape;
  AsmImage img(dir.path(), shape);
  std::vector<uint8_t> data = AsmImage::blocks(400, 8192, 17);
  img.addFile(5, data);
  std::string list = img.write();
  uint64_t ind = static_cast<uint64_t>(img.indirectAu(5)) * shape.auSize;
  std::vector<uint8_t> loop(shape.auSize, 0);
  for (uint32_t b = 0; b < 16; b++) {  // every block: type 12 of file 5, 500 pointers to this AU, a lying count
    uint8_t* p = &loop[b * 4096];
    p[0] = 1, p[2] = 12, p[3] = 1, p[8] = 5;
    p[32] = static_cast<uint8_t>(b % 3);
    p[36] = 0xF4, p[37] = 0x01;
    for (uint32_t k = 0; k < 500; k++) p[44 + 8 * k] = static_cast<uint8_t>(img.indirectAu(5));
  }
  patchDisk(img.diskPath(0), ind, loop);
  {
    TestShell sh;
    sh.run(cmdAsm, "ASM OPEN " + list);
    std::unique_ptr<AsmFile> f = OpenAsmFile(sh.rc.asmContext.group, 5);
    ASSERT_TRUE(f);
    std::vector<uint8_t> got(20 * 65536);
    EXPECT_EQ(readAsmBytes(*f, 0, got.data(), got.size(), f->length).bytes, got.size());
    EXPECT_EQ(memcmp(got.data(), data.data(), got.size()), 0);
    std::string fmap = sh.run(cmdAsm, "ASM FMAP FILE 5");
    EXPECT_LT(fmap.size(), 200000u);
    sh.run(cmdAsm, "ASM COPY FILE 5 TO " + dir.file("c5"));
    EXPECT_EQ(readFile(dir.file("c5")).size(), data.size());
  }
  std::mt19937 rng(99);
  for (int round = 0; round < 12; round++) {
    std::vector<uint8_t> noise(4096);
    for (uint8_t& b : noise) b = static_cast<uint8_t>(rng());
    if (round % 2) noise[2] = round % 4 == 1 ? 4 : 12;  // keep a type so that parsers go deeper
    if (round % 4 == 1) noise[4] = 5, noise[5] = noise[6] = noise[7] = 0, noise[0] = 1;
    uint64_t at = round % 3 ? AsmImage::kDirAu * shape.auSize + (rng() % 16) * 4096 : ind + (rng() % 16) * 4096;
    if (round == 11) noise.assign(4096, 0);
    patchDisk(img.diskPath(0), at, noise);
    TestShell sh;
    sh.run(cmdAsm, "ASM OPEN " + list);
    for (const char* c : {"ASM LIST", "ASM FILE", "ASM ALIAS", "ASM FMAP FILE 5", "ASM FMAP2 FILE 5 OFFSET 30",
                          "ASM LSAU DISK 0 AU 1 COUNT 4", "ASM SCAN", "ASM DUMP FILE 5 OFFSET 3"})
      sh.run(cmdAsm, c);
    if (std::unique_ptr<AsmFile> f = OpenAsmFile(sh.rc.asmContext.group, 5)) {
      std::vector<uint8_t> got(65536);
      for (uint64_t pos = 0; pos < f->length; pos += got.size())
        readAsmBytes(*f, pos, got.data(), got.size(), f->length);
    }
  }
}

}  // namespace
}  // namespace bex
