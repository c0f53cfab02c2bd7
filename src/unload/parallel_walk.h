// The blocks of one object walked by several threads (THREADS above 1).
// The walk submits its runs as chunks of consecutive blocks; each worker
// walks a chunk with its own copy of the BlockContext (own block buffers,
// read-ahead window, counters, an empty read cache of its own), its own row
// writer, its own copy of the job's per-column counts, and writes into the
// chunk's buffers: data, console messages, damage, report events. The main
// thread commits the chunks in the order they were submitted, so that the
// data file, the messages and every count come out as one thread writes
// them. A chained row is followed from its head-piece block by the worker
// that walks that block, through its own cursor, wherever the chain goes.
//
// Without LOB values, the chunk whose turn it is (every chunk before it
// committed) writes its data to the data file itself, from a buffer that
// stays in the processor's cache; the main thread then only adds its
// counts.
//
// Memory: at most 2 x THREADS chunks are in flight; each holds the text its
// blocks gave (about the bytes of the chunk's blocks for typical rows), so
// the peak is about 2 x THREADS x that, plus a 1 MiB window, two 1 MiB
// sinks and a block buffer per worker. LOB values are held only to a bound
// per chunk (its LOB bytes, or the data of a dump, which holds them); the
// rest spills to a temporary file, however large a value is.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/block_context.h"
#include "base/huge_memory.h"
#include "base/ordered_workers.h"
#include "base/sink.h"
#include "unload/lob_column.h"
#include "unload/row_walk.h"
#include "unload/unload_job.h"

namespace bex {

// Blocks of one chunk by default: 4 MiB of them.
inline constexpr uint32_t kParallelChunkBytes = 4u << 20;
// The first chunks of a table with LOB columns: a row brings its values
// along, so that the chunks after them are sized by the bytes their blocks
// gave, about kParallelChunkBytes of text and LOB bytes each (at least one
// block): few enough to stay in memory, and the values of a table of few
// blocks spread over the workers too.
inline constexpr uint32_t kParallelLobChunkBlocks = 2;

// Makes the row writer of one worker, writing to its sinks.
using WorkerWriterMaker =
    std::function<std::unique_ptr<RowWriter>(BlockContext& bc, UnloadJob& job, Sink& data, LobFile& lob, Sink& console)>;

// Where the chunks are committed: the walk's console, data and LOB file,
// and the job whose counts they add to.
struct ParallelTarget {
  RowWalk& walk;  // the main walk: its BlockContext counters, console, damage
  UnloadJob& job;
  Sink& data;
  LobFile& lob;
};

// The bytes a worker wrote for one chunk (its sinks write them in place);
// LOB bytes past a bound go on in a spill file.
struct ChunkBytes {
  ChunkBytes() = default;
  ~ChunkBytes();
  ChunkBytes(const ChunkBytes&) = delete;
  ChunkBytes& operator=(const ChunkBytes&) = delete;

  // Chunk memory: whole huge pages where the system has them, so that
  // filling a fresh chunk costs a fault per 2 MiB, not per 4 KiB page.
  HugeMemory bytes;
  size_t size = 0;    // allocated
  size_t length = 0;  // written
  int spillFd = -1;   // the spill file, once needed
  uint64_t spilled = 0;  // bytes in it, after those in memory
  bool handedOn = false;  // the worker wrote the chunk's data to the data file itself
  std::string_view view() const { return {bytes.get(), length}; }
};

// A temporary file in dir (else in the system's temporary directory),
// already unlinked; -1 when none can be made.
int openSpillFile(const std::string& dir);

// Whether a walk writing LOB values to lob can be parallel: without a LOB
// file (the values go into the data itself, whose chunk bytes then spill
// past the same bound as LOB bytes do) below VERBOSE kVerboseLobRows, or
// with one, a style that writes references in place (OutputStyleSpec) and
// tags that no reference can hold.
bool lobsWalkInParallel(const LobFile& lob, bool referencesInPlace, const RowTags& tags, uint32_t verbose);

class ParallelWalk final : public ChunkQueue {
 public:
  // chunkBlocks 0: kParallelChunkBytes of blocks, or for LOB columns
  // (lobColumns) chunks sized by the bytes they give; lobMemory: the bytes
  // of a chunk's LOB values (or, without a LOB file, of its data) held in
  // memory, 0 for a share of 128 MiB among the chunks in flight, at least
  // 8 MiB; dataBuffer 0: a worker's data goes through a buffer as large as
  // the data file's.
  ParallelWalk(const ParallelTarget& target, const WorkerWriterMaker& makeWriter, uint32_t threads,
               uint32_t chunkBlocks, bool lobColumns = false, size_t lobMemory = 0, size_t dataBuffer = 0);
  ~ParallelWalk() override;  // commits what was submitted; the workers end
  ParallelWalk(const ParallelWalk&) = delete;
  ParallelWalk& operator=(const ParallelWalk&) = delete;

  // Every worker has its own LOB map and conversion descriptors open as
  // the main walk has (they need files, which may run out). When not, no
  // worker runs and nothing may be submitted: the walk is one thread's.
  bool ready() const { return ready_; }

  void submit(const WalkChunk& c) override;
  void drain() override;
  // Some bytes of a chunk did not reach the LOB or data file (a spill file
  // could not be made, written or read back): the unload did not succeed.
  bool bytesLost() const { return bytesLost_; }

 private:
  struct Worker;
  struct Result;

  void queue(const WalkChunk& c);
  void commit(uint64_t job, Result& r);
  void resize(const Result& r);
  void writeData(Result& r);
  void writeSpilled(Sink& out, ChunkBytes& c, const char* lostMessage);
  void writeConsole(std::string_view text);
  void loseBytes(const char* message);
  void walk(Worker& k, uint64_t number, Result& r);

  ParallelTarget t_;
  // The first chunk waits for a second: a walk of one chunk is walked
  // here, by the main walk, as one thread walks it (a worker would only
  // add the copy of its bytes).
  std::optional<WalkChunk> held_;
  bool queued_ = false;  // a chunk went to the workers
  uint32_t chunkBlocks_;
  uint32_t mostChunkBlocks_;  // kParallelChunkBytes of blocks
  bool sizedByBytes_;         // chunkBlocks_ follows the bytes per block
  uint64_t bytesPerBlock_ = 0;  // of the chunks committed, the recent ones weighing most
  bool bytesLost_ = false;
  bool ready_ = true;
  std::vector<std::unique_ptr<Worker>> workers_;
  // The number of the next chunk to commit: the chunk of that number may
  // write its data to the data file itself (ChunkSink).
  std::atomic<uint64_t> head_{0};
  OrderedWorkers<Result> chunks_;  // last: its threads end before the workers' state goes
};

}  // namespace bex
