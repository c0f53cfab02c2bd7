// Index leaf blocks (type 0x06, transaction header typ 2), also holding the
// rows of index-organised tables. Index header at hdsz:
//
//   +0 kdxcolev  +1 kdxcolok  +2 kdxcoopc (0x10: IOT)  +3 kdxconco
//   +4 kdxcosdc  +8 kdxconro  +10 kdxcofbo  +12 kdxcofeo  +14 kdxcoavs
//   +16 kdxlespl  +18 kdxlende  +20 kdxlenxt  +24 kdxleprv  +28 kdxledsz
//   +32 kdxlebksz  +36 row directory (16-bit offsets relative to hdsz)
//
// Entry: flag, lock, kdxledsz data bytes, kdxconco key columns; when the
// flag has 0x04, an IOT row follows: flag, lock, cc, next address (MSB
// first) unless the row flag has L, then cc columns.
#pragma once
#include <cstdint>
#include <vector>

#include "forge/block_header.h"
#include "forge/expect.h"
#include "forge/row_piece.h"
#include "forge/trans_header.h"

namespace bex::forge {

inline constexpr uint8_t kEntryDeleted = 0x01, kEntryIotRow = 0x04;
inline constexpr uint8_t kOpcIot = 0x10;

struct IndexEntry {
  uint8_t flag = 0;  // kEntryIotRow is added for entries that carry an IOT row
  uint8_t lock = 0;
  Bytes data;        // kdxledsz bytes (a unique index keeps the rowid here)
  std::vector<Column> keys;
  bool iot = false;
  RowPiece row;      // IOT row: flag, lock, next, cols
  int32_t offset = -1;
};

struct IndexLeafSpec {
  BlockHeader hdr;
  TransHeader trans;
  uint8_t kdxcolok = 0;
  uint8_t kdxcoopc = 0x80;  // kOpcIot is added when any entry has an IOT row
  uint8_t kdxconco = 0;     // 0: the key count of the first entry
  uint32_t kdxcosdc = 0;
  uint16_t kdxlespl = 0;
  uint32_t next = 0, prev = 0;
  uint8_t kdxledsz = 0;
  std::vector<IndexEntry> entries;
};

// The 6-byte rowid kept in a unique index entry: rdba and slot, MSB first.
Bytes rowidData(uint32_t rdba, uint16_t slot);

ForgeBlock buildIndexLeaf(const IndexLeafSpec& s, uint32_t blockSize, ByteOrder order, Facts& facts);

}  // namespace bex::forge
