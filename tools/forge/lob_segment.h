// A LOB segment being forged: a segment header (type 0x10) and, after it,
// the blocks of its values in the order they are added: LOB blocks one
// page at a time, and chunk blocks for values a chunk-list locator names.
// Blocks may also be put into another file; the header's extent list is
// the runs of consecutive blocks the segment used, header included.
//
//   LobSegment clobs(file4, 40, 74001, kLobClob);
//   LobRun r = clobs.page(id, 0, 1, bytes);   // one block, page 0, version 1
//   ChunkRun c = clobs.chunks(bytes, 2);      // two chunk blocks
//   clobs.finish();                           // writes the header
#pragma once
#include <cstdint>
#include <vector>

#include "forge/forge_file.h"
#include "forge/lob_locator.h"

namespace bex::forge {

// The blocks that hold one page of one LOB id: one LOB listing line.
struct LobRun {
  LobId id{};
  uint32_t page = 0, version = 0;
  uint16_t rfn = 0;
  uint32_t first = 0, count = 0;
};

class LobSegment {
 public:
  LobSegment(ForgeFile& home, uint32_t header, uint32_t objd, uint8_t blockType);

  uint32_t objd() const { return objd_; }
  uint32_t header() const { return header_; }
  // Payload bytes of one LOB block and of one chunk block.
  uint32_t payload() const;
  uint32_t chunkPayload() const;
  // The next free block of the home file.
  uint32_t end() const { return next_; }

  // `blocks` LOB blocks of one page at the segment's end; block j holds
  // bytes j * payload() onwards of `bytes`, zero after their end.
  LobRun page(const LobId& id, uint32_t page, uint32_t version, const Bytes& bytes, uint32_t blocks = 1);
  // The same at block `at` of another file.
  LobRun pageIn(ForgeFile& f, uint32_t at, const LobId& id, uint32_t page, uint32_t version, const Bytes& bytes,
                uint32_t blocks = 1);

  // `blocks` chunk blocks holding chunkPayload() bytes of `bytes` each, and
  // the chunk-list entry that names them.
  ChunkRun chunks(const Bytes& bytes, uint16_t blocks, bool wideCount = false);
  ChunkRun chunksIn(ForgeFile& f, uint32_t at, const Bytes& bytes, uint16_t blocks, bool wideCount = false);

  // Writes the segment header with its extent list.
  void finish();

 private:
  void use(ForgeFile& f, uint32_t block);

  ForgeFile& home_;
  uint32_t header_, objd_, next_;
  uint8_t type_;
  std::vector<Extent> extents_;
};

// Bytes [from, from + n) of b, fewer at its end.
Bytes slice(const Bytes& b, size_t from, size_t n);

}  // namespace bex::forge
