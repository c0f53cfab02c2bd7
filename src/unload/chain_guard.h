// Damaged blocks can chain a row back onto itself. A chain is followed only
// while its addresses do not repeat (Brent's cycle test: one saved address,
// compared with every new one, renewed at powers of two) and while it is no
// longer than the bound given (the number of blocks in the open files).
#pragma once
#include <cstdint>

#include "block/column_list.h"

namespace bex {

class ChainGuard {
 public:
  explicit ChainGuard(uint64_t bound) : bound_(bound) {}

  // True when addr was met before in this chain (each address once).
  bool loops(RowAddress addr) {
    if (steps_ > 0 && addr.rdba == saved_.rdba && addr.slot == saved_.slot) return true;
    if (steps_ == power_ || steps_ == 0) {
      saved_ = addr;
      power_ *= 2;
      steps_ = 0;
    }
    steps_++;
    return false;
  }
  // True when hops exceeds the bound.
  bool tooLong(uint64_t hops) const { return hops > bound_; }

 private:
  uint64_t bound_;
  RowAddress saved_;
  uint64_t power_ = 1;
  uint64_t steps_ = 0;
};

}  // namespace bex
