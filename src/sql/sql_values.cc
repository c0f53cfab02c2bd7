#include "sql/sql_values.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/cmdline.h"
#include "lob/lob_sinks.h"
#include "value/float.h"

namespace bex {

const char* sqlDeclaredType(ColumnTypeCode t) {
  switch (decoderFor(t)) {
    case ValueDecoder::kNumber: return "NUMBER";
    case ValueDecoder::kFloat: return "REAL";
    case ValueDecoder::kLob: return t == ColumnTypeCode::kBlob ? "BLOB" : "TEXT";
    default: break;
  }
  if (t == ColumnTypeCode::kRaw || t == ColumnTypeCode::kLongRaw) return "BLOB";
  return "TEXT";
}

namespace {

void resultText(sqlite3_context* ctx, std::string_view s) {
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

void resultNumber(sqlite3_context* ctx, const uint8_t* v, uint32_t length) {
  char text[kNumberTextMax];
  const size_t n = formatNumber(v, length, text);
  if (n == 0) return sqlite3_result_null(ctx);
  int64_t i;
  const auto r = std::from_chars(text, text + n, i);
  if (r.ec == std::errc() && r.ptr == text + n) return sqlite3_result_int64(ctx, i);
  resultText(ctx, {text, n});
}

void resultFloat(sqlite3_context* ctx, const uint8_t* v, uint32_t length) {
  if (length == 4) return sqlite3_result_double(ctx, decodeBinaryFloat(v));
  if (length == 8) return sqlite3_result_double(ctx, decodeBinaryDouble(v));
  sqlite3_result_null(ctx);
}

// The LOB's bytes, read whole through the LOB readers (character LOBs
// converted as UNLOAD converts them).
void resultLob(sqlite3_context* ctx, const ColumnSpec& col, const uint8_t* v, uint32_t length, uint32_t rowRdba,
               BlockContext& bc, StringSink& scratch) {
  StringSink reference;  // the LOB file reference UNLOAD would write: not wanted here
  LobFile lob;
  lob.sink = &scratch;
  lob.recordTag = "";
  const uint16_t n = static_cast<uint16_t>(length > UINT16_MAX ? UINT16_MAX : length);
  recoverLocatorToText(reference, lob, bc, v, n, rowRdba, col);
  const std::string_view bytes = scratch.str();
  if (col.type == ColumnTypeCode::kBlob)
    sqlite3_result_blob(ctx, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  else
    resultText(ctx, bytes);
}

}  // namespace

SqlConversions::SqlConversions(const Conversions& run, uint16_t databaseCharset) {
  for (auto m : {&Conversions::nchar, &Conversions::nclob, &Conversions::clob})
    if ((run.*m).valid()) (lobs.*m).open((run.*m).source, "UTF-8");
  const IconvCharset* database = iconvCharset(databaseCharset);
  if (database && !keywordMatch(database->name, "UTF-8")) text.open(database->name, "UTF-8");
}

SqlConversions::~SqlConversions() {
  lobs.closeAll();
  text.close();
}

void resultValue(sqlite3_context* ctx, const ColumnSpec& col, const uint8_t* v, uint32_t length, uint32_t rowRdba,
                 BlockContext& bc, Conversion& text, StringSink& scratch) {
  scratch.clear();
  const ValueDecoder decoder = decoderFor(col.type);
  if ((decoder == ValueDecoder::kStoredBytes || decoder == ValueDecoder::kChar) &&
      col.charsetForm != kCharsetFormNational) {
    if (decoder == ValueDecoder::kChar)
      while (length > 0 && v[length - 1] == ' ') length--;
    convertValue(scratch, text, v, length);
    return resultText(ctx, scratch.str());
  }
  switch (decoder) {
    case ValueDecoder::kNumber: return resultNumber(ctx, v, length);
    case ValueDecoder::kFloat: return resultFloat(ctx, v, length);
    case ValueDecoder::kLob: return resultLob(ctx, col, v, length, rowRdba, bc, scratch);
    case ValueDecoder::kTimestamp: writeTimestampExactText(scratch, v, length); break;
    case ValueDecoder::kTimestampTz: writeTimestampTzExactText(scratch, v, length); break;
    default:
      if (col.type == ColumnTypeCode::kRaw || col.type == ColumnTypeCode::kLongRaw)
        return sqlite3_result_blob(ctx, v, static_cast<int>(length), SQLITE_TRANSIENT);
      writeColumnValue(scratch, v, length, col, bc);
      break;
  }
  resultText(ctx, scratch.str());
}

namespace {

// The digits of a decimal text without sign, point and leading zeros, and
// how many of them stand before the point.
struct Decimal {
  bool negative = false;
  char digits[80];
  int count = 0;
  int point = 0;
};

bool parseExponent(std::string_view s, size_t i, Decimal& d) {
  if (i == s.size()) return true;
  if (s[i] != 'e' && s[i] != 'E') return false;
  int e = 0;
  const char* from = s.data() + i + 1;
  if (from < s.data() + s.size() && *from == '+') from++;
  const auto r = std::from_chars(from, s.data() + s.size(), e);
  if (r.ec != std::errc() || r.ptr != s.data() + s.size()) return false;
  d.point += e;
  return true;
}

bool parseDecimal(std::string_view s, Decimal& d) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  size_t i = 0;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) d.negative = s[i++] == '-';
  bool seenPoint = false, any = false;
  for (; i < s.size(); i++) {
    const char c = s[i];
    if (c == '.' && !seenPoint) {
      seenPoint = true;
      continue;
    }
    if (c < '0' || c > '9') break;
    any = true;
    if (d.count == 0 && c == '0') {
      if (seenPoint) d.point--;
      continue;
    }
    if (d.count < static_cast<int>(sizeof d.digits)) d.digits[d.count++] = c;
    if (!seenPoint) d.point++;
  }
  return any && parseExponent(s, i, d);
}

}  // namespace

size_t numberKey(std::string_view text, uint8_t* key) {
  Decimal d;
  if (!parseDecimal(text, d)) return 0;
  while (d.count > 0 && d.digits[d.count - 1] == '0') d.count--;
  if (d.count == 0) {
    key[0] = 0x80;
    return 1;
  }
  // Base-100 digits: the point falls between pairs.
  char pairs[82];
  int n = 0;
  if (d.point % 2 != 0) pairs[n++] = '0';
  memcpy(pairs + n, d.digits, d.count);
  n += d.count;
  if (n % 2) pairs[n++] = '0';
  const int exponent = (d.point + (d.point % 2 != 0 ? 1 : 0)) / 2;
  if (exponent > 62 || exponent < -65) return 0;
  const int digitBytes = std::min(n / 2, 20);
  key[0] = static_cast<uint8_t>(d.negative ? 63 - exponent : 192 + exponent);
  for (int i = 0; i < digitBytes; i++) {
    const int pair = (pairs[2 * i] - '0') * 10 + (pairs[2 * i + 1] - '0');
    key[1 + i] = static_cast<uint8_t>(d.negative ? 101 - pair : pair + 1);
  }
  size_t len = 1 + static_cast<size_t>(digitBytes);
  if (d.negative && digitBytes < 20) key[len++] = 102;
  return len;
}

void sqlNumberFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const unsigned char* text = sqlite3_value_text(argv[0]);
  uint8_t key[24];
  const size_t n = text ? numberKey(reinterpret_cast<const char*>(text), key) : 0;
  if (n == 0) return sqlite3_result_null(ctx);
  sqlite3_result_blob(ctx, key, static_cast<int>(n), SQLITE_TRANSIENT);
}

