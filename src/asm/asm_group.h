// AsmDiskGroup: the disks of one ASM disk group, read straight from their
// devices or images with no ASM instance. It holds the disk headers, the
// disk-number index, the places of the file, disk and alias directories, the
// variable extent table and the buffers the ASM commands read metadata into.
//
// Every metadata block starts with a 32-byte header whose first byte says
// the byte order of all its fields (nonzero little-endian, 0 big-endian);
// AsmMeta reads fields that way and answers 0 for anything past the block.
//
// Threads: the group is changed only by the ASM commands, on the main
// thread. The reads that files opened on it do (readDiskBytes,
// readMetaInto) touch no state of the group and carry their own offsets,
// so scan workers may read ASM files at the same time without a lock; the
// group's own buffers (ReadAu, ReadMetaBlock) belong to the main thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "base/byte_source.h"
#include "base/limits.h"
#include "base/sink.h"

namespace bex {

inline constexpr uint32_t kAsmMaxDisks = 16;
inline constexpr uint16_t kAsmNoDisk = 0xFFFF;
inline constexpr uint32_t kAsmNoAu = 0xFFFFFFFF;
inline constexpr uint32_t kAsmUnlimited = 0xFFFFFFFF;  // a level without a last extent
inline constexpr uint32_t kAsmLevels = 4;
inline constexpr uint32_t kAsmPathMax = 255;
inline constexpr uint32_t kAsmMaxCopies = 3;  // HIGH redundancy: a primary and two mirrors
inline constexpr uint32_t kAsmHeaderBytes = 32;

// Block types of ASM metadata.
inline constexpr uint8_t kAsmDiskHeader = 1;
inline constexpr uint8_t kAsmFileEntry = 4;
inline constexpr uint8_t kAsmListHead = 5;
inline constexpr uint8_t kAsmAliasBlock = 11;
inline constexpr uint8_t kAsmIndirect = 12;

// Fields of a file directory entry and of an indirect extent block.
inline constexpr uint32_t kEntrySizeHigh = 44;
inline constexpr uint32_t kEntrySizeLow = 48;
inline constexpr uint32_t kEntryExtentCount = 52;
inline constexpr uint32_t kEntryEeof = 56;
inline constexpr uint32_t kEntryBlockSize = 60;
inline constexpr uint32_t kEntryFlags = 64;
inline constexpr uint32_t kEntryFileType = 65;
inline constexpr uint32_t kEntrySlotsUsed = 92;
inline constexpr uint32_t kEntryDirectSlots = 94;
inline constexpr uint32_t kEntryAlias0 = 100;
inline constexpr uint32_t kEntryAlias1 = 104;
inline constexpr uint32_t kEntryPointers = 1216;
inline constexpr uint32_t kIndirectFirst = 32;
inline constexpr uint32_t kIndirectCount = 36;
inline constexpr uint32_t kIndirectPointers = 44;
inline constexpr uint32_t kPointerBytes = 8;

struct AsmMeta {
  const uint8_t* p;
  uint32_t size;

