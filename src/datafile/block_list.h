// The CORRUPT and SKIP lists: up to 1024 rdba values, kept in ascending
// unsigned order with no value twice, so that the reader can binary-search.
#pragma once
#include <cstdint>

namespace bex {

inline constexpr uint16_t kBlockListMax = 1024;

struct BlockList {
  uint16_t count = 0;
  uint32_t rdba[kBlockListMax] = {0};

  // Adds rdba unless it is present or the list is full; keeps the order.
  void add(uint32_t value);
  void clear() { count = 0; }
  // True when value is in the list (binary search).
  bool holds(uint32_t value) const;
};

}  // namespace bex
