// The common 20-byte block header, the 4-byte tail and the checksum.
//
//   0 type  1 format  4 rdba  8 SCN base  12 SCN wrap  14 seq  15 flag
//   16 checksum  ... last 4 bytes: tail = SCN base low 16 bits, type, seq
//
// The checksum is the value that makes the XOR of all 16-bit words of the
// block zero. Flag 0x04 says a checksum is present.
#pragma once
#include <cstdint>

#include "forge/forge_block.h"

namespace bex::forge {

enum class Checksum : uint8_t {
  Valid,   // flag 0x04, words XOR to 0
  Broken,  // flag 0x04, checksum deliberately off by one bit
  Absent,  // flag without 0x04, checksum field 0 (XOR normally non-zero)
};

inline constexpr uint8_t kFlagChecksum = 0x04;
inline constexpr uint8_t kFormat10g = 0xa2;

struct BlockHeader {
  uint8_t type = 0;
  uint8_t format = kFormat10g;
  uint32_t rdba = 0;
  uint32_t scnBase = 0x00012000;
  uint16_t scnWrap = 0;
  uint8_t seq = 1;
  uint8_t extraFlags = 0;  // flag bits other than the checksum bit
  Checksum checksum = Checksum::Valid;
};

// Relative data block address: file number in the top 10 bits.
inline uint32_t makeRdba(uint32_t rfn, uint32_t block) { return (rfn << 22) | (block & 0x3fffff); }

void writeBlockHeader(ForgeBlock& b, const BlockHeader& h);

// Writes the tail and then the checksum field; call after every other byte.
void sealBlock(ForgeBlock& b, const BlockHeader& h);

// XOR of all 16-bit words, as the two bytes of the folded word in memory order
// (so the result does not depend on the byte order).
uint16_t xorFoldBytes(const uint8_t* p, uint32_t len);

}  // namespace bex::forge
