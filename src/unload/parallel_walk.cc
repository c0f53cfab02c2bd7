#include "unload/parallel_walk.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/huge_memory.h"
#include "base/limits.h"
#include "base/progress.h"
#include "base/recovery_report.h"
#include "datafile/read_cache.h"
#include "lob/lob_map.h"
#include "lob/lob_reader.h"
#include "value/charset.h"
#include "unload/block_walk.h"
#include "unload/dump_output.h"

namespace bex {

namespace {

// Less than this of a chunk's bytes is copied into the sink's buffer
// rather than handed on by a call of its own.
constexpr size_t kWriteThroughLeast = 64u << 10;

// A chunk's bytes handed on a buffer's worth at a time (the system copies
// a write of many megabytes into the page cache many times slower than the
// same bytes written a megabyte at a time): whole slices and a large rest
// straight from the chunk, a small rest through the buffer.
void writeInSlices(Sink& out, std::string_view bytes) {
  const size_t slice = out.capacity();
  size_t at = 0;
  for (; bytes.size() - at >= slice; at += slice) out.writeThrough(bytes.data() + at, slice);
  if (bytes.size() - at >= kWriteThroughLeast)
    out.writeThrough(bytes.data() + at, bytes.size() - at);
  else
    out.write(bytes.data() + at, bytes.size() - at);
}

// A sink gathering a worker's text for the chunk it walks, written in place
// into the chunk's bytes: its buffer is always the free end of them, at
// least as large as the capacity it was made with (the data's is as large
// as the data file's, so that what the field policies look back at is the
// same), and they grow when less is left.
//
// A data sink told to hand on at its turn looks, each time its buffer's
// worth is written, whether every chunk before its own was committed. From
// then on the chunk is the data file's next bytes: the sink writes what it
// gathered and all it writes after straight to the data file, through a
// buffer that stays in the processor's cache, and the main thread writes
// nothing of it (text gathered in chunk memory costs its trips through
// main memory; the chunk at the head of the walk need not make them).
class ChunkSink final : public Sink {
 public:
  explicit ChunkSink(size_t capacity)
      : Sink(new char[capacity], capacity), first_(buffer()), least_(capacity) {}
  ChunkSink(const ChunkSink&) = delete;
  ChunkSink& operator=(const ChunkSink&) = delete;

  // Bytes past memoryMax of a chunk go on into its spill file, made in
  // spillDir (or the system's temporary directory) when first needed.
  void spillPast(size_t memoryMax, std::string spillDir) {
    memoryMax_ = memoryMax;
    spillDir_ = std::move(spillDir);
  }

  // Chunk memory of at least bytes from the first chunk on (the data's:
  // what a chunk's text comes to, with room to spare).
  void reserveFirst(size_t bytes) { reserve_ = bytes; }

  // A sink that spills gets all the memory it may use at once, the data's
  // what it was told to reserve: the memory is touched only as it is
  // written (a fault per huge page), and not copied to grow.
  // The chunk job of the walk; c.handedOn tells afterwards whether its
  // bytes went straight to the data file.
  void into(ChunkBytes& c, uint64_t job = 0) {
    c.length = 0;
    c.spilled = 0;
    c.handedOn = false;
    lost_ = false;
    into_ = &c;
    job_ = job;
    const size_t first = memoryMax_ == SIZE_MAX ? std::max(least_, reserve_) : memoryMax_ + least_;
    if (c.size < first) grow(first);
    rebuffer(c.bytes.get(), window());
  }

  // Hands on what the chunk's walk left buffered, the chunk's last bytes;
  // false when some of the chunk's bytes could not be written. Nothing is
  // written after until the next into().
  bool end() {
    ending_ = true;
    flush();
    ending_ = false;
    return !lost_;
  }

  // Hands the chunk on to data once head says every chunk before it was
  // committed (head holds the number of the next chunk to commit).
  void handOnAtTurn(Sink& data, const std::atomic<uint64_t>& head) {
    target_ = &data;
    head_ = &head;
    scratch_.reset(new char[least_]);
  }

 protected:
  bool emit(const char* p, size_t n) override {
    if (into_->handedOn) return handOn(p, n);
    ChunkBytes& c = *into_;
    if (c.spilled || c.length + n > memoryMax_) return spill(p, n);
    if (p != c.bytes.get() + c.length) {  // bytes from elsewhere: a write larger than the buffer
      if (c.size - c.length < n) grow(c.length + n + least_);
      memcpy(c.bytes.get() + c.length, p, n);
    }
    c.length += n;
    if (target_ && head_->load(std::memory_order_acquire) == job_) return turnCame();
    // After the chunk's last bytes no room is needed: what is left will do.
    if (!ending_ && c.size - c.length < least_) grow(c.length + least_);
    rebuffer(c.bytes.get() + c.length, window());
    return true;
  }

