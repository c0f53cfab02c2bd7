// The export-dump form of UNLOAD TABLE: what the engine asks of the dump
// writer. Header and table start come right after the data file is opened,
// values through the dump's RowWriter while walking, the trailer last.
#pragma once
#include <cstdint>
#include <memory>

#include "dict/dictionary.h"
#include "base/sink.h"
#include "unload/row_writer.h"
#include "unload/unload_job.h"

namespace bex {

struct RunContext;

// False while this build has no export-dump writer.
bool dumpOutputAvailable();

// Header, table line, CREATE TABLE, INSERT text and column descriptors.
void writeDumpPrologue(RunContext& rc, const UnloadJob& job, const UserRecord& user, const ObjectRecord& table,
                       uint32_t objd, Sink& data);
// End-of-data mark and trailer.
void writeDumpEpilogue(Sink& data);
// The row writer of the export-dump form.
std::unique_ptr<RowWriter> makeDumpRowWriter(RunContext& rc, UnloadJob& job, Sink& data);

}  // namespace bex
