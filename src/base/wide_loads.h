// Whether this processor takes 32-byte vector loads (AVX2). Code built with
// BEX_WIDE_LOADS may have a second, wider loop for the hottest byte sweeps
// (block checksums, counting tag bytes) and choose it once by this.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define BEX_WIDE_LOADS 1
#endif

namespace bex {

inline bool hasWideLoads() {
#if defined(BEX_WIDE_LOADS)
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

}  // namespace bex
