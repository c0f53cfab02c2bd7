// Cross-checks of the forge's layouts against blocks Oracle wrote: a real
// table block rebuilt from its decoded fields must come out byte for byte,
// and a rebuilt file header must put its fields where Oracle put them.
#include <gtest/gtest.h>

#include "forge/file_header.h"
#include "forge/table_block.h"
#include "forge/values.h"
#include "forge_test_util.h"

using namespace bex::forge;
using forge_test::readFile;

namespace {

const std::string kRealdata = BEX_REALDATA_DIR;

Bytes realFile(const std::string& rel) {
  Bytes b = readFile(kRealdata + "/" + rel);
  return b;
}

TableRow rowAt(int32_t offset, uint8_t lock, int64_t id, std::string_view name) {
  TableRow r;
  r.offset = offset;
  r.piece.lock = lock;
  r.piece.cols = {col(numberInt(id)), col(name)};
  return r;
}

}  // namespace

// 10g block of TESTBLOCK(id, name): two ITLs (one committed, one active
// locking row 0), FLG 0x32, three rows and old row images in free space.
TEST(RealBlocks, Rebuilt10gTableBlockIsByteIdentical) {
  Bytes real = realFile("blockdumps/10g_f5b16_testblock.blk");
  if (real.size() != 8192) GTEST_SKIP() << "real block dumps not found under " << kRealdata;

  TableBlockSpec s;
  s.hdr.rdba = 0x01400010;
  s.hdr.scnBase = 0x001732d3;
  s.hdr.seq = 1;
  s.trans.objd = 0xd2b8;
  s.trans.cscBase = 0x001732d3;
  s.trans.flg = 0x32;
  s.trans.nxt = 0x01400009;
  ItlEntry committed{0x0006, 0x020, 0x271, 0x00800205, 0x0257, 0x13, kItlC, 0, 0, 0x001732c4};
  ItlEntry active{0x0008, 0x006, 0x279, 0x00800351, 0x0278, 0x15, 0, 1, 0, 0};
  s.trans.itl = {committed, active};
  s.avsp = 0x1f65;
  s.tosp = 0x1f65;
  s.tables[0] = {rowAt(0x1f5e, 2, 1, "a"), rowAt(0x1f66, 0, 2, "b"), rowAt(0x1f80, 0, 3, "c")};
  // Old images of updated rows, left in the free space.
  s.junk = {{0x1fd2, {0x2c, 0x01, 0x02, 0x02, 0xc1, 0x03, 0x02, 0x62, 0x62}},
            {0x1fdb, {0x2c, 0x00, 0x02, 0x02, 0xc1, 0x02, 0x02, 0x61, 0x61}},
            {0x1fec, {0x2c, 0x00, 0x02, 0x02, 0xc1, 0x03, 0x01, 0x62}},
            {0x1ff4, {0x2c, 0x00, 0x02, 0x02, 0xc1, 0x02, 0x01, 0x61}}};
  Facts facts;
  ForgeBlock b = buildTableBlock(s, 8192, ByteOrder::Little, facts);
  ASSERT_FALSE(b.overflowed());
  Bytes forged(b.data(), b.data() + b.size());
  // The row region first (the clearest message), then the whole block.
  const size_t rows = 100 + 0x1f5e;
  EXPECT_EQ(Bytes(forged.begin() + rows, forged.end()), Bytes(real.begin() + rows, real.end()));
  for (size_t i = 0; i < real.size(); ++i)
    ASSERT_EQ(forged[i], real[i]) << "first difference at offset " << i;
}

// 11.2.0.4 USERS file header (file 4, DBID 0x63f35b76, database DBM).
TEST(RealBlocks, FileHeaderFieldsSitWhereOracleWritesThem) {
  Bytes real = realFile("ocl-11204-dbfheaders/users01bak.dbf");
  if (real.size() < 16384) GTEST_SKIP() << "real file headers not found under " << kRealdata;
  const uint8_t* r = real.data() + 8192;

  FileHeaderSpec s;
  s.version = 0x0b200400;
  s.dbid = 0x63f35b76;
  s.dbName = "DBM";
  s.tsNumber = 4;
  s.tsName = "USERS";
  Facts facts;
  ForgeBlock b = buildFileHeader(s, 0x01000001, 4, 8192, ByteOrder::Little, 640, facts);
  const uint8_t* f = b.data();
  auto same = [&](uint32_t off, uint32_t len) {
    EXPECT_EQ(Bytes(f + off, f + off + len), Bytes(r + off, r + off + len)) << "field at " << off;
  };
  same(0, 2);     // type, format
  same(4, 4);     // rdba
  same(24, 4);    // version
  same(28, 4);    // DBID
  same(32, 8);    // database name
  same(44, 4);    // blocks
  same(48, 4);    // block size
  same(52, 2);    // file#
  same(332, 4);   // ts#
  same(336, 7);   // tablespace name length and text

  // Block 0 of the same file: block size, block count and magic.
  ForgeBlock os = buildOsHeader(8192, ByteOrder::Little, 640);
  for (uint32_t off : {1u, 4u, 20u, 24u, 28u})
    EXPECT_EQ(Bytes(os.data() + off, os.data() + off + 4), Bytes(real.data() + off, real.data() + off + 4))
        << "OS block field at " << off;
}