  bool little() const { return p[0] != 0; }
  uint8_t u8(uint32_t off) const { return off < size ? p[off] : 0; }
  uint16_t u16(uint32_t off) const;
  uint32_t u32(uint32_t off) const;
  uint8_t type() const { return u8(2); }
  uint32_t number() const { return u32(4); }  // block number; the file number of an entry
  uint32_t owner() const { return u32(8); }
  bool is(uint8_t t) const { return size >= kAsmHeaderBytes && p[2] == t; }
  bool isEntryOf(uint32_t file) const { return is(kAsmFileEntry) && number() == file; }
  bool isIndirectOf(uint32_t file) const { return is(kAsmIndirect) && owner() == file; }
  uint64_t fileSize() const { return (static_cast<uint64_t>(u32(kEntrySizeHigh)) << 32) | u32(kEntrySizeLow); }
};

struct AsmPointer {
  uint32_t au = 0;  // 0: an empty pointer
  uint16_t disk = 0;
  uint8_t flags = 0;
  uint8_t check = 0;
};
AsmPointer pointerAt(const AsmMeta& m, uint32_t off);

// The pointer slots of a file directory entry: direct ones first, then the
// indirect ones, all cut to what fits in the block.
struct AsmEntrySlots {
  uint32_t direct = 0;
  uint32_t used = 0;
};
AsmEntrySlots entrySlots(const AsmMeta& entry);
// Pointers an indirect block holds, cut to what fits in the block.
uint32_t indirectCount(const AsmMeta& block);

// An alias directory block (type 11): the parent directory and first block
// of the block, then entries of kAliasEntrySize bytes from kAliasFirstEntry,
// as many as fit in the block.
inline constexpr uint32_t kAliasParent = 52;
inline constexpr uint32_t kAliasFirstBlock = 60;
inline constexpr uint32_t kAliasFirstEntry = 68;
inline constexpr uint32_t kAliasEntrySize = 76;
inline constexpr uint32_t kAliasNameMax = 48;

struct AsmAliasEntry {
  uint32_t reference = 0;    // entry offset 8
  uint32_t file = 0;         // 64
  uint32_t incarnation = 0;  // 68
  uint8_t flags = 0;         // 72
  char name[kAliasNameMax + 1] = "";  // 16, as stored, up to its first zero byte
};
// Entry i of an alias block; false past the entries the block holds and
// from the first entry with an empty name or a zero word at entry offset 4
// (the end of the block's list).
bool aliasEntryAt(const AsmMeta& block, uint32_t i, AsmAliasEntry& e);

struct AsmDisk {
  uint16_t number = 0;
  uint32_t auSize = 0;
  uint32_t blockSize = 0;
  uint32_t sizeMb = 0;
  uint32_t f1b1 = 0;  // AU of this disk's copy of the file directory's first AU (0: none)
  uint8_t groupType = 0;
  char name[33] = "";
  char group[33] = "";
  char path[kAsmPathMax + 1] = "";
  std::unique_ptr<FileSource> source;  // read-only
  uint64_t length = 0;  // bytes the device holds
};

// Where a directory entry lies: file number, disk, AU, block in the AU.
struct AsmPlace {
  uint32_t file = 0;
  uint16_t disk = kAsmNoDisk;
  uint32_t au = kAsmNoAu;
  uint32_t block = 0;
  bool known() const { return disk != kAsmNoDisk && au != kAsmNoAu; }
};

struct AsmExtentLevel {
  uint32_t last = kAsmUnlimited;  // last extent number (1-based) of the level
  uint32_t aus = 1;               // AUs per extent
};

struct AsmAuBuffer {
  std::unique_ptr<uint8_t[]> bytes;
  uint16_t disk = kAsmNoDisk;
  uint32_t au = kAsmNoAu;
};

struct AsmFile;

struct AsmDiskGroup {
  AsmDiskGroup();
  ~AsmDiskGroup();
  AsmDiskGroup(const AsmDiskGroup&) = delete;
  AsmDiskGroup& operator=(const AsmDiskGroup&) = delete;

  uint32_t oracleBlock = kDefaultBlockSize;  // database block size of DUMP
  uint32_t blockSize = kAsmBlockSizeDefault;  // metadata block size
  uint32_t auSize = kAsmAuSizeDefault;
  uint32_t stripWidth = 8;
  uint32_t stripSize = 131072;
  uint16_t f1b1Disk = kAsmNoDisk;
  uint32_t f1b1Au = kAsmNoAu;
  uint32_t compat = 0;
  uint8_t groupType = 0;  // of the last disk header read: 2 NORMAL, 3 HIGH, else external

  uint32_t diskCount = 0;
  AsmDisk disks[kAsmMaxDisks];
  std::unique_ptr<uint16_t[]> diskIndex;  // disk number to slot, kAsmNoDisk = none
  AsmExtentLevel levels[kAsmLevels];
  AsmPlace fileDir, diskDir, aliasDir;  // entries of files 1, 2 and 6

  AsmAuBuffer au[2];  // [0] directory walks, [1] file data
  std::unique_ptr<uint8_t[]> meta;
  AsmPlace metaHolds;

