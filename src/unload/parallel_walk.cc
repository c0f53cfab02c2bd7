#include "unload/parallel_walk.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/limits.h"
#include "base/progress.h"
#include "base/recovery_report.h"
#include "datafile/read_cache.h"
#include "unload/block_walk.h"

namespace bex {

namespace {

// A sink gathering a worker's text for the chunk it walks, written in place
// into the chunk's bytes: its buffer is always the free end of them, at
// least as large as the capacity it was made with (the data's is as large
// as the data file's, so that what the field policies look back at is the
// same), and they grow when less is left.
class ChunkSink final : public Sink {
 public:
  explicit ChunkSink(size_t capacity)
      : Sink(new char[capacity], capacity), first_(buffer()), least_(capacity) {}
  ChunkSink(const ChunkSink&) = delete;
  ChunkSink& operator=(const ChunkSink&) = delete;

  void into(ChunkBytes& c) {
    c.length = 0;
    into_ = &c;
    if (c.size < least_) grow(least_);
    rebuffer(c.bytes.get(), c.size);
  }

 protected:
  bool emit(const char* p, size_t n) override {
    ChunkBytes& c = *into_;
    if (p != c.bytes.get() + c.length) {  // bytes from elsewhere: a write larger than the buffer
      if (c.size - c.length < n) grow(c.length + n + least_);
      memcpy(c.bytes.get() + c.length, p, n);
    }
    c.length += n;
    if (c.size - c.length < least_) grow(c.length + least_);
    rebuffer(c.bytes.get() + c.length, c.size - c.length);
    return true;
  }

 private:
  void grow(size_t size) {
    ChunkBytes& c = *into_;
    size = std::max(size, 2 * c.size);
    std::unique_ptr<char[]> bigger(new char[size]);
    if (c.length) memcpy(bigger.get(), c.bytes.get(), c.length);
    c.bytes = std::move(bigger);
    c.size = size;
  }

  std::unique_ptr<char[]> first_;  // the buffer until the first chunk
  size_t least_;
  ChunkBytes* into_ = nullptr;
};

constexpr size_t kConsoleBuffer = 65536;

// The console line of an UNKNOWN value's warning; the column number
// follows it.
constexpr char kUnknownWarning[] = "Warnings : UNKNOWN column type ";

// A chunk's bytes handed on a buffer's worth at a time (the system copies
// a write of many megabytes into the page cache many times slower than the
// same bytes written a megabyte at a time): whole slices straight from the
// chunk, the rest through the buffer.
void writeInSlices(Sink& out, std::string_view bytes) {
  const size_t slice = out.capacity();
  size_t at = 0;
  for (; bytes.size() - at >= slice; at += slice) out.writeThrough(bytes.data() + at, slice);
  out.write(bytes.data() + at, bytes.size() - at);
}

}  // namespace

struct ParallelWalk::Result {
  WalkChunk chunk;
  uint32_t worker = 0;  // that walked it
  ChunkBytes data, console, lob;
  uint64_t rows = 0, lobValues = 0, badBlocks = 0, blocksRead = 0;
  bool errorNoted = false;
  DamageCounts damage;
  std::vector<ReportEvent> events;
  uint8_t warned[kMaxSegmentColumns];  // UNKNOWN warnings committed when the chunk was queued
  ColumnCounts lobLosses, lobLossesWithoutMap, taggedValues, nulValues;
};

struct ParallelWalk::Worker {
  Worker(const BlockContext& from, const UnloadJob& j, const WorkerWriterMaker& make, const LobFile& lobOf,
         const RowWalk& main)
      : block(new uint8_t[from.blockSize]()), bc(from, buffers(from)), job(std::make_unique<UnloadJob>(j)) {
    snprintf(lob.name, sizeof lob.name, "%s", lobOf.name);
    lob.sink = lobOf.sink ? &lobText : nullptr;
    writer = make(bc, *job, data, lob, console);
    walk = std::make_unique<RowWalk>(bc, console, *writer, main.filters, main.chainBound);
  }

  // The worker's own block buffer and cache (empty: every read goes to the
  // file) and its own progress; it reports nothing and reads no LOB values.
  // What it counts is merged as the chunks commit.
  BlockBuffers buffers(const BlockBuffers& from) {
    BlockBuffers own = from;
    own.block = block.get();
    own.cache = own.lobCache = &cache;
    own.progress = &progress;
    own.report = nullptr;
    own.lobReader = nullptr;
    own.lobMap = nullptr;
    return own;
  }

