// The 20-byte common header every Oracle block starts with, the names of
// the block types, and where each type keeps its data object number.
//
//   0 type   1 format   2 spare(2)   4 rdba   8 SCN base   12 SCN wrap
//  14 seq   15 flag    16 checksum  18 spare(2)
#pragma once
#include <cstdint>

#include "block/block_view.h"
#include "base/rdba.h"

namespace bex {

inline constexpr uint32_t kCommonHeaderSize = 20;
inline constexpr uint32_t kBlockTailSize = 4;

// Block types that have a decoder of their own. Any other type byte is a
// valid BlockType too; it just has no enumerator.
enum class BlockType : uint8_t {
  kUndoBlock = 0x02,
  kTransData = 0x06,
  kFileHeader = 0x0B,
  kUndoHeader = 0x0E,
  kSegmentHeader = 0x10,
  kSegmentHeader11 = 0x11,
  kExtentMap = 0x12,
  kLobBlob = 0x1B,
  kPagetableHeader = 0x23,
  kPagetableMap = 0x24,
  kSmuHeader = 0x26,
  kLobClob = 0x28,
};

// The type byte as stored, for printing and counting.
inline constexpr uint8_t typeCode(BlockType t) { return static_cast<uint8_t>(t); }

// The head block of a segment: data object number, high-water mark and the
// first part of the extent list.
inline constexpr bool isSegmentHeader(BlockType t) {
  return t == BlockType::kSegmentHeader || t == BlockType::kSegmentHeader11 || t == BlockType::kPagetableHeader;
}
// Segment headers and the extent map blocks they lead to.
inline constexpr bool hasExtentList(BlockType t) {
  return isSegmentHeader(t) || t == BlockType::kExtentMap || t == BlockType::kPagetableMap;
}
inline constexpr bool isLobBlock(BlockType t) { return t == BlockType::kLobBlob || t == BlockType::kLobClob; }

struct BlockTypeEntry {
  uint64_t code;  // only the low byte is compared
  const char* name;
};

// Ordered; ends with {0, "Unknown Block"}, the default.
extern const BlockTypeEntry kBlockTypeTable[];

// Name of the first table row whose code equals type; "Unknown Block" else.
const char* blockTypeName(BlockType type);

inline BlockType blockType(const BlockView& v) { return static_cast<BlockType>(v.u8(0)); }
inline uint8_t blockFormat(const BlockView& v) { return v.u8(1); }
inline uint32_t blockRdba(const BlockView& v) { return v.u32(4); }
inline uint32_t blockScnBase(const BlockView& v) { return v.u32(8); }
inline uint16_t blockScnWrap(const BlockView& v) { return v.u16(12); }
inline uint8_t blockSeq(const BlockView& v) { return v.u8(14); }
inline uint8_t blockFlag(const BlockView& v) { return v.u8(15); }
// The SCN the block was last changed at: wrap in the high 16 bits.
inline uint64_t blockScn(const BlockView& v) { return uint64_t{blockScnWrap(v)} << 32 | blockScnBase(v); }

// Every block layout this reader knows has 2 in the low four bits of its
// format byte.
inline constexpr bool isKnownFormat(uint8_t format) { return (format & 0x0F) == 2; }

// A header worth trusting before the checksum is computed: a known format
// and, unless BIGFILE makes the whole address a block number, a relative
// file number other than 0. For readers that meet blocks they did not ask
// for by address: the file probe and whole-file scans.
inline bool plausibleBlockHeader(const BlockView& v, bool bigfile) {
  return isKnownFormat(blockFormat(v)) && (bigfile || rdbaFile(blockRdba(v)) != 0);
}

// A type a data file's own blocks carry: one the type table names, or one
// with a decoder of its own (file header, segment headers and extent maps).
bool isDataFileBlockType(BlockType type);

// Offset of the data object number for a block type, 0 when it has none.
uint32_t dataObjectOffset(BlockType type);
// The data object number scans and unloads compare; 0 for other types.
uint32_t dataObjectNumber(const BlockView& v);

}  // namespace bex
