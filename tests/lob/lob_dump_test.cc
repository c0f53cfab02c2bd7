// The export-dump sink on every forged LOB column value: the bytes
// RecoverLobToDump puts into the row stream are those the forge wrote under
// expect/dump/, in both byte orders and at 2, 8 and 32 KB blocks. Each
// locator is read where the row stores it, in the row's block.
#include <gtest/gtest.h>

#include <tuple>

#include "datafile/block_reader.h"
#include "forged_lobs.h"
#include "lob/lob_map.h"
#include "lob/lob_sinks.h"

using namespace bex;
using bex::testing::ForgedCell;
using bex::testing::ForgedLobs;
using bex::testing::occurrences;

namespace {

size_t firstDifference(const std::string& a, const std::string& b) {
  size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) i++;
  return i;
}

class LobDump : public ::testing::TestWithParam<std::tuple<bool, uint32_t>> {};

TEST_P(LobDump, EveryValueAsTheForgeWroteIt) {
  const auto [big, blockSize] = GetParam();
  ForgedLobs lobs(big, blockSize);
  ASSERT_TRUE(lobs.ok());
  lobs.openAndScan();
  OpenLobMap(*lobs.rc().lobMap);  // as UNLOAD does before its first row
  BlockContext& bc = lobs.rc().bc;
  for (const ForgedCell& c : lobs.cells()) {
    const uint8_t* v = nullptr;
    const uint16_t len = static_cast<uint16_t>(c.locator.size());
    if (c.rfn) {
      ASSERT_EQ(ReadBlock(bc, c.rfn, c.block), blockSize) << c.id;
      v = bc.block + c.offset;
      ASSERT_EQ(std::string(v, v + len), c.locator) << c.id;
    }
    StringSink dump;
    const ColumnTypeCode type = c.type == "BLOB" ? ColumnTypeCode::kBlob : ColumnTypeCode::kClob;
    const bool whole = RecoverLobToDump(dump, bc, v, len, type, c.type == "NCLOB" ? kCharsetFormNational : 1);
    const std::string forged = lobs.read("expect/dump/" + c.id);
    EXPECT_TRUE(dump.str() == forged) << c.id << ": " << dump.str().size() << " bytes, the forge's " << forged.size()
                                      << ", the first different at " << firstDifference(dump.str(), forged);
    EXPECT_EQ(whole, c.errors == 0) << c.id;
    if (v) {
      EXPECT_EQ(std::string(v, v + len), c.locator) << c.id << ": the row's block was overwritten";
    }
  }
  // The dump names every invalid locator the same way, BLOB or CLOB.
  EXPECT_EQ(occurrences(lobs.printed(), "Invalid CLOB \n"), occurrences(lobs.read("expect/cases.txt"), " Invalid "));
}

INSTANTIATE_TEST_SUITE_P(Layouts, LobDump,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(2048u, 8192u, 32768u)));

}  // namespace
