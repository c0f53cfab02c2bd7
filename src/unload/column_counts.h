// Values of one unload counted per column position, for the warnings
// printed after it: LOB values not recovered whole, values holding a tag
// of the text style, values holding NUL bytes.
#pragma once
#include <cstdint>

#include "base/sink.h"
#include "dict/dictionary.h"

namespace bex {

struct ColumnCounts {
  uint64_t count[kMaxSegmentColumns] = {0};

  void note(uint32_t pos) {
    if (pos < kMaxSegmentColumns) count[pos]++;
  }
  void add(const ColumnCounts& other) {
    for (uint32_t i = 0; i < kMaxSegmentColumns; i++) count[i] += other.count[i];
  }
  uint64_t total() const;
  bool any() const { return total() != 0; }
  // One line for each column with a count: "  Warning: N <what> column
  // NAME<after>", the column named by its position when it has no name.
  // With cause, a column that has a count there gets printf(why, that
  // count) after its name.
  void warn(Sink& console, const TableColumns& cols, const char* what, const char* after = "",
            const ColumnCounts* cause = nullptr, const char* why = "") const;
};

}  // namespace bex
