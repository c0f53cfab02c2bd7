#include "unload/header_search.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

#include "base/ordered_workers.h"
#include "block/block_header.h"
#include "block/segment_header.h"
#include "datafile/block_reader.h"
#include "datafile/registry.h"
#include "datafile/slot_reader.h"

namespace bex {

bool passesFileFilter(const BlockContext& bc, const DataFile& f, uint32_t file) {
  return f.usable() && (file == 0 || bc.bigfile || f.rfn == file);
}

bool isSegmentHeaderOf(BlockContext& bc, uint32_t objd) {
  const BlockView v{bc.block, bc.blockSize, bc.byteOrder};
  return !IsBadBlock(bc) && isSegmentHeader(blockType(v)) && dataObjectNumber(v) == objd;
}

namespace {

// Blocks first to end - 1 of f that its source holds: those a search reads.
uint64_t heldBlocks(const DataFile& f, uint64_t first, uint64_t end, uint32_t blockSize) {
  uint64_t n = 0;
  while (first < end) {
    const HeldBlocks h = nextHeldBlocks(f, first, blockSize);
    if (h.first >= end) break;
    const uint64_t stop = std::min(h.end, end);
    n += stop - h.first;
    first = stop;
  }
  return n;
}

// Consecutive blocks of one slot.
struct BlockRange {
  uint32_t slot = 0, first = 0, last = 0;
};

// The ranges of the search in slot order, then block order: blocks 2 to
// the last of each slot passing the filter, rangeBlocks at a time.
template <class Each>
void eachRange(const BlockContext& bc, const HeaderSearch& s, uint64_t rangeBlocks, Each&& each) {
  const DataFileRegistry& reg = *bc.registry;
  for (uint32_t slot = 0; slot < reg.count; slot++) {
    const DataFile& f = reg.slots[slot];
    if (!passesFileFilter(bc, f, s.file)) continue;
    for (uint64_t first = 2; first <= f.blocks; first += rangeBlocks) {
      const uint64_t last = std::min<uint64_t>(f.blocks, first + rangeBlocks - 1);
      if (!each(BlockRange{slot, static_cast<uint32_t>(first), static_cast<uint32_t>(last)})) return;
    }
  }
}

// One thread's reader: a context of its own reading through a window (read,
// not mapped: the glance at each block is quicker than the faults of a
// mapping),
// with no block buffer, no caches, and neither progress nor report (a
// block read one by one counts in neither); its bad blocks count in its
// own record.
BlockBuffers searchBuffers(const BlockBuffers& from) {
  BlockBuffers own = readerBuffers(from);
  own.progress = nullptr;
  own.report = nullptr;
  own.blockMap = nullptr;
  return own;
}

struct RangeReader {
  explicit RangeReader(const BlockContext& from) : bc(from, searchBuffers(from)), reader(bc) {}

  // Searches range r until a header of objd or until stop() says a range
  // before it holds one; the header is left at bc.block (in the window).
  // Blocks that cannot be read count as bad, as ReadBlock counts them.
  template <class Stop>
  bool search(const BlockRange& r, uint32_t objd, Stop&& stop) {
    const DataFile& f = bc.registry->slots[r.slot];
    reader.start(r.slot, r.first, r.last);
    uint64_t expect = r.first;
    uint32_t number;
    while (const uint8_t* block = reader.next(number)) {
      if (number != expect) bc.counters->BadBlockCount += heldBlocks(f, expect, number, bc.blockSize);
      expect = uint64_t{number} + 1;
      bc.block = const_cast<uint8_t*>(block);
      if (isSegmentHeaderOf(bc, objd)) {
        found = number;
        return true;
      }
      if (stop()) return false;
    }
    bc.counters->BadBlockCount += heldBlocks(f, expect, uint64_t{r.last} + 1, bc.blockSize);
    return false;
  }

