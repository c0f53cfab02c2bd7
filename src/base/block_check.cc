#include "base/block_check.h"

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/wide_loads.h"

namespace bex {

namespace {

// The XOR of the 16-bit words of block[from, length) folded into acc.
uint64_t foldTail(const uint8_t* block, size_t from, size_t length, uint64_t acc) {
  size_t i = from;
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
  return acc;
}

#if defined(BEX_WIDE_LOADS)
// Cores with 32-byte loads take a block in half the loads; the result is the
// same XOR.
__attribute__((target("avx2"))) uint16_t checksumWide(const uint8_t* block, size_t length) {
  size_t i = 0;
  __m256i a0 = _mm256_setzero_si256(), a1 = a0, a2 = a0, a3 = a0;
  for (; i + 128 <= length; i += 128) {
    a0 = _mm256_xor_si256(a0, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + i)));
    a1 = _mm256_xor_si256(a1, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + i + 32)));
    a2 = _mm256_xor_si256(a2, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + i + 64)));
    a3 = _mm256_xor_si256(a3, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(block + i + 96)));
  }
  uint64_t lanes[4];
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(lanes),
                      _mm256_xor_si256(_mm256_xor_si256(a0, a1), _mm256_xor_si256(a2, a3)));
  return static_cast<uint16_t>(foldTail(block, i, length, lanes[0] ^ lanes[1] ^ lanes[2] ^ lanes[3]));
}
#endif

#if defined(__SSE2__)
// Four 16-byte accumulators keep the loads in flight.
uint16_t checksumSse2(const uint8_t* block, size_t length) {
  size_t i = 0;
  __m128i a0 = _mm_setzero_si128(), a1 = a0, a2 = a0, a3 = a0;
  for (; i + 64 <= length; i += 64) {
    a0 = _mm_xor_si128(a0, _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i)));
    a1 = _mm_xor_si128(a1, _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i + 16)));
    a2 = _mm_xor_si128(a2, _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i + 32)));
    a3 = _mm_xor_si128(a3, _mm_loadu_si128(reinterpret_cast<const __m128i*>(block + i + 48)));
  }
  uint64_t lanes[2];
  _mm_storeu_si128(reinterpret_cast<__m128i*>(lanes), _mm_xor_si128(_mm_xor_si128(a0, a1), _mm_xor_si128(a2, a3)));
  return static_cast<uint16_t>(foldTail(block, i, length, lanes[0] ^ lanes[1]));
}
#endif

// Eight 64-bit words at a time, for processors without vector loads.
uint16_t checksumWords(const uint8_t* block, size_t length) {
  size_t i = 0;
  uint64_t lane[8] = {0, 0, 0, 0, 0, 0, 0, 0};
  for (; i + sizeof lane <= length; i += sizeof lane) {
    uint64_t w[8];
    memcpy(w, block + i, sizeof w);
    for (int k = 0; k < 8; k++) lane[k] ^= w[k];
  }
  const uint64_t acc = lane[0] ^ lane[1] ^ lane[2] ^ lane[3] ^ lane[4] ^ lane[5] ^ lane[6] ^ lane[7];
  return static_cast<uint16_t>(foldTail(block, i, length, acc));
}

}  // namespace

// Every block of a whole-database scan passes through here, on the widest
// loads the core has.
uint16_t BlockChecksumTest(const uint8_t* block, size_t length) {
  switch (byteSweep()) {
#if defined(BEX_WIDE_LOADS)
    case ByteSweep::kAvx2: return checksumWide(block, length);
#endif
#if defined(__SSE2__)
    case ByteSweep::kSse2: return checksumSse2(block, length);
#endif
    default: return checksumWords(block, length);
  }
}

}  // namespace bex
