// Export dumps: the file parts byte by byte, the row writer over hand-made
// row pieces, and a reader of its own (no code shared with the writer) that
// reads the dumps BEX writes and the real exp dumps alike.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "unload/dump_output.h"
#include "unload_test_util.h"

namespace bex::testing {
namespace {

// ---- the reader -----------------------------------------------------------

using Bytes = std::string;

struct DumpTable {
  std::string tableLine, createLine, insertLine;
  struct Column {
    unsigned type = 0, length = 0, charset = 0, form = 0;
  };
  std::vector<Column> columns;
  // Each value: nullopt for NULL; a LONG or LOB piece sequence joined.
  std::vector<std::vector<std::optional<Bytes>>> rows;
  bool closed = false;  // FF FF after the rows
};

struct Reader {
  const std::string& s;
  size_t at = 0;
  bool ok = true;
  unsigned u16() {
    if (at + 2 > s.size()) return ok = false, 0;
    unsigned v = static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8;
    at += 2;
    return v;
  }
  std::string line() {
    size_t e = s.find('\n', at);
    if (e == std::string::npos) return ok = false, "";
    std::string l = s.substr(at, e - at);
    at = e + 1;
    return l;
  }
  Bytes take(size_t n) {
    if (at + n > s.size()) return ok = false, "";
    Bytes b = s.substr(at, n);
    at += n;
    return b;
  }
};

bool hasCharsetFields(unsigned type) { return type == 1 || type == 9 || type == 96; }

// The table whose TABLE line starts at `from`: lines, descriptors, rows.
DumpTable readTable(const std::string& s, size_t from) {
  DumpTable t;
  Reader r{s, from};
  t.tableLine = r.line();
  t.createLine = r.line();
  t.insertLine = r.line();
  const unsigned n = r.u16();
  for (unsigned i = 0; i < n && r.ok; i++) {
    DumpTable::Column c;
    c.type = r.u16();
    c.length = r.u16();
    if (hasCharsetFields(c.type)) {
      c.charset = r.u16();
      c.form = r.u16() & 0xFF;
    }
    t.columns.push_back(c);
  }
  if (r.u16() != 0 || r.u16() != 0) r.ok = false;
  while (r.ok) {
    std::vector<std::optional<Bytes>> row;
    for (unsigned i = 0; i < n && r.ok; i++) {
      unsigned len = r.u16();
      if (i == 0 && len == 0xFFFF) {
        t.closed = true;
        return t;
      }
      if (len == 0xFFFE) {
        row.emplace_back();
      } else if (len == 0xFFFD) {  // pieces up to 00 00
        Bytes whole;
        for (unsigned k; r.ok && (k = r.u16()) != 0;) whole += r.take(k);
        row.emplace_back(whole);
      } else {
        row.emplace_back(r.take(len));
      }
    }
    if (r.u16() != 0) break;  // every row ends with 00 00
    t.rows.push_back(row);
  }
  return t;
}

uint16_t be16(const std::string& s, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) << 8 | static_cast<uint8_t>(s[at + 1]));
}

// ---- the file parts ------------------------------------------------------

TEST(DumpFile, HeaderIsFixedSizeAndDeclaresOneCharacterSetThroughout) {
  StringSink out;
  writeDumpHeader(out, 178, 2000, "ABCDEFGHIJ");
  const std::string& h = out.str();
  ASSERT_EQ(h.size(), 2268u);
  EXPECT_EQ(h[0], '\x03');
  EXPECT_EQ(be16(h, 1), 178);
  EXPECT_EQ(h.substr(3, 18), "EXPORT:V08.01.07\nU");
  EXPECT_EQ(h.substr(21, 10 + 21), "ABCDEFGHIJ\nRTABLES\n2048\n0\n28\n0\n");
  EXPECT_EQ(be16(h, 52), 178);
  EXPECT_EQ(be16(h, 54), 178);
  EXPECT_EQ(be16(h, 56), 2000);
  // The session block at 2048 names the same sets, and ends with the time
  // zone and version texts.
  EXPECT_EQ(h.substr(2048, 7), std::string("\x64\0\0\0\0\x60\x01", 7));
  EXPECT_EQ(be16(h, 2048 + 57), 178);
  EXPECT_EQ(be16(h, 2048 + 59), 2000);
  EXPECT_EQ(be16(h, 2048 + 159), 178);
  EXPECT_EQ(be16(h, 2048 + 161), 178);
  EXPECT_EQ(h.substr(2268 - 16), std::string("\x06\0+00:00\x05\0" "8.1.6\n", 16));
}

