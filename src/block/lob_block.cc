#include "block/lob_block.h"

#include <cstring>

#include "block/block_header.h"

namespace bex {

namespace {

constexpr uint32_t kLobIdOffset = 24;
constexpr uint32_t kLobVersionOffset = 40;
constexpr uint32_t kLobPageOffset = 44;

}  // namespace

LobBlockHeader readLobBlock(const BlockView& v) {
  LobBlockHeader h{};
  h.objd = v.u32(kLobObjdOffset);
  if (v.has(kLobIdOffset, kLobIdBytes)) memcpy(h.lobId, v.data + kLobIdOffset, kLobIdBytes);
  h.version = v.u32(kLobVersionOffset);
  h.page = v.u32(kLobPageOffset);
  h.payload = kLobPayloadOffset;
  const uint32_t end = kLobPayloadOffset + kBlockTailSize;
  h.payloadLength = v.size > end ? v.size - end : 0;
  return h;
}

}  // namespace bex
