// Sequential reading of one registry slot through a read-ahead window of its
// own: the whole-file scans (SCAN DATABASE and its parallel workers) walk
// every block of a file once, and hand out views into the window instead of
// copying each block into a block buffer. A walk that only glances at each
// block (the checksum and the header: SCAN DATABASE) may map a plain local
// file a stretch at a time instead, and take its blocks where the system
// keeps them, with no copy at all; a walk that decodes every row does better
// with the blocks read into a window that stays in the core's cache.
#pragma once
#include <cstdint>
#include <memory>

#include "base/block_context.h"
#include "base/byte_source.h"

namespace bex {

struct DataFile;

inline constexpr uint32_t kScanWindowSize = 262144;  // half a core's L2: the blocks are still there when decoded
inline constexpr uint32_t kMapWindowSize = 4u << 20;  // mapped: few mappings, little resident at once

// The buffers of a worker thread that reads through a SlotReader of its
// own: from's registry and reporters, no block buffer and no caches.
BlockBuffers readerBuffers(const BlockBuffers& from);

class SlotReader {
 public:
  // blockSize must divide into the window at least once (it always does:
  // blocks are at most 32 KB). With mapWindowSize (kMapWindowSize) the
  // reader maps what the source lets it map, that many bytes at a time.
  explicit SlotReader(BlockContext& bc, uint32_t windowSize = kScanWindowSize, uint32_t mapWindowSize = 0);

  // Starts a walk over blocks [first, last] of slot.
  void start(uint32_t slot, uint32_t first, uint32_t last);
  // The next block read whole, or nullptr at the end of the range or of
  // the readable file. number receives its block number. Blocks in a hole
  // of the source (ByteSource::nextHeld) are passed over, as are blocks
  // that cannot be read. The block stays
  // where it is until the walk passes the end of its window.
  const uint8_t* next(uint32_t& number);

 private:
  bool refill();
  bool skipHole(const DataFile& f);
  bool mapWindow(const DataFile& f);

  BlockContext& bc_;
  ReadBuffer window_;
  uint32_t windowSize_;
  uint32_t mapWindowSize_;
  MappedView view_;
  const uint8_t* blocks_ = nullptr;  // the window's first block: in window_ or in view_
  bool mapping_ = false;  // this walk maps its file (until a mapped page fails)
  uint32_t slot_ = 0;
  uint32_t nextBlock_ = 0;   // block number of the next block to hand out
  uint32_t last_ = 0;
  uint32_t windowFirst_ = 0;  // block number of the window's first block
  uint32_t windowCount_ = 0;  // whole blocks in the window
  bool ended_ = true;
};

}  // namespace bex
