#include "value/float.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/byte_order.h"

namespace bex {
namespace {

constexpr size_t kFloatBytes = 4;
constexpr size_t kDoubleBytes = 8;
// "%f" of the largest double: 309 integer digits, sign, point, 6 decimals.
constexpr size_t kFloatTextMax = 330;

// The stored form sets the sign bit of positive values and complements
// every bit of negative ones; undo whichever was done.
inline uint32_t unsortable32(uint32_t b) { return (b & 0x80000000u) ? b & 0x7FFFFFFFu : ~b; }
inline uint64_t unsortable64(uint64_t b) {
  return (b >> 63) ? b & 0x7FFFFFFFFFFFFFFFull : ~b;
}

// Infinities and NaN spelled as Oracle shows them, so that a load converts
// them back; false for a finite value.
bool writeNonFinite(Sink& out, double x) {
  if (std::isnan(x)) {
    out.write("Nan");
    return true;
  }
  if (std::isinf(x)) {
    out.write(x < 0 ? "-Inf" : "Inf");
    return true;
  }
  return false;
}

}  // namespace

double decodeBinaryFloat(const uint8_t* v) {
  const uint32_t bits = unsortable32(getBE32(v));
  float f;
  memcpy(&f, &bits, sizeof f);
  return f;
}

double decodeBinaryDouble(const uint8_t* v) {
  const uint64_t bits = unsortable64((static_cast<uint64_t>(getBE32(v)) << 32) | getBE32(v + 4));
  double d;
  memcpy(&d, &bits, sizeof d);
  return d;
}

void writeFloatExactText(Sink& out, const uint8_t* v, size_t length) {
  char text[kFloatTextMax];
  std::to_chars_result r;
  if (length == kFloatBytes) {
    const float f = static_cast<float>(decodeBinaryFloat(v));
    if (writeNonFinite(out, f)) return;
    r = std::to_chars(text, text + sizeof text, f);
  } else if (length == kDoubleBytes) {
    const double d = decodeBinaryDouble(v);
    if (writeNonFinite(out, d)) return;
    r = std::to_chars(text, text + sizeof text, d);
  } else {
    return;
  }
  if (r.ec == std::errc()) out.write(text, static_cast<size_t>(r.ptr - text));
}

void writeFloatText(Sink& out, const uint8_t* v, size_t length) {
  double x;
  if (length == kFloatBytes) {
    x = decodeBinaryFloat(v);
  } else if (length == kDoubleBytes) {
    x = decodeBinaryDouble(v);
  } else {
    return;
  }
  if (writeNonFinite(out, x)) return;
  char text[kFloatTextMax];
  const int n = snprintf(text, sizeof text, "%f", x);
  if (n > 0) out.write(text, static_cast<size_t>(n));
}

}  // namespace bex
