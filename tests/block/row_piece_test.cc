#include "block/row_piece.h"

#include <gtest/gtest.h>

#include "block/block_header.h"
#include "datafile/block_reader.h"
#include "real_blocks.h"

using namespace bex;
using namespace bex::testing;

namespace {

std::string flagText(uint8_t flag) {
  char l[8];
  rowFlagLetters(flag, l);
  return std::string(l, 8);
}

std::string value(const Bytes& b, const ColumnRef& c) {
  return std::string(reinterpret_cast<const char*>(b.data()) + c.offset, c.length);
}

// Every row of a real table block against Oracle's own trace of it.
void checkAgainstTrace(const Bytes& blk, uint8_t order, const std::vector<TraceRow>& trace) {
  const BlockView v = viewOf(blk, order);
  ASSERT_FALSE(trace.empty());
  for (const TraceRow& t : trace) {
    SCOPED_TRACE("tab " + std::to_string(t.tab) + " row " + std::to_string(t.row));
    ColumnList cols;
    parseRowPiece(v, t.tab, t.row, cols);
    EXPECT_EQ(flagText(cols.flag), t.fb);
    const DataHeader h = readDataHeader(v);
    EXPECT_EQ(v.u8(h.hdsz + rowDirEntry(v, h, t.tab, t.row) + 1), t.lb);
    if (t.cc < 0) continue;  // deleted: Oracle shows no columns
    ASSERT_EQ(cols.count, t.cc);
    for (int i = 0; i < t.cc; i++) {
      if (t.nulls[i]) {
        EXPECT_EQ(cols.col[i].length, 0) << "col " << i;
        continue;
      }
      EXPECT_EQ(Bytes(blk.begin() + cols.col[i].offset, blk.begin() + cols.col[i].offset + cols.col[i].length),
                t.cols[i])
          << "col " << i;
    }
  }
}

bool loadReal(const char* name, Bytes& blk) {
  return readFile(blockDumpDir() + name + ".blk", blk) && blk.size() == 8192;
}

}  // namespace

TEST(RealBlocks, RowsMatchOracleTraceInBothByteOrders) {
  int checked = 0;
  for (const RealBlock& rb : kRealTableBlocks) {
    Bytes blk;
    if (!rb.hasTrace || !loadReal(rb.name, blk)) continue;
    SCOPED_TRACE(rb.name);
    std::vector<TraceRow> trace = readTraceRows(blockDumpDir() + rb.name + ".trc.txt");
    checkAgainstTrace(blk, 0, trace);
    checkAgainstTrace(toBigEndian(blk), 1, trace);
    checked++;
  }
  if (checked == 0) GTEST_SKIP() << "real block dumps not found under " << blockDumpDir();
  EXPECT_EQ(checked, 3);
}

TEST(RealBlocks, HeaderFieldsAndItlMatchTrace) {
  Bytes le;
  if (!loadReal("11203_i686_f4b13171_scott_deleted", le)) GTEST_SKIP() << "real block dumps not found";
  for (uint8_t order : {0, 1}) {
    Bytes blk = order ? toBigEndian(le) : le;
    const BlockView v = viewOf(blk, order);
    EXPECT_EQ(blockRdba(v), 0x01003373u);
    EXPECT_EQ(dataObjectNumber(v), 0x12f8bu);
    EXPECT_EQ(txnItc(v), 3);
    EXPECT_EQ(txnFlg(v), 0x32);
    EXPECT_EQ(hdsz(v), 44u + 72 + 8);  // "data header at 0xbd207c"
    EXPECT_EQ(txnNxt(v), 0x01003370u);
    ItlEntry itl = readItl(v, 1);  // 0x02 0x0006.017.000003e9 0x00c003d6.0149.27 --U- 14 fsc 0x021b.001cc0f2
    EXPECT_EQ(itl.usn, 6);
    EXPECT_EQ(itl.slot, 0x17);
    EXPECT_EQ(itl.wrap, 0x3e9u);
    EXPECT_EQ(itl.ubaRdba, 0x00c003d6u);
    EXPECT_EQ(itl.ubaSeq, 0x149);
    EXPECT_EQ(itl.ubaRec, 0x27);
    EXPECT_EQ(itl.flagLock, kItlFlagU | 14);
    EXPECT_EQ(itl.fscWrap, 0x021b);
    EXPECT_EQ(itl.scnBase, 0x001cc0f2u);
    const DataHeader h = readDataHeader(v);
    EXPECT_EQ(h.nrow, 14);
    EXPECT_EQ(h.fsbo, 0x2e);
    EXPECT_EQ(h.fseo, 0x1d49);
    EXPECT_EQ(h.avsp, 0x1d1b);
    EXPECT_EQ(h.tosp, 0x1f52);
    EXPECT_EQ(rowDirEntry(v, h, 0, 13), 0x1d49);
    EXPECT_EQ(BlockChecksumTest(blk.data(), blk.size()), 0) << "order " << int(order);
  }
}

