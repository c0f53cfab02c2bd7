// Reading multi-byte fields of Oracle blocks. Every 16- and 32-bit field is
// read in the run's BYTE_ORDER; a few fields (row addresses inside row
// pieces, compressed-row lengths) are always most significant byte first.
// The block buffer is never converted in place. Callers check bounds.
#pragma once
#include <cstdint>

namespace bex {

inline uint16_t getBE16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t getBE32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}
inline uint16_t getLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t getLE32(const uint8_t* p) {
  return p[0] | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// order: 0 little-endian (LITTLE), 1 big-endian (BIG).
inline uint16_t get16(const uint8_t* p, uint8_t order) { return order ? getBE16(p) : getLE16(p); }
inline uint32_t get32(const uint8_t* p, uint8_t order) { return order ? getBE32(p) : getLE32(p); }

}  // namespace bex
