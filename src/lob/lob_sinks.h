// The two places a LOB value goes.
//
// Text: the value's bytes are appended to the unload's LOB file and the
// data file gets the SQL*Loader LOB location reference "%s.%ld.%ld/" (LOB
// file name, offset of the value's first byte plus one, bytes written);
// the RECORD_TAG follows every value in the LOB file. Character LOBs are
// converted through ICONV_CLOB or ICONV_NCLOB.
//
// Export dump: the value is written into the row stream as pieces, each a
// 16-bit little-endian length and that many bytes (a piece of length 0 is
// the NULL marker 0xFFFE instead). An inline value is one piece (0xFFFE
// when it is empty, longer than 4000 bytes or converted to nothing); a
// value in blocks is 0xFFFD, one piece per block written (more when its
// bytes pass 65,532, the most a length can say), then 0x0000, or a single
// blank piece when no block gave a byte; a value with no chunks at all, an
// empty column and an invalid locator are 0xFFFE. Character LOBs pass
// through one LobConverter per value in both sinks, and a value with
// characters it replaced is not whole.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/block_context.h"
#include "base/limits.h"
#include "base/sink.h"
#include "value/column_type.h"

namespace bex {

// A reference as written: where in the data sink (its bytesWritten), the
// LOB sink's bytesWritten where the value starts, and its length (-1 for
// NULL).
struct LobReference {
  uint64_t dataAt;
  uint64_t start;
  int64_t length;
};

struct LobFile {
  Sink* sink = nullptr;              // nullptr: no LOB file is open
  char name[kFileNameMax + 5] = "";  // as written into every reference
  std::string_view recordTag;        // written after every value (the row writer's)
  // Every reference written is noted here too (nullptr: none is): a worker
  // of a parallel walk writes its LOB bytes to a sink of its own, and the
  // main thread writes its references again with the LOB file's offsets.
  std::vector<LobReference>* references = nullptr;
};

// The longest reference text: the name and two 64-bit numbers.
inline constexpr size_t kLobReferenceMax = sizeof LobFile::name + 48;
// The reference "%s.%ld.%ld/" of a value at start (from 0), length bytes
// (-1: NULL) into out; its length.
size_t formatLobReference(char* out, const char* name, uint64_t start, int64_t length);
// The reference to data, noted where lob.references asks.
void writeLobReference(Sink& data, LobFile& lob, uint64_t start, int64_t length);

// The value whose locator is the column value at block[pos], len bytes (in
// its block, len > 0): its bytes to the LOB file, its reference to the data
// file, then the record tag to the LOB file. False when something of the
// value was lost.
bool RecoverLobToText(Sink& data, LobFile& lob, BlockContext& bc, const uint8_t* block, uint16_t pos, uint16_t len,
                      const ColumnSpec& col);
// The same for a locator that is not in a block as a whole (its parts were
// split over row pieces): v, len bytes (len > 0); rowRdba is the block of the
// row piece holding its first part.
bool recoverLocatorToText(Sink& data, LobFile& lob, BlockContext& bc, const uint8_t* v, uint16_t len, uint32_t rowRdba,
                          const ColumnSpec& col);

// The value whose locator is v, len bytes (0: empty), into the dump's row
// stream. type 112 is character data, anything else binary; charsetForm 2
// selects the NCLOB conversion. False when something of the value was lost.
bool RecoverLobToDump(Sink& dump, BlockContext& bc, const uint8_t* v, uint16_t len, ColumnTypeCode type,
                      uint16_t charsetForm);

}  // namespace bex