  std::vector<AsmFile*> openFiles;  // re-mapped whenever the group changes
};

// Copies of each extent the group keeps (1, or 2 and 3 with redundancy).
uint32_t copiesPerExtent(const AsmDiskGroup& g);
const char* redundancyName(const AsmDiskGroup& g);

// The disk open under a number, or nullptr.
const AsmDisk* diskByNumber(const AsmDiskGroup& g, uint16_t number);
// Exactly n bytes of a disk at offset into buf; false when the disk is not
// open, the range lies past its end, or the read is short. Touches no state
// of the group: safe from any thread.
bool readDiskBytes(const AsmDiskGroup& g, uint16_t disk, uint64_t offset, uint8_t* buf, size_t n);
// n bytes of a disk at offset to the file descriptor out (at its position),
// in the kernel where the system can; bounce carries them otherwise. What
// was copied, as readDiskBytes: nothing past the disk's end.
ReadResult copyDiskBytes(const AsmDiskGroup& g, uint16_t disk, uint64_t offset, size_t n, int out, uint8_t* bounce,
                         size_t bounceSize);
// Byte offset of (au, block) on a disk by that disk's geometry.
uint64_t diskOffset(const AsmDiskGroup& g, uint16_t disk, uint32_t au, uint32_t block = 0);
// One metadata block into buf (blockSize bytes); as readDiskBytes.
bool readMetaInto(const AsmDiskGroup& g, uint16_t disk, uint32_t au, uint32_t block, uint8_t* buf);

// Allocates both AU buffers and the metadata block buffer for the current
// AU_SIZE and BLOCK_SIZE; whatever they held is forgotten.
void allocateBuffers(AsmDiskGroup& g);
// AU au of disk into buffer which (0 or 1): the AU_SIZE bytes, or nullptr
// when they cannot all be read. A buffer already holding it is not re-read.
const uint8_t* ReadAu(AsmDiskGroup& g, int which, uint16_t disk, uint32_t au);
// One metadata block, from a loaded AU buffer when one holds its AU.
const uint8_t* ReadMetaBlock(AsmDiskGroup& g, uint16_t disk, uint32_t au, uint32_t block);

// ASM OPEN: the disks listed in a text file replace the group's.
void OpenDiskList(AsmDiskGroup& g, const char* path, Sink& out);
// ASM ADD: one more disk under the given number (size in MB when nonzero).
void AddDisk(AsmDiskGroup& g, uint16_t number, const char* path, uint32_t sizeMb, Sink& out);
// The entries of files 1, 2 and 6 in the F1B1 AU; those it does not give
// (a damaged block) from the copies of that AU other disk headers name.
void LocateFiles(AsmDiskGroup& g);
// After any change of disks, geometry or extent table: open files find
// their entries again and forget their extent windows.
void groupChanged(AsmDiskGroup& g);

// Variable extent sizes. Extents are counted from 0 here.
struct AsmExtentSpot {
  uint32_t extent = 0;      // extent index of the AU
  uint32_t auInExtent = 0;  // AU within the extent
  uint32_t aus = 1;         // AUs of the extent
};
AsmExtentSpot mapAu(const AsmDiskGroup& g, uint64_t auIndex);
uint32_t extentAus(const AsmDiskGroup& g, uint32_t extent);
// First AU (file-relative) of an extent, and so the AUs of extents [0, n).
uint64_t extentFirstAu(const AsmDiskGroup& g, uint64_t extent);
// AUs no group of these disks can exceed: sixteen disks as large as the
// largest open one (disks may be missing).
uint64_t groupAuBound(const AsmDiskGroup& g);

// Walks the extent pointers of a file directory entry: the direct slots,
// then the indirect blocks (type 12, owned by the file) of each indirect
// slot's AU. visit(p, pointer) gets each pointer's index; gap(missing) is
// told when an indirect block starts past the pointers counted so far.
// Stops after `limit` pointers, at the extent count and when visit returns
// false. Indirect AUs are read into AU buffer 0; an indirect AU named twice
// is walked once. The entry is copied first, so visit may read buffer 1.
struct AsmPointerVisitor {
  virtual ~AsmPointerVisitor() = default;
  virtual bool pointer(uint32_t p, const AsmPointer& ptr) = 0;
  virtual void gap(uint32_t) {}
};
void walkPointers(AsmDiskGroup& g, const AsmMeta& entry, uint32_t file, AsmPointerVisitor& v);
// The same walk reading indirect AUs through chunk (at least one metadata
// block) and touching nothing of the group: the walk of open files, which
// may run on scan workers. entry must not lie in chunk.
void walkEntryPointers(const AsmDiskGroup& g, const AsmMeta& entry, uint32_t file, uint8_t* chunk, size_t chunkSize,
                       AsmPointerVisitor& v);

}  // namespace bex
