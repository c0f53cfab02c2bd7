// The row parsers of table and index blocks. They work on any block buffer
// (block bytes, size, byte order), fill a ColumnList with offsets into it
// and never read outside it: each bound check ends the parse with the
// columns gathered so far. The caller clears the list; a cluster member's
// parse appends its key columns first.
#pragma once
#include <cstdint>

#include "block/block_view.h"
#include "block/column_list.h"
#include "block/data_block.h"

namespace bex {

// Uncompressed row piece: flag, lock, cc, [cluster key row number],
// [head address | cluster key extra bytes], [next-piece address], columns.
void parseRowPiece(const BlockView& v, const DataHeader& h, uint32_t table, uint32_t row, ColumnList& out);
void parseRowPiece(const BlockView& v, uint32_t table, uint32_t row, ColumnList& out);
// The same for the piece at block offset p, the place its directory entry
// gives (the caller has read and classified the entry).
void parseRowPieceAt(const BlockView& v, const DataHeader& h, uint32_t p, ColumnList& out);

// Row of a compressed block (data header flag 0x40): table 0 holds the
// symbol rows, the data rows refer to them.
void parseCompressedRow(const BlockView& v, const DataHeader& h, uint32_t table, uint32_t row, ColumnList& out);
void parseCompressedRow(const BlockView& v, uint32_t table, uint32_t row, ColumnList& out);

// Entry of an index leaf block: flag, lock, kdxledsz bytes of entry data,
// kdxconco key columns, and for an index-organised row (entry flag 0x04)
// the row part: flag, lock, cc, [next-piece address], columns. The list's
// flag is the row part's flag when there is one, else the entry's.
void parseIndexEntry(const BlockView& v, uint32_t entry, ColumnList& out);

}  // namespace bex
