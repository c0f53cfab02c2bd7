// The text form of rows: tag placement over pieces, SKIP columns, split
// values, UNKNOWN columns, LOB padding and references, early ends.
#include "unload/text_row_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "lob/lob_reader.h"
#include "unload/column_text.h"
#include "unload/field_output.h"
#include "unload/guess_row_writer.h"

#include "byte_sweeps.h"

using namespace bex;
using namespace bex::testing;
using C = ColumnTypeCode;
using namespace std::string_literals;

namespace {

constexpr uint32_t kBlock = 8192;

// A block buffer with values placed from offset 100 on, and pieces over it.
struct Rows {
  std::vector<uint8_t> block = std::vector<uint8_t>(kBlock, 0);
  uint32_t next = 100;
  BlockView view{block.data(), kBlock, 0};
  BlockContext bc;
  std::unique_ptr<UnloadJob> job = std::make_unique<UnloadJob>();
  StringSink data, console, lobData;
  LobFile lob;
  std::unique_ptr<RowWriter> writer;
  std::unique_ptr<LobReader> reader;
  std::string fieldTag, recordTag;  // what the job's tags view

  Rows() {
    bc.blockSize = kBlock;
    bc.block = block.data();
    reader = std::make_unique<LobReader>(bc, console);
    bc.lobReader = reader.get();
  }
  void tags(const std::string& field, const std::string& record) {
    fieldTag = field;
    recordTag = record;
    job->tags = RowTags{fieldTag, recordTag};
  }
  void types(std::initializer_list<C> codes, C fill = C::kSkip) {
    uint32_t i = 0;
    for (C c : codes) job->columns.column[i++].type = c;
    for (; i < kMaxSegmentColumns; i++) job->columns.column[i].type = fill;
    job->setFill(fill);
    job->columns.count = static_cast<uint16_t>(codes.size());
  }
  void open(bool withLob) {
    if (withLob) {
      lob.sink = &lobData;
      strcpy(lob.name, "t.LOB");
    }
    writer = std::make_unique<TextRowWriter>(bc, *job, data, lob, console, job->columns.count, true);
  }
  // CSV fields: "," (unless a separator is given) and a line feed.
  void openCsv(bool withLob, const std::string& separator = ",") {
    tags(separator, "\n");
    if (withLob) open(true);  // the LOB file
    writer = std::make_unique<CsvRowWriter>(bc, *job, data, lob, console, job->columns.count, true);
  }
  ColumnRef value(const std::string& s) {
    ColumnRef c{static_cast<uint16_t>(next), static_cast<uint16_t>(s.size())};
    memcpy(block.data() + next, s.data(), s.size());
    next += static_cast<uint32_t>(s.size()) + 1;
    return c;
  }
  ColumnRef bytes(std::initializer_list<uint8_t> b) { return value(std::string(b.begin(), b.end())); }
  ColumnRef null() { return ColumnRef{static_cast<uint16_t>(next), 0}; }
  void piece(std::vector<ColumnRef> cols, uint32_t start, bool last, bool lastContinues = false,
             bool continues = false) {
    ColumnList list;
    for (const ColumnRef& c : cols) list.add(c.offset, c.length);
    PieceRef p{&view, &list, start, continues, last, lastContinues, 0x01c00014, 0, 3};
    writer->piece(p);
  }
  std::string out() { return data.str(); }
};

class TagCounts : public EachByteSweep {};

}  // namespace

TEST(TextRows, SkipColumnsWriteNothingNotEvenATag) {
  Rows r;
  r.types({C::kNumber, C::kSkip, C::kVarchar2});
  r.open(false);
  r.piece({r.bytes({0xC1, 0x02}), r.value("hidden"), r.value("text")}, 0, true);
  EXPECT_EQ(r.out(), "1|text\r\n");
}

TEST(TextRows, NullsKeepTheirFieldsAndShortRowsEndAfterTheLastStoredColumn) {
  Rows r;
  r.types({C::kVarchar2, C::kVarchar2, C::kVarchar2, C::kVarchar2});
  r.open(false);
  r.piece({r.value("a"), r.null(), r.value("c")}, 0, true);
  r.piece({}, 0, true);
  EXPECT_EQ(r.out(), "a||c\r\n\r\n");
}

