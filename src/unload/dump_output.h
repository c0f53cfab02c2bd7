// The export-dump style of UNLOAD TABLE. Header and table start come right
// after the data file is opened, values through the dump's RowWriter while
// walking, the trailer last.
#pragma once
#include <cstdint>
#include <memory>

#include "base/sink.h"
#include "dict/dictionary.h"
#include "unload/output_format.h"
#include "unload/row_writer.h"
#include "unload/unload_job.h"

namespace bex {

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

// The VERBOSE from which the dump announces each LOB value it writes by
// the number of its row (which a worker of a parallel walk does not know).
inline constexpr uint32_t kVerboseLobRows = 3;

// The output of one dump: without a TO name the file is "bexdata.dmp".
std::unique_ptr<OutputFormat> makeDumpFormat(const OutputEnv& env, UnloadJob& job, const UnloadOptions& opts);
// The row writer of the dump (it writes LOB values into the rows and no row
// address: lob and rowAddress are not read).
std::unique_ptr<RowWriter> makeDumpRowWriter(BlockContext& bc, UnloadJob& job, Sink& data, LobFile& lob,
                                             Sink& console, bool rowAddress);

}  // namespace bex