 private:
  void grow(size_t size) {
    ChunkBytes& c = *into_;
    size = std::max(size, 2 * c.size);
    decltype(c.bytes) bigger = allocateHugeMemory(size);
    if (c.length) memcpy(bigger.get(), c.bytes.get(), c.length);
    c.bytes = std::move(bigger);
    c.size = size;
  }

  // The bytes to the chunk's spill file; the buffer stays where it is.
  bool spill(const char* p, size_t n) {
    ChunkBytes& c = *into_;
    if (c.spillFd < 0) c.spillFd = openSpillFile(spillDir_);
    for (size_t done = 0; done < n;) {
      const ssize_t w = c.spillFd < 0 ? -1 : pwrite(c.spillFd, p + done, n - done, static_cast<off_t>(c.spilled));
      if (w <= 0) {
        lost_ = true;
        return false;
      }
      done += static_cast<size_t>(w);
      c.spilled += static_cast<uint64_t>(w);
    }
    return true;
  }

  // The free end of the chunk's bytes the buffer gets: a sink handing on
  // at its turn looks for it a buffer's worth at a time.
  size_t window() const {
    const size_t left = into_->size - into_->length;
    return target_ ? std::min(least_, left) : left;
  }

  // The chunk's turn: what it gathered goes to the data file, and the rest
  // after it.
  bool turnCame() {
    ChunkBytes& c = *into_;
    writeInSlices(*target_, c.view());
    c.length = 0;
    c.handedOn = true;
    rebuffer(scratch_.get(), least_);
    return true;
  }
  bool handOn(const char* p, size_t n) {
    target_->writeThrough(p, n);
    rebuffer(scratch_.get(), least_);
    return true;
  }

