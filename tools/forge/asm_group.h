// AsmGroup: an ASM disk group forged around data files, written as disk
// images with a disk list, and what a correct reader finds in them.
//
//   AsmGroup g(shape);                     // disks, AU size, redundancy, order
//   g.add({.number = 256, .original = "system01.dbf", .size = n, .read = r});
//   g.write(out, error);
//
// Layout (asm_block.h has the blocks):
//   - AU 0 of every disk holds its header, AU 1 is left empty; extents are
//     allocated from AU 2 on, one disk after another in turn (a mirrored
//     extent's copies on that disk and the next ones).
//   - File 1, the file directory, is allocated first: its first extent is
//     the F1B1 AU (AU 2 of disk 0, and of the next disks for the mirror
//     copies; each of those disk headers names it). Its block 0 is the list
//     head, block n the entry of file n. Then file 2 (the disk directory, one
//     empty AU), file 6 (the alias directory), then the added files in turn,
//     each file's data extents before its indirect AUs.
//   - Extents have the AU counts of the variable extent table of the shape.
//   - The alias directory: block 0 the root with directory "BEXDB", block 1
//     that directory with "DATAFILE", block 2 on the system alias
//     NAME.NUMBER.INCARNATION of each named file and its user alias.
//   - A fine-striped file has 8 AUs per stripe group and 128 KiB stripes:
//     stripe g of the original is at AU 8 q + r % 8, offset 128 KiB × (r / 8)
//     of the file's AUs, where h = (AU / 128 KiB) × 8, q = g / h, r = g % h.
//   - Unused file directory blocks, AU tails past a file's end and AUs no
//     extent uses are zeros; the images are sparse. Disks are all as large
//     as the fullest one plus one free AU, rounded up to whole MB and AUs.
//   - Data AUs go to the images as they are made, so memory does not grow
//     with the files; only the metadata is kept until the end.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "forge/asm_block.h"
#include "forge/scenario.h"

namespace bex::forge {

struct AsmGroupSpec {
  std::string prefix;  // <prefix>_d<N>.img, <prefix>.disks, expect/<prefix>/
  std::string groupName = "BEXDG";
  uint32_t disks = 2;
  uint32_t copies = 1;  // 1 EXTERNAL, 2 NORMAL, 3 HIGH
  uint32_t auSize = 1 << 20;
  uint32_t blockSize = 4096;
  ByteOrder order = ByteOrder::Little;
  // Variable extent table: (last extent number, AUs per extent) per level;
  // empty: every extent 1 AU.
  std::vector<std::pair<uint32_t, uint32_t>> levels;
  int missingDisk = -1;  // written under missing/, still named in the disk list
};

// Fills out with len bytes of a file's content from offset (zeros past its end).
using ContentReader = std::function<void(uint64_t offset, uint8_t* out, size_t len)>;

struct AsmFileSpec {
  uint32_t number = 0;
  std::string original;  // the original's path as the configurations name it
  std::string alias, userAlias;
  uint64_t size = 0;
  ContentReader read;
  bool fine = false;
  std::vector<uint32_t> emptyPointers;    // extents (from 1) whose pointer is empty
  uint32_t skipFirst = 0, skipCount = 0;  // extents an indirect block leaves out
};

ContentReader bytesReader(Bytes bytes);

class AsmGroup {
 public:
  static constexpr uint32_t kStripeWidth = 8, kStripeSize = 128 * 1024;

  explicit AsmGroup(AsmGroupSpec shape);
  void add(AsmFileSpec f) { files_.push_back(std::move(f)); }

  // Lays the group out, writes the images and the disk list, appends the
  // group's expectation lines, and writes the listings a correct reader
  // prints for it under expect/<prefix>/ (external redundancy only).
  bool write(ScenarioOut& out, std::string& error);

  std::string imageName(uint32_t disk) const;
  std::string diskListName() const { return shape_.prefix + ".disks"; }

  // After write: the ASM statements of the group's road (SET AU_SIZE, OPEN,
  // the extent table, the listings to <prefix>.<name> files, COPY and
  // SCOPY of every added file), and expect/<prefix>/check.sh, which compares
  // what they wrote ("check.sh listings", "check.sh copies") and the
  // listings of SCAN DATABASE through the group ("check.sh scan NAME", with
  // NAME.BEXEXT.TXT and NAME.BEXLOB.TXT).
  std::string roadCommands() const;
  bool writeCheckScript(ScenarioOut& out, std::string& error) const;

 private:
  struct Copy {
    uint16_t disk;
    uint32_t au;
  };
  struct Extent {
    uint32_t aus = 1;
    uint64_t fileAu = 0;  // first AU of the file it holds
    std::vector<Copy> copies;
    bool empty = false, skipped = false;
  };
  struct IndirectBlock {
    uint32_t before = 0;
    std::vector<AsmPointer> pointers;
  };
  struct Laid {
    AsmFileSpec shape;
    uint32_t incarnation = 1;
    uint8_t flags = 17, type = 2;
    uint32_t alias0 = kAsmNone, alias1 = kAsmNone;
    std::vector<Extent> extents;
    std::vector<IndirectBlock> blocks;
    std::vector<std::vector<Copy>> indirectAus;
  };
  struct Image {
    std::map<uint32_t, Bytes> aus;            // metadata, trailing zeros left out
    std::map<uint32_t, std::string> scanned;  // ASM SCAN lines of data AUs that give any
    uint32_t next = 2;
  };

  uint32_t blocksPerAu() const { return shape_.auSize / shape_.blockSize; }
  uint32_t extentAus(uint32_t extent) const;
  uint8_t groupType() const { return static_cast<uint8_t>(shape_.copies); }
  std::vector<Copy> allocate(uint32_t aus);
  AsmPointer pointer(const Extent& e, uint32_t copy) const;
  void layExtents(Laid& f, uint64_t aus);
  void layIndirect(Laid& f);
  void put(uint16_t disk, uint32_t au, uint32_t offset, const uint8_t* data, size_t len);
  void putBlock(const std::vector<Copy>& at, uint32_t block, const ForgeBlock& b);
  bool putData(const Laid& f, const std::vector<int>& fds, std::string& error);
  void layAliases();
  bool layout(std::string& error);
  bool writeImages(ScenarioOut& out, std::string& error);
  void expectations(ScenarioOut& out) const;

  // Listings, as a reader following the shape writes them.
  std::string listText(const ScenarioOut& out) const;
  std::string fileText() const;
  std::string aliasText() const;
  std::string fmapText(const Laid& f) const;
  std::string lsauText(uint16_t disk, uint32_t au) const;
  std::string scanAu(const uint8_t* au, size_t len) const;
  std::string scanMap() const;
  Bytes copyImage(const Laid& f) const;
  bool writeListings(ScenarioOut& out, std::string& error);

  AsmGroupSpec shape_;
  std::vector<AsmFileSpec> files_;
  std::vector<Laid> laid_;  // files 1, 2, 6, then the added ones
  std::vector<Image> images_;
  std::vector<std::vector<AsmAliasEntry>> aliasBlocks_;
  std::vector<uint32_t> aliasParents_;
  std::vector<std::pair<std::string, std::string>> listings_;  // expected file, statement
  uint32_t turn_ = 0, sizeMb_ = 0;
};

}  // namespace bex::forge
