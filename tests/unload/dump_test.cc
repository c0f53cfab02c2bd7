// Export dumps: the parts of the file, the row writer over hand-made row
// pieces, and the real exp dumps read by the test reader beside the dumps
// BEX writes.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dump_reader.h"
#include "unload/dump_output.h"
#include "unload_test_util.h"

namespace bex::testing {
namespace {

// ---- the file parts -----------------------------------------------------------

TEST(DumpFile, HeaderIsFixedSizeAndDeclaresOneCharacterSetThroughout) {
  StringSink out;
  writeDumpHeader(out, 178, 2000, "ABCDEFGHIJ");
  const std::string& h = out.str();
  ASSERT_EQ(h.size(), 2268u);
  const dump::Header d = dump::readHeader(h);
  ASSERT_TRUE(d.ok);
  EXPECT_EQ(d.version, "EXPORT:V08.01.07");
  EXPECT_EQ(d.kind, 'U');
  EXPECT_EQ(d.user, "ABCDEFGHIJ");
  EXPECT_EQ(d.mode, "RTABLES");
  EXPECT_EQ(d.recordLength, 2048u);  // the session block starts there
  EXPECT_EQ(d.exportCharset, 178u);
  EXPECT_EQ(d.charsets[0], 178u);
  EXPECT_EQ(d.charsets[1], 178u);
  EXPECT_EQ(d.charsets[2], 2000u);
  // The session block names the same sets as the header: as written in the
  // fixed block it would declare UTF8 for the database, national and client
  // sets whatever CHARSET says.
  EXPECT_EQ(d.blockDatabase, 178u);
  EXPECT_EQ(d.blockNational, 2000u);
  EXPECT_EQ(d.blockClient[0], 178u);
  EXPECT_EQ(d.blockClient[1], 178u);
  EXPECT_EQ(h.substr(2268 - 16), std::string("\x06\0+00:00\x05\0" "8.1.6\n", 16));
}

TableColumns columnsOf(const std::vector<std::pair<const char*, ColumnTypeCode>>& list) {
  TableColumns cols;
  cols.count = static_cast<uint16_t>(list.size());
  for (size_t i = 0; i < list.size(); i++) {
    strcpy(cols.desc[i].name, list[i].first);
    cols.column[i].type = list[i].second;
    cols.desc[i].length = 22;
  }
  return cols;
}

TEST(DumpFile, TableStartDescriptorsAndTrailerReadBack) {
  using C = ColumnTypeCode;
  TableColumns cols = columnsOf({{"ID", C::kNumber}, {"NAME", C::kVarchar2}, {"DOC", C::kClob}, {"X", C::kBlob},
                                 {"Y", C::kChar}, {"A", C::kRaw}});
  cols.column[1].charsetForm = 2, cols.column[1].charsetId = 2000;
  cols.column[4].charsetForm = 1;  // no CHARSETID: the CHARSET setting, form 1
  cols.desc[3].typeKind = kKindXmlType;
  cols.desc[2].typeKind = kKindXmlType;
  cols.desc[5].typeKind = kKindAnyData;
  StringSink out;
  writeDumpTableStart(out, "MY\tT", "CREATE TABLE \"MY\tT\" (\"ID\" NUMBER)", cols, true, 77, 852);
  const uint8_t one[] = {0xC1, 0x02};
  writeDumpValue(out, one, 2);
  out.write("\xFE\xFF\xFE\xFF\xFE\xFF\xFE\xFF\xFE\xFF\0\0", 12);
  writeDumpTrailer(out);
  const std::string& s = out.str();
  const dump::Table t = dump::readTable(s, 0);
  EXPECT_EQ(t.tableLine, "TABLE \"MY T\"");
  EXPECT_EQ(t.insertLine, "INSERT INTO \"MY\tT_77\" (\"ID\",\"NAME\",\"DOC\",\"X\",\"Y\",\"A\") VALUES "
                          "(:1,:2,SYS.XMLTYPE.CREATEXML(:3),SYS.XMLTYPE.CREATEXMLFROMBINARY(:4),:5,"
                          "SYS.ANYDATA.CONVERTRAW(:6))");
  ASSERT_EQ(t.columns.size(), 6u);
  EXPECT_EQ(t.columns[1].charset, 2000u);
  EXPECT_EQ(t.columns[1].form, 2u);
  EXPECT_EQ(t.columns[2].type, 8u);  // LOBs are declared as LONG and LONG RAW
  EXPECT_EQ(t.columns[3].type, 24u);
  EXPECT_EQ(t.columns[3].length, 0x4000u);
  EXPECT_EQ(t.columns[4].charset, 852u);
  EXPECT_EQ(t.columns[4].form, 1u);
  ASSERT_EQ(t.rows.size(), 1u);
  EXPECT_EQ(*t.rows[0][0], "\xC1\x02");
  EXPECT_FALSE(t.rows[0][1]);
  EXPECT_TRUE(t.closed);
  EXPECT_EQ(s.substr(t.end), "\nEXIT\nEXIT\n" + std::string(2048, '\0'));
}

// ---- the row writer over hand-made pieces ------------------------------------

struct PieceRig {
  TestShell shell;
  UnloadJob job;
  StringSink data;
  uint32_t blockSize;
  std::vector<uint8_t> block;
  BlockView view;
  size_t used = 100;
  LobFile noLob;
  std::unique_ptr<RowWriter> w;

