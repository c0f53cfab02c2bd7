#include "datafile/slot_reader.h"

#include <unistd.h>

#include <cerrno>

#include "asm/asm_file.h"
#include "datafile/registry.h"

namespace bex {

SlotReader::SlotReader(BlockContext& bc, uint32_t windowSize)
    : bc_(bc), window_(new uint8_t[windowSize]), windowSize_(windowSize) {}

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
    uint64_t want = static_cast<uint64_t>(last_ - nextBlock_ + 1) * bs;
    size_t n = want < windowSize_ ? static_cast<size_t>(want) : windowSize_ / bs * bs;
    size_t got = 0;
    bool error = false;
    if (f.fd >= 0) {
      uint64_t offset = static_cast<uint64_t>(nextBlock_) * bs + f.headerSize;
      while (got < n) {
        ssize_t r = ::pread(f.fd, window_.get() + got, n - got, static_cast<off_t>(offset + got));
        if (r < 0 && errno == EINTR) continue;
        error = r < 0;
        if (r <= 0) break;
        got += static_cast<size_t>(r);
      }
    } else if (f.asmMap) {
      got = readAsmBlocks(bc_.asmContext, f.asmMap, nextBlock_, static_cast<uint32_t>(n / bs), bs, window_.get());
    }
    windowFirst_ = nextBlock_;
    windowCount_ = static_cast<uint32_t>(got / bs);
    if (windowCount_ > 0) return true;
    if (!error || nextBlock_ == last_) return false;
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
