// Relative data block address (rdba): the relative file number in the top
// 10 bits, the block number in the low 22. With BIGFILE the whole 32 bits
// are the block number of the one file, relative file number 0.
#pragma once
#include <cstdint>

namespace bex {

inline constexpr uint32_t kRdbaBlockBits = 22;
inline constexpr uint32_t kRdbaBlockMask = (1u << kRdbaBlockBits) - 1;  // also the last block of a small file
inline constexpr uint32_t kBigfileBlocksPerFile = 1u << kRdbaBlockBits;

inline constexpr uint32_t makeRdba(uint32_t file, uint32_t block) {
  return (file << kRdbaBlockBits) | (block & kRdbaBlockMask);
}
inline constexpr uint32_t rdbaFile(uint32_t rdba) { return rdba >> kRdbaBlockBits; }
inline constexpr uint32_t rdbaBlock(uint32_t rdba) { return rdba & kRdbaBlockMask; }

}  // namespace bex
