// Compressed table blocks (data header flag 0x40): table 0 is the symbol
// table, table 1 the data rows. The compression header at hdsz + 14 is
//
//   +2 S (symbol rows with a 3-byte header)  +5 n  +6 m  (8 bytes in all)
//   then n 16-bit entries of the column-length array A, then m bytes,
//   padded to an even size.
//
// Entry bytes inside rows: 0-200 reference symbol row E; 201-249 a value of
// E-200 bytes; 250 a value with a 16-bit length (MSB first); 251 a reference
// with a 16-bit row number (MSB first); 255 NULL. In a data row, while fewer
// than R columns are gathered, 201-249 instead starts a run of E-200 columns
// stored back to back whose lengths come from A (cumulative ends; an entry
// with the top bit set ends a NULL column).
//
// Symbol row r: flag, lock, column count u (only when r < S, else u = 1),
// then entries. Data row: flag, lock, cc = number of entries, R (only when
// n != 0), head address if F is clear, next address if L is clear, entries.
#pragma once
#include <cstdint>
#include <vector>

#include "forge/block_header.h"
#include "forge/expect.h"
#include "forge/row_piece.h"
#include "forge/trans_header.h"

namespace bex::forge {

struct CEntry {
  enum Kind : uint8_t { Ref, LongRef, Value, Null, Run } kind = Value;
  uint16_t ref = 0;          // Ref, LongRef
  Bytes bytes;               // Value
  std::vector<Column> run;   // Run: the columns stored back to back
};
CEntry symRef(uint16_t row);
CEntry symLongRef(uint16_t row);
CEntry cval(const Bytes& b);
CEntry cval(std::string_view text);
CEntry cnull();
CEntry crun(std::vector<Column> cols);

struct SymbolRow {
  uint8_t flag = kRowHeadFirstLast;
  uint8_t lock = 0;
  std::vector<CEntry> entries;
};

struct CompressedRow {
  uint8_t flag = kRowHeadFirstLast;
  uint8_t lock = 0;
  uint8_t leading = 0;  // R: leading columns whose lengths come from A
  RowAddr head, next;
  std::vector<CEntry> entries;
  int32_t offset = -1;
};

struct CompressedBlockSpec {
  BlockHeader hdr;
  TransHeader trans;
  std::vector<SymbolRow> symbols;
  uint16_t fullHeaders = 0;        // S: symbol rows 0..S-1 carry a column count
  std::vector<uint16_t> lengths;   // A; empty means no R byte in data rows
  Bytes trailing;                  // the m bytes after A
  std::vector<CompressedRow> rows;
};

// A for a run of columns: A[0] = 0, then each column's cumulative end, with
// 0x8000 marking a NULL column.
std::vector<uint16_t> lengthArrayFor(const std::vector<Column>& cols);

ForgeBlock buildCompressedBlock(const CompressedBlockSpec& s, uint32_t blockSize, ByteOrder order,
                                Facts& facts);

}  // namespace bex::forge
