// The report page reads what the recovery report wrote: every line the
// writer makes is JSON the reader takes back field for field, and a damaged
// line is null, never a crash.
#include <gtest/gtest.h>

#include "base/recovery_report.h"
#include "report/json_value.h"
#include "scratch_dir.h"

namespace bex {
namespace {

TEST(JsonValue, AReportLineWithAwkwardNamesReadsBack) {
  testing::ScratchDir dir;
  dir.write("T \"1\".txt", "abc");
  auto e = std::make_unique<ReportEntry>();
  e->kind = "unload";
  e->owner = "SCOTT\"\\";
  e->table = std::string("T\n\t\x01\x7f", 5) + "\xc3\xa9";  // control bytes and UTF-8
  e->partition = "P\xff";                                   // not UTF-8: written as \u00ff
  e->rows = 12345678901ull;
  e->rejected.add(3, 10, 2, 77);
  e->damage.emplace_back("chains cut", 4);
  e->files.push_back(dir.file("T \"1\".txt"));
  e->files.push_back(dir.file("never written"));  // sized when the line is made: left out
  const timespec end{};
  const JsonValue v = parseJson(reportLine(*e, "UNLOAD TABLE \"X\";", false, end));
  ASSERT_TRUE(v.isObject());
  EXPECT_EQ(v["command"].str(), "UNLOAD TABLE \"X\";");
  EXPECT_EQ(v["owner"].str(), e->owner);
  EXPECT_EQ(v["table"].str(), e->table);
  EXPECT_EQ(v["partition"].str(), "P\xc3\xbf");  // U+00FF
  EXPECT_EQ(v["rows"].count(), 12345678901ull);
  EXPECT_EQ(v["damage"]["chains cut"].count(), 4u);
  ASSERT_EQ(v["files"].items.size(), 1u);
  EXPECT_EQ(v["files"].items[0]["name"].str(), dir.file("T \"1\".txt"));
  EXPECT_EQ(v["files"].items[0]["bytes"].count(), 3u);
  EXPECT_EQ(v["blocks_rejected"].kind == JsonValue::Kind::kNull, false);
}

TEST(JsonValue, DamagedLinesAreNull) {
  for (const char* line : {"", "{", "{\"a\":", "{\"a\":1,}x", "[1,2", "\"open", "{\"a\":\"\\u12\"}", "tru", "{} {}"})
    EXPECT_EQ(parseJson(line).kind, JsonValue::Kind::kNull) << line;
  EXPECT_EQ(parseJson(std::string(100000, '[')).kind, JsonValue::Kind::kNull);  // nesting bounded
  EXPECT_TRUE(parseJson(" {\"a\" : [ true , null , -1.5e2 ] } ")["a"].items.size() == 3);
}

}  // namespace
}  // namespace bex
