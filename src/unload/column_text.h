// One column value of a row in the text output: straight from the block
// buffer into the data sink, decoded by its type code.
#pragma once
#include <cstdint>

#include "base/block_context.h"
#include "base/sink.h"
#include "unload/lob_column.h"
#include "value/column_type.h"

namespace bex {

// A value is written only when it is not NULL (length 0) and ends at least
// four bytes before the block end (the block tail).
inline bool valueInBlock(uint32_t offset, uint32_t length, uint32_t blockSize) {
  return length != 0 && blockSize >= 4 && offset + length <= blockSize - 4;
}

// Writes the value at block[offset], length bytes. A NULL or out-of-block
// value writes nothing, except that a LOB column with a LOB file open gets
// the reference of a NULL LOB. LOB columns without a LOB file write nothing.
// False when a non-NULL LOB value did not reach the output whole (no LOB
// file, or it could not be recovered).
bool writeColumnText(Sink& data, LobFile& lob, BlockContext& bc, const uint8_t* block, uint32_t offset,
                     uint32_t length, const ColumnSpec& col);

// The same for a LOB column whose locator was gathered from the parts it
// was split into over row pieces: v, length bytes (0: NULL); rowRdba is the
// block of the part that begins it.
bool writeJoinedLobText(Sink& data, LobFile& lob, BlockContext& bc, const uint8_t* v, uint32_t length,
                        uint32_t rowRdba, const ColumnSpec& col);

}  // namespace bex