TEST(RealBlocks, DeletedRowsStillHoldTheirColumns) {
  Bytes blk;
  if (!loadReal("11203_i686_f4b13171_scott_deleted", blk)) GTEST_SKIP() << "real block dumps not found";
  const char* names[] = {"WARD", "JONES", "MARTIN", "BLAKE", "CLARK", "SCOTT",
                         "KING", "TURNER", "ADAMS", "JAMES", "FORD", "MILLER"};
  for (uint32_t row = 2; row < 14; row++) {
    ColumnList cols;
    parseRowPiece(viewOf(blk, 0), 0, row, cols);
    EXPECT_EQ(flagText(cols.flag), "--HDFL--");
    ASSERT_GE(cols.count, 2);
    EXPECT_EQ(value(blk, cols.col[1]), names[row - 2]);
  }
}

TEST(RealBlocks, BigfileBlocksWithoutTrace) {
  Bytes clear, tde;
  if (!loadReal("23ai_free_f7b790_capdata_clear", clear) || !loadReal("23ai_free_f7b781_tde_encrypted_cols", tde))
    GTEST_SKIP() << "real block dumps not found";
  for (uint8_t order : {0, 1}) {
    Bytes blk = order ? toBigEndian(clear) : clear;
    ColumnList cols;
    parseRowPiece(viewOf(blk, order), 0, 0, cols);
    ASSERT_EQ(cols.count, 4);
    EXPECT_EQ(value(blk, cols.col[0]), "Capdata");
    EXPECT_EQ(value(blk, cols.col[1]), "SA");
    EXPECT_EQ(value(blk, cols.col[2]), "9 rue de la porte de Buc Versailles");
    EXPECT_EQ(value(blk, cols.col[3]), "\xc3\x08\x51");  // 78000
    EXPECT_EQ(blockRdba(viewOf(blk, order)), 0x316u);    // file bits 0

    blk = order ? toBigEndian(tde) : tde;
    cols.clear();
    parseRowPiece(viewOf(blk, order), 0, 0, cols);
    ASSERT_EQ(cols.count, 4);
    EXPECT_EQ(value(blk, cols.col[0]), "Emmanuel");
    EXPECT_EQ(value(blk, cols.col[1]), "Rami");
    EXPECT_GT(cols.col[2].length, 16);  // ciphertext comes out as bytes
    EXPECT_LE(cols.col[3].offset + cols.col[3].length, 8192 - 2);
  }
}

// ---------------------------------------------------------------------------
// Hand-built table blocks, both byte orders.

class RowPieces : public ::testing::TestWithParam<uint8_t> {
 protected:
  uint8_t order() const { return GetParam(); }
  RowWriter row() const { return RowWriter(order()); }
};

TEST_P(RowPieces, ColumnLengthForms) {
  TransBlock blk(8192, order(), 1);
  std::string big(256, 'x');
  Bytes r = row().header(0x2C, 0, 5).byte(0x00).col(big).null().col("ab").byte(0x01).byte('z').b;
  layoutTables(blk, {{r}});
  ColumnList cols;
  parseRowPiece(blk.view(), 0, 0, cols);
  ASSERT_EQ(cols.count, 5);
  const uint32_t start = blk.hdsz + rowDirEntry(blk.view(), readDataHeader(blk.view()), 0, 0);
  EXPECT_EQ(cols.col[0].offset, start + 4);  // 0x00: empty value after the length byte
  EXPECT_EQ(cols.col[0].length, 0);
  EXPECT_EQ(cols.col[1].offset, start + 7);  // 0xFE and a 16-bit length
  EXPECT_EQ(cols.col[1].length, 256);
  EXPECT_EQ(value(blk.b, cols.col[1]), big);
  EXPECT_EQ(cols.col[2].offset, start + 7 + 256);  // 0xFF: NULL at its length byte
  EXPECT_EQ(cols.col[2].length, 0);
  EXPECT_EQ(value(blk.b, cols.col[3]), "ab");
  EXPECT_EQ(value(blk.b, cols.col[4]), "z");
  EXPECT_EQ(flagText(cols.flag), "--H-FL--");
  EXPECT_TRUE(cols.next.empty());
  EXPECT_TRUE(cols.head.empty());
}

