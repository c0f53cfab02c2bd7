// The column list: what the row-piece parsers produce. Each entry is the
// offset of a value inside the block buffer and its length (0 = NULL);
// values are never copied.
#pragma once
#include <bit>
#include <cstdint>

#include "block/block_view.h"

namespace bex {

inline constexpr uint32_t kMaxColumns = 256;

// Row-piece flag bits, printed in this order as K C H D F L P N.
inline constexpr uint8_t kRowK = 0x80;  // cluster key row
inline constexpr uint8_t kRowC = 0x40;  // cluster member row
inline constexpr uint8_t kRowH = 0x20;  // head piece
inline constexpr uint8_t kRowD = 0x10;  // deleted
inline constexpr uint8_t kRowF = 0x08;  // first data piece
inline constexpr uint8_t kRowL = 0x04;  // last data piece
inline constexpr uint8_t kRowP = 0x02;  // first column continues the previous piece
inline constexpr uint8_t kRowN = 0x01;  // last column continues in the next piece

struct ColumnRef {
  uint16_t offset;
  uint16_t length;
};

// {offset, length} made in one register, to be stored at once.
inline ColumnRef columnRef(uint32_t offset, uint32_t length) {
  if constexpr (std::endian::native == std::endian::little)
    return std::bit_cast<ColumnRef>((offset & 0xFFFF) | (length << 16));
  else
    return ColumnRef{static_cast<uint16_t>(offset), static_cast<uint16_t>(length)};
}

// A row address inside a row header: 4-byte rdba and 2-byte slot, always
// most significant byte first.
struct RowAddress {
  uint32_t rdba = 0;
  uint16_t slot = 0;
  bool empty() const { return rdba == 0 && slot == 0; }
};
inline constexpr uint32_t kRowAddressSize = 6;

struct ColumnList {
  uint16_t count = 0;  // up to kMaxColumns (256 does not fit a byte)
  uint8_t flag = 0;    // the piece's flag byte
  bool cut = false;    // the piece runs past the block: a bound check ended the parse or emptied a column
  RowAddress head;     // 0 when absent
  RowAddress next;     // next piece, 0 when absent
  ColumnRef col[kMaxColumns];

  void clear() { count = 0, cut = false; }
  bool full() const { return count >= kMaxColumns; }
  // Appends {offset, length}; false (and nothing added) when full.
  bool add(uint32_t offset, uint32_t length) {
    if (full()) return false;
    col[count++] = ColumnRef{static_cast<uint16_t>(offset), static_cast<uint16_t>(length)};
    return true;
  }
};

// Writes the eight flag letters K C H D F L P N ('-' for a clear bit).
void rowFlagLetters(uint8_t flag, char out[8]);

// Shared by the parsers (block size B = v.size):
RowAddress readRowAddress(const BlockView& v, uint32_t p);

// Every entry that would run past B - 2 becomes {B - 2, 0} (out.cut).
inline uint32_t columnLimit(const BlockView& v) { return v.size >= 2 ? v.size - 2 : 0; }
// Appends {offset, length}, as {B - 2, 0} (out.cut) when it runs past B - 2;
// false (and nothing added) when the list is full.
inline bool addClamped(ColumnList& out, uint32_t offset, uint32_t length, uint32_t limit) {
  if (out.full()) return false;
  if (offset + length > limit) offset = limit, length = 0, out.cut = true;
  out.col[out.count++] = ColumnRef{static_cast<uint16_t>(offset), static_cast<uint16_t>(length)};
  return true;
}
// One column at p whatever its length byte, bound checks included; false
// when a bound check (out.cut) or a full list stopped the parse.
bool readColumn(const BlockView& v, uint32_t& p, ColumnList& out);

// Columns i, i + 1, ... up to cc from p while they are short values or
// NULLs lying well inside the block (B >= 2, room in the list for all):
// what readColumn would take for them, without its tests. Returns the
// first column it left.
inline uint32_t takeShortColumns(const BlockView& v, uint32_t& p, uint32_t i, uint32_t cc, ColumnList& out) {
  const uint8_t* const data = v.data;
  const uint32_t b = v.size, limit = b - 2;
  uint32_t at = p;
  if (at >= b) return i;
  // Each column taken ends at or before B - 1: the next length byte lies
  // inside the block.
  ColumnRef* col = out.col + out.count;
  ColumnRef* const end = col + (cc - i);
  while (col != end) {
    const uint32_t len = data[at];
    const uint32_t next = at + 1 + len;
    if (next <= limit && len <= 0xFD) [[likely]] {
      *col++ = columnRef(at + 1, len);
      at = next;
    } else if (len == 0xFF && at <= limit) {
      *col++ = columnRef(at, 0);
      at += 1;
    } else {
      break;
    }
  }
  out.count = static_cast<uint16_t>(col - out.col);
  i = cc - static_cast<uint32_t>(end - col);
  p = at;
  return i;
}

// cc columns in the column-length encoding from p (0x00-0xFD: that many
// bytes follow; 0xFE: a 16-bit length in BYTE_ORDER follows; 0xFF: NULL),
// each clamped as addClamped says. Advances p; false when a bound check
// (out.cut) or a full list stopped the parse.
inline bool readColumns(const BlockView& v, uint32_t& p, uint32_t cc, ColumnList& out) {
  const bool quick = v.size >= 2 && out.count + cc <= kMaxColumns;
  for (uint32_t i = 0; i < cc; i++) {
    if (quick && (i = takeShortColumns(v, p, i, cc, out)) == cc) break;
    if (!readColumn(v, p, out)) return false;
  }
  return true;
}
// Clamps every entry as addClamped does (for lists not filled through it).
void clampColumns(const BlockView& v, ColumnList& out);

}  // namespace bex
