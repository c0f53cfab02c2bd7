#include "value/datetime.h"

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
char* putDate(char* p, const uint8_t* v) {
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

}  // namespace

void writeDateText(Sink& out, const uint8_t* v, size_t length) {
  if (length != kDateBytes) return;
  char text[kDateTextMax];
  out.write(text, static_cast<size_t>(putDate(text, v) - text));
}

void writeTimestampText(Sink& out, const uint8_t* v, size_t length) {
  if (length != kDateBytes && length != kTimestampBytes && length != kTimestampTzBytes) return;
  char text[kDateTextMax];
  char* p = putDate(text, v);
  if (length != kDateBytes) {
    *p++ = '.';
    p = putDigits(p, getBE32(v + kDateBytes) / 1000, 6);
  }
  out.write(text, static_cast<size_t>(p - text));
}

}  // namespace bex
