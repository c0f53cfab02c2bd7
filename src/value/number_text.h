// The decimal text of a NUMBER, in line: the unloads write one for every
// NUMBER value. number.h is the interface.
#pragma once
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace bex {

// At most this many bytes of a value are read (exponent + 21 digit bytes).
inline constexpr size_t kNumberMaxBytes = 22;

namespace number_text {

inline constexpr uint8_t kZeroExponent = 0x80;
inline constexpr uint8_t kPositiveBase = 192;  // exponent byte of 100^0 is 193 (0xC1)
inline constexpr uint8_t kNegativeBase = 63;   // and 62 (0x3E) for negative numbers
inline constexpr uint8_t kNegativeTerminator = 102;

// The two characters of every digit byte, by byte: the base-100 digit is
// the byte minus one in a positive number, 101 minus the byte in a
// negative one. Out-of-range digit bytes give whatever the arithmetic
// gives; the characters may then not be digits, but the text stays within
// its bounds.
using DigitPairs = std::array<std::array<char, 2>, 256>;

constexpr DigitPairs makeDigitPairs(bool negative) {
  DigitPairs t{};
  for (int b = 0; b < 256; b++) {
    const int d = negative ? 101 - b : b - 1;
    t[b] = {static_cast<char>('0' + d / 10), static_cast<char>('0' + d % 10)};
  }
  return t;
}

inline constexpr DigitPairs kPositivePairs = makeDigitPairs(false);
inline constexpr DigitPairs kNegativePairs = makeDigitPairs(true);

inline char* putZeroPairs(char* p, int count) {
  if (count <= 0) return p;
  memset(p, '0', 2 * static_cast<size_t>(count));
  return p + 2 * count;
}

// The digit bytes v[from..to) in full, two characters each.
inline char* putPairs(char* p, const DigitPairs& pairs, const uint8_t* v, int from, int to) {
  for (int i = from; i < to; i++, p += 2) memcpy(p, pairs[v[i]].data(), 2);
  return p;
}

// The digit bytes v[from..last] after the decimal point: no trailing zero.
inline char* putFraction(char* p, const DigitPairs& pairs, const uint8_t* v, int from, int last) {
  p = putPairs(p, pairs, v, from, last);
  const auto& d = pairs[v[last]];
  *p++ = d[0];
  if (d[1] != '0') *p++ = d[1];
  return p;
}

// The text of v[0..length) into text; its length.
inline size_t numberText(const uint8_t* v, size_t length, char* text) {
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
  const DigitPairs& pairs = negative ? kNegativePairs : kPositivePairs;
  const int last = n - 1;  // the last digit byte
  if (X <= 0) {
    *p++ = '0';
    *p++ = '.';
    p = putZeroPairs(p, -X);
    return static_cast<size_t>(putFraction(p, pairs, v, 1, last) - text);
  }
  // The first pair without its leading zero, then the whole pairs.
  const auto& first = pairs[v[1]];
  if (first[0] != '0') *p++ = first[0];
  *p++ = first[1];
  if (last <= X) {
    p = putPairs(p, pairs, v, 2, n);
    return static_cast<size_t>(putZeroPairs(p, X - last) - text);
  }
  p = putPairs(p, pairs, v, 2, X + 1);
  *p++ = '.';
  return static_cast<size_t>(putFraction(p, pairs, v, X + 1, last) - text);
}

}  // namespace number_text

}  // namespace bex
