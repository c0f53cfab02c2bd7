// LobLocator: what a LOB column holds in its row. The locator either carries
// the value's bytes (inline), a list of block runs (chunk list), or only the
// LOB id and the page count, the chunks then being found by LOB id in the
// scan's LOB map. Multi-byte numbers in a locator are big-endian whatever the
// data files' byte order. Every field read is checked against the column's
// length: a locator too short for its own fields is invalid.
//
//   0  locator size, u16       2  version, u16
//   5  bit 0x04: a LOB header follows (clear: "offline", map only)
//   8  LOB type, u16: 1 BLOB, 2 CLOB
//  10  LOB id, 10 bytes
//  20  bytes from here to the value's end, u16 (absent when the value ends at 20)
//  22  header flags F          23  bit 0x02: flag G
//
//  case  condition          pages          lastlen      inline      dataoff
//  A     F & 0x01           u32 @24        u16 @28      @35         36
//  B     F & 0x08           n-byte @27     u16 @n+27    @n+29       n+30   (n = byte @26: 0, 1, 2, 4)
//  C     F & 0x0F           all full       0            0           0
//  D     G (F & 0x0F = 0)   u16 @24        u16 @26      @28         29     (then read as B)
//  E     otherwise: chunk list; byte @26 = 0x21/0x22/0x23 gives k = 2/3/4, the
//        total length is the k-byte number @28, byte @28+k gives m = 1/2/4, the
//        entry count the m-byte number @29+k, entries from 29+k+m:
//        flags (0x20: 2-byte block count), rdba u32, block count u8 or u16.
#pragma once
#include <cstddef>
#include <cstdint>

namespace bex {

inline constexpr size_t kLobFixedSize = 20;  // every locator has these bytes
inline constexpr size_t kLobIdSize = 10;
inline constexpr uint16_t kLobTypeBlob = 1;
inline constexpr uint16_t kLobTypeClob = 2;
inline constexpr size_t kLobIdTextSize = 2 * kLobIdSize;  // upper-case hexadecimal digits

enum class LobCase : uint8_t { kA, kB, kC, kD, kE, kOffline };

struct LobLocator {
  bool valid = false;
  uint16_t size = 0;        // the fixed part: 0 when the value is shorter than kLobFixedSize
  uint16_t version = 0;
  uint16_t lobType = 0;
  uint16_t restLength = 0;  // 0 when the value ends before offset 22
  bool offline = false;  // no LOB header: every block of every page taken in full
  LobCase kind = LobCase::kOffline;
  uint8_t lobId[kLobIdSize] = {};
  uint8_t flags = 0;         // F, with 0x08 added for case D
  bool pagesGiven = false;   // false for case C and offline: every block is full
  uint32_t pages = 0;        // full LOB blocks
  uint32_t lastlen = 0;      // bytes in the last block, or the inline length
  uint8_t inlineMarker = 0;  // 1: the value's bytes follow at dataoff
  uint32_t dataoff = 0;
  uint64_t totalLength = 0;  // chunk list: the value's length
  uint32_t entryCount = 0;   // chunk list: entries announced

  bool chunkList() const { return kind == LobCase::kE; }
  bool isInline() const { return inlineMarker == 1 && !chunkList() && !offline; }
  // "%02X" per LOB id byte, terminated: out has kLobIdTextSize + 1 bytes.
  void lobIdText(char* out) const;
};

// Parses the column value v of len bytes.
LobLocator parseLobLocator(const uint8_t* v, size_t len);

// One entry of a chunk list: a run of consecutive blocks.
struct LobChunk {
  uint32_t rdba;
  uint32_t blocks;
};

// Walks the chunk list of a case E locator inside its column value.
class LobChunkList {
 public:
  LobChunkList(const LobLocator& loc, const uint8_t* v, size_t len) : v_(v), len_(len), pos_(loc.dataoff),
                                                                        count_(loc.entryCount) {}
  // The next whole entry; false at the end of the list, at the announced
  // count, or at an entry cut by the column's end.
  bool next(LobChunk& chunk);

 private:
  const uint8_t* v_;
  size_t len_;
  size_t pos_;
  uint32_t count_;
  uint32_t index_ = 0;
};

}  // namespace bex
