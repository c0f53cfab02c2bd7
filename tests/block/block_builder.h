// Small in-test block writers: a byte buffer with field writers in either
// byte order, row byte strings, and a table-block layout that places rows
// from the end of the block the way the database does.
#pragma once
#include <cstdint>
#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "block/block_view.h"

namespace bex::testing {

using Bytes = std::vector<uint8_t>;

inline void put16(uint8_t* p, uint16_t v, uint8_t order) {
  p[order ? 0 : 1] = static_cast<uint8_t>(v >> 8);
  p[order ? 1 : 0] = static_cast<uint8_t>(v);
}
inline void put32(uint8_t* p, uint32_t v, uint8_t order) {
  for (int i = 0; i < 4; i++) p[order ? 3 - i : i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void swap16(uint8_t* p) { std::swap(p[0], p[1]); }
inline void swap32(uint8_t* p) { std::swap(p[0], p[3]), std::swap(p[1], p[2]); }

// Sets the checksum field so that all 16-bit words XOR to zero.
inline void seal(Bytes& b) {
  b[16] = b[17] = 0;
  uint8_t x0 = 0, x1 = 0;
  for (size_t i = 0; i + 1 < b.size(); i += 2) x0 ^= b[i], x1 ^= b[i + 1];
  b[16] = x0, b[17] = x1;
}

inline BlockView viewOf(const Bytes& b, uint8_t order) {
  return BlockView{b.data(), static_cast<uint32_t>(b.size()), order};
}

// Row bytes: header fields, row addresses (always most significant byte
// first) and columns in the column-length encoding of the given order.
struct RowWriter {
  uint8_t order = 0;
  Bytes b;
  explicit RowWriter(uint8_t o) : order(o) {}
  RowWriter& byte(uint8_t v) { return b.push_back(v), *this; }
  RowWriter& header(uint8_t flag, uint8_t lock, uint8_t cc) { return byte(flag).byte(lock).byte(cc); }
  RowWriter& addr(uint32_t rdba, uint16_t slot) {
    for (int i = 3; i >= 0; i--) byte(static_cast<uint8_t>(rdba >> (8 * i)));
    return byte(static_cast<uint8_t>(slot >> 8)).byte(static_cast<uint8_t>(slot));
  }
  RowWriter& zeros(size_t n) { return b.insert(b.end(), n, 0), *this; }
  RowWriter& raw(const Bytes& v) { return b.insert(b.end(), v.begin(), v.end()), *this; }
  RowWriter& col(const std::string& v) {
    if (v.size() <= 0xFD) {
      byte(static_cast<uint8_t>(v.size()));
    } else {
      uint8_t n[2];
      put16(n, static_cast<uint16_t>(v.size()), order);
      byte(0xFE).byte(n[0]).byte(n[1]);
    }
    return b.insert(b.end(), v.begin(), v.end()), *this;
  }
  RowWriter& null() { return byte(0xFF); }
};

// A block of type 0x06 with a transaction header, an ITL list of itc
// zeroed entries and FLG, plus writers for the parts after hdsz.
struct TransBlock {
  Bytes b;
  uint8_t order;
  uint32_t hdsz;

  TransBlock(uint32_t size, uint8_t o, uint8_t typ, uint8_t itc = 2, uint8_t flg = 0, uint32_t objd = 0x12345,
             uint32_t rdba = (5u << 22) | 16)
      : b(size, 0), order(o) {
    b[0] = 0x06, b[1] = 0xA2, b[14] = 1;
    put32(&b[4], rdba, order);
    b[20] = typ;
    put32(&b[24], objd, order);
    put16(&b[36], itc, order);
    b[38] = flg;
    hdsz = 44 + 24u * itc + (flg == 0x32 ? 8 : 0);
  }
  void u8(uint32_t off, uint8_t v) { b[off] = v; }
  void u16(uint32_t off, uint16_t v) { put16(&b[off], v, order); }
  void u32(uint32_t off, uint32_t v) { put32(&b[off], v, order); }
  void bytes(uint32_t off, const Bytes& v) { std::copy(v.begin(), v.end(), b.begin() + off); }
  BlockView view() const { return viewOf(b, order); }
};

// Lays out a table block: data header, optional compression header, table
// directory and row directory; the rows of all tables are placed from the
// end of the block (before the 4-byte tail) downwards. An empty row makes
// a free directory entry (0xFFFF).
inline void layoutTables(TransBlock& blk, const std::vector<std::vector<Bytes>>& tables, uint8_t flag = 0,
                         const Bytes& compression = {}) {
  const uint32_t h = blk.hdsz;
  uint32_t nrow = 0;
  for (const auto& t : tables) nrow += static_cast<uint32_t>(t.size());
  blk.u8(h, flag);
  blk.u8(h + 1, static_cast<uint8_t>(tables.size()));
  blk.u16(h + 2, static_cast<uint16_t>(nrow));
  blk.u16(h + 4, 0xFFFF);
  blk.bytes(h + 14, compression);
  uint32_t c = static_cast<uint32_t>(compression.size());
  uint32_t tableDir = h + 14 + c + (c & 1);
  uint32_t rowDir = tableDir + 4 * static_cast<uint32_t>(tables.size());
  uint32_t pos = static_cast<uint32_t>(blk.b.size()) - 4;
  uint32_t index = 0;
  for (size_t t = 0; t < tables.size(); t++) {
    blk.u16(tableDir + 4 * static_cast<uint32_t>(t), static_cast<uint16_t>(index));
    blk.u16(tableDir + 4 * static_cast<uint32_t>(t) + 2, static_cast<uint16_t>(tables[t].size()));
    for (const Bytes& row : tables[t]) {
      if (row.empty()) {
        blk.u16(rowDir + 2 * index++, 0xFFFF);
        continue;
      }
      pos -= static_cast<uint32_t>(row.size());
      blk.bytes(pos, row);
      blk.u16(rowDir + 2 * index++, static_cast<uint16_t>(pos - h));
    }
  }
  blk.u16(h + 6, static_cast<uint16_t>(rowDir + 2 * nrow - h));  // fsbo
  blk.u16(h + 8, static_cast<uint16_t>(pos - h));                 // fseo
}

inline std::string realDataDir() { return BEX_REALDATA_DIR; }

inline bool readFile(const std::string& path, Bytes& out) {
  std::ifstream f(path, std::ios::binary);
  if (!f) return false;
  out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
  return true;
}

}  // namespace bex::testing
