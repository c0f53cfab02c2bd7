#include "datafile/slot_reader.h"

#include "base/progress.h"
#include "datafile/registry.h"

namespace bex {

SlotReader::SlotReader(BlockContext& bc, uint32_t windowSize)
    : bc_(bc), window_(allocateReadBuffer(windowSize)), windowSize_(windowSize) {}

void SlotReader::start(uint32_t slot, uint32_t first, uint32_t last) {
  slot_ = slot;
  nextBlock_ = first;
  last_ = last;
  windowCount_ = 0;
  windowFirst_ = first;
  ended_ = first > last || slot >= bc_.registry->count || !bc_.registry->slots[slot].usable();
}

// Reads from nextBlock_ on into the window. A read error (not the end of
// the file) on a damaged disk skips the unreadable block and tries the next,
// so one bad sector does not end the walk of the whole file.
bool SlotReader::refill() {
  const DataFile& f = bc_.registry->slots[slot_];
  uint32_t bs = bc_.blockSize;
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
  }
}

const uint8_t* SlotReader::next(uint32_t& number) {
  if (ended_) return nullptr;
  if (nextBlock_ - windowFirst_ >= windowCount_ && !refill()) {
    ended_ = true;
    return nullptr;
  }
  number = nextBlock_;
  const uint8_t* b = window_.get() + static_cast<size_t>(nextBlock_ - windowFirst_) * bc_.blockSize;
  if (nextBlock_ == last_)
    ended_ = true;
  else
    nextBlock_++;
  return b;
}

}  // namespace bex
