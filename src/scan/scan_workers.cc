#include "scan/scan_workers.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "base/block_map.h"
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
  bool done = false;

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
  }
  if (bc.blockMap) bc.blockMap->follow(r.map);
  r.tally.rejected.clear();
  r.tally.unreadable.clear();
  r.tally.rowsRejected = 0;
  r.segments.clear();
}

class StretchQueue {
 public:
  StretchQueue(BlockContext& bc, std::vector<Stretch> plan)
      : bc_(bc), plan_(std::move(plan)), ring_(2u * bc.threads) {
    for (size_t i = 0; i < ring_; i++) results_.push_back(std::make_unique<StretchResult>());
  }

  // One worker: claims stretches in order while a result slot is free.
  void work() {
    BlockContext own = bc_;  // settings and registry shared read-only
    SlotReader reader(own, kScanWindowSize, kMapWindowSize);
    for (;;) {
      size_t i;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        freed_.wait(lock, [&] { return claimed_ >= plan_.size() || claimed_ < replayed_ + ring_; });
        if (claimed_ >= plan_.size()) return;
        i = claimed_++;
      }
      StretchResult& r = *results_[i % ring_];
      const Stretch& s = plan_[i];
      own.report = bc_.report ? &r.tally : nullptr;
      own.blockMap = bc_.blockMap ? &r.map : nullptr;
      r.errors = scanStretch(own, reader, s.slot, s.first, s.last, s.end, r);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        r.done = true;
      }
      ready_.notify_all();
    }
  }

  // The calling thread: replays every stretch in order.
  uint64_t replay(Sink& lob, Sink& ext) {
    uint64_t errors = 0;
    std::optional<ListingWriter> writer;
    for (size_t i = 0; i < plan_.size(); i++) {
      StretchResult& r = *results_[i % ring_];
      {
        std::unique_lock<std::mutex> lock(mutex_);
        ready_.wait(lock, [&] { return r.done; });
      }
      const Stretch& s = plan_[i];
      if (s.firstOfFile) writer.emplace(lob, ext, bc_.registry->slots[s.slot].rfn);
      for (const ScanSegment& seg : r.segments) writer->segment(seg);
      if (s.lastOfFile) writer->end();
      errors += r.errors;
      joinNotes(bc_, r);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        r.done = false;
        replayed_++;
      }
      freed_.notify_all();
    }
    return errors;
  }

 private:
  BlockContext& bc_;
  const std::vector<Stretch> plan_;
  const size_t ring_;
  std::vector<std::unique_ptr<StretchResult>> results_;
  std::mutex mutex_;
  std::condition_variable ready_, freed_;
  size_t claimed_ = 0, replayed_ = 0;
};

}  // namespace

uint64_t scanWithWorkers(BlockContext& bc, Sink& lobListing, Sink& extentListing) {
  StretchQueue queue(bc, planStretches(bc));
  std::vector<std::thread> workers;
  for (unsigned w = 0; w < bc.threads; w++) workers.emplace_back([&queue] { queue.work(); });
  const uint64_t errors = queue.replay(lobListing, extentListing);
  for (std::thread& t : workers) t.join();
  return errors;
}

}  // namespace bex
