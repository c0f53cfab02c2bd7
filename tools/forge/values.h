// Tiny helpers for stored column bytes in scenarios: NUMBER integers and
// character text. (Full value encoders live with the value decoders.)
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "forge/byte_put.h"

namespace bex::forge {

// Oracle NUMBER form of an integer: exponent byte, base-100 digits.
Bytes numberInt(int64_t v);

// VARCHAR2/CHAR text is stored as its bytes.
inline Bytes text(std::string_view s) { return bytesOf(s); }

// Character LOB data as stored: UCS-2, most significant byte first, from
// UTF-8 text of the Basic Multilingual Plane; and back, each 16-bit unit
// (0x0000 included) as its UTF-8 form.
Bytes ucs2be(std::string_view utf8);
std::string utf8OfUcs2be(const Bytes& ucs2);

// Lower-case hexadecimal, two digits per byte, no separators.
std::string hex(const Bytes& b);
std::string hex(const uint8_t* p, size_t n);

}  // namespace bex::forge