TEST(DumpFile, TableStartDescriptorsAndTrailerReadBack) {
  TableColumns cols;
  cols.count = 4;
  const char* names[] = {"ID", "NAME", "DOC", "X"};
  ColumnTypeCode types[] = {ColumnTypeCode::kNumber, ColumnTypeCode::kVarchar2, ColumnTypeCode::kClob,
                            ColumnTypeCode::kBlob};
  for (int i = 0; i < 4; i++) {
    strcpy(cols.desc[i].name, names[i]);
    cols.column[i].type = types[i];
    cols.desc[i].length = 22;
  }
  cols.column[1].charsetForm = 2, cols.column[1].charsetId = 2000;
  cols.desc[3].typeKind = kKindXmlType;
  StringSink out;
  writeDumpTableStart(out, "MY\tT", "CREATE TABLE \"MY\tT\" (\"ID\" NUMBER)", cols, true, 77, 852);
  const uint8_t one[] = {0xC1, 0x02};
  writeDumpValue(out, one, 2);
  writeDumpValue(out, nullptr, 0);
  writeDumpValue(out, nullptr, 0);
  writeDumpValue(out, nullptr, 0);
  out.write("\0\0", 2);
  writeDumpTrailer(out);
  const std::string& s = out.str();
  DumpTable t = readTable(s, 0);
  EXPECT_EQ(t.tableLine, "TABLE \"MY T\"");
  EXPECT_EQ(t.insertLine, "INSERT INTO \"MY\tT_77\" (\"ID\",\"NAME\",\"DOC\",\"X\") VALUES "
                          "(:1,:2,:3,SYS.XMLTYPE.CREATEXMLFROMBINARY(:4))");
  ASSERT_EQ(t.columns.size(), 4u);
  EXPECT_EQ(t.columns[1].charset, 2000u);
  EXPECT_EQ(t.columns[1].form, 2u);
  EXPECT_EQ(t.columns[2].type, 8u);  // LOBs are declared as LONG and LONG RAW
  EXPECT_EQ(t.columns[3].type, 24u);
  EXPECT_EQ(t.columns[3].length, 0x4000u);
  ASSERT_EQ(t.rows.size(), 1u);
  EXPECT_EQ(*t.rows[0][0], "\xC1\x02");
  EXPECT_FALSE(t.rows[0][1]);
  EXPECT_TRUE(t.closed);
  EXPECT_EQ(s.substr(s.size() - 2048 - 13, 13), "\xFF\xFF\nEXIT\nEXIT\n");
}

// ---- the row writer over hand-made pieces ------------------------------------

struct PieceRig {
  TestShell shell;
  UnloadJob job;
  StringSink data;
  std::vector<uint8_t> block = std::vector<uint8_t>(8192);
  BlockView view{block.data(), 8192, 0};
  size_t used = 100;
  std::unique_ptr<RowWriter> w;

  explicit PieceRig(std::vector<ColumnTypeCode> types) {
    job.columns.count = static_cast<uint16_t>(types.size());
    for (size_t i = 0; i < types.size(); i++) job.columns.column[i].type = types[i];
    w = makeDumpRowWriter(shell.rc, job, data);
  }
  ColumnList list(std::vector<std::string> values, uint8_t flag = 0) {
    ColumnList c;
    c.flag = flag;
    for (auto& v : values) {
      memcpy(block.data() + used, v.data(), v.size());
      c.add(static_cast<uint32_t>(used), static_cast<uint32_t>(v.size()));
      used += v.size();
    }
    return c;
  }
  void piece(const ColumnList& c, uint32_t start, bool continues, bool last, bool lastContinues) {
    PieceRef p{&view, &c, start, continues, last, lastContinues, 1, 0, 0};
    w->piece(p);
  }
  std::vector<std::vector<std::optional<Bytes>>> rows() {
    StringSink head;
    TableColumns cols;
    cols.count = job.columns.count;
    for (unsigned i = 0; i < cols.count; i++) cols.column[i].type = job.columns.column[i].type;
    writeDumpTableStart(head, "T", "", cols, false, 0, 1);
    return readTable(head.str() + data.str() + "\xFF\xFF", 0).rows;
  }
};

using C = ColumnTypeCode;

