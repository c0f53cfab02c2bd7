#include "datafile/block_list.h"

#include <algorithm>

namespace bex {

void BlockList::add(uint32_t value) {
  uint32_t* end = rdba + count;
  uint32_t* at = std::lower_bound(rdba, end, value);
  if ((at != end && *at == value) || count >= kBlockListMax) return;
  std::copy_backward(at, end, end + 1);
  *at = value;
  count++;
}

bool BlockList::holds(uint32_t value) const {
  const uint32_t* end = rdba + count;
  const uint32_t* at = std::lower_bound(rdba, end, value);
  return at != end && *at == value;
}

}  // namespace bex