  BlockContext bc;
  SlotReader reader;
  uint32_t found = 0;
};

// The result of one range searched by a worker.
struct RangeResult {
  BlockRange range;
  bool found = false;
  uint32_t block = 0;
  uint64_t bad = 0;
  std::unique_ptr<uint8_t[]> header;  // the header found, copied out of the worker's window
};

// The ranges searched by the workers and judged by the calling thread in
// range order: bad blocks counted up to the first header, which is the
// answer. A worker leaves a range once a range before it holds a header.
class RangeQueue {
 public:
  RangeQueue(BlockContext& bc, const HeaderSearch& s)
      : bc_(bc), s_(s), ranges_(s.threads, [this](uint64_t, RangeResult& r) { judge(r); }) {
    ranges_.start([this](uint32_t) { work(); });
  }

  HeaderFound searchAll(uint64_t rangeBlocks) {
    eachRange(bc_, s_, rangeBlocks, [&](const BlockRange& range) {
      if (firstFound_.load(std::memory_order_relaxed) != kNone) return false;
      RangeResult& r = ranges_.next();
      if (answer_.found) return false;
      if (!r.header) r.header.reset(new uint8_t[bc_.blockSize]);
      r.range = range;
      ranges_.submit();
      answer_.ranges++;
      return true;
    });
    ranges_.drain();
    return answer_;
  }

 private:
  static constexpr uint64_t kNone = UINT64_MAX;

  void work() {
    RangeReader own(bc_);
    ranges_.eachJob([&](uint64_t job, RangeResult& r) {
      own.bc.counters->BadBlockCount = 0;
      const auto before = [&] { return firstFound_.load(std::memory_order_relaxed) < job; };
      r.found = !before() && own.search(r.range, s_.objd, before);
      r.bad = own.bc.counters->BadBlockCount;
      if (!r.found) return;
      r.block = own.found;
      memcpy(r.header.get(), own.bc.block, bc_.blockSize);
      uint64_t at = firstFound_.load(std::memory_order_relaxed);
      while (job < at && !firstFound_.compare_exchange_weak(at, job, std::memory_order_relaxed)) {
      }
    });
  }

  void judge(RangeResult& r) {
    if (answer_.found) return;  // a range after the header
    bc_.counters->BadBlockCount += r.bad;
    if (!r.found) return;
    answer_.found = true;
    answer_.slot = r.range.slot;
    answer_.block = r.block;
    memcpy(bc_.block, r.header.get(), bc_.blockSize);
  }

  BlockContext& bc_;
  const HeaderSearch& s_;
  HeaderFound answer_;
  std::atomic<uint64_t> firstFound_{kNone};  // the first range a worker found a header in
  OrderedWorkers<RangeResult> ranges_;  // last: its threads end first
};

// The search by this thread alone: each slot in one pass.
HeaderFound searchAlone(BlockContext& bc, const HeaderSearch& s) {
  HeaderFound answer;
  RangeReader own(bc);
  eachRange(bc, s, UINT32_MAX, [&](const BlockRange& range) {
    own.bc.counters->BadBlockCount = 0;
    answer.found = own.search(range, s.objd, [] { return false; });
    bc.counters->BadBlockCount += own.bc.counters->BadBlockCount;
    if (!answer.found) return true;
    answer.slot = range.slot;
    answer.block = own.found;
    memcpy(bc.block, own.bc.block, bc.blockSize);
    return false;
  });
  return answer;
}

}  // namespace

HeaderFound searchSegmentHeader(BlockContext& bc, const HeaderSearch& s) {
  const uint64_t rangeBlocks = s.rangeBlocks ? s.rangeBlocks : std::max<uint32_t>(1, kHeaderSearchRangeBytes / bc.blockSize);
  uint64_t ranges = 0;
  eachRange(bc, s, rangeBlocks, [&](const BlockRange&) { return ++ranges < 2; });
  if (s.threads <= 1 || ranges < 2) return searchAlone(bc, s);
  RangeQueue queue(bc, s);
  return queue.searchAll(rangeBlocks);
}

}  // namespace bex
