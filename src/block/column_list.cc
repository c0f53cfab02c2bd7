#include "block/column_list.h"

namespace bex {

void rowFlagLetters(uint8_t flag, char out[8]) {
  static const char kLetters[] = "KCHDFLPN";
  for (int i = 0; i < 8; i++) out[i] = (flag & (0x80 >> i)) ? kLetters[i] : '-';
}

RowAddress readRowAddress(const BlockView& v, uint32_t p) { return RowAddress{v.be32(p), v.be16(p + 4)}; }

bool readColumn(const BlockView& v, uint32_t& p, ColumnList& out) {
  const uint32_t b = v.size;
  const uint32_t limit = columnLimit(v);
  if (p >= b) return out.cut = true, false;
  const uint8_t len = v.data[p];
  if (len <= 0xFD) {
    if (p + 1 >= b) return out.cut = true, false;
    if (!addClamped(out, p + 1, len, limit)) return false;
    p += len + 1u;
  } else if (len == 0xFF) {
    if (!addClamped(out, p, 0, limit)) return false;
    p += 1;
  } else {
    if (p + 3 >= b) return out.cut = true, false;
    const uint32_t n = v.u16(p + 1);
    if (n + p + 3 >= b) return out.cut = true, false;
    if (!addClamped(out, p + 3, n, limit)) return false;
    p += n + 3;
  }
  return true;
}

void clampColumns(const BlockView& v, ColumnList& out) {
  const uint32_t limit = columnLimit(v);
  for (uint32_t i = 0; i < out.count; i++) {
    ColumnRef& c = out.col[i];
    if (uint32_t{c.offset} + c.length > limit) c = ColumnRef{static_cast<uint16_t>(limit), 0}, out.cut = true;
  }
}

}  // namespace bex
