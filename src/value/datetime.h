// DATE and TIMESTAMP values. Seven bytes: century + 100, year of century
// + 100, month, day, hour + 1, minute + 1, second + 1. TIMESTAMP adds four
// bytes of nanoseconds (most significant first). WITH TIME ZONE keeps the
// date and time in UTC and adds two zone bytes: the offset's hours + 20 and
// minutes + 60, or, with the top bit of the first set, a zone region id.
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

// TIMESTAMP WITH TIME ZONE for 7, 11 or 13 bytes, in the form of the mask
// "YYYY-MM-DD HH24:MI:SS.FF TZH:TZM": the time in the stored zone, the
// fraction (always six digits), a blank and the zone's offset ("+05:30").
// A value stored with a region id, with zone bytes that are no offset, or
// without zone bytes is written as its UTC time with "+00:00"; so is one
// whose date fields cannot be moved (corrupt, or outside years 1 to 9999).
// Either way the text names the instant that is stored. Nothing is written
// for other lengths.
void writeTimestampTzText(Sink& out, const uint8_t* v, size_t length);

// The same two texts with a fraction that loses nothing: nine digits when
// the nanoseconds are not whole microseconds, else the usual six.
void writeTimestampExactText(Sink& out, const uint8_t* v, size_t length);
void writeTimestampTzExactText(Sink& out, const uint8_t* v, size_t length);

}  // namespace bex
