#include "base/block_check.h"

#include <cstring>

namespace bex {

// Every block of a whole-database scan passes through here: eight
// independent 64-bit lanes let the compiler keep several vector XORs in
// flight; folding the lanes gives the XOR of all 16-bit words.
uint16_t BlockChecksumTest(const uint8_t* block, size_t length) {
  uint64_t lane[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  size_t i = 0;
  for (; i + sizeof lane <= length; i += sizeof lane) {
    uint64_t w[8];
    memcpy(w, block + i, sizeof w);
    for (int k = 0; k < 8; k++) lane[k] ^= w[k];
  }
  uint64_t acc = lane[0] ^ lane[1] ^ lane[2] ^ lane[3] ^ lane[4] ^ lane[5] ^ lane[6] ^ lane[7];
  for (; i + 8 <= length; i += 8) {
    uint64_t w;
    memcpy(&w, block + i, 8);
    acc ^= w;
  }
  for (; i + 2 <= length; i += 2) {
    uint16_t w;
    memcpy(&w, block + i, 2);
    acc ^= w;
  }
  acc ^= acc >> 32;
  acc ^= acc >> 16;
  return static_cast<uint16_t>(acc);
}

}  // namespace bex
