#include "block/block_dump.h"

#include <gtest/gtest.h>

#include "block/block_header.h"
#include "block/file_header.h"
#include "block/hex_dump.h"
#include "block/index_block.h"
#include "block/segment_header.h"
#include "datafile/block_list.h"
#include "datafile/block_reader.h"
#include "real_blocks.h"

using namespace bex;
using namespace bex::testing;

namespace {

const char kH1[] = "     /0x  : -0-1 -2-3 -4-5 -6-7 -8-9 -a-b -c-d -e-f  0123456789abcdef\n";
const char kH2[] = "-----/----: ---------------------------------------  ----------------\n";

// A block with the common header filled in: format 0xa2, seq 1, flag 4.
struct Block {
  Bytes b;
  uint8_t order;
  Block(uint32_t size, uint8_t o, uint8_t type, uint32_t rdba) : b(size, 0), order(o) {
    b[0] = type, b[1] = 0xA2, b[14] = 1, b[15] = 4;
    u32(4, rdba);
  }
  void u16(uint32_t off, uint16_t v) { put16(&b[off], v, order); }
  void u32(uint32_t off, uint32_t v) { put32(&b[off], v, order); }
  BlockView view() const { return viewOf(b, order); }
};

std::string dump(const BlockView& v, uint16_t transOffset = 0, uint16_t transCount = 0) {
  StringSink s;
  blockDump(s, v, transOffset, transCount);
  return s.str();
}

std::string summary(const BlockView& v) {
  StringSink s;
  blockSummary(s, v, 0, 0);
  return s.str();
}

std::string hex(const Bytes& b) {
  StringSink s;
  hexDump(s, b.data(), b.size());
  return s.str();
}

size_t countLines(const std::string& s) { return static_cast<size_t>(std::count(s.begin(), s.end(), '\n')); }

}  // namespace

TEST(BlockTypes, NamesAndDataObjectOffsets) {
  EXPECT_STREQ(blockTypeName(BlockType::kTransData), "trans data");
  EXPECT_STREQ(blockTypeName(BlockType::kSmuHeader), "KTU SMU HEADER BLOCK");
  EXPECT_STREQ(blockTypeName(BlockType{0x54}), "Stats bitmap");
  for (uint8_t t : {0x00, 0x0B, 0x11, 0x12, 0x24, 0xFF}) EXPECT_STREQ(blockTypeName(BlockType{t}), "Unknown Block");

  const std::pair<uint8_t, uint32_t> offsets[] = {{0x06, 24}, {0x10, 100}, {0x11, 100}, {0x12, 28},
                                                  {0x1B, 20}, {0x28, 20},  {0x23, 272}};
  for (uint8_t order : {0, 1}) {
    for (auto [type, off] : offsets) {
      Block blk(2048, order, type, 0x00400001);
      blk.u32(off, 0x00012F8B);
      EXPECT_EQ(dataObjectNumber(blk.view()), 0x00012F8Bu) << int(type);
      // The same bytes read in the other order give the swapped number.
      EXPECT_EQ(dataObjectNumber(viewOf(blk.b, !order)), 0x8B2F0100u) << int(type);
    }
    Block other(2048, order, 0x02, 0);
    other.u32(24, 77);
    EXPECT_EQ(dataObjectNumber(other.view()), 0u);
  }
}

TEST(BlockTypes, PlausibleHeaderWantsAKnownFormatAndAFileNumber) {
  for (uint8_t order : {0, 1}) {
    Block blk(2048, order, 0x1B, makeRdba(7, 3));
    EXPECT_TRUE(plausibleBlockHeader(blk.view(), false));
    blk.b[1] = 0x02;
    EXPECT_TRUE(plausibleBlockHeader(blk.view(), false));
    blk.b[1] = 0xA1;
    EXPECT_FALSE(plausibleBlockHeader(blk.view(), true));
    // File 0 is a plausible address only when BIGFILE makes it all block number.
    blk.b[1] = 0xA2;
    blk.u32(4, makeRdba(0, 3));
    EXPECT_FALSE(plausibleBlockHeader(blk.view(), false));
    EXPECT_TRUE(plausibleBlockHeader(blk.view(), true));
    EXPECT_TRUE(plausibleBlockHeader(viewOf(blk.b, !order), false));  // read swapped, the 3 lands in the file bits
  }
}