  std::unique_ptr<char[]> first_;  // the buffer until the first chunk
  size_t least_;
  size_t reserve_ = 0;
  Sink* target_ = nullptr;  // the data file, once told to hand on at its turn
  const std::atomic<uint64_t>* head_ = nullptr;
  std::unique_ptr<char[]> scratch_;  // the buffer once the chunk is handed on
  uint64_t job_ = 0;
  size_t memoryMax_ = SIZE_MAX;
  bool ending_ = false;  // within end()
  bool lost_ = false;    // bytes of this chunk could not be spilled
  std::string spillDir_;
  ChunkBytes* into_ = nullptr;
};

constexpr size_t kConsoleBuffer = 65536;
// The data memory each chunk starts with: the text of kParallelChunkBytes
// of blocks is about as large (numbers and dates in packed rows somewhat
// larger), and memory not written is never touched. A chunk of a table
// with LOB columns holds a few references per value, in memory that grows
// as it is written (not a huge page cleared for each).
constexpr size_t kChunkDataReserve = 4 * size_t{kParallelChunkBytes};
// The LOB bytes the chunks in flight hold in memory together (without a LOB
// file, their data, which holds the values), each its share and at least
// kLobChunkMemory; the rest of a chunk's is spilled to a file. A block of
// rows with values of some hundred KiB gives megabytes: a chunk spilling
// them costs the system's copy into its cache and back.
constexpr size_t kLobMemoryInFlight = 128u << 20, kLobChunkMemory = 8u << 20;
// Spilled bytes are mapped this many at a time to be written on.
constexpr size_t kSpillWindow = 16u << 20;

// The console line of an UNKNOWN value's warning; the column number
// follows it.
constexpr char kUnknownWarning[] = "Warnings : UNKNOWN column type ";

// The directory part of a file name ("." for none).
std::string directoryOf(const char* name) {
  const char* slash = strrchr(name, '/');
  if (!slash) return ".";
  return slash == name ? "/" : std::string(name, slash);
}

// LOB values and references as a parallel walk can place them: a LOB file
// whose references the style writes in place, and tags that no reference
// text can hold (a reference's numbers change as the main thread places
// it, and the text style counts the values holding a tag).
bool tagsOutsideReferences(const RowTags& tags) {
  for (const std::string_view tag : {tags.field, tags.record})
    for (const char ch : tag)
      if ((ch >= '0' && ch <= '9') || ch == '-') return false;
  return true;
}

}  // namespace

int openSpillFile(const std::string& dir) {
  for (const std::string& d : {dir, std::string(P_tmpdir)}) {
    std::string name = d + "/.bex-lob-XXXXXX";
    const int fd = mkstemp(name.data());
    if (fd < 0) continue;
    unlink(name.c_str());
    return fd;
  }
  return -1;
}

ChunkBytes::~ChunkBytes() {
  if (spillFd >= 0) close(spillFd);
}

bool lobsWalkInParallel(const LobFile& lob, bool referencesInPlace, const RowTags& tags, uint32_t verbose) {
  if (!lob.sink) return verbose < kVerboseLobRows;
  return referencesInPlace && tagsOutsideReferences(tags);
}

struct ParallelWalk::Result {
  WalkChunk chunk;
  uint32_t worker = 0;  // that walked it
  ChunkBytes data, console, lob;
  uint64_t dataStart = 0, lobStart = 0;  // the worker's sinks' bytesWritten as the chunk began
  std::vector<LobReference> references;  // as the worker wrote them
  uint64_t rows = 0, lobValues = 0, badBlocks = 0, blocksRead = 0;
  bool errorNoted = false;
  bool dataWritten = true, lobWritten = true;  // false: bytes could not go to the spill file
  DamageCounts damage;
  std::vector<ReportEvent> events;
  uint8_t warned[kMaxSegmentColumns];  // UNKNOWN warnings committed when the chunk was queued
  ColumnCounts lobLosses, lobLossesWithoutMap, taggedValues, nulValues;
};

struct ParallelWalk::Worker {
  Worker(const BlockContext& from, const UnloadJob& j, const WorkerWriterMaker& make, const LobFile& lobOf,
         const RowWalk& main, size_t lobMemory, size_t dataBuffer, size_t dataReserve, bool lobsInData)
      : block(new uint8_t[from.blockSize]()),
        bc(from, buffers(from)),
        job(std::make_unique<UnloadJob>(j)),
        data(dataBuffer) {
    snprintf(lob.name, sizeof lob.name, "%s", lobOf.name);
    lob.sink = lobOf.sink ? &lobText : nullptr;
    lobText.spillPast(lobMemory, directoryOf(lobOf.name));
    if (lobsInData) data.spillPast(lobMemory, directoryOf(j.outputName));
    data.reserveFirst(dataReserve);
    if (from.conversions) {
      like = conversions.openLike(*from.conversions) && like;
      bc.conversions = &conversions;
    }
    if (from.lobMap) {
      lobMap = std::make_unique<LobMap>(from.lobMap->dir);
      like = OpenLobMapLike(*lobMap, *from.lobMap) && like;
      bc.lobMap = lobMap.get();
    }
    lobReader = std::make_unique<LobReader>(bc, console);
    bc.lobReader = lobReader.get();
    writer = make(bc, *job, data, lob, console);
    walk = std::make_unique<RowWalk>(bc, console, *writer, main.filters, main.chainBound);
  }

  ~Worker() { conversions.closeAll(); }
  Worker(const Worker&) = delete;
  Worker& operator=(const Worker&) = delete;

  // The worker's own block buffer and cache (empty: every read goes to the
  // file), LOB cache and progress; it reports nothing. Its LOB reader, LOB map
  // and conversion descriptors are its own too (set as it is made). What
  // it counts is merged as the chunks commit.
  BlockBuffers buffers(const BlockBuffers& from) {
    BlockBuffers own = from;
    own.block = block.get();
    own.cache = &cache;
    own.lobCache = &lobCache;
    if (from.lobCache && from.lobCache->size) lobCache.allocate(from.lobCache->size);
    own.progress = &progress;
    own.report = nullptr;
    own.lobReader = nullptr;
    own.lobMap = nullptr;
    own.conversions = nullptr;
    return own;
  }

