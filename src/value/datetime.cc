#include "value/datetime.h"

#include <array>
#include <cstring>

#include "base/byte_order.h"

namespace bex {
namespace {

// Longest text: a sign, a five-digit year, five three-digit fields of
// corrupt bytes, separators, "." and ten fraction digits.
constexpr size_t kDateTextMax = 48;

// At least `width` digits of an unsigned value.
char* putDigits(char* p, unsigned value, int width) {
  char tmp[10];
  int k = 0;
  do {
    tmp[k++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (k < width) tmp[k++] = '0';
  while (k > 0) *p++ = tmp[--k];
  return p;
}

// Time fields are stored plus one; a stored 0 shows as 0.
inline unsigned timeField(uint8_t b) { return b ? b - 1u : 0u; }

// Years before 1 (century byte below 100, Oracle's BC dates) are written
// with a minus sign; every field keeps at least its width, so corrupt bytes
// show as more digits rather than as wrong ones.
char* putAnyDate(char* p, const uint8_t* v) {
  const int year = (v[0] - 100) * 100 + (v[1] - 100);
  if (year < 0) *p++ = '-';
  p = putDigits(p, static_cast<unsigned>(year < 0 ? -year : year), 4);
  *p++ = '-';
  p = putDigits(p, v[2], 2);
  *p++ = '-';
  p = putDigits(p, v[3], 2);
  *p++ = ' ';
  p = putDigits(p, timeField(v[4]), 2);
  *p++ = ':';
  p = putDigits(p, timeField(v[5]), 2);
  *p++ = ':';
  return putDigits(p, timeField(v[6]), 2);
}

// "00" to "99".
constexpr std::array<std::array<char, 2>, 100> kTwoDigits = [] {
  std::array<std::array<char, 2>, 100> t{};
  for (int d = 0; d < 100; d++) t[d] = {static_cast<char>('0' + d / 10), static_cast<char>('0' + d % 10)};
  return t;
}();

inline void putTwoDigits(char* p, unsigned d) { memcpy(p, kTwoDigits[d].data(), 2); }

// A date of years 0 to 9999 whose fields all have two digits is written
// field by field without arithmetic; others as putAnyDate writes them.
// (In line where every DATE value of an unload is written.)
inline __attribute__((always_inline)) char* putCommonDate(char* p, const uint8_t* v) {
  const unsigned century = v[0] - 100u, year = v[1] - 100u;
  if (century >= 100 || year >= 100 || v[2] >= 100 || v[3] >= 100 || v[4] > 100 || v[5] > 100 || v[6] > 100)
    return putAnyDate(p, v);
  putTwoDigits(p, century);
  putTwoDigits(p + 2, year);
  p[4] = '-';
  putTwoDigits(p + 5, v[2]);
  p[7] = '-';
  putTwoDigits(p + 8, v[3]);
  p[10] = ' ';
  putTwoDigits(p + 11, timeField(v[4]));
  p[13] = ':';
  putTwoDigits(p + 14, timeField(v[5]));
  p[16] = ':';
  putTwoDigits(p + 17, timeField(v[6]));
  return p + 19;
}

char* putDate(char* p, const uint8_t* v) { return putCommonDate(p, v); }

// Oracle's calendar: Julian up to 1582-10-04, Gregorian from 1582-10-15.
bool isLeapYear(int year) {
  if (year > 1582) return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
  return year % 4 == 0;
}

unsigned daysInMonth(int year, unsigned month) {
  static constexpr uint8_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && isLeapYear(year) ? 29u : kDays[month - 1];
}

bool inCalendarGap(int year, unsigned month, unsigned day) {
  return year == 1582 && month == 10 && day > 4 && day < 15;
}

constexpr int kMinutesPerDay = 24 * 60;
// The offsets a TZH:TZM field takes: -12:59 to +14:59.
constexpr int kWestmostOffset = -(12 * 60 + 59);
constexpr int kEastmostOffset = 14 * 60 + 59;

// Moves the seven date bytes d by `minutes` (less than a day either way).
// False, with d unchanged, when they are no date of years 1 to 9999 or the
// move would leave that range.
bool moveDate(uint8_t* d, int minutes) {
  int year = (d[0] - 100) * 100 + (d[1] - 100);
  unsigned month = d[2], day = d[3];
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) ||
      inCalendarGap(year, month, day) || d[4] < 1 || d[4] > 24 || d[5] < 1 || d[5] > 60 || d[6] < 1 || d[6] > 60)
    return false;
  int t = (d[4] - 1) * 60 + (d[5] - 1) + minutes;
  if (t < 0) {
    t += kMinutesPerDay;
    if (--day == 0) {
      if (--month == 0) month = 12, year--;
      day = daysInMonth(year, month);
    }
    if (inCalendarGap(year, month, day)) day = 4;
  } else if (t >= kMinutesPerDay) {
    t -= kMinutesPerDay;
    if (++day > daysInMonth(year, month)) {
      day = 1;
      if (++month == 13) month = 1, year++;
    }
    if (inCalendarGap(year, month, day)) day = 15;
  }
  if (year < 1 || year > 9999) return false;
  d[0] = static_cast<uint8_t>(year / 100 + 100);
  d[1] = static_cast<uint8_t>(year % 100 + 100);
  d[2] = static_cast<uint8_t>(month);
  d[3] = static_cast<uint8_t>(day);
  d[4] = static_cast<uint8_t>(t / 60 + 1);
  d[5] = static_cast<uint8_t>(t % 60 + 1);
  return true;
}

// The zone offset in minutes east of UTC, or false for a region id or bytes
// that give no offset in range.
bool zoneOffset(const uint8_t* zone, int& minutes) {
  if (zone[0] & 0x80) return false;
  minutes = (zone[0] - 20) * 60 + (zone[1] - 60);
  return minutes >= kWestmostOffset && minutes <= kEastmostOffset;
}

}  // namespace

void writeDateText(Sink& out, const uint8_t* v, size_t length) {
  if (length != kDateBytes) return;
  if (char* room = out.room(kDateTextMax)) [[likely]]
    return out.commit(static_cast<size_t>(putCommonDate(room, v) - room));
  char text[kDateTextMax];
  out.write(text, static_cast<size_t>(putDate(text, v) - text));
}

namespace {

// ".ffffff", or ".fffffffff" when exact and the nanoseconds have digits
// beyond the microseconds.
char* putFraction(char* p, uint32_t nanos, bool exact) {
  *p++ = '.';
  if (exact && nanos % 1000 != 0) return putDigits(p, nanos, 9);
  return putDigits(p, nanos / 1000, 6);
}

void timestampText(Sink& out, const uint8_t* v, size_t length, bool exact) {
  if (length != kDateBytes && length != kTimestampBytes && length != kTimestampTzBytes) return;
  char text[kDateTextMax + 3];
  char* p = putDate(text, v);
  if (length != kDateBytes) p = putFraction(p, getBE32(v + kDateBytes), exact);
  out.write(text, static_cast<size_t>(p - text));
}

void timestampTzText(Sink& out, const uint8_t* v, size_t length, bool exact) {
  if (length != kDateBytes && length != kTimestampBytes && length != kTimestampTzBytes) return;
  uint8_t date[kDateBytes];
  for (size_t i = 0; i < kDateBytes; i++) date[i] = v[i];
  int offset = 0;
  if (length != kTimestampTzBytes || !zoneOffset(v + kTimestampBytes, offset) || !moveDate(date, offset))
    offset = 0;
  char text[kDateTextMax + 10];
  char* p = putDate(text, date);
  p = putFraction(p, length == kDateBytes ? 0u : getBE32(v + kDateBytes), exact);
  *p++ = ' ';
  *p++ = offset < 0 ? '-' : '+';
  const unsigned east = static_cast<unsigned>(offset < 0 ? -offset : offset);
  p = putDigits(p, east / 60, 2);
  *p++ = ':';
  p = putDigits(p, east % 60, 2);
  out.write(text, static_cast<size_t>(p - text));
}

}  // namespace

void writeTimestampText(Sink& out, const uint8_t* v, size_t length) { timestampText(out, v, length, false); }
void writeTimestampTzText(Sink& out, const uint8_t* v, size_t length) { timestampTzText(out, v, length, false); }
void writeTimestampExactText(Sink& out, const uint8_t* v, size_t length) { timestampText(out, v, length, true); }
void writeTimestampTzExactText(Sink& out, const uint8_t* v, size_t length) {
  timestampTzText(out, v, length, true);
}

}  // namespace bex
