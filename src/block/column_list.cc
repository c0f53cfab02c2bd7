#include "block/column_list.h"

namespace bex {

void rowFlagLetters(uint8_t flag, char out[8]) {
  static const char kLetters[] = "KCHDFLPN";
  for (int i = 0; i < 8; i++) out[i] = (flag & (0x80 >> i)) ? kLetters[i] : '-';
}

RowAddress readRowAddress(const BlockView& v, uint32_t p) { return RowAddress{v.be32(p), v.be16(p + 4)}; }

bool readColumns(const BlockView& v, uint32_t& p, uint32_t cc, ColumnList& out) {
  const uint32_t b = v.size;
  for (uint32_t i = 0; i < cc; i++) {
    if (p >= b) return out.cut = true, false;
    uint8_t len = v.data[p];
    if (len <= 0xFD) {
      if (p + 1 >= b) return out.cut = true, false;
      if (!out.add(p + 1, len)) return false;
      p += len + 1u;
    } else if (len == 0xFF) {
      if (!out.add(p, 0)) return false;
      p += 1;
    } else {
      if (p + 3 >= b) return out.cut = true, false;
      uint32_t n = v.u16(p + 1);
      if (n + p + 3 >= b) return out.cut = true, false;
      if (!out.add(p + 3, n)) return false;
      p += n + 3;
    }
  }
  return true;
}

void clampColumns(const BlockView& v, ColumnList& out) {
  const uint32_t limit = v.size >= 2 ? v.size - 2 : 0;
  for (uint32_t i = 0; i < out.count; i++) {
    ColumnRef& c = out.col[i];
    if (uint32_t{c.offset} + c.length > limit) c = ColumnRef{static_cast<uint16_t>(limit), 0}, out.cut = true;
  }
}

}  // namespace bex
