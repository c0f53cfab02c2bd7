// The data files of the run, loaded by OPEN.
#pragma once
#include <cstdint>
#include <cstdio>

namespace bex {

inline constexpr uint32_t kMaxDataFiles = 1023;
inline constexpr uint32_t kRegistryBuckets = 1024;
inline constexpr uint32_t kDataFilePathMax = 512;

struct DataFileRegistry {
  uint32_t count = 0;
  // Closes every handle and forgets every slot.
  void clear();
};

}  // namespace bex
