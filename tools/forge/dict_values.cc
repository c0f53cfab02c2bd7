#include "forge/dict_values.h"

#include <cctype>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "forge/values.h"

namespace bex::forge {

namespace {

std::string upperHex(const Bytes& b) {
  std::string h = hex(b);
  for (char& c : h) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return h;
}

Bytes utf16be(const std::string& ascii) {
  Bytes b;
  for (char c : ascii) {
    b.push_back(0);
    b.push_back(static_cast<uint8_t>(c));
  }
  return b;
}

Bytes dateBytes(int year, int month, int day, int hour, int minute, int second) {
  return {static_cast<uint8_t>(100 + year / 100), static_cast<uint8_t>(100 + year % 100), static_cast<uint8_t>(month),
          static_cast<uint8_t>(day),          static_cast<uint8_t>(hour + 1),          static_cast<uint8_t>(minute + 1),
          static_cast<uint8_t>(second + 1)};
}

std::string timestampText(int year, int month, int day, int hour, int minute, int second, uint32_t nanos) {
  return format("%04d-%02d-%02d %02d:%02d:%02d.%06u", year, month, day, hour, minute, second, nanos / 1000);
}

}  // namespace

Bytes numberText(const std::string& text) {
  const bool neg = !text.empty() && text[0] == '-';
  const std::string digits = neg ? text.substr(1) : text;
  const size_t point = digits.find('.');
  std::string whole = digits.substr(0, point), frac = point == std::string::npos ? "" : digits.substr(point + 1);
  if (whole.size() % 2) whole = "0" + whole;
  if (frac.size() % 2) frac += "0";
  std::string all = whole + frac;
  int exponent = static_cast<int>(whole.size() / 2);  // base-100 pairs before the point
  while (all.size() >= 2 && all.compare(0, 2, "00") == 0) {
    all.erase(0, 2);
    --exponent;
  }
  while (all.size() >= 2 && all.compare(all.size() - 2, 2, "00") == 0) all.erase(all.size() - 2);
  if (all.empty()) return Bytes{0x80};
  Bytes out{static_cast<uint8_t>(neg ? 63 - exponent : 192 + exponent)};
  for (size_t i = 0; i < all.size(); i += 2) {
    const int pair = (all[i] - '0') * 10 + (all[i + 1] - '0');
    out.push_back(static_cast<uint8_t>(neg ? 101 - pair : pair + 1));
  }
  if (neg && out.size() < 21) out.push_back(102);
  return out;
}

Val vdecimal(const std::string& text) { return Val{col(numberText(text)), text}; }

Val vhex(const Bytes& b) { return Val{col(b), upperHex(b)}; }

Val vchar(const std::string& s, size_t width) {
  std::string padded = s;
  padded.resize(width, ' ');
  return Val{col(padded), s};
}

Val vnvarchar(const std::string& ascii) { return Val{col(utf16be(ascii)), ascii}; }

Val vnchar(const std::string& ascii, size_t width) {
  std::string padded = ascii;
  padded.resize(width, ' ');
  return Val{col(utf16be(padded)), padded};
}

namespace {

// The texts of a BINARY_FLOAT or BINARY_DOUBLE value: "%f" (text style)
// and the shortest exact form (CSV); NaN and infinities as Oracle spells
// them in both.
template <class F>
Val floatVal(Bytes stored, F x) {
  if (std::isnan(x)) return Val{col(stored), "Nan"};
  if (std::isinf(x)) return Val{col(stored), x < 0 ? "-Inf" : "Inf"};
  char shortest[32];
  const std::to_chars_result r = std::to_chars(shortest, shortest + sizeof shortest, x);
  return Val{col(stored), format("%f", static_cast<double>(x)), std::string(shortest, r.ptr)};
}

}  // namespace

// Stored so that the bytes sort like the numbers: the sign bit set on
// positive values, every bit complemented on negative ones.
Val vfloat(float f) {
  uint32_t bits;
  memcpy(&bits, &f, 4);
  Bytes b;
  appendBE32(b, bits >> 31 ? ~bits : bits ^ 0x80000000u);
  return floatVal(b, f);
}

Val vdouble(double d) {
  uint64_t bits;
  memcpy(&bits, &d, 8);
  bits = bits >> 63 ? ~bits : bits ^ 0x8000000000000000ull;
  Bytes b;
  appendBE32(b, static_cast<uint32_t>(bits >> 32));
  appendBE32(b, static_cast<uint32_t>(bits));
  return floatVal(b, d);
}

Val vtimestamp(int year, int month, int day, int hour, int minute, int second, uint32_t nanos) {
  Bytes b = dateBytes(year, month, day, hour, minute, second);
  appendBE32(b, nanos);
  Val v{col(b), timestampText(year, month, day, hour, minute, second, nanos)};
  if (nanos % 1000) v.csv = v.text.substr(0, v.text.size() - 6) + format("%09u", nanos);
  return v;
}

Val vtimestampTz(int year, int month, int day, int hour, int minute, int second, uint32_t nanos, int tzHour,
                 int tzMinute) {
  namespace c = std::chrono;
  Val v = vtimestamp(year, month, day, hour, minute, second, nanos);
  v.col.bytes.push_back(static_cast<uint8_t>(tzHour + 20));
  v.col.bytes.push_back(static_cast<uint8_t>(tzMinute + 60));
  // Written as the time in the stored zone, then the zone's offset.
  const int offset = tzHour * 60 + tzMinute;
  const c::year_month_day utc{c::year{year}, c::month{static_cast<unsigned>(month)},
                              c::day{static_cast<unsigned>(day)}};
  const c::sys_time<c::minutes> local = c::sys_days{utc} + c::hours{hour} + c::minutes{minute + offset};
  const c::sys_days localDay = c::floor<c::days>(local);
  const c::year_month_day ymd{localDay};
  const c::hh_mm_ss<c::minutes> hm{local - localDay};
  const std::string text =
      timestampText(static_cast<int>(ymd.year()), static_cast<int>(static_cast<unsigned>(ymd.month())),
                    static_cast<int>(static_cast<unsigned>(ymd.day())), static_cast<int>(hm.hours().count()),
                    static_cast<int>(hm.minutes().count()), second, nanos);
  const std::string zone = format(" %c%02d:%02d", offset < 0 ? '-' : '+', std::abs(offset) / 60, std::abs(offset) % 60);
  v.text = text + zone;
  if (nanos % 1000) v.csv = text.substr(0, text.size() - 6) + format("%09u", nanos) + zone;
  return v;
}

Val vintervalYm(int years, int months) {
  Bytes b;
  appendBE32(b, static_cast<uint32_t>(years) + 0x80000000u);
  b.push_back(static_cast<uint8_t>(months + 60));
  return vhex(b);
}

Val vintervalDs(int days, int hours, int minutes, int seconds, uint32_t nanos) {
  Bytes b;
  appendBE32(b, static_cast<uint32_t>(days) + 0x80000000u);
  b.push_back(static_cast<uint8_t>(hours + 60));
  b.push_back(static_cast<uint8_t>(minutes + 60));
  b.push_back(static_cast<uint8_t>(seconds + 60));
  appendBE32(b, nanos + 0x80000000u);
  return vhex(b);
}

}  // namespace bex::forge
