// The unload log opened by LOG: one record per unloaded table.
#pragma once
#include <cstdint>
#include <cstdio>

namespace bex {

inline constexpr uint64_t kUnknownTableBadCount = 9999999999ull;

// "%04d-%02d-%02d %02d:%02d:%02d,%10llu,%10llu,%10llu, %s\n" with the local
// time, RowCount, the second counter, BadBlockCount and the output file name
// (nullptr counts as empty); flushed at once. Does nothing without a log.
void writeUnloadLogRecord(FILE* log, uint64_t rows, uint64_t rows2, uint64_t badBlocks, const char* fileName);

}  // namespace bex
