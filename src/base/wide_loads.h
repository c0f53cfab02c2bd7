// The loops the hottest byte sweeps (block checksums, counting tag bytes)
// run on: plain 64-bit words, 16-byte SSE2 loads, or 32-byte AVX2 loads.
// Each sweep has a loop for every width the build can issue and takes the
// widest this processor has; the tests force each in turn.
#pragma once
#include <cstdint>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define BEX_WIDE_LOADS 1
#endif

namespace bex {

enum class ByteSweep : uint8_t { kWords, kSse2, kAvx2 };

// Whether this processor takes 32-byte vector loads (AVX2).
inline bool hasWideLoads() {
#if defined(BEX_WIDE_LOADS)
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

// Whether this build and processor can run the sweep.
inline bool canSweep(ByteSweep s) {
  switch (s) {
    case ByteSweep::kAvx2: return hasWideLoads();
#if defined(__SSE2__)
    case ByteSweep::kSse2: return true;
#else
    case ByteSweep::kSse2: return false;
#endif
    default: return true;
  }
}

// The sweep in use: the widest one, unless forced.
ByteSweep byteSweep();

// Internal switch for the tests: every sweep runs on s from now on (false,
// and nothing changes, when s cannot run here). Not a setting of a run.
bool forceByteSweep(ByteSweep s);
// Back to the widest sweep.
void unforceByteSweep();

}  // namespace bex
