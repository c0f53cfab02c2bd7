// Rows of compressed blocks. Entry bytes E:
//   0-200    reference to symbol row E (its columns are appended)
//   201-249  inline value of E - 200 bytes (or a run from the length array)
//   250      inline value, 16-bit length (most significant byte first)
//   251      reference to the symbol row whose 16-bit number follows
//   252-255  NULL
#include "block/row_piece.h"

namespace bex {

namespace {

inline constexpr uint8_t kMaxRef = 200;
inline constexpr uint8_t kMaxInline = 249;
inline constexpr uint8_t kLongInline = 250;
inline constexpr uint8_t kLongRef = 251;
inline constexpr uint8_t kInlineBias = 200;
inline constexpr uint16_t kLengthFlag = 0x8000;
// Symbol rows may refer to symbol rows: damaged blocks must not recurse
// without end nor multiply the work, so depth and visits are bounded.
inline constexpr uint32_t kMaxSymbolDepth = 16;
inline constexpr uint32_t kMaxEntryVisits = 65536;

struct Parse {
  const BlockView& v;
  const DataHeader& h;
  ColumnList& out;
  uint32_t visits = 0;

  bool spent() { return out.full() || ++visits > kMaxEntryVisits; }
  uint32_t rowStart(uint32_t r) const {
    uint16_t e = rowDirEntry(v, h, 0, r);
    return e == kFreeDirEntry ? v.size : h.hdsz + e;
  }
  // Columns a reference to symbol row w counts for.
  uint32_t referenceWidth(uint32_t w) const {
    if (w >= h.symbolRows) return 1;
    uint32_t p = rowStart(w);
    return p + 2 < v.size ? v.data[p + 2] : 1;
  }
  // A bound check at the block's end stops the parse: the row runs past it.
  bool cutShort() {
    out.cut = true;
    return false;
  }
  void appendSymbolRow(uint32_t r, uint32_t depth);
  bool readValue(uint32_t& p);
  bool readRun(uint32_t& p, uint32_t n);
  void parseDataRow(uint32_t table, uint32_t row);
};

void Parse::appendSymbolRow(uint32_t r, uint32_t depth) {
  const uint32_t b = v.size;
  if (depth > kMaxSymbolDepth) return;
  uint32_t p = rowStart(r);
  uint32_t u = 1;
  if (p >= b) return;  // a free entry: no such symbol row
  if (r < h.symbolRows) {
    if (p + 3 > b) return void(cutShort());
    u = v.data[p + 2];
    p += 3;
  } else {
    if (p + 2 > b) return void(cutShort());
    p += 2;
  }
  for (uint32_t counted = 0; counted < u;) {
    if (p >= b) return void(cutShort());
    if (spent()) return;
    uint8_t e = v.data[p];
    if (e <= kMaxRef) {
      appendSymbolRow(e, depth + 1);
      counted += referenceWidth(e);
      p += 1;
    } else if (e == kLongRef) {
      if (p + 3 > b) return void(cutShort());
      appendSymbolRow(v.be16(p + 1), depth + 1);
      counted++;
      p += 3;
    } else {
      if (!readValue(p)) return;
      counted++;
    }
  }
}

// An entry that holds a value: inline, long inline or NULL. Adds it and
// advances p; false when a bound check ends the parse.
bool Parse::readValue(uint32_t& p) {
  const uint32_t b = v.size;
  const uint8_t e = v.data[p];
  if (e <= kMaxInline) {
    if (p + 1 >= b) return cutShort();
    out.add(p + 1, e - kInlineBias);
    p += 1 + e - kInlineBias;
  } else if (e == kLongInline) {
    if (p + 3 >= b) return cutShort();
    out.add(p + 3, v.be16(p + 1));
    p += 3 + v.be16(p + 1);
  } else {
    out.add(p, 0);
    p += 1;
  }
  return true;
}

// n columns back to back from p, their lengths from the column-length
// array (cumulative end positions; entries with the top bit set do not
// start a column).
bool Parse::readRun(uint32_t& p, uint32_t n) {
  const uint32_t k = out.count;
  if (k >= h.lengthCount) return false;
  uint16_t start = lengthArrayEntry(v, h, k);
  if (start & kLengthFlag) {
    start = 0;
    for (uint32_t l = k; l-- > 0;) {
      uint16_t a = lengthArrayEntry(v, h, l);
      if (!(a & kLengthFlag)) {
        start = a;
        break;
      }
    }
  }
  for (uint32_t c = k; c < k + n; c++) {
    if (p >= v.size) return cutShort();
    if (c + 1 >= h.lengthCount) return false;
    uint16_t len = static_cast<uint16_t>(lengthArrayEntry(v, h, c + 1) - start);
    if (len & kLengthFlag) len = 0;
    if (!out.add(p, len)) return false;
    p += len;
    start = static_cast<uint16_t>(start + len);
  }
  return true;
}

void Parse::parseDataRow(uint32_t table, uint32_t row) {
  const uint32_t b = v.size;
  uint16_t e = rowDirEntry(v, h, table, row);
  if (e == kFreeDirEntry) return;
  uint32_t p = h.hdsz + e;
  const uint32_t header = h.lengthCount ? 4 : 3;
  if (p + header >= b) return void(cutShort());
  const uint8_t flag = v.data[p];
  const uint8_t cc = v.data[p + 2];
  const uint32_t runColumns = h.lengthCount ? v.data[p + 3] : 0;  // R
  out.flag = flag;
  p += header;
  if (!(flag & kRowF)) {
    out.head = readRowAddress(v, p);
    p += kRowAddressSize;
  }
  if (!(flag & kRowL)) {
    if (p + kRowAddressSize >= b) return void(cutShort());
    out.next = readRowAddress(v, p);
    p += kRowAddressSize;
  }
  for (uint32_t i = 0; i < cc; i++) {
    if (p >= b) return void(cutShort());
    if (spent()) return;
    uint8_t x = v.data[p];
    if (x <= kMaxRef) {
      appendSymbolRow(x, 1);
      p += 1;
    } else if (x == kLongRef) {
      if (p + 3 > b) return void(cutShort());
      appendSymbolRow(v.be16(p + 1), 1);
      p += 3;
    } else if (x <= kMaxInline && out.count < runColumns) {
      p += 1;
      if (!readRun(p, x - kInlineBias)) return;
    } else if (!readValue(p)) {
      return;
    }
  }
}

}  // namespace

void parseCompressedRow(const BlockView& v, const DataHeader& h, uint32_t table, uint32_t row, ColumnList& out) {
  out.flag = 0, out.head = {}, out.next = {};
  Parse parse{v, h, out};
  if (table == 0) {
    uint32_t p = parse.rowStart(row);
    if (p < v.size) out.flag = v.data[p];
    parse.appendSymbolRow(row, 0);
  } else {
    parse.parseDataRow(table, row);
  }
  clampColumns(v, out);
}

void parseCompressedRow(const BlockView& v, uint32_t table, uint32_t row, ColumnList& out) {
  parseCompressedRow(v, readDataHeader(v), table, row, out);
}

}  // namespace bex