  ReadCache cache;
  Progress progress;  // counts the blocks read; never drawn
  std::unique_ptr<uint8_t[]> block;
  BlockContext bc;
  std::unique_ptr<UnloadJob> job;
  ChunkSink data{kOutputBufferSize}, console{kConsoleBuffer}, lobText{kConsoleBuffer};
  LobFile lob;
  std::unique_ptr<RowWriter> writer;
  std::unique_ptr<RowWalk> walk;
};

ParallelWalk::ParallelWalk(const ParallelTarget& target, const WorkerWriterMaker& makeWriter, uint32_t threads,
                           uint32_t chunkBlocks)
    : t_(target), chunks_(threads, [this](uint64_t, Result& r) { commit(r); }) {
  const BlockContext& bc = t_.walk.bc;
  chunkBlocks_ = chunkBlocks ? chunkBlocks : kParallelChunkBytes / bc.blockSize;
  for (uint32_t i = 0; i < threads; i++)
    workers_.push_back(std::make_unique<Worker>(bc, t_.job, makeWriter, t_.lob, t_.walk));
  chunks_.start([this](uint32_t w) {
    chunks_.eachJob([this, w, &k = *workers_[w]](uint64_t, Result& r) {
      r.worker = w;
      walk(k, r);
    });
  });
}

ParallelWalk::~ParallelWalk() = default;

void ParallelWalk::submit(const WalkChunk& c) {
  WalkChunk part = c;
  for (uint64_t first = c.first; first <= c.last; first += chunkBlocks_) {
    part.first = static_cast<uint32_t>(first);
    part.last = static_cast<uint32_t>(std::min<uint64_t>(c.last, first + chunkBlocks_ - 1));
    queue(part);
  }
}

void ParallelWalk::queue(const WalkChunk& c) {
  Result& r = chunks_.next();
  r.chunk = c;
  memcpy(r.warned, t_.job.unknownWarnings, sizeof r.warned);
  chunks_.submit();
}

void ParallelWalk::drain() { chunks_.drain(); }

// Walks one chunk from counts of zero; what it counted goes into the result.
void ParallelWalk::walk(Worker& k, Result& r) {
  BlockContext& bc = k.bc;
  RowWalk& w = *k.walk;
  UnloadJob& job = *k.job;
  k.data.into(r.data);
  k.console.into(r.console);
  k.lobText.into(r.lob);
  k.console.clearErrorNote();
  *bc.counters = BlockCounters{};
  w.damage = DamageCounts{};
  r.events.clear();
  w.reportLog = &r.events;
  memcpy(job.unknownWarnings, r.warned, sizeof job.unknownWarnings);
  job.lobLosses = job.lobLossesWithoutMap = job.taggedValues = job.nulValues = ColumnCounts{};
  const uint64_t readBefore = k.progress.done();

  walkChunk(w, r.chunk);

  k.data.flush();
  k.console.flush();
  k.lobText.flush();
  r.rows = bc.counters->RowCount;
  r.lobValues = bc.counters->LobCount;
  r.badBlocks = bc.counters->BadBlockCount;
  r.blocksRead = k.progress.done() - readBefore;
  r.errorNoted = k.console.errorNoted();
  r.damage = w.damage;
  r.lobLosses = job.lobLosses;
  r.lobLossesWithoutMap = job.lobLossesWithoutMap;
  r.taggedValues = job.taggedValues;
  r.nulValues = job.nulValues;
}

// The chunk's output and counts, as if the main walk had walked it.
void ParallelWalk::commit(Result& r) {
  BlockContext& bc = t_.walk.bc;
  writeConsole(r.console.view());
  if (r.errorNoted) t_.walk.console.noteError();
  writeInSlices(t_.data, r.data.view());
  if (t_.lob.sink) writeInSlices(*t_.lob.sink, r.lob.view());
  bc.counters->RowCount += r.rows;
  bc.counters->LobCount += r.lobValues;
  bc.counters->BadBlockCount += r.badBlocks;
  if (bc.progress) bc.progress->advance(r.blocksRead);
  t_.walk.damage.add(r.damage);
  if (bc.report) {
    bc.report->walkedBy(r.worker);
    for (const ReportEvent& ev : r.events) applyReportEvent(*bc.report, ev);
  }
  t_.job.lobLosses.add(r.lobLosses);
  t_.job.lobLossesWithoutMap.add(r.lobLossesWithoutMap);
  t_.job.taggedValues.add(r.taggedValues);
  t_.job.nulValues.add(r.nulValues);
}

// The chunk's console lines; of the warnings about UNKNOWN values only as
// many per column as one thread prints (the worker began from the count
// committed when its chunk was queued, so it printed at least those).
void ParallelWalk::writeConsole(std::string_view text) {
  Sink& out = t_.walk.console;
  const size_t prefix = sizeof kUnknownWarning - 1;
  size_t at = 0;
  while (at < text.size()) {
    const char* line = text.data() + at;
    const void* nl = memchr(line, '\n', text.size() - at);
    const size_t n = nl ? static_cast<size_t>(static_cast<const char*>(nl) - line) + 1 : text.size() - at;
    at += n;
    if (n > prefix && memcmp(line, kUnknownWarning, prefix) == 0) {
      const unsigned long column = strtoul(line + prefix, nullptr, 10);
      if (column >= 1 && column <= kMaxSegmentColumns) {
        uint8_t& warned = t_.job.unknownWarnings[column - 1];
        if (warned >= kMaxUnknownWarnings) continue;
        warned++;
      }
    }
    out.write(line, n);
  }
}

}  // namespace bex