TEST(Checksum, VerdictIsTheSameInBothOrdersAndAnyBitFlipFails) {
  Bytes le;
  if (!readFile(blockDumpDir() + "10g_f5b16_testblock.blk", le)) GTEST_SKIP() << "real block dumps not found";
  Bytes be = toBigEndian(le);
  for (Bytes* b : {&le, &be}) {
    EXPECT_EQ(BlockChecksumTest(b->data(), b->size()), 0);
    for (size_t bit : {0ul, 16 * 8ul, 17 * 8 + 7ul, 4000 * 8 + 3ul, 8191 * 8 + 7ul}) {
      Bytes d = *b;
      d[bit / 8] ^= static_cast<uint8_t>(1 << (bit % 8));
      EXPECT_NE(BlockChecksumTest(d.data(), d.size()), 0) << "bit " << bit;
    }
  }
  // BCHECK's verdict: the CORRUPT list wins over a consistent checksum.
  BlockList corrupt, skip;
  BlockContext bc;
  bc.corruptList = &corrupt, bc.skipList = &skip;
  bc.block = be.data(), bc.blockSize = 8192, bc.byteOrder = 1, bc.blockCheck = 1;
  EXPECT_FALSE(IsBadBlock(bc));
  corrupt.rdba[corrupt.count++] = 0x01400010;
  EXPECT_TRUE(IsBadBlock(bc));
  corrupt.count = 0;
  be[5000] ^= 1;
  EXPECT_TRUE(IsBadBlock(bc));
  bc.blockCheck = 0;
  EXPECT_FALSE(IsBadBlock(bc));
  EXPECT_EQ(bc.counters->BadBlockCount, 2u);
}

TEST(HexDump, AllZeroBlockCollapsesToOneLine) {
  std::string expected = std::string(kH1) + kH2 +
                         "00000/0000: 0000 0000 0000 0000 0000 0000 0000 0000  ................\n";
  EXPECT_EQ(hex(Bytes(8192, 0)), expected);
}

TEST(HexDump, BlockWithoutRepeatsPrintsEveryLineAndHeadersEvery256Bytes) {
  Bytes b(8192);
  for (size_t i = 0; i < b.size(); i++) b[i] = static_cast<uint8_t>(i / 16 + i);
  std::string out = hex(b);
  EXPECT_EQ(countLines(out), 2 + 512 + 31 * 3u);
  EXPECT_NE(out.find(std::string("\n\n") + kH1 + kH2 + "00256/0100:"), std::string::npos);
  EXPECT_NE(out.find(std::string("\n\n") + kH1 + kH2 + "07936/1f00:"), std::string::npos);
  EXPECT_EQ(out.find("08192/"), std::string::npos);
  Bytes text = {'A', 'b', ' ', '~', 0x7F, 0x1F, 0x80, 'z', '0', '1', '2', '3', '4', '5', '6', '7'};
  EXPECT_EQ(hex(text), std::string(kH1) + kH2 + "00000/0000: 4162 207e 7f1f 807a 3031 3233 3435 3637  Ab ~...z01234567\n");
}

TEST(HexDump, RepeatedLineAtPageBoundarySuppressesItsHeaders) {
  Bytes b(512, 0);
  b[0] = 1;     // line 0 differs from line 1
  b[300] = 2;   // line 18 printed; lines 1-17 and 19-31 collapse
  std::string out = hex(b);
  EXPECT_EQ(out, std::string(kH1) + kH2 +
                     "00000/0000: 0100 0000 0000 0000 0000 0000 0000 0000  ................\n"
                     "00016/0010: 0000 0000 0000 0000 0000 0000 0000 0000  ................\n"
                     "00288/0120: 0000 0000 0000 0000 0000 0000 0200 0000  ................\n"
                     "00304/0130: 0000 0000 0000 0000 0000 0000 0000 0000  ................\n");
}

