// A read-only view of one block: its bytes, its size and the byte order in
// which its 16- and 32-bit fields are read. Every accessor is bounds-checked:
// a field that does not lie wholly inside the block reads as 0, so decoders
// built on it never leave the buffer, whatever the block holds.
#pragma once
#include <cstdint>

#include "base/byte_order.h"

namespace bex {

struct BlockContext;

struct BlockView {
  const uint8_t* data = nullptr;
  uint32_t size = 0;
  uint8_t order = 0;  // 0 LITTLE, 1 BIG (BYTE_ORDER)

  bool has(uint32_t off, uint32_t n) const { return off <= size && n <= size - off; }
  uint8_t u8(uint32_t off) const { return off < size ? data[off] : 0; }
  uint16_t u16(uint32_t off) const { return has(off, 2) ? get16(data + off, order) : 0; }
  uint32_t u32(uint32_t off) const { return has(off, 4) ? get32(data + off, order) : 0; }
  // Fields stored most significant byte first whatever BYTE_ORDER says.
  uint16_t be16(uint32_t off) const { return has(off, 2) ? getBE16(data + off) : 0; }
  uint32_t be32(uint32_t off) const { return has(off, 4) ? getBE32(data + off) : 0; }
};

// The current block buffer of a context.
BlockView viewOf(const BlockContext& bc);

}  // namespace bex
