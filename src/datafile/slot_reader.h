// Sequential reading of one registry slot through a read-ahead window of its
// own: the whole-file scans (SCAN DATABASE and its parallel workers) walk
// every block of a file once, and hand out views into the window instead of
// copying each block into a block buffer.
#pragma once
#include <cstdint>
#include <memory>

#include "base/block_context.h"
#include "base/byte_source.h"

namespace bex {

inline constexpr uint32_t kScanWindowSize = 262144;  // half a core's L2: the blocks are still there when decoded

class SlotReader {
 public:
  // blockSize must divide into the window at least once (it always does:
  // blocks are at most 32 KB).
  SlotReader(BlockContext& bc, uint32_t windowSize = kScanWindowSize);

  // Starts a walk over blocks [first, last] of slot.
  void start(uint32_t slot, uint32_t first, uint32_t last);
  // The next block read whole, or nullptr at the end of the range or of
  // the readable file. number receives its block number.
  const uint8_t* next(uint32_t& number);

 private:
  bool refill();

  BlockContext& bc_;
  ReadBuffer window_;
  uint32_t windowSize_;
  uint32_t slot_ = 0;
  uint32_t nextBlock_ = 0;   // block number of the next block to hand out
  uint32_t last_ = 0;
  uint32_t windowFirst_ = 0;  // block number of the window's first block
  uint32_t windowCount_ = 0;  // whole blocks in the window
  bool ended_ = true;
};

}  // namespace bex