// ---------------------------------------------------------------------------

TEST(BlockDump, RealTableBlockMatchesTraceAndReadsTheSameInBigEndian) {
  Bytes le;
  if (!readFile(blockDumpDir() + "10g_f5b16_testblock.blk", le)) GTEST_SKIP() << "real block dumps not found";
  const std::string expected =
      "RDBA=0x01400010(5/16)=20971536,type=0x06 (trans data),fmt=0xa2,seq=0x01,flag=0x04 \n"
      "seg/obj=0x0000d2b8=53944,csc=0x0000.001732d3,itc=2,typ=1 - DATA  \n"
      "FLG=0x32, fls=0, nxt=0x01400009(5/9)=20971529\n"
      "Transaction Slot:\n"
      "id   xid-usn.slot.wrap   uba-rdba.row.seq   flag lock fsc/scn        \n"
      "---- ------------------- ------------------ ---- ---- ---------------\n"
      "0x01 0x0006.020.00000271 0x00800205.0257.13 C---    0 0x0000.001732c4\n"
      "0x02 0x0008.006.00000279 0x00800351.0278.15 ----    1 0x0000.00000000\n"
      "Block Data:\n"
      "hdsz=100\nflag=0x00\nntab=1\nnrow=3\nffre=65535\nfsbo=0x007c=124\nfseo=0x1fc2=8130\n"
      "avsp=0x1f65=8037\ntosp=0x1f65=8037\n"
      "tab#=  0     nrow=   3     offs=   0\n"
      "    row#=   0  offs=0x1f5e= 8030+ 100=0x1fc2= 8130 cc=  2  flag=--H-FL--\n"
      "     col[  0] offs= 8134 len=    2 : c1 02 \n"
      "     col[  1] offs= 8137 len=    1 : 61 \n"
      "    row#=   1  offs=0x1f66= 8038+ 100=0x1fca= 8138 cc=  2  flag=--H-FL--\n"
      "     col[  0] offs= 8142 len=    2 : c1 03 \n"
      "     col[  1] offs= 8145 len=    1 : 62 \n"
      "    row#=   2  offs=0x1f80= 8064+ 100=0x1fe4= 8164 cc=  2  flag=--H-FL--\n"
      "     col[  0] offs= 8168 len=    2 : c1 04 \n"
      "     col[  1] offs= 8171 len=    1 : 63 \n"
      "\n";
  EXPECT_EQ(dump(viewOf(le, 0)), expected);
  EXPECT_EQ(dump(viewOf(toBigEndian(le), 1)), expected);
  EXPECT_EQ(summary(viewOf(le, 0)),
            "RDBA=0x01400010(5/16),type=0x06 (trans data),fmt=0xa2,seq=0x01,flag=0x04 \n"
            "seg/obj=0x0000d2b8=53944,csc=0x0000.001732d3,itc=2,typ=1 - DATA  \n"
            "tab#=  0     nrow=   3     offs=   0\n\n");
}

TEST(BlockDump, EveryRealBlockDumpsTheSameInBothOrders) {
  int n = 0;
  for (const RealBlock& rb : kRealTableBlocks) {
    Bytes le;
    if (!readFile(blockDumpDir() + rb.name + ".blk", le)) continue;
    EXPECT_EQ(dump(viewOf(le, 0)), dump(viewOf(toBigEndian(le), 1))) << rb.name;
    n++;
  }
  if (n == 0) GTEST_SKIP() << "real block dumps not found";
}

