// Decoder text against values whose stored bytes Oracle's own software made:
// the encoders of Oracle's JavaScript driver (tests/vectors) and DUMP()
// output of real databases (the shared real-data folder).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/block_context.h"
#include "value/collection.h"
#include "value/column_type.h"
#include "value/datetime.h"
#include "value/float.h"
#include "value/number.h"
#include "value_test_util.h"

using namespace bex;
using bex::test::readRows;
using C = ColumnTypeCode;
using bex::test::bytesOf;

namespace {


std::string vectorFile(const char* name) { return std::string(BEX_SOURCE_DIR) + "/tests/vectors/" + name; }

// A decimal string ("-000123.4500", "1.2e-5", "12300e-2") as the decoder
// writes it: no exponent, no leading or trailing zeros, fractions as "0.".
std::string plainDecimal(const std::string& s) {
  size_t i = 0;
  const bool negative = !s.empty() && s[0] == '-';
  if (negative) i++;
  std::string digits;
  long point = -1;  // digits before the decimal point
  for (; i < s.size() && s[i] != 'e'; i++) {
    if (s[i] == '.') point = static_cast<long>(digits.size());
    else digits += s[i];
  }
  if (point < 0) point = static_cast<long>(digits.size());
  if (i < s.size()) point += std::stol(s.substr(i + 1));
  size_t lead = digits.find_first_not_of('0');
  if (lead == std::string::npos) return "0";
  digits.erase(0, lead);
  point -= static_cast<long>(lead);
  digits.erase(digits.find_last_not_of('0') + 1);
  const long n = static_cast<long>(digits.size());
  std::string out = negative ? "-" : "";
  if (point >= n) return out + digits + std::string(point - n, '0');
  if (point > 0) return out + digits.substr(0, point) + "." + digits.substr(point);
  return out + "0." + std::string(-point, '0') + digits;
}

// "%f" of an exact decimal value: six decimals, ties to even.
std::string fixedSix(const std::string& exact) {
  if (exact == "inf") return "Inf";
  if (exact == "-inf") return "-Inf";
  if (exact == "nan") return "Nan";
  const bool negative = exact[0] == '-';
  std::string s = negative ? exact.substr(1) : exact;
  size_t dot = s.find('.');
  std::string ip = s.substr(0, dot);
  std::string fp = dot == std::string::npos ? "" : s.substr(dot + 1);
  std::string kept = (fp + "000000").substr(0, 6);
  std::string rest = fp.size() > 6 ? fp.substr(6) : "";
  bool up = false;
  if (!rest.empty() && rest[0] > '5') up = true;
  if (!rest.empty() && rest[0] == '5') {
    bool beyond = rest.find_first_not_of('0', 1) != std::string::npos;
    up = beyond || (kept.back() - '0') % 2 == 1;
  }
  std::string all = ip + kept;
  if (up) {
    int k = static_cast<int>(all.size()) - 1;
    while (k >= 0 && all[k] == '9') all[k--] = '0';
    if (k < 0) all.insert(all.begin(), '1');
    else all[k]++;
  }
  return (negative ? "-" : "") + all.substr(0, all.size() - 6) + "." + all.substr(all.size() - 6);
}

template <typename Decoder>
std::string decode(Decoder d, const std::vector<uint8_t>& v) {
  return test::textOf(d, v);
}

}  // namespace

TEST(TextOfExactValues, HelpersFollowTheirRules) {
  EXPECT_EQ(plainDecimal("-000123.4500"), "-123.45");
  EXPECT_EQ(plainDecimal("12300e-2"), "123");
  EXPECT_EQ(plainDecimal("1.5e-3"), "0.0015");
  EXPECT_EQ(plainDecimal("9.9e3"), "9900");
  EXPECT_EQ(plainDecimal("0"), "0");
  EXPECT_EQ(fixedSix("0.0078125"), "0.007812");
  EXPECT_EQ(fixedSix("0.0234375"), "0.023438");
  EXPECT_EQ(fixedSix("-0.00000049"), "-0.000000");
  EXPECT_EQ(fixedSix("9.9999995000001"), "10.000000");
  EXPECT_EQ(fixedSix("-0"), "-0.000000");
}

TEST(DriverVectors, Numbers) {
  auto rows = readRows(vectorFile("number_vectors.tsv"));
  ASSERT_GE(rows.size(), 5000u) << "vector file missing or short";
  int failures = 0;
  for (const auto& r : rows) {
    ASSERT_EQ(r.size(), 2u);
    const std::string got = decode(writeNumberText, bytesOf(r[0]));
    const std::string want = plainDecimal(r[1]);
    if (got != want && ++failures <= 10) ADD_FAILURE() << r[0] << " (" << r[1] << "): " << got << " != " << want;
  }
  EXPECT_EQ(failures, 0);
}

