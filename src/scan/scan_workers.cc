#include "scan/scan_workers.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "base/block_map.h"
#include "base/ordered_workers.h"
#include "base/recovery_report.h"
#include "datafile/registry.h"
#include "datafile/slot_reader.h"
#include "scan/scan_file.h"

namespace bex {

namespace {

// Stretches are at most this many bytes, and small enough that every
// worker gets several of them.
constexpr uint64_t kStretchBytes = 32u << 20;
constexpr uint32_t kStretchesPerWorker = 8;
constexpr uint32_t kLeastStretch = 8;  // blocks

struct Stretch {
  uint32_t slot = 0, first = 0, last = 0;
  uint32_t end = 0;  // last block the file should have (unreadable up to it)
  bool firstOfFile = false, lastOfFile = false;
};

// What a worker made of one stretch, waiting to be replayed.
struct StretchResult final : SegmentSink {
  std::vector<ScanSegment> segments;
  BlockMap map;
  ReportEntry tally;
  uint64_t errors = 0;
  uint32_t worker = 0;  // that scanned it

  void segment(const ScanSegment& s) override { segments.push_back(s); }
};

std::vector<Stretch> planStretches(const BlockContext& bc) {
  const DataFileRegistry& reg = *bc.registry;
  uint64_t blocks = 0;
  for (uint32_t slot = 0; slot < reg.count; slot++)
    if (reg.slots[slot].usable() && reg.slots[slot].blocks >= 2) blocks += reg.slots[slot].blocks - 1;
  const uint64_t byWorkers = blocks / (uint64_t{bc.threads} * kStretchesPerWorker);
  const uint64_t bySize = kStretchBytes / bc.blockSize;
  const uint32_t size = static_cast<uint32_t>(std::max<uint64_t>(kLeastStretch, std::min(byWorkers, bySize)));
  std::vector<Stretch> plan;
  for (uint32_t slot = 0; slot < reg.count; slot++) {
    const DataFile& f = reg.slots[slot];
    if (!f.usable() || f.blocks < 2) continue;
    // A source that one thread at a time must read is one stretch.
    const uint32_t step = f.source->readsInParallel() ? size : f.blocks;
    for (uint32_t first = 2; first <= f.blocks;) {
      Stretch s;
      s.slot = slot;
      s.first = first;
      s.last = f.blocks - first < step ? f.blocks : first + step - 1;
      s.firstOfFile = first == 2;
      s.lastOfFile = s.last == f.blocks;
      s.end = s.lastOfFile ? std::max(f.blocks, f.headerBlocks) : s.last;
      plan.push_back(s);
      if (s.lastOfFile) break;
      first = s.last + 1;
    }
  }
  return plan;
}

// The notes of a stretch join the command's, in walk order.
void joinNotes(BlockContext& bc, StretchResult& r) {
  if (bc.report) {
    bc.report->rejected.addAll(r.tally.rejected);
    bc.report->rowsRejected += r.tally.rowsRejected;
    bc.report->unreadable.addAll(r.tally.unreadable);
    bc.report->walkedBy(r.worker);
  }
  if (bc.blockMap) bc.blockMap->follow(r.map);
  r.tally.rejected.clear();
  r.tally.unreadable.clear();
  r.tally.rowsRejected = 0;
  r.segments.clear();
}

// The stretches of the plan scanned by the workers and replayed by the
// calling thread in plan order.
class StretchQueue {
 public:
  StretchQueue(BlockContext& bc, std::vector<Stretch> plan, Sink& lob, Sink& ext)
      : bc_(bc), plan_(std::move(plan)), lob_(lob), ext_(ext),
        stretches_(bc.threads, [this](uint64_t i, StretchResult& r) { replay(plan_[i], r); }) {
    stretches_.start([this](uint32_t w) { work(w); });
  }

  // The calling thread: every stretch scanned and replayed; the blocks
  // failing the checksum.
  uint64_t scanAll() {
    for (size_t i = 0; i < plan_.size(); i++) stretches_.submit();
    stretches_.drain();
    return errors_;
  }

 private:
  // Worker w, with a reader of its own.
  void work(uint32_t w) {
    BlockContext own(bc_, readerBuffers(bc_));
    SlotReader reader(own, kScanWindowSize, kMapWindowSize);
    stretches_.eachJob([&](uint64_t i, StretchResult& r) {
      const Stretch& s = plan_[i];
      own.report = bc_.report ? &r.tally : nullptr;
      own.blockMap = bc_.blockMap ? &r.map : nullptr;
      r.worker = w;
      r.errors = scanStretch(own, reader, s.slot, s.first, s.last, s.end, r);
    });
  }

  void replay(const Stretch& s, StretchResult& r) {
    if (s.firstOfFile) writer_.emplace(lob_, ext_, bc_.registry->slots[s.slot].rfn);
    for (const ScanSegment& seg : r.segments) writer_->segment(seg);
    if (s.lastOfFile) writer_->end();
    errors_ += r.errors;
    joinNotes(bc_, r);
  }

  BlockContext& bc_;
  const std::vector<Stretch> plan_;
  Sink &lob_, &ext_;
  std::optional<ListingWriter> writer_;  // of the file being replayed
  uint64_t errors_ = 0;
  OrderedWorkers<StretchResult> stretches_;  // last: its threads end first
};

}  // namespace

uint64_t scanWithWorkers(BlockContext& bc, Sink& lobListing, Sink& extentListing) {
  StretchQueue queue(bc, planStretches(bc), lobListing, extentListing);
  return queue.scanAll();
}

}  // namespace bex
