#include "block/row_piece.h"

namespace bex {

namespace {

inline constexpr uint8_t kHeadAddressBits = 0xAF;  // with all of them 6 more bytes precede
inline constexpr uint8_t kClusterKeyBits = 0xAC;   // K, H, F, L: a cluster key row
inline constexpr uint32_t kClusterKeyExtra = 16;

// keyRowsAllowed: a member row's key row is parsed with it off, so a
// damaged key row that claims membership itself cannot recurse further.
void parsePiece(const BlockView& v, const DataHeader& h, uint32_t table, uint32_t row, ColumnList& out,
                bool keyRowsAllowed);

// The piece at block offset p.
void parsePieceAt(const BlockView& v, const DataHeader& h, uint32_t p, ColumnList& out, bool keyRowsAllowed) {
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
    if (keyRowsAllowed) parsePiece(v, h, 0, v.data[p], out, false);
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

void parsePiece(const BlockView& v, const DataHeader& h, uint32_t table, uint32_t row, ColumnList& out,
                bool keyRowsAllowed) {
  const uint16_t e = rowDirEntry(v, h, table, row);
  if (e == kFreeDirEntry) {
    out.flag = 0, out.head = {}, out.next = {};
    return;
  }
  parsePieceAt(v, h, h.hdsz + e, out, keyRowsAllowed);
}

}  // namespace

void parseRowPiece(const BlockView& v, const DataHeader& h, uint32_t table, uint32_t row, ColumnList& out) {
  parsePiece(v, h, table, row, out, true);
}

void parseRowPieceAt(const BlockView& v, const DataHeader& h, uint32_t p, ColumnList& out) {
  parsePieceAt(v, h, p, out, true);
}

void parseRowPiece(const BlockView& v, uint32_t table, uint32_t row, ColumnList& out) {
  parseRowPiece(v, readDataHeader(v), table, row, out);
}

}  // namespace bex
