// LOB locators as a row stores them in a BLOB, CLOB or NCLOB column.
// Offsets are from the first byte of the column value; every multi-byte
// number is most significant byte first, whatever the file's byte order.
//
//   0  length of the rest of the locator (u16)    2  version 1 (u16)
//   5  bit 0x04: the locator carries a LOB header (clear: "offline")
//   10 LOB id (10 bytes)
//   22 header flags F                             23 bit 0x02: flag G
//
// The header that follows depends on F and G (a reader tries A to E in
// this order):
//
//   A  F = 0x05 or 0x09   24 pages (u32)  28 lastlen (u16)  35 inline  36 data
//   B  F = 0x08           26 n (0, 1, 2 or 4)  27 pages (n bytes)
//                         n+27 lastlen (u16)  n+29 inline  n+30 data
//   C  F = 0x02           nothing more: every block of the value is full
//   D  F = 0, G set       24 pages (u16)  26 lastlen (u16)  28 inline  29 data
//   E  F = 0, G clear     26 0x21/0x22/0x23: the total length has k = 2/3/4
//                         bytes, at 28; 28+k m (1, 2 or 4); 29+k the entry
//                         count (m bytes); 29+k+m the chunk list
//
// pages is the number of LOB blocks the value fills completely and lastlen
// the bytes it uses in the block after them (or the length of the data
// that follows when inline is 1). A chunk-list entry is a flag byte (0x20:
// the block count takes 2 bytes), the rdba of the first block (4 bytes)
// and the number of consecutive blocks (1 or 2 bytes). Bytes not listed
// here are zero.
#pragma once
#include <cstdint>
#include <vector>

#include "forge/lob_block.h"

namespace bex::forge {

inline constexpr uint32_t kLocatorFlagsOffset = 5, kLocatorIdOffset = 10;
inline constexpr uint32_t kLocatorFOffset = 22, kLocatorGOffset = 23;
inline constexpr uint8_t kLocatorHasHeader = 0x04, kLocatorG = 0x02;

enum class LocatorCase : uint8_t { A, B, C, D, E, Offline };

struct ChunkRun {
  uint32_t rdba = 0;
  uint16_t blocks = 1;
  bool wideCount = false;  // flag 0x20: the count is stored in 2 bytes
};

struct LocatorSpec {
  LocatorCase kind = LocatorCase::A;
  LobId id{};
  uint8_t f = 0;        // 0: the case's usual F (A 0x09, B 0x08, C 0x02)
  uint8_t width = 0;    // B: bytes of the page count (0, 1, 2 or 4, 3 is invalid);
                        // E: bytes of the total length (2, 3 or 4)
  uint8_t countWidth = 1;  // E: bytes of the entry count (1, 2 or 4)
  uint32_t pages = 0;
  uint16_t lastlen = 0;
  bool inlineData = false;  // inline marker 1, `data` follows the header
  Bytes data;
  uint32_t total = 0;  // E: the value's length
  std::vector<ChunkRun> chunks;
};

Bytes encodeLocator(const LocatorSpec& s);

// The locator as Oracle stores it in a row: the same, but its first field
// is the fixed 0x0054, byte 9 says the LOB's kind (kLobKindClob or
// kLobKindBlob) and bytes 20-21 the length of what follows them.
inline constexpr uint8_t kLobKindBlob = 1, kLobKindClob = 2;
Bytes encodeInRowLocator(const LocatorSpec& s, uint8_t kind);

const char* locatorCaseName(LocatorCase c);

}  // namespace bex::forge