TEST_P(RowPieces, TrailingNullColumnsAreNotStored) {
  TransBlock blk(4096, order(), 1);
  layoutTables(blk, {{row().header(0x2C, 0, 2).col("a").col("b").b}});
  ColumnList cols;
  parseRowPiece(blk.view(), 0, 0, cols);
  EXPECT_EQ(cols.count, 2);
}

TEST_P(RowPieces, FlgExtendedMovesEverythingByEightBytes) {
  Bytes r = row().header(0x2C, 1, 2).col("abc").col("de").b;
  TransBlock plain(8192, order(), 1, 3, 0x02), extended(8192, order(), 1, 3, 0x32);
  layoutTables(plain, {{r}});
  layoutTables(extended, {{r}});
  EXPECT_EQ(extended.hdsz, plain.hdsz + 8);
  ColumnList a, b;
  parseRowPiece(plain.view(), 0, 0, a);
  parseRowPiece(extended.view(), 0, 0, b);
  ASSERT_EQ(a.count, 2);
  ASSERT_EQ(b.count, 2);
  EXPECT_EQ(value(plain.b, a.col[0]), "abc");
  EXPECT_EQ(value(extended.b, b.col[0]), "abc");
  EXPECT_EQ(value(extended.b, b.col[1]), "de");
  // The same directory bytes read without the 8 bytes land elsewhere.
  extended.u8(38, 0x02);
  ColumnList c;
  parseRowPiece(extended.view(), 0, 0, c);
  EXPECT_TRUE(c.count != 2 || value(extended.b, c.col[0]) != "abc");
}

TEST_P(RowPieces, MigratedAndChainedPiecesCarryAddressesInBothOrders) {
  TransBlock blk(8192, order(), 1);
  Bytes head = row().header(0x20, 0, 0).addr(0x01400020, 7).b;                   // --H----- : only next
  Bytes first = row().header(0x0C, 0, 2).addr(0x01400010, 0).col("x").col("y").b;  // ----FL-- : head address
  Bytes chained = row().header(0x29, 0, 1).addr(0x0140ABCD, 0x0102).col("p").b;    // --H-F--N : next, columns
  Bytes middle = row().header(0x03, 0, 1).addr(0x00C00001, 3).col("m").b;         // ------PN : next only
  layoutTables(blk, {{head, first, chained, middle}});
  ColumnList cols;
  parseRowPiece(blk.view(), 0, 0, cols);
  EXPECT_EQ(cols.count, 0);
  EXPECT_EQ(cols.next.rdba, 0x01400020u);
  EXPECT_EQ(cols.next.slot, 7);

  cols.clear();
  parseRowPiece(blk.view(), 0, 1, cols);
  ASSERT_EQ(cols.count, 2);
  EXPECT_EQ(value(blk.b, cols.col[0]), "x");
  EXPECT_EQ(cols.head.rdba, 0x01400010u);
  EXPECT_TRUE(cols.next.empty());

  cols.clear();
  parseRowPiece(blk.view(), 0, 2, cols);
  ASSERT_EQ(cols.count, 1);
  EXPECT_EQ(value(blk.b, cols.col[0]), "p");
  EXPECT_EQ(cols.next.rdba, 0x0140ABCDu);
  EXPECT_EQ(cols.next.slot, 0x0102);
  EXPECT_EQ(flagText(cols.flag), "--H-F--N");

  cols.clear();
  parseRowPiece(blk.view(), 0, 3, cols);
  ASSERT_EQ(cols.count, 1);
  EXPECT_EQ(value(blk.b, cols.col[0]), "m");
  EXPECT_EQ(cols.next.rdba, 0x00C00001u);
}

