// NUMBER values: Oracle's variable-length base-100 form, an exponent byte
// followed by base-100 digit bytes (negative numbers complemented and, when
// shorter than 20 digit bytes, ended by the byte 102), written as plain
// decimal text: no exponent, no leading or trailing zeros, fractions as "0.".
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/sink.h"
#include "value/number_text.h"

namespace bex {

// Room for the longest text kNumberMaxBytes can produce (about 175 chars).
inline constexpr size_t kNumberTextMax = 256;

// Writes the text of v[0..length) into text (kNumberTextMax bytes) and
// returns its length; 0 when there is nothing to write.
inline size_t formatNumber(const uint8_t* v, size_t length, char* text) {
  return number_text::numberText(v, length, text);
}

// formatNumber straight into the sink.
inline void writeNumberText(Sink& out, const uint8_t* v, size_t length) {
  if (char* room = out.room(kNumberTextMax)) return out.commit(number_text::numberText(v, length, room));
  char text[kNumberTextMax];
  out.write(text, number_text::numberText(v, length, text));
}

}  // namespace bex
