// LOB columns in text output: the value goes to the LOB file and the data
// file gets a SQL*Loader LOB location reference "%s.%ld.%ld/" (LOB file
// name, offset of the value's first byte plus one, bytes written or -1).
#pragma once
#include <cstdint>

#include "base/block_context.h"
#include "base/limits.h"
#include "base/sink.h"
#include "dict/dictionary.h"
#include "lob/lob_sinks.h"
#include "value/column_type.h"

namespace bex {

// LOB file name of a data file: up to and including the last "." followed by
// "LOB", or the whole name followed by ".LOB" when it has no ".".
void lobFileName(const char* dataName, char* out, size_t outSize);

// The reference of a NULL (or unreadable) LOB: length -1, and the record
// tag in the LOB file.
void writeNullLobReference(Sink& data, LobFile& lob, const BlockContext& bc);

// Non-NULL LOB values of one unload that did not reach the output whole,
// per column position, for the warnings printed after the unload.
struct LobLossCounts {
  uint64_t count[kMaxSegmentColumns] = {0};

  void note(uint32_t pos) {
    if (pos < kMaxSegmentColumns) count[pos]++;
  }
  uint64_t total() const {
    uint64_t n = 0;
    for (uint64_t c : count) n += c;
    return n;
  }
  // One line for each column with losses, naming the column (its position
  // when it has no name).
  void warn(Sink& console, const TableColumns& cols) const;
};

}  // namespace bex
