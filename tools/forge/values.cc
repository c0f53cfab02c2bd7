#include "forge/values.h"

#include <string>
#include <vector>

namespace bex::forge {

Bytes numberInt(int64_t v) {
  if (v == 0) return Bytes{0x80};
  bool neg = v < 0;
  // Work on the magnitude as unsigned so INT64_MIN is safe.
  uint64_t m = neg ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  std::vector<uint8_t> digits;  // base-100, least significant first
  while (m) {
    digits.push_back(static_cast<uint8_t>(m % 100));
    m /= 100;
  }
  const int exponent = static_cast<int>(digits.size());
  size_t low = 0;  // trailing zero digits are implied by the exponent
  while (digits[low] == 0) ++low;
  Bytes out;
  out.push_back(static_cast<uint8_t>(neg ? 0x3f - exponent : 0xc0 + exponent));
  for (size_t i = digits.size(); i-- > low;)
    out.push_back(static_cast<uint8_t>(neg ? 101 - digits[i] : digits[i] + 1));
  if (neg && out.size() < 21) out.push_back(0x66);
  return out;
}

std::string hex(const uint8_t* p, size_t n) {
  static const char kDigits[] = "0123456789abcdef";
  std::string s;
  s.reserve(n * 2);
  for (size_t i = 0; i < n; ++i) {
    s.push_back(kDigits[p[i] >> 4]);
    s.push_back(kDigits[p[i] & 15]);
  }
  return s;
}

std::string hex(const Bytes& b) { return hex(b.data(), b.size()); }

}  // namespace bex::forge