TEST(BlockDump, ShortFormForFreeAndLowDirectoryEntriesAndCompressedBlocks) {
  TransBlock blk(4096, 0, 1);
  layoutTables(blk, {{RowWriter(0).header(0x2C, 0, 1).col("a").b, Bytes{}}});
  const DataHeader h = readDataHeader(blk.view());
  blk.u16(h.rowDir + 2, 1);  // an entry below nrow (2)
  std::string out = dump(blk.view());
  EXPECT_NE(out.find("    row#=   1  offs=0x0001=    1\n"), std::string::npos) << out;
  blk.u16(h.rowDir + 2, 0xFFFF);
  EXPECT_NE(dump(blk.view()).find("    row#=   1  offs=0xffff=65535\n"), std::string::npos);

  // A compressed block lists the symbol table and the data rows.
  TransBlock cb(4096, 1, 1);
  Bytes ch = {0, 0, 0, 1, 0, 0, 0, 0};  // S = 1 (big-endian), n = 0, m = 0
  layoutTables(cb, {{{0x2C, 0, 1, 202, 'S', 'Y'}}, {{0x2C, 0, 2, 0, 0xFF}}}, 0x40, ch);
  out = dump(cb.view());
  EXPECT_NE(out.find("flag=0x40\nntab=2\n"), std::string::npos) << out;
  EXPECT_NE(out.find("cc=  2  flag=--H-FL--\n     col[  0] offs= 4090 len=    2 : 53 59 \n"
                     "     col[  1] offs= 4085 len=    0 : *NULL*\n"),
            std::string::npos)
      << out;
}

TEST(BlockDump, IndexLeafAndBranchBlocks) {
  for (uint8_t order : {0, 1}) {
    TransBlock leaf(8192, order, 2, 2, 0, 0x4242);
    const uint32_t ih = leaf.hdsz;
    leaf.u8(ih + 2, 0x10 | 0x02);  // IOT opcode
    leaf.u8(ih + 3, 1);
    leaf.u16(ih + 8, 1);
    leaf.u32(ih + 20, 0x01000101);
    leaf.u32(ih + 24, 0x010000FF);
    leaf.u8(ih + 28, 6);
    leaf.u16(ih + 32, 8000);
    leaf.bytes(8000, {0x00, 0x00, 0x01, 0x00, 0x00, 0xAB, 0x00, 0x07, 0x02, 0xC1, 0x02});
    leaf.u16(ih + 36, static_cast<uint16_t>(8000 - ih));
    std::string out = dump(leaf.view());
    EXPECT_NE(out.find("typ=2 - INDEX IOT\n"), std::string::npos) << out;
    EXPECT_NE(out.find("kdxcoopc=0x12 opcode=18\n"), std::string::npos);
    EXPECT_NE(out.find("kdxlenxt=0x01000101=16777473,kdxleprv=0x010000ff=16777471\nkdxledsz=6\nkdxlebksz=8000\n"),
              std::string::npos);
    EXPECT_NE(out.find("Index Rows:\n    row#=0 offset=0x1ee4=7908+92=0x1f40=8000\n     data= 010000AB 0007\n"
                       "     col[  0] offs= 8009 len=    2 : c1 02 \n\n"),
              std::string::npos)
        << out;

    TransBlock branch(8192, order, 2, 1);
    const uint32_t bh = branch.hdsz;
    branch.u8(bh, 1);
    branch.u32(bh + 16, 0x00C00010);
    branch.u32(bh + 20, 3);
    branch.u16(bh + 24, 8032);
    out = dump(branch.view());
    EXPECT_NE(out.find("typ=2 - INDEX  \n"), std::string::npos) << out;
    EXPECT_NE(out.find("kdxcoavs=0\nkdxbrlmc=12582928=0x00c00010\nkdxbrsno=3\nkdxbrbksz=8032\nIndex Rows:\n\n"),
              std::string::npos)
        << out;
  }
}