TEST(DumpRows, NullsMissingColumnsAndValuesSplitOverPieces) {
  PieceRig r({C::kNumber, C::kVarchar2, C::kVarchar2, C::kNumber});
  // Row 1: two columns stored, the last two missing.
  ColumnList a = r.list({"\xC1\x02", ""});
  r.piece(a, 0, false, true, false);
  // Row 2: "hello world" split over two pieces, then the rest of the row.
  ColumnList b1 = r.list({"\xC1\x03", "hello "});
  ColumnList b2 = r.list({"world", "x", "\xC1\x04"});
  r.piece(b1, 0, false, false, true);
  r.piece(b2, 1, true, true, false);
  EXPECT_EQ(r.data.str().substr(0, 12), std::string("\x02\0\xC1\x02\xFE\xFF\xFE\xFF\xFE\xFF\0\0", 12));
  auto rows = r.rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(*rows[1][1], "hello world");
  EXPECT_EQ(*rows[1][3], "\xC1\x04");
}

TEST(DumpRows, LongIsAPieceSequenceAndNeverJoined) {
  PieceRig r({C::kNumber, C::kLong, C::kNumber});
  ColumnList p1 = r.list({"\xC1\x02", "aaa"});
  ColumnList p2 = r.list({"bbb"});
  ColumnList p3 = r.list({"cc", "\xC1\x05"});
  r.piece(p1, 0, false, false, true);
  r.piece(p2, 1, true, false, true);
  r.piece(p3, 1, true, true, false);
  // A NULL LONG is a plain NULL.
  ColumnList n = r.list({"\xC1\x02", "", "\xC1\x03"});
  r.piece(n, 0, false, true, false);
  const std::string& s = r.data.str();
  EXPECT_NE(s.find(std::string("\xFD\xFF\x03\0aaa\x03\0bbb\x02\0cc\0\0", 18)), std::string::npos);
  auto rows = r.rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(*rows[0][1], "aaabbbcc");
  EXPECT_EQ(*rows[0][2], "\xC1\x05");
  EXPECT_FALSE(rows[1][1]);
}

TEST(DumpRows, BrokenRowsStayWellFormed) {
  PieceRig r({C::kNumber, C::kLong, C::kVarchar2});
  // A LONG whose last piece never comes.
  ColumnList l = r.list({"\xC1\x02", "abc"});
  r.piece(l, 0, false, false, true);
  r.w->endRowEarly(2);
  // A value split over pieces whose second part never comes.
  r.w->rowAddress(1, 0, 1);
  ColumnList v = r.list({"\xC1\x02", "\xC1\x02", "part"});
  r.piece(v, 0, false, false, true);
  r.w->endRowEarly(3);
  // A value longer than the join bound ends its row; the row's other
  // pieces are passed over until the next row.
  r.w->rowAddress(1, 0, 2);
  std::string big(8000, 'z');
  ColumnList b1 = r.list({"\xC1\x02", "\xC1\x02", big});
  r.piece(b1, 0, false, false, true);
  for (int i = 0; i < 2; i++) {
    r.used = 100;  // the next parts come from other blocks
    ColumnList more = r.list({big});
    r.piece(more, 2, true, false, true);
  }
  r.w->endRowEarly(3);
  r.w->rowAddress(1, 0, 3);
  ColumnList ok = r.list({"\xC1\x09"});
  r.piece(ok, 0, false, true, false);
  EXPECT_NE(r.shell.fresh().find("row ends early"), std::string::npos);
  auto rows = r.rows();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(*rows[0][1], "abc");
  EXPECT_FALSE(rows[0][2]);
  EXPECT_EQ(*rows[1][2], "part");
  EXPECT_FALSE(rows[2][2]);
  EXPECT_EQ(*rows[3][0], "\xC1\x09");
}

// ---- the real exp dumps ----------------------------------------------------

const char* kRealData = "../shared/realdata/";

std::string realFile(const std::string& name) {
  for (std::string base : {std::string(kRealData), std::string("/work/shared/realdata/")})
    if (std::filesystem::exists(base + name)) return readWhole(base + name);
  return "";
}

