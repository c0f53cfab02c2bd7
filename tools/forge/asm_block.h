// ASM metadata blocks: disk headers, file directory entries, the list head,
// indirect extent blocks and alias directory blocks, in either byte order.
//
// Every metadata block starts with a 32-byte header:
//   0 byte order (1 little-endian, 0 big-endian)  1 0x82  2 type  3 format 1
//   4 block number  8 owner  12..31 zero (no check value is written)
//
// Disk header (type 1, block 0 of a disk; owner 0x80000000 + disk number):
//   32 "ORCLDISK"  64 compatibility  68 disk number (2)  70 group type
//   (1 EXTERNAL, 2 NORMAL, 3 HIGH)  71 header status 3  72 disk name (32)
//   104 group name (32)  216 sector size 512 (2)  218 metadata block size (2)
//   220 AU size  228 disk size in MB  244 AU of the file directory's first
//   block on this disk, 0 when the disk holds no copy of it
//
// File directory entry (type 4, block number = the file's number, owner 1):
//   32 incarnation  44 size high  48 size low  52 pointer count  56 eeof (the
//   pointer count again)  64 flags  65 file type  66, 67 pointer copies per
//   extent + 0x10 (direct, indirect)  92 pointer slots in use  94 direct
//   slots (60)  100, 104 alias block and entry (0xffffffff: none)
//   1216 pointer slots of 8 bytes: the direct pointers, then one pointer per
//   copy of each AU of indirect blocks
//
// Extent pointer: AU (4), disk (2), flags 0, check = XOR of the first seven
// bytes; an empty pointer is eight zero bytes.
//
// Mirrored groups (NORMAL, HIGH) keep the copies of an extent in adjacent
// pointers, the primary first: pointer p is copy p % c of extent p / c, for
// data extents, indirect AUs and the counts above alike (the pointer count
// is c times the extent count; the file size is that of the data).
//
// Indirect extent block (type 12, owner = the file, block number = its
// index among the file's indirect blocks): 32 pointers before this block
// (the first extent number minus 1)  36 pointer count (2)  44 pointers.
//
// Alias directory block (type 11, block number = its index in the alias
// directory, owner 6): 32 incarnation 1  52 parent block  56 incarnation 1
// 60 first block of this directory  64 incarnation 1, then entries of 76
// bytes from 68: 0 incarnation 1  4 hash of the name (never 0)  8 the block
// of the directory it names (0xffffffff for a file)  12 incarnation
// 16 name (48)  64 file number  68 file incarnation (0xffffffff for a
// directory)  72 flags (4 directory, 18 system alias of a file, 17 user
// alias).
//
// List head (type 5, block 0 of the file directory, owner 1): header only.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "forge/forge_block.h"

namespace bex::forge {

inline constexpr uint8_t kAsmDiskHeader = 1, kAsmFileEntry = 4, kAsmListHead = 5, kAsmAliasBlock = 11,
                         kAsmIndirect = 12;
inline constexpr uint32_t kAsmPointerSlots = 1216, kAsmDirectSlots = 60, kAsmIndirectPointers = 44;
inline constexpr uint32_t kAsmAliasEntries = 68, kAsmAliasEntrySize = 76;
inline constexpr uint32_t kAsmFileDirectory = 1, kAsmDiskDirectory = 2, kAsmAliasDirectory = 6;
inline constexpr uint32_t kAsmNone = 0xffffffff;
inline constexpr uint8_t kAliasDirectory = 4, kAliasSystem = 18, kAliasUser = 17;

struct AsmPointer {
  uint32_t au = 0;  // 0: empty
  uint16_t disk = 0;
};

struct AsmDiskHeaderSpec {
  uint16_t disk = 0;
  uint8_t groupType = 1;
  std::string diskName, groupName;
  uint32_t compat = 0x0b200000;
  uint32_t auSize = 1 << 20;
  uint32_t sizeMb = 0;
  uint32_t f1b1 = 0;
};

struct AsmFileEntrySpec {
  uint32_t file = 0;
  uint32_t incarnation = 0;
  uint64_t size = 0;
  uint32_t pointerCount = 0;
  uint8_t flags = 17, type = 2, copies = 1;
  uint32_t alias0 = kAsmNone, alias1 = kAsmNone;
  std::vector<AsmPointer> direct;    // at most kAsmDirectSlots
  std::vector<AsmPointer> indirect;  // AUs of indirect blocks, copies adjacent
};

struct AsmAliasEntry {
  std::string name;
  uint8_t flags = kAliasSystem;
  uint32_t file = kAsmNone, incarnation = kAsmNone;
  uint32_t refer = kAsmNone;  // directory block a directory entry names
};

// Slots of one file directory entry, pointers of one indirect block and
// alias entries of one alias block, for a metadata block size.
uint32_t asmEntrySlots(uint32_t blockSize);
uint32_t asmIndirectCapacity(uint32_t blockSize);
uint32_t asmAliasCapacity(uint32_t blockSize);

// The hash the forge gives an alias name (FNV-1a, never 0).
uint32_t asmNameHash(const std::string& name);

ForgeBlock asmBlock(uint32_t size, ByteOrder o, uint8_t type, uint32_t block, uint32_t owner);
void putAsmPointer(ForgeBlock& b, uint32_t off, const AsmPointer& p);

ForgeBlock asmDiskHeader(const AsmDiskHeaderSpec& s, uint32_t size, ByteOrder o);
ForgeBlock asmListHead(uint32_t size, ByteOrder o);
ForgeBlock asmFileEntry(const AsmFileEntrySpec& s, uint32_t size, ByteOrder o);
ForgeBlock asmIndirectBlock(uint32_t file, uint32_t index, uint32_t before, const std::vector<AsmPointer>& ptrs,
                            uint32_t size, ByteOrder o);
ForgeBlock asmAliasBlock(uint32_t index, uint32_t parent, uint32_t first, const std::vector<AsmAliasEntry>& entries,
                         uint32_t size, ByteOrder o);

}  // namespace bex::forge