namespace {

// bex_sum's running total. Integers add up in 128 bits; decimals in two
// fixed-point magnitudes (the positive and the negative values) of base
// 10^9 limbs with kSumFraction digits after the point, room for every
// NUMBER (at most 40 digits between 10^-130 and 10^126) and for the carry
// of more rows than a table holds.
constexpr int kSumLimbs = 38;
constexpr int kSumFraction = 180;  // digits after the point, a multiple of 9
constexpr uint32_t kLimbBase = 1000000000u;
constexpr uint32_t kPow10[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

struct ExactSum {
  // SQLite aligns an aggregate's memory to 8 bytes only: the 128-bit total
  // is copied in and out.
  uint64_t integers[2];
  bool any;
  uint32_t magnitude[2][kSumLimbs];  // [0] positive, [1] negative; limb 0 lowest
};

bool addDecimal(ExactSum& sum, const Decimal& d) {
  uint32_t* m = sum.magnitude[d.negative ? 1 : 0];
  for (int k = d.count - 1; k >= 0; k--) {
    const int place = d.point - 1 - k + kSumFraction;  // digit k's power of ten, from the lowest kept
    if (d.digits[k] == '0') continue;
    if (place < 0 || place >= kSumLimbs * 9 - 20) return false;
    uint64_t carry = static_cast<uint64_t>(d.digits[k] - '0') * kPow10[place % 9];
    for (int limb = place / 9; carry && limb < kSumLimbs; limb++) {
      carry += m[limb];
      m[limb] = static_cast<uint32_t>(carry % kLimbBase);
      carry /= kLimbBase;
    }
  }
  return true;
}

// a - b for a >= b, into a.
void subtractMagnitude(uint32_t* a, const uint32_t* b) {
  int64_t borrow = 0;
  for (int i = 0; i < kSumLimbs; i++) {
    int64_t v = static_cast<int64_t>(a[i]) - b[i] - borrow;
    borrow = v < 0;
    a[i] = static_cast<uint32_t>(v + (borrow ? kLimbBase : 0));
  }
}

int compareMagnitude(const uint32_t* a, const uint32_t* b) {
  for (int i = kSumLimbs - 1; i >= 0; i--)
    if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
  return 0;
}

// The 128-bit integer total moved into the magnitudes.
__int128 integersOf(const ExactSum& sum) {
  __int128 v;
  memcpy(&v, sum.integers, sizeof v);
  return v;
}

void addIntegers(ExactSum& sum) {
  const __int128 total = integersOf(sum);
  const bool negative = total < 0;
  unsigned __int128 v = negative ? -static_cast<unsigned __int128>(total) : total;
  uint32_t* m = sum.magnitude[negative ? 1 : 0];
  uint64_t carry = 0;
  for (int limb = kSumFraction / 9; limb < kSumLimbs && (v || carry); limb++) {
    carry += m[limb] + static_cast<uint64_t>(v % kLimbBase);
    v /= kLimbBase;
    m[limb] = static_cast<uint32_t>(carry % kLimbBase);
    carry /= kLimbBase;
  }
  sum.integers[0] = sum.integers[1] = 0;
}

// The total as an integer when it is one that fits 64 bits, else as its
// exact decimal text.
void resultSum(sqlite3_context* ctx, ExactSum& sum) {
  addIntegers(sum);
  const bool negative = compareMagnitude(sum.magnitude[1], sum.magnitude[0]) > 0;
  uint32_t* m = sum.magnitude[negative ? 1 : 0];
  subtractMagnitude(m, sum.magnitude[negative ? 0 : 1]);
  char digits[kSumLimbs * 9 + 1];
  for (int limb = 0; limb < kSumLimbs; limb++)
    for (int i = 0; i < 9; i++) digits[kSumLimbs * 9 - 1 - (limb * 9 + i)] = static_cast<char>('0' + m[limb] / kPow10[i] % 10);
  const int whole = kSumLimbs * 9 - kSumFraction;
  int first = 0, last = kSumLimbs * 9;
  while (first < whole - 1 && digits[first] == '0') first++;
  while (last > whole && digits[last - 1] == '0') last--;
  std::string text = negative ? "-" : "";
  text.append(digits + first, digits + whole);
  if (last > whole) text.append(".").append(digits + whole, digits + last);
  int64_t asInteger;
  const auto r = std::from_chars(text.data(), text.data() + text.size(), asInteger);
  if (last == whole && r.ec == std::errc() && r.ptr == text.data() + text.size())
    return sqlite3_result_int64(ctx, asInteger);
  sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

}  // namespace

void sqlExactSumStep(sqlite3_context* ctx, int, sqlite3_value** argv) {
  auto* sum = static_cast<ExactSum*>(sqlite3_aggregate_context(ctx, sizeof(ExactSum)));
  if (!sum) return sqlite3_result_error_nomem(ctx);
  const int type = sqlite3_value_type(argv[0]);
  if (type == SQLITE_NULL) return;
  sum->any = true;
  if (type == SQLITE_INTEGER) {
    const __int128 total = integersOf(*sum) + sqlite3_value_int64(argv[0]);
    memcpy(sum->integers, &total, sizeof total);
    return;
  }
  char real[32];
  const unsigned char* text = sqlite3_value_text(argv[0]);
  if (type == SQLITE_FLOAT) {
    snprintf(real, sizeof real, "%.17g", sqlite3_value_double(argv[0]));
    text = reinterpret_cast<const unsigned char*>(real);
  }
  Decimal d;
  if (type == SQLITE_BLOB || !text || !parseDecimal(reinterpret_cast<const char*>(text), d))
    return sqlite3_result_error(ctx, "bex_sum: a value is no number", -1);
  if (!addDecimal(*sum, d)) sqlite3_result_error(ctx, "bex_sum: a value is out of NUMBER's range", -1);
}

void sqlExactSumFinal(sqlite3_context* ctx) {
  auto* sum = static_cast<ExactSum*>(sqlite3_aggregate_context(ctx, 0));
  if (!sum || !sum->any) return sqlite3_result_null(ctx);
  resultSum(ctx, *sum);
}

}  // namespace bex
