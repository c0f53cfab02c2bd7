// BlockContext: what every block reader, block decoder and row walker is
// handed. It carries the settings that block and row code reads, the current
// block buffer, the counters, and references to the registry, block lists,
// caches and conversions owned by the RunContext. A parallel scan worker or a
// block walker works on a copy with its own buffer and caches.
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

inline constexpr uint32_t kTagBufferSize = 128;
inline constexpr uint64_t kNoRowLimit = 1ull << 63;

enum ByteOrder : uint8_t { kLittleEndian = 0, kBigEndian = 1 };

// What the readers and walkers count for one unload.
struct BlockCounters {
  uint64_t RowCount = 0;
  uint64_t LobCount = 0;  // non-empty LOB values written (the LOB readers count them)
  uint64_t BadBlockCount = 0;
};

struct BlockContext {
  BlockContext() = default;
  BlockContext(const BlockContext&) = default;
  BlockContext& operator=(const BlockContext&) = default;
  // Never moved: a copy of a context about to end would count into it.
  BlockContext(BlockContext&&) = delete;
  BlockContext& operator=(BlockContext&&) = delete;

  uint8_t bigfile = 0;
  uint8_t byteOrder = kLittleEndian;
  uint8_t rowAddress = 0;
  uint8_t unloadFlag = 0;  // set by UNLOAD, cleared before every statement
  uint8_t guessColsize = 1;
  uint16_t fieldTagLen = 1;
  uint16_t recordTagLen = 2;
  uint16_t longTagLen = 0;
  char fieldTag[kTagBufferSize] = "|";
  char recordTag[kTagBufferSize] = "\r\n";
  char longTag[kTagBufferSize] = "";
  DataFileRegistry* registry = nullptr;
  uint16_t blockSize = kDefaultBlockSize;
  uint8_t* block = nullptr;  // current block buffer, blockSize bytes
  BlockList* corruptList = nullptr;
  BlockList* skipList = nullptr;
  ReadCache* cache = nullptr;     // primary cache (CACHE_SIZE)
  ReadCache* lobCache = nullptr;  // second cache, LOB reads
  uint16_t guessSize = 8192;
  uint16_t guessLimit = 10;
  uint16_t guessColpct = 30;
  uint16_t guessScore = 50;
  uint8_t guess = 0;  // reserved for table guessing: set while SAMPLE or SCAN TABLE drive the walkers
  uint8_t verbose = 0;
  uint16_t threads = 1;  // THREADS: workers of one UNLOAD or SCAN DATABASE
  // A worker thread's copy: the registry is shared, so its lookups leave
  // the registry's memo alone.
  uint8_t worker = 0;
  uint8_t blockCheck = 0;
  // Where the counts go: the context's own record, or in a copy made to read
  // other blocks (a walker's BlockCursor, the LOB reader's context) the
  // record of the context it was copied from, so that every count has one
  // owner. A copy that counts apart (a worker thread's) points it at its
  // own record.
  BlockCounters ownCounters;
  BlockCounters* counters = &ownCounters;
  uint64_t rowLimit = kNoRowLimit;
  uint32_t maxChains = kNoChainLimit;
  LobMap* lobMap = nullptr;
  LobReader* lobReader = nullptr;  // the run's LOB value reader (its own block buffer)
  uint16_t transOffset = 0;
  uint16_t transCount = 0;
  Conversions* conversions = nullptr;
  // What the readers and walkers count for the progress line and the
  // recovery report, and the block map a database scan fills; null where
  // nobody counts.
  Progress* progress = nullptr;
  ReportEntry* report = nullptr;
  BlockMap* blockMap = nullptr;
};

}  // namespace bex