  // The worker's LOB map and descriptors are open as the main walk's are
  // (files may run out): else its values would come out otherwise.
  bool like = true;
  ReadCache cache;
  ReadCache lobCache;  // as large as the run's: LOB blocks are read through it
  Progress progress;  // counts the blocks read; never drawn
  std::unique_ptr<uint8_t[]> block;
  BlockContext bc;
  std::unique_ptr<UnloadJob> job;
  ChunkSink data, console{kConsoleBuffer}, lobText{kConsoleBuffer};
  LobFile lob;
  Conversions conversions;
  std::unique_ptr<LobMap> lobMap;
  std::unique_ptr<LobReader> lobReader;
  std::unique_ptr<RowWriter> writer;
  std::unique_ptr<RowWalk> walk;
};

ParallelWalk::ParallelWalk(const ParallelTarget& target, const WorkerWriterMaker& makeWriter, uint32_t threads,
                           uint32_t chunkBlocks, bool lobColumns, size_t lobMemory, size_t dataBuffer)
    : t_(target), chunks_(threads, [this](uint64_t job, Result& r) { commit(job, r); }) {
  const BlockContext& bc = t_.walk.bc;
  mostChunkBlocks_ = std::max<uint32_t>(1, kParallelChunkBytes / bc.blockSize);
  sizedByBytes_ = !chunkBlocks && lobColumns;
  chunkBlocks_ = chunkBlocks ? chunkBlocks : sizedByBytes_ ? kParallelLobChunkBlocks : mostChunkBlocks_;
  const size_t chunkLobMemory = lobMemory ? lobMemory : std::max(kLobChunkMemory, kLobMemoryInFlight / (2 * threads));
  for (uint32_t i = 0; i < threads && ready_; i++) {
    workers_.push_back(
        std::make_unique<Worker>(bc, t_.job, makeWriter, t_.lob, t_.walk, chunkLobMemory,
                                 dataBuffer ? dataBuffer : kOutputBufferSize, lobColumns ? 0 : kChunkDataReserve,
                                 lobColumns && !t_.lob.sink));
    ready_ = workers_.back()->like;
  }
  if (!ready_) return;  // nothing is submitted: the walk goes to one thread
  // Without LOB columns no reference in the data waits for its LOB file
  // offset: the chunk at the head of the walk writes its data itself.
  if (!lobColumns)
    for (const std::unique_ptr<Worker>& k : workers_) k->data.handOnAtTurn(t_.data, head_);
  chunks_.start([this](uint32_t w) {
    chunks_.eachJob([this, w, &k = *workers_[w]](uint64_t job, Result& r) {
      r.worker = w;
      walk(k, job, r);
    });
  });
}

ParallelWalk::~ParallelWalk() { drain(); }

// (A chunk committed as the next is queued may change the size of the
// chunks after it.)
void ParallelWalk::submit(const WalkChunk& c) {
  WalkChunk part = c;
  for (uint64_t first = c.first; first <= c.last; first = uint64_t{part.last} + 1) {
    part.first = static_cast<uint32_t>(first);
    part.last = static_cast<uint32_t>(std::min<uint64_t>(c.last, first + chunkBlocks_ - 1));
    queue(part);
  }
}

void ParallelWalk::queue(const WalkChunk& c) {
  if (!queued_ && !held_) {
    held_ = c;
    return;
  }
  if (held_) {
    const WalkChunk first = *held_;
    held_.reset();
    queued_ = true;
    queue(first);
  }
  Result& r = chunks_.next();
  r.chunk = c;
  memcpy(r.warned, t_.job.unknownWarnings, sizeof r.warned);
  chunks_.submit();
}

void ParallelWalk::drain() {
  if (held_) {  // the walk's only chunk so far
    const WalkChunk only = *held_;
    held_.reset();
    walkChunk(t_.walk, only);
  }
  chunks_.drain();
}

// Walks one chunk from counts of zero; what it counted goes into the result.
void ParallelWalk::walk(Worker& k, uint64_t number, Result& r) {
  BlockContext& bc = k.bc;
  RowWalk& w = *k.walk;
  UnloadJob& job = *k.job;
  k.data.into(r.data, number);
  k.console.into(r.console);
  k.lobText.into(r.lob);
  r.dataStart = k.data.bytesWritten();
  r.lobStart = k.lobText.bytesWritten();
  r.references.clear();
  k.lob.references = k.lob.sink ? &r.references : nullptr;
  k.console.clearErrorNote();
  *bc.counters = BlockCounters{};
  w.damage = DamageCounts{};
  r.events.clear();
  w.reportLog = &r.events;
  memcpy(job.unknownWarnings, r.warned, sizeof job.unknownWarnings);
  job.lobLosses = job.lobLossesWithoutMap = job.taggedValues = job.nulValues = ColumnCounts{};
  const uint64_t readBefore = k.progress.done();

  walkChunk(w, r.chunk);

  r.dataWritten = k.data.end();
  k.console.end();
  r.lobWritten = k.lobText.end();
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
void ParallelWalk::commit(uint64_t job, Result& r) {
  BlockContext& bc = t_.walk.bc;
  writeConsole(r.console.view());
  if (r.errorNoted) t_.walk.console.noteError();
  if (sizedByBytes_) resize(r);  // before the spilled bytes are written and forgotten
  if (!r.data.handedOn) writeData(r);
  if (!r.dataWritten) loseBytes("  Cannot write data to a temporary file: the data file is incomplete!\n");
  if (t_.lob.sink) {
    writeInSlices(*t_.lob.sink, r.lob.view());
    writeSpilled(*t_.lob.sink, r.lob,
                 "  Cannot read back the LOB bytes spilled by a worker: the LOB file is incomplete!\n");
  }
  if (!r.lobWritten) loseBytes("  Cannot write LOB bytes to a temporary file: the LOB file is incomplete!\n");
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
  head_.store(job + 1, std::memory_order_release);  // the next chunk may hand itself on
}

// The chunk's data, each LOB reference in it written again with the
// offset its value gets in the LOB file (the chunk's LOB bytes follow what
// is there now); then what it spilled (only data holding LOB values
// spills, and it holds no references).
void ParallelWalk::writeData(Result& r) {
  const std::string_view data = r.data.view();
  if (r.references.empty()) {
    writeInSlices(t_.data, data);
    return writeSpilled(t_.data, r.data,
                        "  Cannot read back the data spilled by a worker: the data file is incomplete!\n");
  }
  const uint64_t lobBase = t_.lob.sink->bytesWritten();
  char text[kLobReferenceMax];
  size_t at = 0;
  for (const LobReference& ref : r.references) {
    const size_t dataAt = static_cast<size_t>(ref.dataAt - r.dataStart);
    const uint64_t start = ref.start - r.lobStart;
    writeInSlices(t_.data, data.substr(at, dataAt - at));
    at = dataAt + formatLobReference(text, t_.lob.name, ref.start, ref.length);  // as the worker wrote it
    t_.data.write(text, formatLobReference(text, t_.lob.name, lobBase + start, ref.length));
  }
  writeInSlices(t_.data, data.substr(std::min(at, data.size())));
}

// The chunks after this one: about kParallelChunkBytes of what the
// blocks give (text and LOB bytes), by the bytes per block of the chunks
// committed so far, the last one weighing a quarter.
void ParallelWalk::resize(const Result& r) {
  const uint64_t blocks = uint64_t{r.chunk.last} - r.chunk.first + 1;
  const uint64_t perBlock = (r.data.length + r.data.spilled + r.lob.length + r.lob.spilled) / blocks;
  bytesPerBlock_ = bytesPerBlock_ ? (3 * bytesPerBlock_ + perBlock) / 4 : perBlock;
  const uint64_t fit = kParallelChunkBytes / std::max<uint64_t>(1, bytesPerBlock_);
  chunkBlocks_ = static_cast<uint32_t>(std::clamp<uint64_t>(fit, 1, mostChunkBlocks_));
}

// The bytes a chunk spilled past those it held in memory, mapped a window
// at a time and written on from the mapping (no copy to read them back).
void ParallelWalk::writeSpilled(Sink& out, ChunkBytes& c, const char* lostMessage) {
  if (!c.spilled) return;
  for (uint64_t at = 0; at < c.spilled;) {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(kSpillWindow, c.spilled - at));
    void* map = mmap(nullptr, n, PROT_READ, MAP_SHARED | MAP_POPULATE, c.spillFd, static_cast<off_t>(at));
    if (map == MAP_FAILED) {
      loseBytes(lostMessage);
      break;
    }
    madvise(map, n, MADV_SEQUENTIAL);
    writeInSlices(out, std::string_view(static_cast<const char*>(map), n));
    munmap(map, n);
    at += n;
  }
  if (ftruncate(c.spillFd, 0) != 0) t_.walk.console.noteError();
  c.spilled = 0;
}

// Bytes missing from the LOB or data file: said once per walk, and the
// unload fails (bytesLost).
void ParallelWalk::loseBytes(const char* message) {
  if (!bytesLost_) t_.walk.console.error("%s", message);
  bytesLost_ = true;
}

// The chunk's console lines; of the warnings about UNKNOWN values only as
// many per column as one thread prints (the worker began from the count
// committed when its chunk was queued, so it printed at least those).
void ParallelWalk::writeConsole(std::string_view text) {
  Sink& out = t_.walk.console;
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl == std::string_view::npos ? text.size() : nl + 1);
    text.remove_prefix(line.size());
    if (line.starts_with(kUnknownWarning)) {
      uint64_t column = 0;
      const std::string_view number = line.substr(sizeof kUnknownWarning - 1);
      std::from_chars(number.data(), number.data() + number.size(), column);
      if (column >= 1 && column <= kMaxSegmentColumns) {
        uint8_t& warned = t_.job.unknownWarnings[column - 1];
        if (warned >= kMaxUnknownWarnings) continue;
        warned++;
      }
    }
    out.write(line);
  }
}

}  // namespace bex
