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

Bytes ucs2be(std::string_view utf8) {
  Bytes out;
  for (size_t i = 0; i < utf8.size();) {
    const auto c = static_cast<uint8_t>(utf8[i]);
    const size_t n = c < 0x80 ? 1 : c < 0xe0 ? 2 : 3;
    uint32_t u = n == 1 ? c : n == 2 ? c & 0x1f : c & 0x0f;
    for (size_t k = 1; k < n && i + k < utf8.size(); ++k) u = (u << 6) | (static_cast<uint8_t>(utf8[i + k]) & 0x3f);
    out.push_back(static_cast<uint8_t>(u >> 8));
    out.push_back(static_cast<uint8_t>(u));
    i += n;
  }
  return out;
}

std::string utf8OfUcs2be(const Bytes& ucs2) {
  std::string s;
  for (size_t i = 0; i + 1 < ucs2.size(); i += 2) {
    const uint32_t u = static_cast<uint32_t>(ucs2[i] << 8 | ucs2[i + 1]);
    if (u < 0x80) {
      s += static_cast<char>(u);
    } else if (u < 0x800) {
      s += static_cast<char>(0xc0 | u >> 6);
      s += static_cast<char>(0x80 | (u & 0x3f));
    } else {
      s += static_cast<char>(0xe0 | u >> 12);
      s += static_cast<char>(0x80 | ((u >> 6) & 0x3f));
      s += static_cast<char>(0x80 | (u & 0x3f));
    }
  }
  return s;
}

std::string hex(const Bytes& b) { return hex(b.data(), b.size()); }

}  // namespace bex::forge
