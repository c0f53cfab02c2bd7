#include "datafile/slot_reader.h"

#include <gtest/gtest.h>

#include "datafile/block_reader.h"
#include "base/byte_order.h"
#include "datafile/commands.h"
#include "run/run_context.h"
#include "test_files.h"

using namespace bex;
using namespace bex::testing;

TEST(SlotReader, WalksARangeAcrossWindowsAndStopsAtTheEnd) {
  StringSink out;
  RunContext rc{stdin, out};
  ScratchDir dir;
  std::vector<std::vector<uint8_t>> blocks;
  for (uint32_t b = 0; b < 300; b++) blocks.push_back(makeBlock(8192, 0x06, makeRdba(2, b)));
  std::string a = dir.write("a.dbf", blocks, 0, 500);
  std::string cfg = dir.file("f.txt");
  FILE* f = fopen(cfg.c_str(), "w");
  fprintf(f, "%s\n/nonexistent/x.dbf\n", a.c_str());
  fclose(f);
  rc.cmd.set("OPEN " + cfg);
  rc.cmd.nextToken();
  cmdOpen(rc);
  SlotReader r(rc.bc, 65536);  // 8 blocks per window
  r.start(0, 2, 1000);
  uint32_t n, expect = 2;
  while (const uint8_t* b = r.next(n)) {
    ASSERT_EQ(n, expect);
    ASSERT_EQ(getLE32(b + 4), makeRdba(2, n));
    expect++;
  }
  EXPECT_EQ(expect, 300u);  // the 500 trailing bytes are no block
  r.start(0, 5, 7);
  int count = 0;
  while (r.next(n)) count++;
  EXPECT_EQ(count, 3);
  r.start(1, 2, 10);  // unopenable slot
  EXPECT_EQ(r.next(n), nullptr);
  r.start(0, 10, 9);
  EXPECT_EQ(r.next(n), nullptr);
}
