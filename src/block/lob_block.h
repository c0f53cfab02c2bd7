// LOB data blocks (types 0x1B BLOB and 0x28 CLOB) after the common header:
//   20 data object number   24 LOB id (10 bytes)   40 version   44 page
//   56 payload, up to the 4-byte block tail
#pragma once
#include <cstdint>

#include "block/block_view.h"

namespace bex {

inline constexpr uint32_t kLobObjdOffset = 20;
inline constexpr uint32_t kLobIdBytes = 10;
inline constexpr uint32_t kLobPayloadOffset = 56;

struct LobBlockHeader {
  uint32_t objd;
  uint8_t lobId[kLobIdBytes];  // all zero when the block is too small to hold it
  uint32_t version;
  uint32_t page;
  uint32_t payload;        // offset of the first payload byte
  uint32_t payloadLength;  // bytes up to the block tail, 0 when there are none
};

LobBlockHeader readLobBlock(const BlockView& v);

}  // namespace bex