TEST(TextRows, PiecesJoinWithOneTagAndSplitValuesWithNone) {
  Rows r;
  r.types({C::kNumber, C::kVarchar2, C::kVarchar2, C::kDate});
  r.job->indexPrefix = 1;
  r.open(false);
  // 1 | "abc" + "def" (split) | "x" | NULL date, over three pieces.
  r.piece({r.bytes({0xC1, 0x02}), r.value("abc")}, 0, false, true);
  r.piece({r.value("def"), r.value("x")}, 1, false, false, true);
  r.piece({r.null()}, 3, true);
  EXPECT_EQ(r.out(), "C1=1|C2=abcdef|C3=x|\r\n");
}

TEST(TextRows, APieceEndingInSkipColumnsDoesNotDoubleTheTag) {
  Rows r;
  r.types({C::kVarchar2, C::kSkip, C::kVarchar2});
  r.open(false);
  r.piece({r.value("a"), r.value("skipped")}, 0, false);
  r.piece({r.value("b")}, 2, true);
  // A first piece of SKIP columns only writes nothing before the value.
  r.writer.reset();  // a writer reads the column types once, when made
  r.types({C::kSkip, C::kVarchar2});
  r.open(false);
  r.piece({r.value("hidden")}, 0, false);
  r.piece({r.value("c")}, 1, true);
  EXPECT_EQ(r.out(), "a|b\r\nc\r\n");
}

TEST(TextRows, UnknownColumnsArePrefixedAndWarnFiveTimesPerPosition) {
  Rows r;
  r.types({C::kVarchar2}, C::kUnknown);
  r.open(false);
  for (int i = 0; i < 7; i++) r.piece({r.value("v"), r.bytes({0x0A, 0xFF}), r.null(), r.bytes({0x01})}, 0, true);
  const std::string row = "v|C2=0AFF||C4=01\r\n";
  std::string all;
  for (int i = 0; i < 7; i++) all += row;
  EXPECT_EQ(r.out(), all);
  const std::string warn2 = "Warnings : UNKNOWN column type 2 at 29360148.0.3 value 0x0AFF\n";
  const std::string warn4 = "Warnings : UNKNOWN column type 4 at 29360148.0.3 value 0x01\n";
  std::string warnings;
  for (int i = 0; i < 5; i++) warnings += warn2 + warn4;
  EXPECT_EQ(r.console.str(), warnings);
}

TEST(TextRows, WithALobFileMissingPositionsBecomeEmptyFieldsAndNullLobReferences) {
  Rows r;
  r.types({C::kNumber, C::kClob, C::kSkip, C::kVarchar2, C::kBlob});
  r.open(true);
  r.piece({r.bytes({0xC1, 0x02})}, 0, true);
  r.piece({r.bytes({0xC1, 0x03}), r.null()}, 0, true);
  EXPECT_EQ(r.out(), "1|t.LOB.1.-1/||t.LOB.3.-1/\r\n2|t.LOB.5.-1/||t.LOB.7.-1/\r\n");
  EXPECT_EQ(r.lobData.str(), "\r\n\r\n\r\n\r\n");
}

// With or without a LOB file, a non-NULL LOB value that is not recovered
// counts once for its column; NULLs and padded positions do not count.
TEST(TextRows, LobValuesNotRecoveredAreCountedOncePerValueAndColumn) {
  for (bool withLob : {true, false}) {
    SCOPED_TRACE(withLob ? "LOB file" : "no LOB file");
    Rows r;
    r.types({C::kNumber, C::kBlob, C::kClob, C::kBlob});
    snprintf(r.job->columns.desc[1].name, sizeof r.job->columns.desc[1].name, "DOC");
    r.open(withLob);
    r.piece({r.bytes({0xC1, 0x02}), r.value("locator"), r.null()}, 0, true);
    r.piece({r.bytes({0xC1, 0x03}), r.value("loc")}, 0, false, true);  // goes on in the next piece
    r.piece({r.value("ator"), r.value("locator")}, 1, true, false, true);
    StringSink warnings;
    r.job->lobLosses.warn(warnings, r.job->columns, "LOB values not recovered in");
    EXPECT_EQ(warnings.str(),
              "  Warning: 2 LOB values not recovered in column DOC\n"
              "  Warning: 1 LOB values not recovered in column 3\n");
  }
}

