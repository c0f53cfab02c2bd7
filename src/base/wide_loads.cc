#include "base/wide_loads.h"

#include <atomic>

namespace bex {

namespace {

constexpr uint8_t kWidest = 0xFF;
std::atomic<uint8_t> forced{kWidest};

ByteSweep widestSweep() {
  if (canSweep(ByteSweep::kAvx2)) return ByteSweep::kAvx2;
  return canSweep(ByteSweep::kSse2) ? ByteSweep::kSse2 : ByteSweep::kWords;
}

}  // namespace

ByteSweep byteSweep() {
  static const ByteSweep widest = widestSweep();  // the processor is asked once
  const uint8_t f = forced.load(std::memory_order_relaxed);
  return f == kWidest ? widest : static_cast<ByteSweep>(f);
}

bool forceByteSweep(ByteSweep s) {
  if (!canSweep(s)) return false;
  forced.store(static_cast<uint8_t>(s), std::memory_order_relaxed);
  return true;
}

void unforceByteSweep() { forced.store(kWidest, std::memory_order_relaxed); }

}  // namespace bex