  explicit PieceRig(std::vector<ColumnTypeCode> types, uint16_t size = 8192)
      : blockSize(size), block(size), view{block.data(), size, 0} {
    shell.rc.setBlockSize(size);
    job.columns.count = static_cast<uint16_t>(types.size());
    for (size_t i = 0; i < types.size(); i++) job.columns.column[i].type = types[i];
    w = makeDumpRowWriter(shell.rc.bc, job, data, noLob, shell.rc.out, false);
  }
  ColumnList list(std::vector<std::string> values, uint8_t flag = 0) {
    ColumnList c;
    c.flag = flag;
    for (auto& v : values) {
      if (used + v.size() + 4 > blockSize) used = 100;  // the next parts come from other blocks
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
  std::vector<dump::Row> rows() {
    StringSink head;
    TableColumns cols;
    cols.count = job.columns.count;
    for (unsigned i = 0; i < cols.count; i++) cols.column[i].type = job.columns.column[i].type;
    writeDumpTableStart(head, "T", "", cols, false, 0, 1);
    const std::string s = head.str() + data.str() + "\xFF\xFF";
    const dump::Table t = dump::readTable(s, 0);
    EXPECT_TRUE(t.closed);
    return t.rows;
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
  // A value longer than the join bound (two blocks) ends its row; the
  // row's other pieces are passed over until the next row.
  r.w->rowAddress(1, 0, 2);
  std::string big(8000, 'z');
  ColumnList b1 = r.list({"\xC1\x02", "\xC1\x02", big});
  r.piece(b1, 0, false, false, true);
  for (int i = 0; i < 2; i++) {
    ColumnList more = r.list({big});
    r.piece(more, 2, true, false, true);
  }
  r.w->endRowEarly(3);
  // Damaged flags: a piece that says it continues a value the previous
  // piece did not carry, and a piece starting at a position already
  // written. Neither writes a position twice.
  r.w->rowAddress(1, 0, 3);
  ColumnList d1 = r.list({"\xC1\x04", "\xC1\x05"});
  ColumnList d2 = r.list({"again", "x"});
  ColumnList d3 = r.list({"\xC1\x06", "y"});
  r.piece(d1, 0, false, false, false);
  r.piece(d2, 1, true, false, false);
  r.piece(d3, 0, false, true, false);
  r.w->rowAddress(1, 0, 4);
  ColumnList ok = r.list({"\xC1\x09"});
  r.piece(ok, 0, false, true, false);
  EXPECT_NE(r.shell.fresh().find("row ends early"), std::string::npos);
  auto rows = r.rows();
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(*rows[0][1], "abc");
  EXPECT_FALSE(rows[0][2]);
  EXPECT_EQ(*rows[1][2], "part");
  EXPECT_FALSE(rows[2][2]);
  EXPECT_EQ(*rows[3][1], "\xC1\x05");
  EXPECT_EQ(*rows[3][2], "x");
  EXPECT_EQ(*rows[4][0], "\xC1\x09");
}

// A value carried into a piece that does not continue it is written as far
// as it came, and a LONG whose first stored part is empty still opens its
// piece sequence: every row keeps one value per position.
TEST(DumpRows, CarriedValuesAndEmptyLongPartsKeepThePositions) {
  PieceRig r({C::kNumber, C::kVarchar2, C::kLong, C::kVarchar2});
  ColumnList a1 = r.list({"\xC1\x02", "par"});
  ColumnList a2 = r.list({"x", "y"});
  r.piece(a1, 0, false, false, true);
  r.piece(a2, 2, false, true, false);
  ColumnList b1 = r.list({"\xC1\x03", "n", ""});
  ColumnList b2 = r.list({"abc", "z"});
  r.piece(b1, 0, false, false, true);
  r.piece(b2, 2, true, true, false);
  auto rows = r.rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(*rows[0][1], "par");
  EXPECT_EQ(*rows[0][2], "x");
  EXPECT_EQ(*rows[0][3], "y");
  EXPECT_EQ(*rows[1][2], "abc");
  EXPECT_EQ(*rows[1][3], "z");
}

// Short values are copied in fixed moves where the block holds the bytes:
// values ending at the last byte a value may take (four before the block
// end) come out whole, one byte further they are NULL, and nothing past
// the block is read (the sanitizer build watches the exactly-sized block).
TEST(DumpRows, ShortValuesAtTheBlockEndComeOutWhole) {
  PieceRig r({C::kVarchar2, C::kVarchar2}, 2048);
  std::vector<std::string> want;
  for (uint32_t len : {1u, 15u, 16u, 17u, 31u, 32u, 33u}) {
    const std::string value(len, static_cast<char>('a' + len % 26));
    ColumnList c;
    for (uint32_t end : {r.blockSize - 4, r.blockSize - 3}) {
      memcpy(r.block.data() + end - len, value.data(), len);
      c.add(end - len, len);
    }
    r.piece(c, 0, false, true, false);
    want.push_back(value);
  }
  auto rows = r.rows();
  ASSERT_EQ(rows.size(), want.size());
  for (size_t i = 0; i < rows.size(); i++) {
    ASSERT_TRUE(rows[i][0]);
    EXPECT_EQ(*rows[i][0], want[i]);
    EXPECT_FALSE(rows[i][1]);
  }
}

// With 32 KB blocks two parts could make 65,536 bytes, more than one
// length can say (FFFD to FFFF are marks): a joined value of 65,532 bytes
// is written whole, one byte more ends the row.
TEST(DumpRows, AJoinedValueFitsOneLengthOrEndsTheRow) {
  PieceRig r({C::kNumber, C::kRaw}, 32768);
  for (size_t total : {size_t{65532}, size_t{65533}}) {
    r.w->rowAddress(1, 0, 0);
    ColumnList p1 = r.list({"\xC1\x02", std::string(32000, 'a')});
    ColumnList p2 = r.list({std::string(32000, 'b')});
    ColumnList p3 = r.list({std::string(total - 64000, 'c')});
    r.piece(p1, 0, false, false, true);
    r.piece(p2, 1, true, false, true);
    r.piece(p3, 1, true, true, false);
  }
  EXPECT_NE(r.shell.fresh().find("longer than 65532 bytes"), std::string::npos);
  auto rows = r.rows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1]->size(), 65532u);
  EXPECT_FALSE(rows[1][1]);
}

// ---- the real exp dumps -----------------------------------------------------

std::vector<std::string> realDumps() {
  std::vector<std::string> files;
  std::error_code ec;
  for (const auto& e : std::filesystem::recursive_directory_iterator(BEX_REALDATA_DIR, ec)) {
    std::string ext = e.path().extension().string();
    for (char& ch : ext) ch = static_cast<char>(tolower(static_cast<unsigned char>(ch)));
    if (ext == ".dmp") files.push_back(e.path().string());
  }
  return files;
}

// The tables of a real dump: every TABLE line followed by a CREATE TABLE.
std::vector<dump::Table> realTables(const std::string& s) {
  std::vector<dump::Table> tables;
  for (size_t at = s.find("\nTABLE \""); at != std::string::npos; at = s.find("\nTABLE \"", at + 1)) {
    const size_t next = s.find('\n', at + 1);
    if (s.compare(next + 1, 13, "CREATE TABLE ") == 0) tables.push_back(dump::readTable(s, at + 1));
  }
  return tables;
}

// Every real dump reads whole: its header's three character sets are those
// of its session block (export = client, database, national), character
// columns declare the database set (the header's second), and every table
// without LOB columns ends its rows with FF FF, each row with a value for
// every descriptor. (exp carries LOB values in a form of its own, announced
// by a section after the descriptors that names the LOB columns; see the
// differences below.)
TEST(RealDumps, TheReaderReadsEveryTableOfEveryExpDump) {
  const std::vector<std::string> files = realDumps();
  if (files.empty()) GTEST_SKIP() << "no real dumps in " << BEX_REALDATA_DIR;
  size_t tables = 0, rows = 0, lobTables = 0;
  for (const std::string& f : files) {
    SCOPED_TRACE(f);
    const std::string s = readWhole(f);
    const dump::Header h = dump::readHeader(s);
    ASSERT_TRUE(h.ok);
    EXPECT_EQ(h.version.substr(0, 8), "EXPORT:V");
    EXPECT_EQ(h.charsets[0], h.exportCharset);
    EXPECT_EQ(h.charsets[0], h.blockClient[0]);
    EXPECT_EQ(h.charsets[0], h.blockClient[1]);
    EXPECT_EQ(h.charsets[1], h.blockDatabase);
    EXPECT_EQ(h.charsets[2], h.blockNational);
    for (const dump::Table& t : realTables(s)) {
      SCOPED_TRACE(t.tableLine);
      EXPECT_EQ(t.columns.size(), dump::insertNames(t.insertLine).size());
      for (const dump::Column& c : t.columns) {
        if (!dump::hasCharsetFields(c.type)) continue;
        EXPECT_EQ(c.charset, h.charsets[1]);
      }
      if (t.lobSection) {
        lobTables++;
        continue;
      }
      EXPECT_TRUE(t.closed);
      for (const dump::Row& r : t.rows) EXPECT_EQ(r.size(), t.columns.size());
      tables++;
      rows += t.rows.size();
    }
  }
  EXPECT_GE(lobTables, 3u);
  EXPECT_GT(tables, 40u);
  EXPECT_GT(rows, 1000u);
  // A value the upstream parser's own test asserts.
  const std::string exptest = readWhole(BEX_REALDATA_DIR "/oracledmpparser-exptest/exptest.dmp");
  ASSERT_FALSE(exptest.empty()) << "oracledmpparser-exptest/exptest.dmp is missing beside the other dumps";
  const dump::Table t = dump::readTable(exptest, exptest.find("TABLE \"TABLE1\"\n"));
  ASSERT_GT(t.rows.size(), 1u);
  EXPECT_EQ(*t.rows[1][3], "STRING 2 TEST sadf asdf asdf asdf asdf");
}

// What BEX writes beside what exp writes: the same header fields, session
// block, line order, descriptor layout, NULL and row-end marks and FF FF
// after the rows. The structural differences that remain, each harmless to
// imp, are named here one by one.
TEST(RealDumps, TheDifferencesThatRemainAreHarmlessToImp) {
  const std::string real = readWhole(BEX_REALDATA_DIR "/oracledmpparser-exptest/exptest.dmp");
  if (real.empty()) GTEST_SKIP() << "no real dumps in " << BEX_REALDATA_DIR;
  StringSink out;
  writeDumpHeader(out, 178, 2000, "SYSTEM");
  TableColumns cols = columnsOf({{"KEYCOL", C::kNumber}, {"STRCOL1", C::kVarchar2}, {"BLOBCOL1", C::kBlob}});
  cols.column[1].charsetForm = 1, cols.column[1].charsetId = 178;
  writeDumpTableStart(out, "TABLE1", "CREATE TABLE \"TABLE1\" ( \"KEYCOL\"  NUMBER)", cols, false, 1, 178);
  out.write("\x02\0\xC1\x02\xFE\xFF\xFD\xFF\x01\0x\0\0\0\0", 15);
  writeDumpTrailer(out);
  const std::string& ours = out.str();
  const dump::Header ourHeader = dump::readHeader(ours), realHeader = dump::readHeader(real);
  const dump::Table mine = dump::readTable(ours, 2268);
  const dump::Table theirs = dump::readTable(real, real.find("TABLE \"TABLE1\"\n"));
  ASSERT_TRUE(ourHeader.ok && realHeader.ok && mine.closed && theirs.closed);

  // 1. The version: BEX writes an 8.1.7 export, exp its own release. imp
  //    reads exports of its own and every earlier release.
  EXPECT_EQ(ourHeader.version, "EXPORT:V08.01.07");
  EXPECT_EQ(realHeader.version, "EXPORT:V12.01.00");
  // 2. The mode: BEX exports one table (RTABLES, user "U"), this exp a
  //    user's schema (RUSERS, "D" for a privileged exporter); imp with
  //    FULL=Y imports what the file holds in either mode.
  EXPECT_EQ(ourHeader.mode, "RTABLES");
  EXPECT_EQ(realHeader.mode, "RUSERS");
  // 3. Between the session block and the first TABLE line exp writes its
  //    session settings and schema sections (METRICSU, CONNECT, procedural
  //    actions); BEX goes straight to the table. imp applies such sections
  //    when present; a table export needs none.
  EXPECT_EQ(ours.compare(2268, 6, "TABLE "), 0);
  EXPECT_NE(real.find("\nMETRICSU"), std::string::npos);
  // 4. The CREATE TABLE line: exp adds storage, tablespace and LOB storage
  //    clauses, BEX writes the columns only; imp runs the line as it is, and
  //    the database gives the table its default storage.
  EXPECT_NE(theirs.createLine.find("TABLESPACE"), std::string::npos);
  EXPECT_EQ(mine.createLine.find("TABLESPACE"), std::string::npos);
  // 5. Lines between CREATE and INSERT: exp writes ALTER TABLE ... MODIFY
  //    DEFAULT for column defaults; BEX's dictionary files carry no
  //    defaults, so it writes none, and imp needs none.
  EXPECT_TRUE(mine.otherLines.empty());
  const std::string cars = readWhole(BEX_REALDATA_DIR "/freetic-exp-ko/EXPDAT.DMP");
  const dump::Table carModel = dump::readTable(cars, cars.find("TABLE \"CAR_MODEL\"\nCREATE"));
  ASSERT_FALSE(carModel.otherLines.empty());
  EXPECT_EQ(carModel.otherLines[0], "ALTER TABLE \"CAR_MODEL\" MODIFY DEFAULT");
  // 6. The INSERT line: exp separates names and binds with ", ", BEX with
  //    ","; it is SQL text, where the blank means nothing.
  EXPECT_NE(theirs.insertLine.find("\"KEYCOL\", \"NUMCOL1\""), std::string::npos);
  EXPECT_NE(mine.insertLine.find("\"KEYCOL\",\"STRCOL1\""), std::string::npos);
  // 7. LOB columns: exp declares them as BLOB or CLOB (113, 112) with the
  //    locator's length and follows the descriptors with a section naming
  //    them; BEX declares them as LONG RAW or LONG (24, 8) with length
  //    0x4000 and writes each value as a LONG's piece sequence, which imp
  //    binds into the LOB column the CREATE TABLE line made.
  EXPECT_EQ(theirs.columns[5].type, 113u);
  EXPECT_TRUE(theirs.lobSection);
  EXPECT_EQ(mine.columns[2].type, 24u);
  EXPECT_EQ(mine.columns[2].length, 0x4000u);
  EXPECT_FALSE(mine.lobSection);
  EXPECT_EQ(*mine.rows[0][2], "x");
  // 8. After the rows' FF FF exp goes on with indexes, statistics, grants,
  //    ENDTABLE and METRICS sections before EXIT; BEX writes EXIT at once.
  //    imp reads section after section until EXIT.
  EXPECT_EQ(ours.compare(mine.end, 11, "\nEXIT\nEXIT\n"), 0);
  EXPECT_EQ(real.compare(theirs.end, 14, "\nCREATE UNIQUE"), 0);
  EXPECT_NE(real.rfind("\nEXIT\nEXIT\n"), std::string::npos);
  // 9. The end: exp pads the last record with zeros, BEX adds 2,048 zero
  //    bytes; imp stops reading at EXIT.
  EXPECT_EQ(ours.size(), mine.end + 11 + 2048);
  // 10. The header's first character set: exp names the client's, which
  //     may differ from the database's (the second); BEX names CHARSET in
  //     both places. Each column declares its own set in either.
  EXPECT_EQ(ourHeader.charsets[0], ourHeader.charsets[1]);
  EXPECT_NE(realHeader.charsets[0], realHeader.charsets[1]);
}

}  // namespace
}  // namespace bex::testing
