// Row pieces of table and cluster blocks, encoded as the reader walks them:
//
//   flag, lock, cc, [cluster key row number if C],
//   [16 key bytes if K+H+F+L]  or  [6-byte head address if F and not H]
//                                   [6-byte next address if not L],
//   cc columns: length byte 0x00-0xFD + value, 0xFE + 16-bit length + value,
//   or 0xFF for NULL.
//
// Row addresses are always most significant byte first; the 0xFE length is in
// the file's byte order.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "forge/byte_put.h"

namespace bex::forge {

// Row flag bits, in the order the dumps print them (K C H D F L P N).
inline constexpr uint8_t kRowK = 0x80, kRowC = 0x40, kRowH = 0x20, kRowD = 0x10;
inline constexpr uint8_t kRowF = 0x08, kRowL = 0x04, kRowP = 0x02, kRowN = 0x01;
inline constexpr uint8_t kRowHeadFirstLast = kRowH | kRowF | kRowL;  // an ordinary row
inline constexpr uint8_t kRowClusterKey = kRowK | kRowH | kRowF | kRowL;
inline constexpr uint32_t kClusterKeyExtra = 16;
inline constexpr uint32_t kRowAddrSize = 6;
inline constexpr uint8_t kLenLong = 0xfe, kLenNull = 0xff, kLenShortMax = 0xfd;

struct RowAddr {
  uint32_t rdba = 0;
  uint16_t slot = 0;
};

// A stored column: its bytes, or NULL (length byte 0xFF). An empty non-NULL
// value is stored with length byte 0.
struct Column {
  Bytes bytes;
  bool null = false;
};
Column col(const Bytes& b);
Column col(std::string_view text);
Column nullCol();

struct RowPiece {
  uint8_t flag = kRowHeadFirstLast;
  uint8_t lock = 0;       // ITL entry number holding the row, 0 = none
  uint8_t keyRow = 0;     // flag C: row of table 0 holding the cluster key
  RowAddr head;           // written when F is set and H is clear
  RowAddr next;           // written when L is clear (not for cluster key rows)
  Bytes keyExtra;         // cluster key rows: 16 bytes (zero-padded)
  std::vector<Column> cols;
};

bool isClusterKeyRow(uint8_t flag);
bool hasHeadAddress(uint8_t flag);
bool hasNextAddress(uint8_t flag);

// Appends one column in the column-length encoding.
void appendColumn(Bytes& out, const Column& c, ByteOrder order);
Bytes encodeRowPiece(const RowPiece& piece, ByteOrder order);

// "KCHDFLPN" with '-' for clear bits.
std::string rowFlagLetters(uint8_t flag);

}  // namespace bex::forge
