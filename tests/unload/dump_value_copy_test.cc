// The dump row writer stores a run of plain values straight into its sink,
// a value of up to 32 bytes as fixed 16-byte moves when the block holds 32
// bytes from it, a longer one or one at the block's end by its length.
// Every length on each of those ways comes back whole.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dump_reader.h"
#include "unload/dump_output.h"
#include "unload_test_util.h"

namespace bex::testing {
namespace {

constexpr uint32_t kBlock = 8192;

TEST(DumpValueCopy, EveryLengthFarFromAndAtTheBlockEndComesBackWhole) {
  TestShell shell;
  UnloadJob job;
  StringSink data;
  job.columns.count = 2;
  job.columns.column[0].type = ColumnTypeCode::kVarchar2;
  job.columns.column[1].type = ColumnTypeCode::kRaw;
  LobFile noLob;
  std::unique_ptr<RowWriter> w = makeDumpRowWriter(shell.rc.bc, job, data, noLob, shell.rc.out, false);
  std::vector<uint8_t> block(kBlock);
  const BlockView view{block.data(), kBlock, 0};
  std::vector<std::string> want;
  // Each length twice, in other letters: a byte not stored keeps the
  // letter of the row before.
  for (uint32_t row = 0; row < 600; row++) {
    const uint32_t len = row / 2 + 1;
    std::string value(len, 'a');
    for (uint32_t i = 0; i < len; i++) value[i] = static_cast<char>((row % 2 ? 'A' : 'a') + (i * 7 + len) % 26);
    // The first far from the block's end, the second ending 4 bytes before it.
    memcpy(block.data() + 100, value.data(), len);
    memcpy(block.data() + kBlock - 4 - len, value.data(), len);
    ColumnList cols;
    cols.add(100, len);
    cols.add(kBlock - 4 - len, len);
    const PieceRef p{&view, &cols, 0, false, true, false, 1, 0, 0};
    w->piece(p);
    want.push_back(value);
  }
  StringSink head;
  TableColumns tc;
  tc.count = 2;
  tc.column[0].type = ColumnTypeCode::kVarchar2;
  tc.column[1].type = ColumnTypeCode::kRaw;
  writeDumpTableStart(head, "T", "", tc, false, 0, 1);
  const dump::Table t = dump::readTable(head.str() + data.str() + "\xFF\xFF", 0);
  ASSERT_TRUE(t.closed);
  ASSERT_EQ(t.rows.size(), want.size());
  for (size_t i = 0; i < want.size(); i++) {
    ASSERT_TRUE(t.rows[i][0] && t.rows[i][1]) << i;
    EXPECT_EQ(*t.rows[i][0], want[i]) << "length " << want[i].size();
    EXPECT_EQ(*t.rows[i][1], want[i]) << "length " << want[i].size() << " at the end";
  }
}

}  // namespace
}  // namespace bex::testing
