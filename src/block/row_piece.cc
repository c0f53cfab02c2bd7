#include "block/row_piece.h"

namespace bex {

namespace {

// keyRowsAllowed: a member row's key row is parsed with it off, so a
// damaged key row that claims membership itself cannot recurse further.
void parsePiece(const BlockView& v, const DataHeader& h, uint32_t table, uint32_t row, ColumnList& out,
                bool keyRowsAllowed) {
  const uint16_t e = rowDirEntry(v, h, table, row);
  if (e == kFreeDirEntry) {
    out.flag = 0, out.head = {}, out.next = {};
    return;
  }
  parseRowPieceAt(v, h, h.hdsz + e, out, keyRowsAllowed);
}

}  // namespace

void parseClusterKeyRow(const BlockView& v, const DataHeader& h, uint32_t row, ColumnList& out) {
  parsePiece(v, h, 0, row, out, false);
}

void parseRowPiece(const BlockView& v, const DataHeader& h, uint32_t table, uint32_t row, ColumnList& out) {
  parsePiece(v, h, table, row, out, true);
}

void parseRowPiece(const BlockView& v, uint32_t table, uint32_t row, ColumnList& out) {
  parseRowPiece(v, readDataHeader(v), table, row, out);
}

}  // namespace bex
