// Block type 0x06 after the common header: the transaction header with its
// ITL list, and for table blocks the data header, the optional compression
// header, the table directory and the row directory.
//
// Transaction header:
//   20 typ (1 DATA, 2 INDEX)   24 seg/obj   28 csc base   32 csc wrap
//   36 itc (low-order byte)    38 FLG       39 fls        40 nxt (rdba)
//   44 ITL list, 24 bytes per entry
// hdsz = 44 + 24 * itc, + 8 when FLG is 0x32. Every offset in the data
// header, table directory and row directory is relative to hdsz.
#pragma once
#include <cstdint>

#include "block/block_view.h"

namespace bex {

inline constexpr uint32_t kTxnSegObjOffset = 24;
inline constexpr uint32_t kItlOffset = 44;
inline constexpr uint32_t kItlEntrySize = 24;
inline constexpr uint8_t kFlgExtended = 0x32;  // 8 more bytes follow the ITL list
inline constexpr uint32_t kFlgExtendedBytes = 8;
inline constexpr uint8_t kTypData = 1;
inline constexpr uint8_t kTypIndex = 2;
inline constexpr uint16_t kFreeDirEntry = 0xFFFF;
inline constexpr uint8_t kDataFlagCompressed = 0x40;
inline constexpr uint32_t kDataHeaderSize = 14;
inline constexpr uint32_t kCompressionFixedSize = 8;

inline uint8_t txnTyp(const BlockView& v) { return v.u8(20); }
inline uint32_t txnSegObj(const BlockView& v) { return v.u32(kTxnSegObjOffset); }
inline uint32_t txnCscBase(const BlockView& v) { return v.u32(28); }
inline uint16_t txnCscWrap(const BlockView& v) { return v.u16(32); }
// Only the low-order byte of the 16-bit field counts: at most 255 entries.
inline uint8_t txnItc(const BlockView& v) { return static_cast<uint8_t>(v.u16(36)); }
inline uint8_t txnFlg(const BlockView& v) { return v.u8(38); }
inline uint8_t txnFls(const BlockView& v) { return v.u8(39); }
inline uint32_t txnNxt(const BlockView& v) { return v.u32(40); }
uint32_t hdsz(const BlockView& v);

// One interested-transaction-list entry.
struct ItlEntry {
  uint16_t usn;
  uint16_t slot;
  uint32_t wrap;
  uint32_t ubaRdba;
  uint16_t ubaSeq;
  uint8_t ubaRec;
  uint16_t flagLock;  // flags C B U T in bits 12-15, rows locked in 0-11
  uint16_t fscWrap;
  uint32_t scnBase;
};
inline constexpr uint16_t kItlFlagC = 0x8000;
inline constexpr uint16_t kItlFlagB = 0x4000;
inline constexpr uint16_t kItlFlagU = 0x2000;
inline constexpr uint16_t kItlFlagT = 0x1000;

// Entry i (from 0), read from byte 44 + 24 * i.
ItlEntry readItl(const BlockView& v, uint32_t i);
// Only the flag and lock word of entry i (the row walk's commit test).
inline constexpr uint32_t kItlFlagLockOffset = 16;
inline uint16_t itlFlagLock(const BlockView& v, uint32_t i) {
  return v.u16(kItlOffset + kItlEntrySize * i + kItlFlagLockOffset);
}

// The data header at hdsz and where the directories lie. Offsets are from
// the start of the block.
struct DataHeader {
  uint32_t hdsz;
  uint8_t flag;  // kDataFlagCompressed: a compression header follows
  uint8_t ntab;
  uint16_t nrow;
  uint16_t frre;
  uint16_t fsbo;
  uint16_t fseo;
  uint16_t avsp;
  uint16_t tosp;
  // Compression header (flag 0x40), else all 0.
  uint16_t symbolRows;   // S: symbol rows with a full 3-byte header
  uint8_t lengthCount;   // n: entries of the column-length array
  uint8_t trailerBytes;  // m
  uint32_t lengthArray;  // offset of the column-length array
  uint32_t compressionSize;
  uint32_t tableDir;  // 4 bytes per table: first row-directory index, row count
  uint32_t rowDir;    // 2 bytes per entry: piece offset relative to hdsz
};

DataHeader readDataHeader(const BlockView& v);

inline uint16_t tableFirstRow(const BlockView& v, const DataHeader& h, uint32_t t) { return v.u16(h.tableDir + 4 * t); }
inline uint16_t tableRowCount(const BlockView& v, const DataHeader& h, uint32_t t) {
  return v.u16(h.tableDir + 4 * t + 2);
}

// Directory entry (first + row) of table t, or kFreeDirEntry when the table,
// the row or the directory slot lies outside the block's tables or bytes.
uint16_t rowDirEntry(const BlockView& v, const DataHeader& h, uint32_t table, uint32_t row);

// The row directory of one table, its bounds tested once: the entries of
// rows below inBlock lie wholly inside the block and are read by
// tableRowEntry without further tests; rowDirEntry gives kFreeDirEntry for
// the rows from inBlock to count. All 0 for a table the block lacks.
struct TableRows {
  uint32_t at = 0;  // block offset of row 0's entry
  uint32_t count = 0;
  uint32_t inBlock = 0;
};
TableRows tableRows(const BlockView& v, const DataHeader& h, uint32_t table);
// Entry of row (below t.inBlock).
inline uint16_t tableRowEntry(const BlockView& v, const TableRows& t, uint32_t row) {
  return get16(v.data + t.at + 2 * row, v.order);
}

// Entry of the column-length array of a compressed block (0 outside it).
inline uint16_t lengthArrayEntry(const BlockView& v, const DataHeader& h, uint32_t i) {
  return i < h.lengthCount ? v.u16(h.lengthArray + 2 * i) : 0;
}

}  // namespace bex
