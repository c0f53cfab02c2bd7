#include "forge/lob_block.h"

#include <algorithm>

#include "forge/values.h"

namespace bex::forge {

LobId lobIdOf(uint64_t n) {
  LobId id{0, 0, 0, 1};
  for (uint32_t i = 0; i < 6; ++i) id[kLobIdSize - 1 - i] = static_cast<uint8_t>(n >> (8 * i));
  return id;
}

std::string lobIdText(const LobId& id) {
  std::string s;
  for (uint8_t b : id) s += format("%02X", b);
  return s;
}

ForgeBlock buildLobBlock(const LobBlockSpec& s, uint32_t blockSize, ByteOrder order, Facts& facts) {
  ForgeBlock b(blockSize, order);
  BlockHeader h = s.hdr;
  if (h.type != kLobClob) h.type = kLobBlob;
  writeBlockHeader(b, h);
  b.put32(kLobObjdOffset, s.objd);
  b.putBytes(kLobIdOffset, Bytes(s.lobId.begin(), s.lobId.end()));
  b.put32(kLobVersionOffset, s.version);
  b.put32(kLobPageOffset, s.page);
  const uint32_t room = lobPayloadSize(blockSize);
  if (!s.payload.empty())
    b.putBytes(kLobPayloadOffset, Bytes(s.payload.begin(), s.payload.begin() + std::min<size_t>(room, s.payload.size())));
  sealBlock(b, h);
  facts.push_back({"lob", format("objd=%u lobid=%s page=%u version=%u", s.objd, hex(s.lobId.data(), kLobIdSize).c_str(),
                                 s.page, s.version)});
  return b;
}

ForgeBlock buildLobChunkBlock(const LobChunkSpec& s, uint32_t blockSize, ByteOrder order, Facts& facts) {
  ForgeBlock b(blockSize, order);
  writeBlockHeader(b, s.hdr);
  const size_t n = std::min<size_t>(lobChunkPayloadSize(blockSize), s.payload.size());
  if (n) b.putBytes(kLobChunkPayloadOffset, Bytes(s.payload.begin(), s.payload.begin() + static_cast<long>(n)));
  sealBlock(b, s.hdr);
  facts.push_back({"chunk", format("bytes=%zu", n)});
  return b;
}

}  // namespace bex::forge
