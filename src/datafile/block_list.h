// The CORRUPT and SKIP lists: up to 1024 rdba values, sorted, no duplicates.
#pragma once
#include <cstdint>

namespace bex {

inline constexpr uint16_t kBlockListMax = 1024;

struct BlockList {
  uint16_t count = 0;
  uint32_t rdba[kBlockListMax] = {0};
};

}  // namespace bex
