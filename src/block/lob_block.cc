#include "block/lob_block.h"

#include <cstring>

namespace bex {

namespace {

constexpr uint32_t kLobIdOffset = 24;
constexpr uint32_t kLobVersionOffset = 40;
constexpr uint32_t kLobPageOffset = 44;

}  // namespace

LobBlockHeader readLobBlockHeader(const BlockView& v) {
  LobBlockHeader h{};
  h.objd = v.u32(kLobObjdOffset);
  if (v.has(kLobIdOffset, kLobIdBytes)) memcpy(h.lobId, v.data + kLobIdOffset, kLobIdBytes);
  h.version = v.u32(kLobVersionOffset);
  h.page = v.u32(kLobPageOffset);
  h.payload = kLobPayloadOffset;
  h.payloadLength = payloadLength(v.size, kLobPayloadOffset);
  return h;
}

}  // namespace bex
