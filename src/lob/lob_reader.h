// LobReader: walks one LOB value from its locator to its bytes, whichever
// way the locator says they are stored: inline in the locator, in the
// blocks of a chunk list, or page by page through the scan's LOB map. The
// bytes go, one piece at a time, to a LobPieceSink (the LOB file of the
// text output, or the export dump's row stream). Blocks are read through
// the second (LOB) cache and handed on where they lie in it, without a
// copy, so the row's block stays current.
//
// The walk is bounded by the locator and the open files: a chunk list that
// points outside the open files or names a block run twice, a page that is
// absent, a block that cannot be read or is no LOB block, and a map walk
// shorter than the locator's own length each end or shorten the value and
// count a LOB error, with a message. Pages of the map past the locator's
// length are stale ones and passed over.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "base/block_context.h"
#include "base/sink.h"
#include "block/block_view.h"
#include "lob/lob_locator.h"

namespace bex {

enum class LobKind : uint8_t { kBlob, kClob, kNclob };

// Where a walk's bytes go. Character LOBs arrive unconverted.
class LobPieceSink {
 public:
  virtual ~LobPieceSink() = default;
  // The inline bytes of the value (the whole value).
  virtual void inlineValue(const uint8_t* p, size_t n) = 0;
  // Before the first block of a chunk-list or map walk.
  virtual void beginBlocks() = 0;
  // One block's share of the value; rdba is the block's own address.
  virtual void blockPiece(const uint8_t* p, size_t n, uint32_t rdba) = 0;
  // After the last block of the walk.
  virtual void endBlocks() = 0;
};

enum class LobPath : uint8_t { kInvalid, kInline, kChunkList, kMapWalk, kOffline, kNoChunks };

class LobReader {
 public:
  // bc: the unload's context (settings, registry, LOB cache, LOB map, counters).
  explicit LobReader(BlockContext& bc, Sink& console);

  // Walks the value whose locator is v[0, len). The returned path says how
  // the bytes were found; errors counts what was lost of this value (an
  // invalid locator, absent pages, blocks not read, a walk cut short). Each
  // non-empty value read counts one in the context's LobCount.
  LobPath read(const uint8_t* v, size_t len, LobPieceSink& sink, uint64_t& errors);
  // Whether the last value read lost bytes because they are out of line and
  // no LOB map is open (SCAN DATABASE builds it).
  bool lostWithoutMap() const { return lostWithoutMap_; }
  Sink& console() { return console_; }

 private:
  void chunkListWalk(const LobLocator& loc, const uint8_t* v, size_t len, LobPieceSink& sink, uint64_t& errors);
  void mapWalk(const LobLocator& loc, LobPieceSink& sink, uint64_t& errors);
  // The block where it lies in the LOB cache (data null when not read).
  BlockView readLobBlock(uint32_t rfn, uint32_t block);
  void lost(uint64_t& errors, const char* what, uint32_t rfn, uint32_t block);
  // A loss that no one block holds (no chunk mapped, a walk ended short).
  void lost(uint64_t& errors, const char* what);

  BlockContext& bc_;
  Sink& console_;
  // A cursor of bc_ the value's blocks are read through (with a buffer of
  // its own), made afresh for every value.
  std::optional<BlockContext> lobBc_;
  std::unique_ptr<uint8_t[]> buffer_;
  uint32_t bufferSize_ = 0;
  bool lostWithoutMap_ = false;
};

}  // namespace bex