TEST(TextRows, EarlyEndsPadFromThePositionReachedWithoutALeadingTag) {
  Rows r;
  r.types({C::kVarchar2, C::kVarchar2, C::kVarchar2});
  r.open(true);
  r.piece({r.value("a")}, 0, false);  // the next piece never comes
  r.writer->endRowEarly(1);
  r.writer->endRowEarly(0);  // nothing of the row written
  r.piece({r.value("a"), r.value("b")}, 0, false, true);  // split value cut short
  r.writer->endRowEarly(2);
  EXPECT_EQ(r.out(), "a||\r\n||\r\na|b|\r\n");
}

TEST(TextRows, RowAddressStartsTheRowWithItsOwnField) {
  Rows r;
  r.types({C::kVarchar2, C::kVarchar2});
  r.open(true);
  r.writer->rowAddress(2516582403u, 0, 7);
  r.piece({}, 0, true);
  r.writer->rowAddress(5, 1, 2);
  r.piece({r.value("x")}, 0, true);
  EXPECT_EQ(r.out(), "2516582403.0.7||\r\n5.1.2|x|\r\n");
}

TEST(TextRows, OtherTagsAreWrittenByteForByte) {
  Rows r;
  r.types({C::kVarchar2, C::kVarchar2});
  r.tags("<|>", std::string("\0\n", 2));
  r.open(false);
  r.piece({r.value("a"), r.value("b")}, 0, true);
  EXPECT_EQ(r.out(), std::string("a<|>b\0\n", 7));
}

// Text style writes values as they are, and counts per column the values
// holding the field or the record tag: such a file does not load back.
TEST_P(TagCounts, ValuesHoldingATagAreCountedPerColumn) {
  Rows r;
  r.types({C::kVarchar2, C::kVarchar2, C::kNumber});
  snprintf(r.job->columns.desc[0].name, sizeof r.job->columns.desc[0].name, "NOTE");
  r.open(false);
  r.writer->rowAddress(1, 0, 2);  // "1.0.2" is no value of a column
  r.piece({r.value("a|b"), r.value("x\r\ny"), r.bytes({0xC1, 0x02})}, 0, true);
  r.writer->rowAddress(1, 0, 3);
  r.piece({r.value("|"), r.value("a\rb\n"), r.bytes({0xC1, 0x03})}, 0, true);
  EXPECT_EQ(r.out(), "1.0.2|a|b|x\r\ny|1\r\n1.0.3|||a\rb\n|2\r\n");
  StringSink warnings;
  r.job->taggedValues.warn(warnings, r.job->columns, "values holding a tag in");
  EXPECT_EQ(warnings.str(),
            "  Warning: 2 values holding a tag in column NOTE\n"
            "  Warning: 1 values holding a tag in column 2\n");
}

// The values are checked once their bytes are about to leave the buffer
// (a small one here, handed on every few rows): each value counts when its
// own text holds a tag, never for a tag it only touches, one of the
// writer's own or one split over two values.
TEST_P(TagCounts, StayExactWhateverTheBufferHoldsAtTheCheck) {
  for (const auto& [field, record] : {std::pair("|"s, "\r\n"s), std::pair("<|>"s, "\0\n"s)}) {
    Rows r;
    r.types({C::kVarchar2, C::kNumber, C::kVarchar2, C::kVarchar2});
    r.tags(field, record);
    r.open(false);
    std::mt19937 rng(5);
    const std::string alphabet("ab<|>\r\n\0", 8);
    uint64_t expected[3] = {0, 0, 0};
    for (int row = 0; row < 3000; row++) {
      std::vector<ColumnRef> cols;
      for (uint32_t pos = 0; pos < 4; pos++) {
        if (pos == 1) {
          cols.push_back(r.bytes({0xC1, 0x02}));
          continue;
        }
        // Plain, holding a tag, ending in the start of one, or any bytes.
        std::string text(rng() % 12, 'a');
        const std::string& tag = rng() % 2 ? field : record;
        switch (rng() % 40) {
          case 1: text.insert(rng() % (text.size() + 1), tag); break;
          case 2: text += tag.substr(0, rng() % tag.size()); break;
          case 3:
            for (char& c : text) c = alphabet[rng() % alphabet.size()];
            break;
        }
        if (text.find(field) != std::string::npos || text.find(record) != std::string::npos)
          expected[pos == 0 ? 0 : pos - 1]++;
        cols.push_back(r.value(text));
        if (r.next > kBlock - 100) r.next = 100;
      }
      r.piece(cols, 0, true);
    }
    r.out();
    EXPECT_EQ(r.job->taggedValues.count[0], expected[0]) << field;
    EXPECT_EQ(r.job->taggedValues.count[1], 0u) << field;
    EXPECT_EQ(r.job->taggedValues.count[2], expected[1]) << field;
    EXPECT_EQ(r.job->taggedValues.count[3], expected[2]) << field;
  }
}

