// Large private buffers in whole huge pages where the system gives them:
// filling fresh memory costs a page fault per 4 KiB page otherwise, and a
// fault is dear on a virtual machine. The memory comes zeroed, and is
// touched only as it is written.
#pragma once
#include <cstddef>
#include <memory>

namespace bex {

// Frees what allocateHugeMemory gave: an unmapping of size bytes, or
// free() when size is 0.
struct HugeMemoryFree {
  size_t size = 0;
  void operator()(char* p) const;
};
using HugeMemory = std::unique_ptr<char, HugeMemoryFree>;

// A buffer of at least size bytes, zeroed; size becomes what was allocated
// (whole 2 MiB pages from 2 MiB on). Below 2 MiB, or where mapping fails,
// calloc (which maps large blocks afresh rather than clearing them: they
// too are touched only as written).
HugeMemory allocateHugeMemory(size_t& size);

}  // namespace bex
