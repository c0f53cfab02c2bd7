// BlockContext: what every block reader, block decoder and row walker is
// handed. It is made of three parts: the settings that block and row code
// reads (ReadSettings), what it reads into and reports to (BlockBuffers: the
// current block buffer, the caches, and references to the registry, block
// lists, conversions and reporters owned by the RunContext), and the record
// its counts go to (BlockCounters, reached by pointer). A context is never
// copied whole: a cursor reads into a buffer of its own and counts into the
// record of the context it was made from; a worker thread's context is given
// its own buffers and counts into its own record.
#pragma once
#include <cstdint>

#include "base/limits.h"

namespace bex {

struct DataFileRegistry;
struct BlockList;
struct ReadCache;
struct Conversions;
struct LobMap;
class LobReader;
class Progress;
struct ReportEntry;
class BlockMap;

inline constexpr uint64_t kNoRowLimit = 1ull << 63;

enum ByteOrder : uint8_t { kLittleEndian = 0, kBigEndian = 1 };

// What the readers and walkers count for one unload.
struct BlockCounters {
  uint64_t RowCount = 0;
  uint64_t LobCount = 0;  // non-empty LOB values written (the LOB readers count them)
  uint64_t BadBlockCount = 0;
};

// The settings block and row code reads (SET and OPEN change them).
struct ReadSettings {
  uint8_t bigfile = 0;
  uint8_t byteOrder = kLittleEndian;
  uint8_t rowAddress = 0;
  uint8_t guessColsize = 1;
  uint16_t blockSize = kDefaultBlockSize;
  uint16_t guessSize = 8192;
  uint16_t guessLimit = 10;
  uint16_t guessColpct = 30;
  uint16_t guessScore = 50;
  uint8_t verbose = 0;
  uint8_t blockCheck = 0;
  uint16_t threads = 1;  // THREADS: workers of one UNLOAD or SCAN DATABASE
  uint16_t transOffset = 0;
  uint16_t transCount = 0;
  uint32_t maxChains = kNoChainLimit;
  uint64_t rowLimit = kNoRowLimit;
};

// What a context reads into and reports to: its own block buffer and
// caches, and the structures of the run it reads through. The progress
// line, the recovery report and the block map a database scan fills are
// null where nobody counts.
struct BlockBuffers {
  uint8_t* block = nullptr;  // current block buffer, blockSize bytes
  ReadCache* cache = nullptr;     // primary cache (CACHE_SIZE)
  ReadCache* lobCache = nullptr;  // second cache, LOB reads
  DataFileRegistry* registry = nullptr;
  BlockList* corruptList = nullptr;
  BlockList* skipList = nullptr;
  LobMap* lobMap = nullptr;
  LobReader* lobReader = nullptr;  // the run's LOB value reader (its own block buffer)
  Conversions* conversions = nullptr;
  Progress* progress = nullptr;
  ReportEntry* report = nullptr;
  BlockMap* blockMap = nullptr;
};

struct BlockContext : ReadSettings, BlockBuffers {
  BlockContext() = default;
  // A cursor of from: its settings and buffers, reading into buffer; what
  // it counts goes to from's record (a walker's BlockCursor, the LOB
  // reader's context).
  BlockContext(const BlockContext& from, uint8_t* buffer)
      : ReadSettings(from), BlockBuffers(from), worker(from.worker), counters(from.counters) {
    block = buffer;
  }
  // A worker thread's context: from's settings, the buffers given (its own
  // block buffer and caches, or none where it reads through a reader of its
  // own), counting into its own record; it starts no workers itself.
  BlockContext(const BlockContext& from, const BlockBuffers& own)
      : ReadSettings(from), BlockBuffers(own), worker(1) {
    threads = 1;
  }
  // Never copied whole or moved: a copy would count into the record of the
  // context it was copied from, or into one about to end.
  BlockContext(const BlockContext&) = delete;
  BlockContext& operator=(const BlockContext&) = delete;

  // A worker thread's copy: the registry is shared, so its lookups leave
  // the registry's memo alone.
  uint8_t worker = 0;
  // Where the counts go: the context's own record, or in a cursor the
  // record of the context it was made from, so that every count has one
  // owner.
  BlockCounters ownCounters;
  BlockCounters* counters = &ownCounters;
};

}  // namespace bex
