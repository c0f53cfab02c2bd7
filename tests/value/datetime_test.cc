#include "value/datetime.h"

#include <gtest/gtest.h>

#include "value_test_util.h"

using namespace bex;

namespace {
std::string date(const std::string& hex) { return test::textOf(writeDateText, hex); }
std::string timestamp(const std::string& hex) { return test::textOf(writeTimestampText, hex); }
std::string timestampTz(const std::string& hex) { return test::textOf(writeTimestampTzText, hex); }
}  // namespace

TEST(DateText, SevenBytes) {
  EXPECT_EQ(date("78 7C 0C 1F 18 3C 3C"), "2024-12-31 23:59:59");
  EXPECT_EQ(date("78 64 01 01 01 01 01"), "2000-01-01 00:00:00");
  EXPECT_EQ(date("64 65 01 01 01 01 01"), "0001-01-01 00:00:00");
  EXPECT_EQ(date("C7 C7 0C 1F 18 3C 3C"), "9999-12-31 23:59:59");
  EXPECT_EQ(date("77 B4 0C 11 01 01 01"), "1980-12-17 00:00:00");
  EXPECT_EQ(date("78 64 01 01 00 00 00"), "2000-01-01 00:00:00");  // stored 0 shows as 0
}

TEST(DateText, OtherLengthsWriteNothing) {
  EXPECT_EQ(date(""), "");
  EXPECT_EQ(date("78 7C 0C 1F 18 3C"), "");
  EXPECT_EQ(date("78 7C 0C 1F 18 3C 3C 00"), "");
  EXPECT_EQ(date("78 7C 0C 1F 18 3C 3C 07 5B CD 15"), "");
}

// Oracle keeps BC years with a century byte below 100.
TEST(DateText, YearsBeforeOneAndCorruptFieldsKeepEveryDigit) {
  EXPECT_EQ(date("35 58 01 01 01 01 01"), "-4712-01-01 00:00:00");
  EXPECT_EQ(date("64 63 0C 1F 01 01 01"), "-0001-12-31 00:00:00");
  EXPECT_EQ(date("FF FF FF FF FF FF FF"), "15655-255-255 254:254:254");
}

TEST(TimestampText, FractionInMicrosecondsTruncated) {
  const std::string day = "78 7C 0C 1F 18 3C 3C";
  EXPECT_EQ(timestamp(day), "2024-12-31 23:59:59");
  EXPECT_EQ(timestamp(day + " 07 5B CD 15"), "2024-12-31 23:59:59.123456");
  EXPECT_EQ(timestamp(day + " 07 5B CD 15 14 3C"), "2024-12-31 23:59:59.123456");
  EXPECT_EQ(timestamp(day + " 00 00 03 E7"), "2024-12-31 23:59:59.000000");  // 999 ns
  EXPECT_EQ(timestamp(day + " 00 00 03 E8"), "2024-12-31 23:59:59.000001");
  EXPECT_EQ(timestamp("77 AA 01 01 02 03 04 1B 3A 0C 08"), "1970-01-01 01:02:03.456789");
}

TEST(TimestampText, UnlistedLengthsWriteNothingAndBadFractionsShowAllDigits) {
  const std::string day = "78 7C 0C 1F 18 3C 3C";
  for (const char* tail : {"", " 07", " 07 5B", " 07 5B CD", " 07 5B CD 15 14", " 07 5B CD 15 14 3C 00"}) {
    if (*tail) {
      EXPECT_EQ(timestamp(day + tail), "") << tail;
    }
  }
  EXPECT_EQ(timestamp("78 7C 0C 1F 18 3C"), "");
  EXPECT_EQ(timestamp(day + " 3B 9A CA 00"), "2024-12-31 23:59:59.1000000");  // 10^9 ns
  EXPECT_EQ(timestamp(day + " FF FF FF FF"), "2024-12-31 23:59:59.4294967");
}

// The stored time is UTC; the text is the time in the stored zone, so that
// with its offset it names the same instant.
TEST(TimestampTzText, TimeInTheStoredZoneWithItsOffset) {
  // 2010-01-01 00:00:00 -05:00: 05:00 UTC, zone bytes 15 and 60.
  EXPECT_EQ(timestampTz("78 6E 01 01 06 01 01 00 00 00 00 0F 3C"), "2010-01-01 00:00:00.000000 -05:00");
  // Into the next year; back onto a leap day and onto February 28 of a
  // century year; both ways over the ten days missing from October 1582.
  EXPECT_EQ(timestampTz("78 7C 0C 1F 18 3C 3C 07 5B CD 15 19 5A"), "2025-01-01 05:29:59.123456 +05:30");
  EXPECT_EQ(timestampTz("78 7C 03 01 03 01 01 00 00 00 00 11 1E"), "2024-02-29 22:30:00.000000 -03:30");
  EXPECT_EQ(timestampTz("77 64 03 01 02 01 01 00 00 00 00 12 3C"), "1900-02-28 23:00:00.000000 -02:00");
  EXPECT_EQ(timestampTz("73 B6 0A 0F 03 01 01 00 00 00 00 0F 3C"), "1582-10-04 21:00:00.000000 -05:00");
  EXPECT_EQ(timestampTz("73 B6 0A 04 18 01 01 00 00 00 00 16 3C"), "1582-10-15 01:00:00.000000 +02:00");
}

TEST(TimestampTzText, UtcWhenNoOffsetCanBeApplied) {
  const std::string utc = "78 7C 0C 1F 18 3C 3C 07 5B CD 15";
  const std::string utcText = "2024-12-31 23:59:59.123456 +00:00";
  EXPECT_EQ(timestampTz(utc + " 85 E8"), utcText);  // zone region id
  EXPECT_EQ(timestampTz(utc + " 40 3C"), utcText);  // +44:00 is no offset
  EXPECT_EQ(timestampTz(utc), utcText);             // no zone bytes
  EXPECT_EQ(timestampTz("78 7C 0C 1F 18 3C 3C"), "2024-12-31 23:59:59.000000 +00:00");
  // One hour east would leave year 9999; a corrupt month cannot be moved.
  EXPECT_EQ(timestampTz("C7 C7 0C 1F 18 3C 3C 00 00 00 00 15 3C"), "9999-12-31 23:59:59.000000 +00:00");
  EXPECT_EQ(timestampTz("78 7C 0D 1F 18 3C 3C 00 00 00 00 15 3C"), "2024-13-31 23:59:59.000000 +00:00");
  for (const char* tail : {" 07", " 07 5B", " 07 5B CD", " 07 5B CD 15 14", " 07 5B CD 15 14 3C 00"})
    EXPECT_EQ(timestampTz("78 7C 0C 1F 18 3C 3C" + std::string(tail)), "") << tail;
}