TEST_P(RowPieces, ClusterMemberGetsKeyColumnsFirst) {
  TransBlock blk(8192, order(), 1);
  Bytes key = row().header(0xAC, 0, 1).zeros(16).col("KEY").b;                  // K-H-FL-- : 16 extra bytes
  Bytes member = row().header(0x68, 2, 2).byte(0).addr(0x01400099, 4).col("a").col("bb").b;  // -CH-F--- member
  Bytes other = row().header(0x6C, 0, 1).byte(0).col("c").b;
  layoutTables(blk, {{key}, {member, other}});
  ColumnList cols;
  parseRowPiece(blk.view(), 1, 0, cols);
  ASSERT_EQ(cols.count, 3);
  EXPECT_EQ(value(blk.b, cols.col[0]), "KEY");
  EXPECT_EQ(value(blk.b, cols.col[1]), "a");
  EXPECT_EQ(value(blk.b, cols.col[2]), "bb");
  EXPECT_EQ(cols.flag, 0x68);  // the member's own flag and next address
  EXPECT_EQ(cols.next.rdba, 0x01400099u);
  EXPECT_EQ(cols.next.slot, 4);

  cols.clear();
  parseRowPiece(blk.view(), 0, 0, cols);  // the key row alone
  ASSERT_EQ(cols.count, 1);
  EXPECT_EQ(value(blk.b, cols.col[0]), "KEY");
  EXPECT_TRUE(cols.next.empty());

  cols.clear();
  parseRowPiece(blk.view(), 1, 1, cols);
  ASSERT_EQ(cols.count, 2);
  EXPECT_EQ(value(blk.b, cols.col[1]), "c");
}

TEST_P(RowPieces, KeyRowThatClaimsMembershipDoesNotRecurse) {
  TransBlock blk(4096, order(), 1);
  Bytes selfRef = row().header(0x6C, 0, 1).byte(0).col("k").b;  // table 0 row 0 naming itself
  layoutTables(blk, {{selfRef}});
  ColumnList cols;
  parseRowPiece(blk.view(), 0, 0, cols);
  ASSERT_EQ(cols.count, 2);  // its own column as key, then as member
  EXPECT_EQ(value(blk.b, cols.col[1]), "k");
}

TEST_P(RowPieces, BoundsEndTheParse) {
  TransBlock blk(2048, order(), 1);
  // Second column's 16-bit length runs past the block: parse ends after the first.
  Bytes longLen = row().header(0x2C, 0, 3).col("ok").byte(0xFE).raw(order() ? Bytes{0x7F, 0xFF} : Bytes{0xFF, 0x7F}).b;
  layoutTables(blk, {{longLen, Bytes{}}});
  ColumnList cols;
  parseRowPiece(blk.view(), 0, 0, cols);
  ASSERT_EQ(cols.count, 1);
  EXPECT_EQ(value(blk.b, cols.col[0]), "ok");

  cols.clear();
  parseRowPiece(blk.view(), 0, 1, cols);  // free directory entry
  EXPECT_EQ(cols.count, 0);
  parseRowPiece(blk.view(), 0, 2, cols);  // beyond the table's rows
  parseRowPiece(blk.view(), 3, 0, cols);  // beyond ntab
  EXPECT_EQ(cols.count, 0);

  // A short length byte that runs past the end is clamped to an empty column.
  const DataHeader h = readDataHeader(blk.view());
  uint32_t p = 2048 - 4 - 6;
  blk.bytes(p, {0x2C, 0, 2, 1, 'q', 0xF0});
  blk.u16(h.rowDir, static_cast<uint16_t>(p - blk.hdsz));
  cols.clear();
  parseRowPiece(blk.view(), 0, 0, cols);
  ASSERT_EQ(cols.count, 2);
  EXPECT_EQ(value(blk.b, cols.col[0]), "q");
  EXPECT_EQ(cols.col[1].offset, 2048 - 2);
  EXPECT_EQ(cols.col[1].length, 0);

  // A piece that starts within 3 bytes of the end yields nothing.
  blk.u16(h.rowDir, static_cast<uint16_t>(2048 - 3 - blk.hdsz));
  cols.clear();
  parseRowPiece(blk.view(), 0, 0, cols);
  EXPECT_EQ(cols.count, 0);
}

TEST_P(RowPieces, ColumnListStopsAt256Entries) {
  TransBlock blk(8192, order(), 1);
  RowWriter key = row().header(0xAC, 0, 200).zeros(16);
  for (int i = 0; i < 200; i++) key.col("k");
  RowWriter member = row().header(0x6C, 0, 200).byte(0);
  for (int i = 0; i < 200; i++) member.col("m");
  layoutTables(blk, {{key.b}, {member.b}});
  ColumnList cols;
  parseRowPiece(blk.view(), 1, 0, cols);
  EXPECT_EQ(cols.count, kMaxColumns);
  EXPECT_EQ(value(blk.b, cols.col[255]), "m");
}

