// The consistency test of one Oracle block: the exclusive-or of all its
// 16-bit words folds to 0 when the block's stored checksum matches. The block
// reader's bad-block test and the mirror choice of the ASM reader use it.
#pragma once
#include <cstddef>
#include <cstdint>

namespace bex {

// XOR of all 16-bit words of the block, on the byte sweep in force
// (base/wide_loads.h); 0 means consistent.
uint16_t BlockChecksumTest(const uint8_t* block, size_t length);

}  // namespace bex
