#include "base/unload_log.h"

#include "base/clock.h"

namespace bex {

void writeUnloadLogRecord(FILE* log, uint64_t rows, uint64_t rows2, uint64_t badBlocks, const char* fileName) {
  if (!log) return;
  LocalTime t = localNow();
  fprintf(log, "%04d-%02d-%02d %02d:%02d:%02d,%10llu,%10llu,%10llu, %s\n", t.year, t.month, t.day, t.hour, t.minute,
          t.second, static_cast<unsigned long long>(rows), static_cast<unsigned long long>(rows2),
          static_cast<unsigned long long>(badBlocks), fileName ? fileName : "");
  fflush(log);
}

}  // namespace bex
