// A read-ahead cache: one stretch of whole blocks of one data file.
#pragma once
#include <cstdint>
#include <memory>

#include "base/byte_source.h"

namespace bex {

inline constexpr uint32_t kPrimaryCacheDefault = 262144;
inline constexpr uint32_t kLobCacheSize = 262144;

struct ReadCache {
  uint32_t size = 0;     // capacity in bytes
  uint16_t file = 0;     // rfn of the cached stretch
  uint32_t first = 0;    // block number of the first cached block
  uint16_t count = 0;    // whole blocks cached
  uint32_t blockSize = 0;  // size of the cached blocks: a stretch never serves another size
  ReadBuffer buffer;

  bool holds(uint16_t f, uint32_t b, uint32_t bsize) const {
    return bsize == blockSize && f == file && b >= first && b - first < count;
  }
  void empty() { file = 0, first = 0, count = 0, blockSize = 0; }
  // Releases the buffer and allocates one of bytes bytes, empty.
  void allocate(uint32_t bytes) {
    buffer = allocateReadBuffer(bytes);
    size = bytes;
    empty();
  }
};

}  // namespace bex