TEST(BlockDump, SegmentHeaderContinuesInExtentMapBlock) {
  for (uint8_t order : {0, 1}) {
    Block seg(8192, order, 0x10, (4u << 22) | 8);
    seg.u32(36, 3), seg.u32(40, 24), seg.u32(48, 2), seg.u32(52, 8), seg.u32(56, 24);
    seg.u32(60, (4u << 22) | 20), seg.u32(72, 1), seg.u32(76, 20);
    seg.u32(92, 2), seg.u32(96, (4u << 22) | 100), seg.u32(100, 0x1234);
    seg.u32(108, (4u << 22) | 9), seg.u32(112, 8), seg.u32(116, (4u << 22) | 17), seg.u32(120, 8);
    EXPECT_EQ(dump(seg.view()),
              "RDBA=0x01000008(4/8),type=0x10 (DATA SEGMENT HEADER - UNLIMITED),fmt=0xa2,seq=0x01,flag=0x04 \n"
              "seg/obj=0x00001234=4660,exts=3,blks=24\n"
              "hwm=4/20,ext#=2,blks=8,size=24,free=1,used=20\n"
              "map=0x01000064=16777316\n"
              "extents:\n"
              "   4        9        8\n"
              "   4       17        8\n"
              "\n");
    EXPECT_EQ(summary(seg.view()),
              "RDBA=0x01000008(4/8), type=0x10 (DATA SEGMENT HEADER - UNLIMITED),fmt=0xa2,seq=0x01,flag=0x04 \n"
              "seg/obj=0x00001234=4660\n\n");

    Block map(8192, order, 0x12, (4u << 22) | 100);
    map.u32(20, 1), map.u32(28, 0x1234), map.u32(36, (4u << 22) | 200), map.u32(40, 16);
    map.u32(60, 0xDEAD);  // not a field of a map block
    EXPECT_EQ(dump(map.view()),
              "RDBA=0x01000064(4/100),type=0x12 (Unknown Block),fmt=0xa2,seq=0x01,flag=0x04 \n"
              "seg/obj=0x00001234=4660,exts=1,blks=0\n"
              "hwm=0/0,ext#=0,blks=0,size=0,free=0,used=0\n"
              "map=0x00000000=0\n"
              "extents:\n"
              "   4      200       16\n"
              "\n");
    EXPECT_EQ(summary(map.view()),
              "RDBA=0x01000064(4/100),type=0x12 (Unknown Block),fmt=0xa2,seq=0x01,flag=0x04 \n"
              "seg/obj=0x00001234=4660\n\n");

    Block page(8192, order, 0x23, (4u << 22) | 2);
    page.u32(36, 1), page.u32(264, 1), page.u32(268, 0), page.u32(272, 99), page.u32(280, (4u << 22) | 3);
    page.u32(284, 5);
    SegmentHeader sh = readSegmentHeader(page.view());
    EXPECT_EQ(sh.objd, 99u);
    EXPECT_EQ(extentCount(page.view(), sh), 1u);
    EXPECT_EQ(readExtent(page.view(), sh, 0).length, 5u);
    // A damaged count lists only the extents that fit in the block.
    page.u32(264, 0xFFFFFFFF);
    EXPECT_EQ(extentCount(page.view(), readSegmentHeader(page.view())), (8192u - 280) / 8);
  }
}

TEST(BlockDump, FileHeaderFieldsByFormat) {
  for (uint8_t order : {0, 1}) {
    Block fh(8192, order, 0x0B, (7u << 22) | 1);
    fh.b[1] = 0x02;
    fh.u32(24, 0x08100000), fh.u32(28, 0x63f35b76), fh.u32(44, 96000), fh.u32(48, 8192);
    memcpy(&fh.b[32], "DBM\0\0\0\0\0", 8);
    fh.u16(52, 7), fh.u16(138, 0x0045);
    fh.u32(244, 5), fh.u16(248, 5);
    memcpy(&fh.b[250], "USERS", 5);
    const std::string line =
        "DBID=0x63f35b76=1676893046,db=DBM,ts#=5,ts=USERS,file#=7,blksiz=8192,blks=96000,ver=0x08100000,fzy=A-OH, bs=0\n";
    EXPECT_EQ(dump(fh.view()),
              "RDBA=0x01c00001(7/1),type=0x0b (Unknown Block),fmt=0x02,seq=0x01,flag=0x04 \n" + line + "\n");
    EXPECT_EQ(summary(fh.view()), dump(fh.view()));

    fh.b[1] = 0xA2;  // ts# at 332, name length at 336
    fh.u32(332, 9), fh.u16(336, 6);
    memcpy(&fh.b[338], "SYSAUX", 6);
    FileHeader h = readFileHeader(fh.view());
    EXPECT_EQ(h.tsNo, 9u);
    EXPECT_STREQ(h.tsName, "SYSAUX");
    fh.b[1] = 0x22;  // any other format: ts# at 336
    EXPECT_EQ(readFileHeader(fh.view()).tsNo, fh.view().u32(336));
    fh.u16(336, 31);  // too long a name is left out
    EXPECT_STREQ(readFileHeader(fh.view()).tsName, "");
    fh.u16(336, 0);
    EXPECT_STREQ(readFileHeader(fh.view()).tsName, "");
  }
}

