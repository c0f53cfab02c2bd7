#include "unload/column_counts.h"

namespace bex {

uint64_t ColumnCounts::total() const {
  uint64_t n = 0;
  for (uint64_t c : count) n += c;
  return n;
}

void ColumnCounts::warn(Sink& console, const TableColumns& cols, const char* what, const char* after,
                        const ColumnCounts* cause, const char* why) const {
  for (uint32_t pos = 0; pos < kMaxSegmentColumns; pos++) {
    if (count[pos] == 0) continue;
    console.printf("  Warning: %llu %s column ", static_cast<unsigned long long>(count[pos]), what);
    if (cols.desc[pos].name[0])
      console.write(cols.desc[pos].name);
    else
      console.printf("%u", pos + 1);
    if (cause && cause->count[pos]) console.printf(why, static_cast<unsigned long long>(cause->count[pos]));
    console.printf("%s\n", after);
  }
}

}  // namespace bex
