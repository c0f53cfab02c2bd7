// Stored forms of the column types the dictionary scenario's tables use,
// each with the text a correct unload writes for it.
#pragma once
#include <cstdint>
#include <string>

#include "forge/unload_rows.h"

namespace bex::forge {

// NUMBER from its canonical decimal text ("-12.5", "0.05", "1234000").
Bytes numberText(const std::string& text);
Val vdecimal(const std::string& text);
// Values written as upper-case hexadecimal (RAW, ROWID, intervals, ...).
Val vhex(const Bytes& b);
// CHAR(width): stored blank-padded, written without the trailing blanks.
Val vchar(const std::string& s, size_t width);
// National characters: stored as UTF-16 big-endian, written converted
// back to ASCII; NCHAR keeps its padding.
Val vnvarchar(const std::string& ascii);
Val vnchar(const std::string& ascii, size_t width);
Val vfloat(float f);  // big-endian, stored to sort like the numbers
Val vdouble(double d);
// TIMESTAMP (11 bytes), WITH TIME ZONE (13 bytes: the date and time as
// given, in UTC, then zone hour + 20, minute + 60; written as the time in
// that zone followed by the offset, "+01:30").
Val vtimestamp(int year, int month, int day, int hour, int minute, int second, uint32_t nanos);
Val vtimestampTz(int year, int month, int day, int hour, int minute, int second, uint32_t nanos, int tzHour,
                 int tzMinute);
// INTERVAL YEAR TO MONTH (5 bytes) and DAY TO SECOND (11 bytes), offset by
// 2^31 and 60 as Oracle stores them; written in hexadecimal.
Val vintervalYm(int years, int months);
Val vintervalDs(int days, int hours, int minutes, int seconds, uint32_t nanos);

}  // namespace bex::forge