// ---------------------------------------------------------------------------
// Compressed blocks: symbol table in table 0, data rows in table 1.

struct CompressedBlock {
  TransBlock blk;
  CompressedBlock(uint8_t order, uint16_t symbolRows, const std::vector<uint16_t>& lengths,
                  const std::vector<Bytes>& symbols, const std::vector<Bytes>& rows)
      : blk(8192, order, 1) {
    Bytes ch(8, 0);
    put16(&ch[2], symbolRows, order);
    ch[5] = static_cast<uint8_t>(lengths.size());
    ch[6] = 1;  // m = 1 trailing byte
    for (uint16_t a : lengths) {
      uint8_t two[2];
      put16(two, a, order);
      ch.insert(ch.end(), two, two + 2);
    }
    ch.push_back(0);
    layoutTables(blk, {symbols, rows}, 0x40, ch);
  }
};

TEST_P(RowPieces, CompressedRowsResolveSymbols) {
  // Symbol row 0 (3-byte header, 2 columns), symbol row 1 (2-byte header: r >= S).
  Bytes sym0 = {0x2C, 0, 2, 201, 'A', 202, 'B', 'C'};
  Bytes sym1 = {0x2C, 0, 203, 'X', 'Y', 'Z'};
  Bytes longInline = {0x2C, 0, 3, 0, 250, 0x01, 0x00};
  longInline.insert(longInline.end(), 256, 'L');
  longInline.insert(longInline.end(), {251, 0x00, 0x01});
  Bytes nulls = {0x2C, 0, 4, 252, 1, 255, 204, 'w', 'x', 'y', 'z'};
  CompressedBlock cb(order(), 1, {}, {sym0, sym1}, {longInline, nulls});
  const BlockView v = cb.blk.view();
  const DataHeader h = readDataHeader(v);
  EXPECT_EQ(h.compressionSize, 10u);  // 8 + 0 + 1, rounded up

  ColumnList cols;
  parseCompressedRow(v, 1, 0, cols);
  ASSERT_EQ(cols.count, 4);
  EXPECT_EQ(value(cb.blk.b, cols.col[0]), "A");
  EXPECT_EQ(value(cb.blk.b, cols.col[1]), "BC");
  EXPECT_EQ(value(cb.blk.b, cols.col[2]), std::string(256, 'L'));
  EXPECT_EQ(value(cb.blk.b, cols.col[3]), "XYZ");

  cols.clear();
  parseCompressedRow(v, 1, 1, cols);
  ASSERT_EQ(cols.count, 4);
  EXPECT_EQ(cols.col[0].length, 0);
  EXPECT_EQ(value(cb.blk.b, cols.col[1]), "XYZ");
  EXPECT_EQ(cols.col[2].length, 0);
  EXPECT_EQ(value(cb.blk.b, cols.col[3]), "wxyz");

  cols.clear();
  parseCompressedRow(v, 0, 0, cols);  // a symbol row on its own
  ASSERT_EQ(cols.count, 2);
  EXPECT_EQ(value(cb.blk.b, cols.col[1]), "BC");
}

TEST_P(RowPieces, CompressedRunTakesLengthsFromTheArray) {
  // A = {0, 2, 0x8000 | 5, 5, 9}: a run of 4 columns from column 0 has lengths
  // 2, 0 (top bit), 3, 4; a later run from column 2 restarts at A[1] = 2.
  std::vector<uint16_t> a = {0, 2, 0x8005, 5, 9};
  Bytes run = {0x2C, 0, 2, 4, 204, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 201, 'Z'};
  Bytes lateRun = {0x2C, 0, 3, 4, 252, 252, 202, 'p', 'q', 'r', 's', 't', 'u', 'v'};
  CompressedBlock cb(order(), 0, a, {}, {run, lateRun});
  ColumnList cols;
  parseCompressedRow(cb.blk.view(), 1, 0, cols);
  ASSERT_EQ(cols.count, 5);
  EXPECT_EQ(value(cb.blk.b, cols.col[0]), "ab");
  EXPECT_EQ(cols.col[1].length, 0);
  EXPECT_EQ(value(cb.blk.b, cols.col[2]), "cde");
  EXPECT_EQ(value(cb.blk.b, cols.col[3]), "fghi");
  EXPECT_EQ(value(cb.blk.b, cols.col[4]), "Z");  // past R: an ordinary inline value

  cols.clear();
  parseCompressedRow(cb.blk.view(), 1, 1, cols);
  ASSERT_EQ(cols.count, 4);
  // column 2: A[2] has the top bit, start = A[1] = 2; length A[3] - 2 = 3
  EXPECT_EQ(value(cb.blk.b, cols.col[2]), "pqr");
  EXPECT_EQ(value(cb.blk.b, cols.col[3]), "stuv");  // A[4] - 5
}

