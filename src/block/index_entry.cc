#include "block/index_block.h"
#include "block/row_piece.h"

namespace bex {

void parseIndexEntry(const BlockView& v, uint32_t entry, ColumnList& out) {
  const uint32_t b = v.size;
  out.flag = 0, out.head = {}, out.next = {};
  const IndexHeader ih = readIndexHeader(v);
  if (entry >= ih.kdxconro) return;
  uint16_t e = indexRowDirEntry(v, ih, entry);
  uint32_t p = ih.hdsz + e;
  if (e == kFreeDirEntry) return;
  if (p >= b) {
    out.cut = true;
    return;
  }
  const uint8_t flag = v.data[p];
  out.flag = flag;
  p += 2 + ih.kdxledsz;  // flag, lock, entry data
  if (p >= b) out.cut = true;
  if (p < b && readColumns(v, p, ih.kdxconco, out) && (flag & kRowL)) {
    if (p + 2 >= b) {
      out.cut = true;
    } else {
      const uint8_t rowFlag = v.data[p];
      const uint8_t cc = v.data[p + 2];
      out.flag = rowFlag;
      p += 3;
      // Only a piece that goes on carries the next-piece address; the last
      // piece may end right before the block tail.
      if (rowFlag & kRowL) {
        readColumns(v, p, cc, out);
      } else if (p + kRowAddressSize < b) {
        out.next = readRowAddress(v, p);
        p += kRowAddressSize;
        readColumns(v, p, cc, out);
      } else {
        out.cut = true;
      }
    }
  }
}

}  // namespace bex
