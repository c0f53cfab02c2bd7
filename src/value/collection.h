// Collections stored inline: an optional 37-byte image header (the value
// starts 0x00 0x01), then elements, each a length byte followed by its
// bytes: 255 is NULL (one byte), 254 takes a 16-bit length in BYTE_ORDER.
// Elements are separated by ","; without the header a "," also comes first.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/sink.h"

namespace bex {

inline constexpr size_t kCollectionHeaderBytes = 37;

// NARRAY: each element is a NUMBER (at most its first 22 bytes decoded).
void writeNumberCollectionText(Sink& out, const uint8_t* v, size_t length, uint8_t byteOrder);

// VARRAY of strings: each element's bytes as stored.
void writeStringCollectionText(Sink& out, const uint8_t* v, size_t length, uint8_t byteOrder);

}  // namespace bex