// The tag-byte count of each sweep against a byte-by-byte one: every tail
// length, and runs long enough that a byte lane counts to 255 before its
// sums are taken (all bytes a tag byte) and beyond.
TEST_P(TagCounts, TagBytesAreCountedAtEveryLength) {
  std::mt19937 rng(3);
  std::string text(20000, 'a');
  for (char& c : text) c = "ab|\n"[rng() % 4];
  const std::string all(20000, '|');
  for (size_t n : {0u, 1u, 15u, 16u, 17u, 31u, 32u, 33u, 47u, 63u, 64u, 65u, 4079u, 4080u, 4081u, 8160u, 8191u,
                   8192u, 16353u, 20000u}) {
    for (size_t from : {0u, 1u}) {
      if (from > n) continue;
      const std::string t = text.substr(from, n - from);
      const size_t expected = std::count(t.begin(), t.end(), '|') + std::count(t.begin(), t.end(), '\n');
      EXPECT_EQ(countEither(t.data(), t.size(), '|', '\n'), expected) << n << " from " << from;
      EXPECT_EQ(countEither(all.data() + from, n - from, '\n', '|'), n - from) << n << " from " << from;
    }
  }
}

BEX_EACH_BYTE_SWEEP(TagCounts);

TEST(CsvRows, ValuesAreEnclosedOnlyWhenTheyMustBeAndKeepEveryByte) {
  Rows r;
  r.types({C::kVarchar2, C::kVarchar2, C::kVarchar2, C::kVarchar2, C::kVarchar2, C::kVarchar2, C::kVarchar2,
           C::kVarchar2});
  r.openCsv(false);
  r.piece({r.value("plain"), r.value("a,b"), r.value("say \"hi\""), r.value("cr\rx"), r.value("lf\nx"),
           r.value("tab\t|"), r.bytes({'n', 0, 'l'}), r.null()},
          0, true);
  EXPECT_EQ(r.out(), "plain,\"a,b\",\"say \"\"hi\"\"\",\"cr\rx\",\"lf\nx\",tab\t|,n\0l,\n"s);
  EXPECT_EQ(r.job->nulValues.count[6], 1u);  // PostgreSQL text cannot hold it: warned about
  EXPECT_FALSE(r.job->taggedValues.any());
}

// NULL is an empty field; a text that is empty but not NULL (a CHAR of
// blanks) is "", where the type has empty text; rows that do not store
// every position, at their end or before a piece, get every field.
TEST(CsvRows, EmptyTextIsAnEmptyStringNullNothingAndRowsAreFilled) {
  Rows r;
  r.types({C::kChar, C::kNumber, C::kChar, C::kVarchar2});
  r.openCsv(false);
  r.piece({r.value("   "), r.null(), r.value("x")}, 0, true);
  r.piece({r.bytes({0xC1, 0x02})}, 1, true);
  EXPECT_EQ(r.out(), "\"\",,x,\n,1,,\n");
}

// The quotes are chosen for the whole of a value split over row pieces,
// and a value longer than the field's buffer is enclosed from its start.
TEST(CsvRows, SplitAndLongValuesAreEnclosedAsAWhole) {
  Rows r;
  r.types({C::kLong, C::kVarchar2});
  r.openCsv(false);
  r.piece({r.value("abc")}, 0, false, true);
  r.piece({r.value("d,ef"), r.value("x")}, 0, true, false, true);
  std::string text, written = "\"";
  for (int i = 0; i < 12; i++) {
    const std::string part = std::string(6999, 'a' + i) + (i == 5 ? "\"" : "b");
    text += part;
    r.next = 100;
    r.piece({r.value(part)}, 0, i == 11, i < 11, i > 0);
  }
  for (char c : text) written += c == '"' ? std::string("\"\"") : std::string(1, c);
  EXPECT_EQ(r.out(), "\"abcd,ef\",x\n" + written + "\",\n");
}

TEST(CsvRows, ASeparatorOfTwoBytesEnclosesOnlyValuesHoldingBoth) {
  Rows r;
  r.types({C::kVarchar2, C::kVarchar2});
  r.openCsv(false, "||");
  r.piece({r.value("a|b"), r.value("a||b")}, 0, true);
  EXPECT_EQ(r.out(), "a|b||\"a||b\"\n");
}