TEST(BlockDump, RealFileHeaders) {
  Bytes file;
  if (!readFile(realDataDir() + "/ocl-11204-dbfheaders/system01bak.dbf", file))
    GTEST_SKIP() << "real file headers not found";
  Bytes hdr(file.begin() + 8192, file.begin() + 16384);
  EXPECT_EQ(dump(viewOf(hdr, 0)),
            "RDBA=0x00400001(1/1),type=0x0b (Unknown Block),fmt=0xa2,seq=0x01,flag=0x04 \n"
            "DBID=0x63f35b76=1676893046,db=DBM,ts#=0,ts=SYSTEM,file#=1,blksiz=8192,blks=96000,ver=0x0b200400,"
            "fzy=--O-, bs=4194824\n\n");
  Bytes space(file.begin() + 16384, file.begin() + 24576);
  EXPECT_EQ(dump(viewOf(space, 0)),
            "RDBA=0x00400002(1/2),type=0x1d (KTFB Bitmapped File Space Header),fmt=0xa2,seq=0x02,flag=0x04 \n\n");
}

TEST(BlockDump, UndoBlockRecords) {
  for (uint8_t order : {0, 1}) {
    Block u(8192, order, 0x02, (2u << 22) | 300);
    u.u16(20, 5), u.u16(22, 0x1017), u.u32(24, 0x123), u.u16(28, 0x42);
    u.b[30] = 4, u.b[31] = 4;
    u.u16(32, 1), u.u16(34, 8000);
    u.u16(36, 7900), u.u16(38, 7800), u.u16(40, 7650), u.u16(42, 7600);
    const std::string body =
        "UNDO BLK: xid=0x0005.017.00000123, seq=0x0042\n"
        "          cnt=0x0004=4, irb=0x04, icl=1, flag=0x0001\n"
        "       rec Offset Length        rec Offset Length        rec Offset Length \n"
        "---------- ------ ------ ---------- ------ ------ ---------- ------ ------ \n"
        "  001/0x01 0x1edc    100   002/0x02 0x1e78    100   003/0x03 0x1de2    150 \n"
        "  004/0x04 0x1db0     50 \n";
    const std::string head = "RDBA=0x0080012c(2/300),type=0x02 (KTU UNDO BLOCK),fmt=0xa2,seq=0x01,flag=0x04 \n";
    EXPECT_EQ(dump(u.view()), head + body);
    EXPECT_EQ(summary(u.view()), head + body);
    u.b[30] = 3;  // a multiple of three: no final line of its own
    std::string three = dump(u.view());
    EXPECT_EQ(three.substr(three.size() - 9), "    150 \n");
  }
}

