#include "forge/data_layout.h"

#include <algorithm>

namespace bex::forge {

static uint16_t countRows(const DataHeaderSpec& d) {
  size_t n = 0;
  for (const auto& t : d.tables) n += t.size();
  return static_cast<uint16_t>(n);
}

// Places every piece and returns the offsets; the lowest used offset is fseo.
static DataLayout placePieces(ForgeBlock& b, uint32_t hdsz, const DataHeaderSpec& d) {
  DataLayout l;
  int64_t top = static_cast<int64_t>(b.size()) - kBlockTailSize - hdsz;
  int64_t lowest = top;
  for (const auto& table : d.tables) {
    l.offs.emplace_back();
    for (const PlacedPiece& p : table) {
      int64_t at = -1;
      if (!p.free) {
        if (p.offset >= 0) {
          at = p.offset;
        } else {
          top -= static_cast<int64_t>(p.bytes.size());
          at = top;
        }
        if (at < 0) b.markOverflow();
        else b.putBytes(static_cast<uint32_t>(hdsz + at), p.bytes);
        lowest = std::min(lowest, at);
      }
      l.offs.back().push_back(static_cast<int32_t>(at));
    }
  }
  l.fseo = static_cast<uint16_t>(std::max<int64_t>(lowest, 0));
  return l;
}

static uint16_t firstFree(const DataHeaderSpec& d) {
  uint16_t i = 0;
  for (const auto& t : d.tables)
    for (const PlacedPiece& p : t) {
      if (p.free) return i;
      ++i;
    }
  return kFreeSlot;
}

DataLayout layoutData(ForgeBlock& b, uint32_t hdsz, const DataHeaderSpec& d) {
  DataLayout l = placePieces(b, hdsz, d);
  l.nrow = countRows(d);
  const uint32_t tabdir = kDataHeaderSize + static_cast<uint32_t>(d.compression.size());
  const uint32_t rowdir = tabdir + 4 * static_cast<uint32_t>(d.tables.size());
  l.fsbo = static_cast<uint16_t>(rowdir + 2u * l.nrow);
  if (l.fsbo > l.fseo) b.markOverflow();  // directory runs into the rows
  const uint16_t avsp = d.avsp.value_or(static_cast<uint16_t>(l.fseo - std::min(l.fsbo, l.fseo)));
  b.put8(hdsz + 0, d.flag);
  b.put8(hdsz + 1, static_cast<uint8_t>(d.tables.size()));
  b.put16(hdsz + 2, l.nrow);
  b.put16(hdsz + 4, d.frre.value_or(firstFree(d)));
  b.put16(hdsz + 6, l.fsbo);
  b.put16(hdsz + 8, l.fseo);
  b.put16(hdsz + 10, avsp);
  b.put16(hdsz + 12, d.tosp.value_or(avsp));
  b.putBytes(hdsz + kDataHeaderSize, d.compression);
  uint32_t entry = 0;
  for (size_t t = 0; t < d.tables.size(); ++t) {
    b.put16(hdsz + tabdir + 4 * static_cast<uint32_t>(t), static_cast<uint16_t>(entry));
    b.put16(hdsz + tabdir + 4 * static_cast<uint32_t>(t) + 2, static_cast<uint16_t>(d.tables[t].size()));
    for (int32_t off : l.offs[t]) {
      b.put16(hdsz + rowdir + 2 * entry, off < 0 ? kFreeSlot : static_cast<uint16_t>(off));
      ++entry;
    }
  }
  return l;
}

}  // namespace bex::forge
