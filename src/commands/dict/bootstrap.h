// UNLOAD TABLE DICT$: the rows of the core dictionary tables, read straight
// from the blocks of every open data file, written as the dictionary files
// in the run's dictionary directory.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/sink.h"
#include "value/column_type.h"

namespace bex {

struct RunContext;

// UNLOAD TABLE DICT$: unloads the core dictionary tables into the run's
// dictionary directory.
// The overrides are the OBJECT and CLUSTER options (0 when absent).
void bootstrapDictionary(RunContext& rc, uint32_t objectOverride, uint32_t clusterOverride);

// Writes the rows of table `table` of every table block of data object
// objd in every open file to out: the columns whose code is not SKIP,
// separated by "," and ended by "\n".
void unloadDictTable(RunContext& rc, Sink& out, uint32_t objd, uint32_t table, const ColumnTypeCode* types,
                     size_t count);

}  // namespace bex
