#include "value/number.h"

#include <algorithm>

namespace bex {
namespace {

constexpr uint8_t kZeroExponent = 0x80;
constexpr uint8_t kPositiveBase = 192;  // exponent byte of 100^0 is 193 (0xC1)
constexpr uint8_t kNegativeBase = 63;   // and 62 (0x3E) for negative numbers
constexpr uint8_t kNegativeTerminator = 102;

// Digits of one base-100 pair. Out-of-range digit bytes give whatever the
// arithmetic gives; the characters may then not be digits, but the text
// stays within its bounds.
inline char tensOf(int d) { return static_cast<char>('0' + d / 10); }
inline char unitsOf(int d) { return static_cast<char>('0' + d % 10); }

inline char* putZeroPairs(char* p, int count) {
  for (int k = 0; k < count; k++) {
    *p++ = '0';
    *p++ = '0';
  }
  return p;
}

}  // namespace

size_t formatNumber(const uint8_t* v, size_t length, char* text) {
  if (length == 0) return 0;
  int n = static_cast<int>(std::min(length, kNumberMaxBytes));
  const uint8_t e = v[0];
  if (e == kZeroExponent && n == 1) {
    text[0] = '0';
    return 1;
  }
  char* p = text;
  // 0x80 followed by digits is a positive number below 1e-128 (exponent
  // byte of 100^-65), not zero.
  const bool negative = e < kZeroExponent;
  int X;  // base-100 digit pairs before the decimal point
  if (negative) {
    X = kNegativeBase - e;
    // Only negative numbers of fewer than 20 digit bytes carry the
    // terminator; a full-length one ends with a real digit.
    if (n > 1 && v[n - 1] == kNegativeTerminator) n--;
  } else {
    X = e - kPositiveBase;
  }
  if (n < 2) return 0;  // no digit bytes: nothing to decode
  if (negative) *p++ = '-';

  bool point = false;
  if (X <= 0) {
    *p++ = '0';
    *p++ = '.';
    point = true;
    p = putZeroPairs(p, -X);
  }
  for (int i = 1; i < n; i++) {
    const int d = negative ? 101 - v[i] : v[i] - 1;
    if (i > 1 && i == X + 1) {
      *p++ = '.';
      point = true;
      *p++ = tensOf(d);
    } else if (i > 1 || point || d / 10 != 0) {
      *p++ = tensOf(d);
    }
    if (i < n - 1 || !point || d % 10 != 0) *p++ = unitsOf(d);
  }
  if (n - 1 < X) p = putZeroPairs(p, X - (n - 1));
  return static_cast<size_t>(p - text);
}

void writeNumberText(Sink& out, const uint8_t* v, size_t length) {
  char text[kNumberTextMax];
  out.write(text, formatNumber(v, length, text));
}

}  // namespace bex
