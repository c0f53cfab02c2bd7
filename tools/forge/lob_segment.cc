#include "forge/lob_segment.h"

#include <algorithm>

namespace bex::forge {

Bytes slice(const Bytes& b, size_t from, size_t n) {
  if (from >= b.size()) return {};
  return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(std::min(b.size(), from + n)));
}

LobSegment::LobSegment(ForgeFile& home, uint32_t header, uint32_t objd, uint8_t blockType)
    : home_(home), header_(header), objd_(objd), next_(header + 1), type_(blockType) {
  use(home_, header_);
}

uint32_t LobSegment::payload() const { return lobPayloadSize(home_.layout().blockSize); }
uint32_t LobSegment::chunkPayload() const { return lobChunkPayloadSize(home_.layout().blockSize); }

void LobSegment::use(ForgeFile& f, uint32_t block) {
  const uint32_t rdba = f.rdba(block);
  if (!extents_.empty() && extents_.back().rdba + extents_.back().length == rdba)
    ++extents_.back().length;
  else
    extents_.push_back({rdba, 1});
}

LobRun LobSegment::page(const LobId& id, uint32_t page, uint32_t version, const Bytes& bytes, uint32_t blocks) {
  const LobRun r = pageIn(home_, next_, id, page, version, bytes, blocks);
  next_ += blocks;
  return r;
}

LobRun LobSegment::pageIn(ForgeFile& f, uint32_t at, const LobId& id, uint32_t page, uint32_t version,
                          const Bytes& bytes, uint32_t blocks) {
  for (uint32_t j = 0; j < blocks; ++j) {
    LobBlockSpec s;
    s.hdr.type = type_;
    s.objd = objd_;
    s.lobId = id;
    s.page = page;
    s.version = version;
    s.payload = slice(bytes, size_t{j} * payload(), payload());
    f.addLobBlock(at + j, s);
    use(f, at + j);
  }
  return LobRun{id, page, version, f.layout().rfn, at, blocks};
}

ChunkRun LobSegment::chunks(const Bytes& bytes, uint16_t blocks, bool wideCount) {
  const ChunkRun c = chunksIn(home_, next_, bytes, blocks, wideCount);
  next_ += blocks;
  return c;
}

ChunkRun LobSegment::chunksIn(ForgeFile& f, uint32_t at, const Bytes& bytes, uint16_t blocks, bool wideCount) {
  for (uint32_t j = 0; j < blocks; ++j) {
    LobChunkSpec s;
    s.payload = slice(bytes, size_t{j} * chunkPayload(), chunkPayload());
    f.addLobChunkBlock(at + j, s);
    use(f, at + j);
  }
  return ChunkRun{f.rdba(at), blocks, wideCount};
}

void LobSegment::finish() {
  SegmentSpec s;
  s.objd = objd_;
  s.extents = extents_;
  s.hwmRdba = home_.rdba(next_);
  home_.addSegment(header_, s);
}

}  // namespace bex::forge
