// The 20-byte common header every Oracle block starts with, the names of
// the block types, and where each type keeps its data object number.
//
//   0 type   1 format   2 spare(2)   4 rdba   8 SCN base   12 SCN wrap
//  14 seq   15 flag    16 checksum  18 spare(2)
#pragma once
#include <cstdint>

#include "block/block_view.h"

namespace bex {

inline constexpr uint32_t kCommonHeaderSize = 20;
inline constexpr uint32_t kBlockTailSize = 4;

// Block types that have a decoder of their own.
enum BlockType : uint8_t {
  kTypeUndoBlock = 0x02,
  kTypeTransData = 0x06,
  kTypeFileHeader = 0x0B,
  kTypeUndoHeader = 0x0E,
  kTypeSegmentHeader = 0x10,
  kTypeSegmentHeader11 = 0x11,
  kTypeExtentMap = 0x12,
  kTypeLobBlob = 0x1B,
  kTypePagetableHeader = 0x23,
  kTypePagetableMap = 0x24,
  kTypeSmuHeader = 0x26,
  kTypeLobClob = 0x28,
};

struct BlockTypeEntry {
  uint64_t code;  // only the low byte is compared
  const char* name;
};

// Ordered; ends with {0, "Unknown Block"}, the default.
extern const BlockTypeEntry kBlockTypeTable[];

// Name of the first table row whose code equals type; "Unknown Block" else.
const char* blockTypeName(uint8_t type);

inline uint8_t blockType(const BlockView& v) { return v.u8(0); }
inline uint8_t blockFormat(const BlockView& v) { return v.u8(1); }
inline uint32_t blockRdba(const BlockView& v) { return v.u32(4); }
inline uint32_t blockScnBase(const BlockView& v) { return v.u32(8); }
inline uint16_t blockScnWrap(const BlockView& v) { return v.u16(12); }
inline uint8_t blockSeq(const BlockView& v) { return v.u8(14); }
inline uint8_t blockFlag(const BlockView& v) { return v.u8(15); }
inline uint16_t blockChecksumField(const BlockView& v) { return v.u16(16); }

// Offset of the data object number for a block type, 0 when it has none.
uint32_t dataObjectOffset(uint8_t type);
// The data object number scans and unloads compare; 0 for other types.
uint32_t dataObjectNumber(const BlockView& v);

}  // namespace bex
