// The data file header block (type 0x0B):
//    1 format   24 ver   28 DBID   32 db name (8, not terminated)   44 blks
//   48 blksiz   52 file#   96 bs   138 fuzzy flags (low-order byte of 16 bits)
//   ts#: 244 (format 0x02), 332 (0xA2, 0xC2), else 336
//   tablespace name: 16-bit length at 248 (format 0x02) or 336, then the name
#pragma once
#include <cstdint>

#include "block/block_view.h"
#include "base/sink.h"

namespace bex {

inline constexpr uint32_t kDbNameLength = 8;
inline constexpr uint32_t kTsNameMax = 30;  // longer (or empty) names are left out

// Fuzzy flag bits, printed as A R O H.
inline constexpr uint8_t kFuzzyA = 0x40;
inline constexpr uint8_t kFuzzyR = 0x10;
inline constexpr uint8_t kFuzzyO = 0x04;
inline constexpr uint8_t kFuzzyH = 0x01;

struct FileHeader {
  uint8_t format;
  uint32_t ver;
  uint32_t dbid;
  char dbName[kDbNameLength + 1];
  uint32_t blks;
  uint32_t blksiz;
  uint16_t fileNo;
  uint32_t bs;
  uint8_t fuzzy;
  uint32_t tsNo;
  char tsName[kTsNameMax + 1];  // empty when the stored length is 0 or above 30
};

uint32_t fileHeaderTsOffset(uint8_t format);
uint32_t fileHeaderTsNameOffset(uint8_t format);
FileHeader readFileHeader(const BlockView& v);

// The one-line summary: DBID, db, ts#, ts, file#, blksiz, blks, ver, fzy, bs.
void dumpFileHeader(Sink& out, const BlockView& v);

}  // namespace bex