// The structure BEX writes is the one exp writes. Differences that remain,
// all harmless to imp: exp writes "D" or "U" and its own mode, version and
// date in the header, session settings and other sections between the
// header and the first TABLE line, and ", " between the INSERT's names and
// binds where BEX writes ","; exp declares BLOB and CLOB columns as 113 and
// 112 followed by a LOB column section, where BEX declares them LONG RAW and
// LONG (imp loads those into LOB columns of the CREATE TABLE); after the rows' FF FF it goes on with index
// and statistics statements where BEX ends with EXIT.
TEST(RealDumps, ReaderReadsExpTablesLikeOurs) {
  const std::string s = realFile("oracledmpparser-exptest/exptest.dmp");
  if (s.empty()) GTEST_SKIP() << "no real dumps in ../shared/realdata";
  EXPECT_EQ(s[0], '\x03');
  EXPECT_EQ(s.substr(3, 8), "EXPORT:V");
  EXPECT_NE(s.find(std::string("\x64\0\0\0\0\x60\x01", 7)), std::string::npos);  // the session block
  const size_t at = s.find("TABLE \"TABLE2\"\nCREATE TABLE");
  ASSERT_NE(at, std::string::npos);
  DumpTable t = readTable(s, at);
  EXPECT_EQ(t.insertLine.substr(0, 21), "INSERT INTO \"TABLE2\" ");
  ASSERT_EQ(t.columns.size(), 3u);
  EXPECT_EQ(t.columns[0].type, 1u);
  // Descriptors name the database character set, the header's second id.
  const size_t ids = s.find("\n0\n72\n0\n") + 8;
  EXPECT_EQ(t.columns[0].charset, be16(s, ids + 2));
  ASSERT_EQ(t.rows.size(), 4u);
  EXPECT_EQ(*t.rows[0][0], "K1");
  EXPECT_FALSE(t.rows[3][1]);
  EXPECT_TRUE(t.closed);
}

TEST(RealDumps, UnloadTableWritesADumpOfTheSameStructure) {
  ScratchDir dir;
  ASSERT_TRUE(forgeScenario("unload", dir.path));
  std::filesystem::create_directory(dir.file("BEXDICT"));
  auto put = [&](const char* name, const char* text) {
    FILE* f = fopen(dir.file(std::string("BEXDICT/") + name).c_str(), "wb");
    fputs(text, f);
    fclose(f);
  };
  const char* heap =
      "81001,1,1,ID,2,22,0,0,1,1,0,0,0,\n81001,2,2,NAME,1,20,0,0,0,2,0,852,1,\n"
      "81001,3,3,NOTE,1,40,0,0,0,3,0,852,1,\n81001,4,4,CREATED,12,7,0,0,0,4,0,0,0,\n"
      "81001,5,5,AMOUNT,2,22,10,0,0,5,0,0,0,\n";
  put("BEXUSR.TXT", "0,SYS,\n54,SCOTT,\n");
  put("BEXOBJ.TXT", "81001,54,HEAP,,2,\n81077,54,EMPTYT,,2,\n");
  put("BEXTAB.TXT", "81001,81001,4,7,10,0\n81077,81077,4,7,88,0\n");
  put("BEXCOL.TXT", heap);
  put("BEXCOLMAP041.TXT", heap);
  put("BEXCOLMAP053.TXT", "81077,1,1,ID,2,22,0,0,0,1,0,0,0,\n");
  ASSERT_EQ(chdir(dir.path.c_str()), 0);
  UnloadShell sh;
  sh.statement("OPEN unload.cfg");
  sh.statement("SET OUTPUT_STYLE DMP");
  std::string said = sh.statement("UNLOAD TABLE SCOTT.HEAP");
  std::string text = (sh.statement("SET OUTPUT_STYLE TXT"), sh.statement("UNLOAD TABLE SCOTT.HEAP TO h.txt"));
  sh.statement("UNLOAD TABLE SCOTT.EMPTYT TO e.dmp");
  const std::string s = readWhole(dir.file("bexdata.dmp"));
  ASSERT_GT(s.size(), 2268u) << said;
  EXPECT_FALSE(std::filesystem::exists(dir.file("e.dmp")));  // no rows, EMPTY_FILES off
  EXPECT_EQ(s.substr(s.size() - 2061, 13), "\xFF\xFF\nEXIT\nEXIT\n");
  DumpTable t = readTable(s, 2268);
  EXPECT_EQ(t.tableLine, "TABLE \"HEAP\"");
  EXPECT_EQ(t.createLine.substr(0, 20), "CREATE TABLE \"HEAP\" ");
  ASSERT_EQ(t.columns.size(), 5u);
  EXPECT_EQ(t.columns[1].charset, 852u);
  EXPECT_TRUE(t.closed);
  // As many rows as the text unload, every one with five values.
  size_t lines = 0;
  for (char ch : readWhole(dir.file("h.txt"))) lines += ch == '\n';
  EXPECT_EQ(t.rows.size(), lines);
  for (auto& row : t.rows) EXPECT_EQ(row.size(), 5u);
  ASSERT_EQ(chdir("/"), 0);
}

}  // namespace
}  // namespace bex::testing
