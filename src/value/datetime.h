// DATE and TIMESTAMP values. Seven bytes: century + 100, year of century
// + 100, month, day, hour + 1, minute + 1, second + 1. TIMESTAMP adds four
// bytes of nanoseconds (most significant first), and WITH TIME ZONE two
// zone bytes, which are not shown.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/sink.h"

namespace bex {

inline constexpr size_t kDateBytes = 7;
inline constexpr size_t kTimestampBytes = 11;
inline constexpr size_t kTimestampTzBytes = 13;

// "YYYY-MM-DD HH:MI:SS" for a 7-byte value; nothing for any other length.
void writeDateText(Sink& out, const uint8_t* v, size_t length);

// The DATE text for 7 bytes; for 11 or 13 bytes the DATE text, ".", and the
// fraction in microseconds (truncated) as six digits; nothing otherwise.
void writeTimestampText(Sink& out, const uint8_t* v, size_t length);

}  // namespace bex
