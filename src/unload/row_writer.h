// How the rows found by the block walkers are written. The walkers decide
// which rows and which pieces; a RowWriter turns them into output: delimited
// text, export-dump values, or (guess mode) nothing but calls to the guesser.
#pragma once
#include <cstdint>

#include "block/block_view.h"
#include "block/column_list.h"

namespace bex {

// One row piece as the walker hands it over: its columns (offsets into the
// block buffer of v) and where they belong in the row.
struct PieceRef {
  const BlockView* v;
  const ColumnList* cols;
  uint32_t start;      // column position (0-based) of the piece's first column
  bool continues;      // the first column continues the previous piece's last one
  bool last;           // the row ends with this piece
  bool lastContinues;  // the last column goes on in the next piece
  uint32_t rdba;       // of the block holding the piece (messages)
  uint32_t table;
  uint32_t slot;
};

class RowWriter {
 public:
  virtual ~RowWriter() = default;
  // Called at the start of every row: the row address column
  // (rdba.table.slot), for the writers that write one.
  virtual void rowAddress(uint32_t rdba, uint32_t table, uint32_t slot) = 0;
  // The columns of one piece; when p.last the row is then complete.
  virtual void piece(const PieceRef& p) = 0;
  // A row that cannot be completed: positions from `reached` on are missing.
  virtual void endRowEarly(uint32_t reached) = 0;
};

}  // namespace bex
