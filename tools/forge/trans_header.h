// Transaction header of type-0x06 blocks (table and index), after the
// common header:
//
//   20 typ  24 seg/obj  28 csc base  32 csc wrap  36 itc  38 FLG  39 fls
//   40 nxt  44 ITL entries of 24 bytes  [+8 bytes when FLG = 0x32]
//
// hdsz, the start of the data (or index) header, follows from itc and FLG.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "forge/expect.h"
#include "forge/forge_block.h"

namespace bex::forge {

inline constexpr uint8_t kTypData = 1, kTypIndex = 2;
inline constexpr uint8_t kFlgExtra8 = 0x32;  // 8 more bytes follow the ITL list
inline constexpr uint32_t kItlStart = 44, kItlSize = 24, kMaxItl = 255;

// ITL flag bits (top four bits of the flag/lock word).
inline constexpr uint8_t kItlC = 0x8, kItlB = 0x4, kItlU = 0x2, kItlT = 0x1;

struct ItlEntry {
  uint16_t usn = 0;
  uint16_t slot = 0;
  uint32_t wrap = 0;
  uint32_t ubaRdba = 0;
  uint16_t ubaSeq = 0;
  uint8_t ubaRec = 0;
  uint8_t flags = 0;       // C B U T
  uint16_t lockCount = 0;  // rows locked, 12 bits
  uint16_t fscWrap = 0;
  uint32_t scnBase = 0;
};

// A committed entry (flag C) and an active one (no flag, rows locked).
ItlEntry committedItl(uint16_t usn, uint32_t scn, uint16_t locks = 0);
ItlEntry activeItl(uint16_t usn, uint16_t locks);

struct TransHeader {
  uint8_t typ = kTypData;
  uint32_t objd = 0;
  uint32_t cscBase = 0x00012000;
  uint16_t cscWrap = 0;
  uint8_t flg = 0x02;
  uint8_t fls = 0;
  uint32_t nxt = 0;
  std::vector<ItlEntry> itl = {ItlEntry{}, ItlEntry{}};
};

uint32_t headerSize(const TransHeader& t);
void writeTransHeader(ForgeBlock& b, const TransHeader& t);

// Whether a row with this lock byte counts as committed: no lock, or the
// holding entry has flag C or U.
bool lockCommitted(const TransHeader& t, uint8_t lock);
std::string itlFlagLetters(uint8_t flags);
void itlFacts(const TransHeader& t, Facts& facts);

}  // namespace bex::forge
