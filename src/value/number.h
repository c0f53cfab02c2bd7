// NUMBER values: Oracle's variable-length base-100 form, an exponent byte
// followed by base-100 digit bytes (negative numbers complemented and, when
// shorter than 20 digit bytes, ended by the byte 102), written as plain
// decimal text: no exponent, no leading or trailing zeros, fractions as "0.".
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/sink.h"

namespace bex {

// At most this many bytes of a value are read (exponent + 21 digit bytes).
inline constexpr size_t kNumberMaxBytes = 22;
// Room for the longest text kNumberMaxBytes can produce (about 175 chars).
inline constexpr size_t kNumberTextMax = 256;

// Writes the text of v[0..length) into text (kNumberTextMax bytes) and
// returns its length; 0 when there is nothing to write.
size_t formatNumber(const uint8_t* v, size_t length, char* text);

// formatNumber straight into the sink.
void writeNumberText(Sink& out, const uint8_t* v, size_t length);

}  // namespace bex