// CSV writes what "%f" and six fraction digits would lose; text style
// stays as it is.
TEST(CsvRows, FloatsAndTimestampsKeepEveryDigit) {
  auto floatBytes = [](float f) {
    uint32_t bits;
    memcpy(&bits, &f, 4);
    bits ^= 0x80000000u;
    return std::string{static_cast<char>(bits >> 24), static_cast<char>(bits >> 16), static_cast<char>(bits >> 8),
                       static_cast<char>(bits)};
  };
  for (bool csv : {false, true}) {
    Rows r;
    r.types({C::kBinaryFloat, C::kTimestamp});
    csv ? r.openCsv(false) : r.open(false);
    // 2024-01-02 03:04:05.123456789
    r.piece({r.value(floatBytes(1e-10f)), r.bytes({120, 124, 1, 2, 4, 5, 6, 0x07, 0x5B, 0xCD, 0x15})}, 0, true);
    EXPECT_EQ(r.out(), csv ? "1e-10,2024-01-02 03:04:05.123456789\n" : "0.000000|2024-01-02 03:04:05.123456\r\n");
  }
}

TEST(ColumnText, ValuesReachingIntoTheBlockTailAreNull) {
  Rows r;
  BlockContext& bc = r.bc;
  ColumnSpec raw;
  raw.type = C::kRaw;
  memset(r.block.data() + kBlock - 8, 0xAB, 8);
  writeColumnText(r.data, r.lob, bc, r.block.data(), kBlock - 8, 4, raw);
  writeColumnText(r.data, r.lob, bc, r.block.data(), kBlock - 8, 5, raw);
  writeColumnText(r.data, r.lob, bc, r.block.data(), kBlock - 8, 0, raw);
  EXPECT_EQ(r.out(), "ABABABAB");
}

TEST(ColumnText, LobColumnsNeedALobFile) {
  Rows r;
  ColumnSpec clob;
  clob.type = C::kClob;
  writeColumnText(r.data, r.lob, r.bc, r.block.data(), 100, 20, clob);
  EXPECT_EQ(r.out(), "");
  r.lob.sink = &r.lobData;
  strcpy(r.lob.name, "dir.x/t.LOB");
  r.lob.recordTag = "\r\n";
  r.lobData.write("12345");
  writeColumnText(r.data, r.lob, r.bc, r.block.data(), 100, 0, clob);
  EXPECT_EQ(r.out(), "dir.x/t.LOB.6.-1/");
  EXPECT_EQ(r.lobData.str(), "12345\r\n");
}

TEST(LobFileName, LastDotOfTheWholeName) {
  char name[64];
  lobFileName("t.txt", name, sizeof name);
  EXPECT_STREQ(name, "t.LOB");
  lobFileName("t", name, sizeof name);
  EXPECT_STREQ(name, "t.LOB");
  lobFileName("dir.x/t", name, sizeof name);
  EXPECT_STREQ(name, "dir.LOB");
  lobFileName("", name, sizeof name);
  EXPECT_STREQ(name, ".LOB");
  lobFileName("a.b.c", name, sizeof name);
  EXPECT_STREQ(name, "a.b.LOB");
}

TEST(GuessRows, ColumnsGoToTheGuesserAndNothingIsWritten) {
  Rows r;
  r.types({C::kNumber, C::kSkip}, C::kUnknown);
  struct Seen {
    std::vector<std::string> values;
    std::vector<uint32_t> positions;
  } seen;
  auto hook = [](void* g, const uint8_t* block, uint16_t offset, uint16_t length, uint32_t position) {
    Seen& s = *static_cast<Seen*>(g);
    s.values.emplace_back(reinterpret_cast<const char*>(block) + offset, length);
    s.positions.push_back(position);
  };
  GuessRowWriter guess(*r.job, hook, &seen);
  ColumnList list;
  const ColumnRef a = r.value("a"), b = r.value("b"), c = r.value("c");
  list.add(a.offset, a.length), list.add(b.offset, b.length), list.add(c.offset, c.length);
  PieceRef p{&r.view, &list, 0, false, false, false, 1, 0, 0};
  guess.rowAddress(1, 0, 0);
  guess.piece(p);
  guess.endRowEarly(3);
  EXPECT_EQ(seen.values, (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(seen.positions, (std::vector<uint32_t>{0, 2}));
  EXPECT_EQ(r.console.str(), "");
}
