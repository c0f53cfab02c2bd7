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

// The parts of the file, for the prologue and epilogue below and for tests.
// charset and nlsCharset are Oracle character-set ids; the dump declares
// charset as the character set of every value (values are copied as stored).
void writeDumpHeader(Sink& out, uint16_t charset, uint16_t nlsCharset, const char* userName);
// createText: the single-line CREATE TABLE text (without line end).
void writeDumpTableStart(Sink& out, const char* target, const char* createText, const TableColumns& cols,
                         bool uniqueName, uint32_t objd, uint16_t charset);
// One value of a row: NULL when len is 0, else a 16-bit length and the
// bytes. A value longer than a length can say is written as NULL.
void writeDumpValue(Sink& out, const uint8_t* bytes, uint32_t len);
void writeDumpTrailer(Sink& out);

// Header, table line, CREATE TABLE, INSERT text and column descriptors.
void writeDumpPrologue(RunContext& rc, const UnloadJob& job, const UserRecord& user, const ObjectRecord& table,
                       uint32_t objd, Sink& data);
// End-of-data mark and trailer.
void writeDumpEpilogue(Sink& data);
// The row writer of the export-dump form.
std::unique_ptr<RowWriter> makeDumpRowWriter(BlockContext& bc, UnloadJob& job, Sink& data, Sink& console);

}  // namespace bex
