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
// Row `row` of table 0 as the key row of a cluster member: its own flags
// are not followed to a further key row.
void parseClusterKeyRow(const BlockView& v, const DataHeader& h, uint32_t row, ColumnList& out);

inline constexpr uint8_t kHeadAddressBits = 0xAF;  // with all of them 6 more bytes precede
inline constexpr uint8_t kClusterKeyBits = 0xAC;   // K, H, F, L: a cluster key row
inline constexpr uint32_t kClusterKeyExtra = 16;

// The same for the piece at block offset p, the place its directory entry
// gives (the caller has read and classified the entry). keyRowsAllowed: a
// member row's key row is parsed with it off, so a damaged key row that
// claims membership itself cannot recurse further.
inline void parseRowPieceAt(const BlockView& v, const DataHeader& h, uint32_t p, ColumnList& out,
                            bool keyRowsAllowed = true) {
  const uint32_t b = v.size;
  out.flag = 0, out.head = {}, out.next = {};
  if (p + 3 >= b) {
    out.cut = true;
    return;
  }
  const uint8_t flag = v.data[p];
  const uint8_t cc = v.data[p + 2];
  out.flag = flag;
  p += 3;
  if (flag & kRowC) {
    if (p + 1 >= b) {
      out.cut = true;
      return;
    }
    if (keyRowsAllowed) parseClusterKeyRow(v, h, v.data[p], out);
    out.flag = flag, out.head = {}, out.next = {};  // the member's own
    p += 1;
  }
  if ((flag & kHeadAddressBits) == kHeadAddressBits) p += kRowAddressSize;
  if ((flag & kClusterKeyBits) == kClusterKeyBits) {
    p += kClusterKeyExtra;
  } else {
    if ((flag & (kRowH | kRowF)) == kRowF) {
      out.head = readRowAddress(v, p);
      p += kRowAddressSize;
    }
    if (!(flag & kRowL)) {
      if (p + kRowAddressSize >= b) {
        out.cut = true;
        return;
      }
      out.next = readRowAddress(v, p);
      p += kRowAddressSize;
    }
  }
  readColumns(v, p, cc, out);
}

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
