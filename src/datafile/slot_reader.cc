#include "datafile/slot_reader.h"

#include <algorithm>

#include "base/progress.h"
#include "datafile/registry.h"

namespace bex {

BlockBuffers readerBuffers(const BlockBuffers& from) {
  BlockBuffers own = from;
  own.block = nullptr;
  own.cache = own.lobCache = nullptr;
  return own;
}

SlotReader::SlotReader(BlockContext& bc, uint32_t windowSize, uint32_t mapWindowSize)
    : bc_(bc), window_(allocateReadBuffer(windowSize)), windowSize_(windowSize), mapWindowSize_(mapWindowSize) {}

void SlotReader::start(uint32_t slot, uint32_t first, uint32_t last) {
  slot_ = slot;
  nextBlock_ = first;
  last_ = last;
  windowCount_ = 0;
  windowFirst_ = first;
  ended_ = first > last || slot >= bc_.registry->count || !bc_.registry->slots[slot].usable();
  mapping_ = mapWindowSize_ >= bc_.blockSize;
}

// Maps the next stretch of whole blocks; false when the source gives no
// mapping of it (then it is read).
bool SlotReader::mapWindow(const DataFile& f) {
  const uint32_t bs = bc_.blockSize;
  const uint64_t want = (static_cast<uint64_t>(last_ - nextBlock_) + 1) * bs;
  const uint64_t offset = static_cast<uint64_t>(nextBlock_) * bs + f.headerSize;
  // The stretch ends on the mapping boundary, so the next one starts there
  // (a window smaller than the boundary ends where it ends).
  uint64_t end = (offset + mapWindowSize_) / kMapAlignment * kMapAlignment;
  if (end < offset + bs) end = offset + mapWindowSize_;
  const uint64_t whole = (end - offset) / bs * bs;
  const size_t n = static_cast<size_t>(want < whole ? want : whole);
  blocks_ = f.source->map(offset, n, view_);
  if (!blocks_) return false;
  windowFirst_ = nextBlock_;
  windowCount_ = static_cast<uint32_t>(n / bs);
  return true;
}

// Moves nextBlock_ past a hole of the source to the next block it holds;
// false when it holds none up to the end of the walk.
bool SlotReader::skipHole(const DataFile& f) {
  const uint64_t held = nextHeldBlocks(f, nextBlock_, bc_.blockSize).first;
  if (held == nextBlock_) return true;
  const uint64_t skipped = std::min<uint64_t>(held, uint64_t{last_} + 1) - nextBlock_;
  if (bc_.progress) bc_.progress->advance(skipped);
  if (held > last_) return false;
  nextBlock_ = static_cast<uint32_t>(held);
  return true;
}

// Reads from nextBlock_ on into the window. A read error (not the end of
// the file) on a damaged disk skips the unreadable block and tries the next,
// so one bad sector does not end the walk of the whole file. A hole of the
// source is passed over whole: it holds no block.
bool SlotReader::refill() {
  const DataFile& f = bc_.registry->slots[slot_];
  uint32_t bs = bc_.blockSize;
  if (!skipHole(f)) return false;
  if (mapping_ && mapWindow(f)) {
    if (bc_.progress) bc_.progress->advance(windowCount_);
    return true;
  }
  mapping_ = false;  // a file that cannot be mapped whole is read to the end of the walk
  view_.unmap();
  blocks_ = window_.get();
  for (;;) {
    uint64_t want = (static_cast<uint64_t>(last_ - nextBlock_) + 1) * bs;
    size_t n = want < windowSize_ ? static_cast<size_t>(want) : windowSize_ / bs * bs;
    const ReadResult got =
        f.source->read(static_cast<uint64_t>(nextBlock_) * bs + f.headerSize, window_.get(), n);
    windowFirst_ = nextBlock_;
    windowCount_ = static_cast<uint32_t>(got.bytes / bs);
    if (windowCount_ > 0) {
      if (bc_.progress) bc_.progress->advance(windowCount_);  // once a window, for the progress line
      return true;
    }
    if (!got.error || nextBlock_ == last_) return false;
    nextBlock_++;
    if (!skipHole(f)) return false;
  }
}

const uint8_t* SlotReader::next(uint32_t& number) {
  if (ended_) return nullptr;
  if (mapping_ && view_.damaged()) {
    // The mapped file failed under the walk: read from here on. The blocks
    // of the mapping not handed out were counted when it was mapped; they
    // count again only as far as they are read.
    const uint32_t unhanded = windowFirst_ + windowCount_ - nextBlock_;
    if (bc_.progress && unhanded) bc_.progress->takeBack(unhanded);
    mapping_ = false;
    windowCount_ = 0;
  }
  if (nextBlock_ - windowFirst_ >= windowCount_ && !refill()) {
    ended_ = true;
    return nullptr;
  }
  number = nextBlock_;
  const uint8_t* b = blocks_ + static_cast<size_t>(nextBlock_ - windowFirst_) * bc_.blockSize;
  if (nextBlock_ == last_)
    ended_ = true;
  else
    nextBlock_++;
  return b;
}

}  // namespace bex