TEST(BlockDump, UndoSegmentHeaders) {
  const char* kExtentHead =
      "Extent Map \n"
      "   Ext       RDBA   Length    Timestamp   Ext       RDBA   Length    Timestamp\n"
      " ----- ---------- -------- ------------ ----- ---------- -------- ------------\n";
  const char* kTableHead =
      "     TBL:\n"
      "  Slot   Wrap Sta       rdba   flag Next             scn     blocks   timstamp\n"
      "  ---- ------ --- ---------- ------ ---- --------------- ---------- ----------\n";
  for (uint8_t order : {0, 1}) {
    // 0x26 in 16 KiB blocks: the table only with TRANS_OFFSET and TRANS_COUNT.
    Block smu(16384, order, 0x26, (3u << 22) | 128);
    smu.u32(36, 3), smu.u32(40, 24), smu.u32(44, 4000), smu.u32(92, 3), smu.u32(100, 7);
    smu.u32(108, (3u << 22) | 129), smu.u32(112, 8), smu.u32(116, (3u << 22) | 200), smu.u32(120, 8);
    smu.u32(124, (3u << 22) | 300), smu.u32(128, 8);
    smu.u32(4000 + 20 + 4, 0x11111111);  // timestamp of extent 2 at (offset & 0xffff) + 20 + 4
    const std::string head =
        "RDBA=0x00c00080(3/128),type=0x26 (KTU SMU HEADER BLOCK),fmt=0xa2,seq=0x01,flag=0x04 \n"
        "UNDO SEG: spare1=0x00000000=0, spare2=0x00000000=0\n"
        "          spare3=0x00000000=0, spare4=0x00000000=0\n"
        "          extents=3, blocks=24, offset=4000\n"
        "     HWM: rdba=0x00000000=0, ext#=0, blk#=0, blocks=0\n"
        "     MAP: rdba=0x00000000=0, extents=3, object=7, flag=0x00000000\n";
    std::string out = dump(smu.view());
    EXPECT_EQ(out, head + kExtentHead +
                       "     1 0x00c00081        8            0     2 0x00c000c8        8    286331153\n"
                       "     3 0x00c0012c        8            0\n"
                       "     TCL: scn=0x0000.00000000, uba=0x00000000.0000.00\n" +
                       kTableHead)
        << out;

    smu.u32(2000, 0x00ABCDEF), smu.u16(2004, 0x12), smu.u32(2008, 0x00C00090), smu.u16(2012, 0x33);
    smu.u16(2014, order ? 0x0007 : 0x0007);
    uint32_t e = 2000 + 104 + 40;  // entry 1
    smu.u16(e, 0x2A), smu.u16(e + 2, 0x01), smu.u32(e + 4, 0x00C00099), smu.u32(e + 8, 0x55), smu.u16(e + 12, 1);
    smu.u16(e + 16, 9), smu.u16(e + 18, 0x0F), smu.u32(e + 32, 4), smu.u32(e + 36, 1234567);
    out = dump(smu.view(), 2000, 3);
    EXPECT_NE(out.find("     TCL: scn=0x0012.00abcdef, uba=0x00c00090.0033.07\n"), std::string::npos) << out;
    EXPECT_NE(out.find(std::string(kTableHead) + "  0x00 0x0000   0 0x00000000 0x0000 0x00 0x0000.00000000          0"
                                                 "          0\n"
                                                 "  0x01 0x002a   9 0x00c00099 0x0001 0x0f 0x0001.00000055          4"
                                                 "    1234567\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.substr(out.size() - 3), "0\n\n");  // three entries: a final blank line

    // 0x0E in 8 KiB blocks: T = (offset & 0xffff) + 20 and 98 entries.
    Block usn(8192, order, 0x0E, (3u << 22) | 1);
    usn.u32(44, 0x00010000 | 200);
    usn.u32(92, 2);
    out = dump(usn.view());
    EXPECT_NE(out.find(std::string("     1 0x00000000        0            0     2 0x00000000        0            0\n"
                                   "\n     TCL:")),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("  0x61 0x0000"), std::string::npos);
    EXPECT_EQ(out.find("  0x62 0x0000"), std::string::npos);
    EXPECT_NE(out.substr(out.size() - 2), "\n\n");  // 98 entries: no final blank line
    // A transaction area that runs past the block lists only whole entries.
    out = dump(usn.view(), 8100, 500);
    EXPECT_EQ(out.find("  0x00 "), std::string::npos);
  }
}

TEST(BlockDump, OtherTypesPrintTheCommonHeaderOnly) {
  Block lob(2048, 1, 0x1B, 0x00400077);
  lob.u32(20, 4711);
  EXPECT_EQ(dump(lob.view()),
            "RDBA=0x00400077(1/119),type=0x1b (LOB BLOCK BLOB),fmt=0xa2,seq=0x01,flag=0x04 \n\n");
  EXPECT_EQ(summary(lob.view()), dump(lob.view()));
  Block zero(2048, 0, 0, 0);
  EXPECT_EQ(dump(zero.view()), "RDBA=0x00000000(0/0),type=0x00 (Unknown Block),fmt=0xa2,seq=0x01,flag=0x04 \n\n");
}
