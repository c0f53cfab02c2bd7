// LOB data blocks (types 0x1B BLOB and 0x28 CLOB) after the common header:
//   20 data object number   24 LOB id (10 bytes)   40 version   44 page
//   56 payload, up to the 4-byte block tail
// A block named by a LOB locator's chunk list carries its payload from byte
// 128 instead, whatever its type.
#pragma once
#include <cstdint>

#include "block/block_header.h"
#include "block/block_view.h"

namespace bex {

inline constexpr uint32_t kLobObjdOffset = 20;
inline constexpr uint32_t kLobIdBytes = 10;
inline constexpr uint32_t kLobPayloadOffset = 56;
inline constexpr uint32_t kChunkPayloadOffset = 128;

// Payload bytes from offset up to the tail of a block of blockSize bytes.
inline constexpr uint32_t payloadLength(uint32_t blockSize, uint32_t offset) {
  return blockSize > offset + kBlockTailSize ? blockSize - offset - kBlockTailSize : 0;
}

struct LobBlockHeader {
  uint32_t objd;
  uint8_t lobId[kLobIdBytes];  // all zero when the block is too small to hold it
  uint32_t version;
  uint32_t page;
  uint32_t payload;        // offset of the first payload byte
  uint32_t payloadLength;  // bytes up to the block tail, 0 when there are none
};

LobBlockHeader readLobBlockHeader(const BlockView& v);

}  // namespace bex
