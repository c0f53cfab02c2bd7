#include "base/block_check.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace bex {

// Every block of a whole-database scan passes through here, straight out
// of the read window (in the core's cache): four 16-byte accumulators keep
// the loads in flight; folding them gives the XOR of all 16-bit words.
uint16_t BlockChecksumTest(const uint8_t* block, size_t length) {
  size_t i = 0;
  uint64_t acc = 0;
#if defined(__SSE2__)
  __m128i a0 = _mm_setzero_si128(), a1 = a0, a2 = a0, a3 = a0;
  for (; i + 64 <= length; i += 64) {
    a0 = _mm_xor_si128(a0, _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i)));
    a1 = _mm_xor_si128(a1, _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i + 16)));
    a2 = _mm_xor_si128(a2, _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i + 32)));
    a3 = _mm_xor_si128(a3, _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i + 48)));
  }
  uint64_t lanes[2];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), _mm_xor_si128(_mm_xor_si128(a0, a1), _mm_xor_si128(a2, a3)));
  acc = lanes[0] ^ lanes[1];
#else
  uint64_t lane[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  for (; i + sizeof lane <= length; i += sizeof lane) {
    uint64_t w[8];
    memcpy(w, block + i, sizeof w);
    for (int k = 0; k < 8; k++) lane[k] ^= w[k];
  }
  acc = lane[0] ^ lane[1] ^ lane[2] ^ lane[3] ^ lane[4] ^ lane[5] ^ lane[6] ^ lane[7];
#endif
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