TEST_P(RowPieces, CompressedDataRowAddressesAndSelfReferences) {
  Bytes sym0 = {0x2C, 0, 3, 0, 0, 0};            // refers to itself three times
  Bytes sym1 = {0x2C, 0, 251, 0x00, 0x01};       // long reference to itself
  Bytes chained = {0x28, 0, 2};                  // --H-F--- : next address follows
  Bytes addr = RowWriter(order()).addr(0x00C00042, 9).b;
  chained.insert(chained.end(), addr.begin(), addr.end());
  chained.insert(chained.end(), {0, 1});
  CompressedBlock cb(order(), 1, {}, {sym0, sym1}, {chained});
  ColumnList cols;
  parseCompressedRow(cb.blk.view(), 1, 0, cols);  // must end, whatever it gathers
  EXPECT_EQ(cols.next.rdba, 0x00C00042u);
  EXPECT_EQ(cols.next.slot, 9);
  EXPECT_LE(cols.count, kMaxColumns);
}

// ---------------------------------------------------------------------------
// Index leaf entries.

TEST_P(RowPieces, IndexLeafEntriesAndIotRows) {
  TransBlock blk(8192, order(), 2);
  const uint32_t ih = blk.hdsz;
  blk.u8(ih + 3, 2);   // kdxconco
  blk.u16(ih + 8, 3);  // kdxconro
  blk.u8(ih + 28, 6);  // kdxledsz
  Bytes plain = row().byte(0x00).byte(0).raw({1, 2, 3, 4, 5, 6}).col("k1").col("k2").b;
  Bytes iot = row().byte(0x04).byte(0).raw({1, 2, 3, 4, 5, 6}).col("id").null()
                  .header(0x20, 0, 2).addr(0x01800005, 2).col("v1").col("v2").b;
  Bytes iotLast = row().byte(0x04).byte(0).raw({0, 0, 0, 0, 0, 0}).col("i").col("j").header(0x2C, 0, 1).col("w").b;
  // Laid out last entry first: the last piece, whose non-key part is two
  // bytes, ends right at the block tail.
  uint32_t pos = 8192 - 4;
  const Bytes* entries[] = {&plain, &iot, &iotLast};
  for (uint32_t i = 3; i-- > 0;) {
    pos -= static_cast<uint32_t>(entries[i]->size());
    blk.bytes(pos, *entries[i]);
    blk.u16(ih + 36 + 2 * i, static_cast<uint16_t>(pos - ih));
  }
  ColumnList cols;
  parseIndexEntry(blk.view(), 0, cols);
  ASSERT_EQ(cols.count, 2);
  EXPECT_EQ(value(blk.b, cols.col[0]), "k1");
  EXPECT_EQ(value(blk.b, cols.col[1]), "k2");

  cols.clear();
  parseIndexEntry(blk.view(), 1, cols);
  ASSERT_EQ(cols.count, 4);
  EXPECT_EQ(value(blk.b, cols.col[0]), "id");
  EXPECT_EQ(cols.col[1].length, 0);
  EXPECT_EQ(value(blk.b, cols.col[3]), "v2");
  EXPECT_EQ(cols.next.rdba, 0x01800005u);
  EXPECT_EQ(cols.next.slot, 2);
  EXPECT_EQ(cols.flag, 0x20);

  cols.clear();
  parseIndexEntry(blk.view(), 2, cols);
  ASSERT_EQ(cols.count, 3);
  EXPECT_EQ(value(blk.b, cols.col[2]), "w");
  EXPECT_TRUE(cols.next.empty());

  cols.clear();
  parseIndexEntry(blk.view(), 3, cols);  // beyond kdxconro
  EXPECT_EQ(cols.count, 0);
}

INSTANTIATE_TEST_SUITE_P(ByteOrders, RowPieces, ::testing::Values(0, 1),
                         [](const ::testing::TestParamInfo<uint8_t>& i) { return i.param ? "BIG" : "LITTLE"; });