// The same values as elements of collections, 40 to an NARRAY.
TEST(DriverVectors, NumbersInsideCollections) {
  auto rows = readRows(vectorFile("number_vectors.tsv"));
  ASSERT_FALSE(rows.empty());
  for (size_t at = 0; at < rows.size(); at += 40) {
    std::vector<uint8_t> value;
    std::string want;
    for (size_t k = at; k < rows.size() && k < at + 40; k++) {
      auto v = bytesOf(rows[k][0]);
      value.push_back(static_cast<uint8_t>(v.size()));
      value.insert(value.end(), v.begin(), v.end());
      want += "," + plainDecimal(rows[k][1]);
    }
    std::string got = test::textOf([](Sink& o, const uint8_t* v, size_t n) {
      writeNumberCollectionText(o, v, n, kLittleEndian);
    }, value);
    ASSERT_EQ(got, want) << "collection from row " << at;
  }
}

TEST(DriverVectors, DatesAndTimestamps) {
  auto rows = readRows(vectorFile("datetime_vectors.tsv"));
  ASSERT_GE(rows.size(), 1000u) << "vector file missing or short";
  int failures = 0;
  for (const auto& r : rows) {
    ASSERT_EQ(r.size(), 3u);
    auto v = bytesOf(r[1]);
    int y, mo, d, h, mi, s;
    long ns;
    ASSERT_EQ(sscanf(r[2].c_str(), "%d %d %d %d %d %d %ld", &y, &mo, &d, &h, &mi, &s, &ns), 7);
    char want[64];
    int n = snprintf(want, sizeof want, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    if (v.size() == kTimestampBytes || v.size() == kTimestampTzBytes)
      snprintf(want + n, sizeof want - n, ".%06ld", ns / 1000);
    const bool isDate = r[0] == "DATE";
    if (isDate) {
      EXPECT_EQ(v.size(), kDateBytes);
    }
    const std::string got = isDate ? decode(writeDateText, v) : decode(writeTimestampText, v);
    if (got != want && ++failures <= 10) ADD_FAILURE() << r[0] << " " << r[1] << ": " << got << " != " << want;
    if (r[0] != "TIMESTAMP_TZ") continue;
    // The driver stores UTC with a zero offset.
    const std::string gotTz = decode(writeTimestampTzText, v);
    if (gotTz != std::string(want) + " +00:00" && ++failures <= 10) ADD_FAILURE() << r[1] << ": " << gotTz;
  }
  EXPECT_EQ(failures, 0);
}

TEST(DriverVectors, BinaryFloatsAndDoubles) {
  auto rows = readRows(vectorFile("float_vectors.tsv"));
  ASSERT_GE(rows.size(), 500u) << "vector file missing or short";
  int failures = 0;
  for (const auto& r : rows) {
    ASSERT_EQ(r.size(), 3u);
    auto v = bytesOf(r[1]);
    EXPECT_EQ(v.size(), r[0] == "BINARY_FLOAT" ? 4u : 8u);
    const std::string got = decode(writeFloatText, v);
    const std::string want = fixedSix(r[2]);
    if (got != want && ++failures <= 10) ADD_FAILURE() << r[0] << " " << r[1] << ": " << got << " != " << want;
  }
  EXPECT_EQ(failures, 0);
}

// Values printed by Oracle's DUMP() or read from Oracle-written blocks.
TEST(RealDataVectors, OracleDumpOutput) {
  const std::string path = std::string(BEX_REALDATA_DIR) + "/value-vectors/oracle_dump_vectors.tsv";
  std::ifstream probe(path);
  if (!probe) GTEST_SKIP() << "real-data folder absent: " << path;
  auto rows = readRows(path);
  ASSERT_GT(rows.size(), 30u);
  BlockContext bc;
  int checked = 0;
  for (const auto& r : rows) {
    ASSERT_GE(r.size(), 3u);
    const std::string& type = r[0];
    std::string value = r[1].substr(0, r[1].find(" ("));
    auto v = bytesOf(r[2]);
    ColumnSpec col;
    if (type.rfind("NUMBER", 0) == 0) col.type = C::kNumber;
    else if (type == "BINARY_FLOAT") col.type = C::kBinaryFloat;
    else if (type == "BINARY_DOUBLE") col.type = C::kBinaryDouble;
    else if (type == "DATE") col.type = C::kDate;
    else if (type.find("LOCAL") != std::string::npos) col.type = C::kTimestampLtz;
    else if (type.rfind("TIMESTAMP", 0) == 0) col.type = C::kTimestamp;
    else if (type == "VARCHAR2") col.type = C::kVarchar2;
    else if (type.rfind("CHAR", 0) == 0) col.type = C::kChar;
    else continue;
    StringSink out;
    writeColumnValue(out, v.data(), v.size(), col, bc);
    const std::string got = out.str();
    if (col.type == C::kBinaryFloat || col.type == C::kBinaryDouble) {
      // DUMP shows the value rounded; the text has six decimals.
      EXPECT_NEAR(strtod(got.c_str(), nullptr), strtod(value.c_str(), nullptr), 5e-7) << r[2];
    } else if (col.type == C::kVarchar2 || col.type == C::kChar) {
      EXPECT_EQ("'" + got + "'", value) << r[2];
    } else if (v.size() == kDateBytes && value.size() > 19) {
      EXPECT_EQ(got, value.substr(0, 19)) << r[2];  // a zero fraction is not stored
      EXPECT_EQ(value.substr(19), ".000000");
    } else {
      EXPECT_EQ(got, value) << type << " " << r[2];
    }
    checked++;
  }
  EXPECT_GE(checked, 40);
}
