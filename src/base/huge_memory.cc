#include "base/huge_memory.h"

#include <sys/mman.h>

#include <cstdint>
#include <cstdlib>
#include <new>

namespace bex {

namespace {
constexpr size_t kHugePage = 2u << 20;
}

void HugeMemoryFree::operator()(char* p) const {
  if (size)
    munmap(p, size);
  else
    free(p);
}

HugeMemory allocateHugeMemory(size_t& size) {
  if (size >= kHugePage) {
    const size_t mapped = (size + kHugePage - 1) / kHugePage * kHugePage;
    void* p = mmap(nullptr, mapped + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p != MAP_FAILED) {  // keep the huge-page-aligned part
      const uintptr_t at = reinterpret_cast<uintptr_t>(p), aligned = (at + kHugePage - 1) & ~(kHugePage - 1);
      if (aligned > at) munmap(p, aligned - at);
      munmap(reinterpret_cast<void*>(aligned + mapped), at + kHugePage - aligned);
      char* q = reinterpret_cast<char*>(aligned);
      madvise(q, mapped, MADV_HUGEPAGE);
      size = mapped;
      return HugeMemory(q, HugeMemoryFree{mapped});
    }
  }
  char* p = static_cast<char*>(calloc(size ? size : 1, 1));
  if (!p) throw std::bad_alloc();
  return HugeMemory(p, HugeMemoryFree{0});
}

}  // namespace bex
