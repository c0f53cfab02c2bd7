// A parallel UNLOAD writes what one thread writes: the same data file, LOB
// file, console text and counts in the recovery report, with chunk
// boundaries inside chains, on sound and on randomly damaged blocks, for
// LOB and national-character columns too. Built with ThreadSanitizer in CI
// as well.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <random>
#include <string>
#include <vector>

#include "../lob/forged_lobs.h"
#include "base/recovery_report.h"
#include "block/block_header.h"
#include "datafile/registry.h"
#include "lob/lob_map_files.h"
#include "unload/header_search.h"
#include "unload_test_util.h"

namespace {

using bex::testing::readWhole;
using bex::testing::ScratchDir;
using bex::testing::UnloadShell;

// What one unload left behind, for comparing.
struct Outcome {
  std::string console, data, lob;
  uint64_t rows, lobs, lobErrors, bad, blocksRead, rejected, skipped, rowsRejected, rowsSkipped, chainsCut;

  bool operator==(const Outcome&) const = default;
};

std::string masked(std::string s) {  // the date lines differ from run to run
  std::string out;
  size_t at = 0;
  while (at < s.size()) {
    size_t nl = s.find('\n', at);
    if (nl == std::string::npos) nl = s.size() - 1;
    const std::string line = s.substr(at, nl + 1 - at);
    if (!(line.size() == 20 && line[4] == '-' && line[13] == ':')) out += line;
    at = nl + 1;
  }
  return out;
}

// Statements go to a shell's statement(); its RunContext is rc.
template <class Shell>
Outcome unload(Shell& sh, const std::string& statement, int threads) {
  sh.statement("SET THREADS " + std::to_string(threads));
  const size_t to = statement.find(" TO ");  // else to o.txt
  const std::string name = to == std::string::npos ? "o.txt" : statement.substr(to + 4);
  remove(name.c_str());
  remove("o.LOB");
  Outcome o;
  o.console = masked(sh.statement(to == std::string::npos ? statement + " TO o.txt" : statement));
  o.data = readWhole(name);
  o.lob = readWhole("o.LOB");
  const bex::ReportEntry& e = sh.rc.report.entry();
  o.rows = sh.rc.bc.counters->RowCount;
  o.lobs = sh.rc.bc.counters->LobCount;
  o.lobErrors = e.lobErrors;
  o.bad = sh.rc.bc.counters->BadBlockCount;
  o.blocksRead = e.blocksRead;
  o.rejected = e.rejected.blocks;
  o.skipped = e.skipped.blocks;
  o.rowsRejected = e.rowsRejected;
  o.rowsSkipped = e.rowsSkipped;
  o.chainsCut = e.chainsCut;
  return o;
}

// Every statement with one thread, then with two and four. One thread
// walks alone and the statements give rows; with more, workers walk the
// blocks of every statement whose walk has more than one chunk (a walk of
// one chunk is walked by the main walk). mostChunks: the most chunks of
// one walk, so that a
// test knows its tables were cut into several (which worker takes which
// chunk is up to the scheduler: on a busy machine one of them may take
// every chunk, so that is not asked).
template <class Shell>
void expectSameWithThreads(Shell& sh, const std::vector<std::string>& statements, const std::string& what,
                           uint64_t& mostChunks) {
  const bex::ReportEntry& e = sh.rc.report.entry();
  uint64_t rows = 0;
  for (const std::string& s : statements) {
    const Outcome one = unload(sh, s, 1);
    EXPECT_EQ(e.workers(), 1u) << s;
    EXPECT_EQ(e.chunks, 0u) << s;
    rows += one.rows;
    for (int threads : {2, 4}) {
      const Outcome many = unload(sh, s, threads);
      EXPECT_TRUE(many == one) << what << ": " << s << " with " << threads << " threads\n"
                               << one.console << "--- against ---\n"
                               << many.console;
      mostChunks = std::max<uint64_t>(mostChunks, e.chunks);
    }
  }
  EXPECT_GT(rows, 0u) << what << ": one thread unloaded no row";
  sh.statement("SET THREADS 1");
}

const std::vector<std::string> kObjectUnloads = {
    "UNLOAD OBJECT 81001 COLUMN NUMBER COLUMN VARCHAR2 COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER",
    "UNLOAD OBJECT 81001 COLUMN NUMBER COLUMN VARCHAR2 EXTENT unload.ext",
    "UNLOAD OBJECT 81003 EXTENT unload.ext",
    "UNLOAD OBJECT 81010 COLUMN NUMBER COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER",
    "UNLOAD OBJECT 81010 COLUMN NUMBER COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER EXTENT unload.ext",
    "UNLOAD OBJECT 81020 COLUMN NUMBER COLUMN VARCHAR2 COLUMN NUMBER",
    "UNLOAD OBJECT 81030 CLUSTER 1 COLUMN NUMBER COLUMN VARCHAR2 COLUMN NUMBER",
    "UNLOAD OBJECT 81030 CLUSTER 2 COLUMN NUMBER COLUMN VARCHAR2 EXTENT unload.ext",
    "UNLOAD OBJECT 81040 COLUMN VARCHAR2 COLUMN NUMBER COLUMN VARCHAR2 COLUMN NUMBER",
    "UNLOAD OBJECT 81050 COLUMN NUMBER COLUMN VARCHAR2 COLUMN DATE COLUMN NUMBER EXTENT unload.ext",
    "UNLOAD OBJECT 81060 COLUMN NUMBER COLUMN VARCHAR2",
};

class Parallel : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bex::testing::forgeScenario("unload", dir.path));
    ASSERT_EQ(chdir(dir.path.c_str()), 0);
    sh.rc.parallelChunkBlocks = 2;  // boundaries inside chains and extents
    sh.statement("OPEN unload.cfg");
  }
  void TearDown() override {
    EXPECT_GT(mostChunks, 1u) << "no walk was cut into chunks";
    ASSERT_EQ(chdir("/"), 0);
  }

  ScratchDir dir;
  UnloadShell sh;
  uint64_t mostChunks = 0;
};

// Chains, migrated rows, clusters, compressed and index-organised blocks,
// the settings that change which rows and messages come out, and blocks
// rejected by the CORRUPT and SKIP lists and the block check.
TEST_F(Parallel, ForgedTablesGiveWhatOneThreadGives) {
  expectSameWithThreads(sh, kObjectUnloads, "sound", mostChunks);
  for (const char* setting : {"SET VERBOSE 1", "SET DELETED_ROW TRUE", "SET COMMITED_ONLY TRUE", "SET ROW_ADDRESS 1",
                              "SET MAXCHAINS 1", "SET OUTPUT_STYLE CSV", "SET BLOCK_CHECK TRUE"}) {
    sh.statement(setting);
    expectSameWithThreads(sh, {kObjectUnloads[0], kObjectUnloads[3], kObjectUnloads[5], kObjectUnloads[9]}, setting,
                          mostChunks);
  }
  // Workers' data through a buffer of 4 KiB: a chunk whose turn comes
  // while it is walked writes what it gathered and goes on straight into
  // the data file.
  sh.rc.parallelDataBuffer = 4096;
  expectSameWithThreads(sh, kObjectUnloads, "handed on in the middle of a chunk", mostChunks);
  sh.statement("SET OUTPUT_STYLE TXT");
  expectSameWithThreads(sh, {kObjectUnloads[0], kObjectUnloads[6]}, "handed on, text", mostChunks);
  sh.rc.parallelDataBuffer = 0;
  sh.rc.cmd.set("CORRUPT FILE 7 BLOCK 23");
  sh.rc.cmd.nextToken();
  bex::cmdCorrupt(sh.rc);
  sh.rc.cmd.set("SKIP FILE 7 BLOCK 24");
  sh.rc.cmd.nextToken();
  bex::cmdSkip(sh.rc);
  expectSameWithThreads(sh, {kObjectUnloads[0], kObjectUnloads[1], kObjectUnloads[9]}, "corrupt and skip", mostChunks);
}

// Random bytes changed in the blocks of the tables: damaged pieces, chains
// and directories give the same rows, messages and counts.
TEST_F(Parallel, DamagedBlocksGiveWhatOneThreadGives) {
  const std::string good = readWhole("u07.dbf");
  std::mt19937 rng(20261209);
  for (int round = 0; round < 12; round++) {
    std::string bad = good;
    const uint32_t flips = 1 + rng() % 60;
    for (uint32_t i = 0; i < flips; i++) {
      const size_t at = 8192 * (10 + rng() % 76) + rng() % 8192;  // headers, maps and table blocks
      bad[at] = static_cast<char>(rng() % 4 == 0 ? 0xFF : rng());
    }
    std::ofstream("u07.dbf", std::ios::binary | std::ios::trunc) << bad;
    sh.statement("OPEN unload.cfg");
    expectSameWithThreads(sh, {kObjectUnloads[0], kObjectUnloads[2], kObjectUnloads[4], kObjectUnloads[6]},
                          "round " + std::to_string(round), mostChunks);
  }
}

// The header search of one object by threads threads, in ranges of two
// blocks; the header found is kept in header.
bex::HeaderFound searchHeader(bex::BlockContext& bc, uint32_t objd, uint32_t threads, std::string& header) {
  const bex::HeaderFound h = bex::searchSegmentHeader(bc, bex::HeaderSearch{objd, 0, threads, 2});
  header.assign(reinterpret_cast<const char*>(bc.block), h.found ? bc.blockSize : 0);
  return h;
}

// The search shared by the workers finds the header one thread finds,
// reading the same bad blocks before it, with the header found where no
// block was named, with a second header of the object after it, and with
// it damaged (the whole-file scan then gives what one thread gives).
TEST_F(Parallel, HeaderSearchByWorkersFindsTheFirstHeader) {
  bex::BlockContext& bc = sh.rc.bc;
  std::string one, many;
  auto expectSameSearch = [&](uint32_t objd, const std::string& what) {
    bc.counters->BadBlockCount = 0;
    const bex::HeaderFound alone = searchHeader(bc, objd, 1, one);
    const uint64_t bad = bc.counters->BadBlockCount;
    EXPECT_EQ(alone.ranges, 0u);
    for (uint32_t threads : {2u, 4u}) {
      bc.counters->BadBlockCount = 0;
      const bex::HeaderFound h = searchHeader(bc, objd, threads, many);
      EXPECT_GT(h.ranges, 1u) << what << ": the workers searched no range";
      EXPECT_TRUE(h.found == alone.found && h.slot == alone.slot && h.block == alone.block && many == one)
          << what << ": objd " << objd << " with " << threads << " threads: block " << h.block << " against "
          << alone.block;
      EXPECT_EQ(bc.counters->BadBlockCount, bad) << what << ": objd " << objd;
    }
    return alone;
  };
  for (uint32_t objd : {81001u, 81010u, 81020u, 81040u, 81060u, 99999u}) expectSameSearch(objd, "sound");
  sh.statement("SET BLOCK_CHECK TRUE");
  const bex::HeaderFound table = expectSameSearch(81001, "block check");
  ASSERT_TRUE(table.found);
  const std::string tableHeader = one;
  ASSERT_TRUE(expectSameSearch(81010, "block check").found);

  // A second header of 81001 past the end of its file: 81010's header
  // given 81001's number (it fails the block check: checked without).
  sh.statement("SET BLOCK_CHECK FALSE");
  const std::string fileName = bc.registry->slots[table.slot].path;
  const std::string good = readWhole(fileName);
  std::string decoy = one;
  const uint32_t at = bex::dataObjectOffset(bex::blockType(bex::BlockView{
      reinterpret_cast<const uint8_t*>(decoy.data()), bc.blockSize, bc.byteOrder}));
  for (int i = 0; i < 4; i++) decoy[at + i] = static_cast<char>((81001u >> (8 * i)) & 0xFF);
  std::ofstream(fileName, std::ios::binary | std::ios::app) << decoy;
  sh.statement("OPEN unload.cfg");
  const bex::HeaderFound first = expectSameSearch(81001, "second header");
  EXPECT_TRUE(first.found && first.block == table.block && one == tableHeader) << "block " << first.block;
  expectSameWithThreads(sh, {kObjectUnloads[0]}, "second header", mostChunks);

  // The header damaged: the search finds none, the file is scanned.
  std::ofstream(fileName, std::ios::binary | std::ios::trunc) << good;
  sh.statement("OPEN unload.cfg");
  sh.rc.cmd.set("CORRUPT FILE " + std::to_string(bc.registry->slots[table.slot].rfn) + " BLOCK " +
                std::to_string(table.block));
  sh.rc.cmd.nextToken();
  bex::cmdCorrupt(sh.rc);
  EXPECT_FALSE(expectSameSearch(81001, "damaged header").found);
  expectSameWithThreads(sh, {kObjectUnloads[0], kObjectUnloads[3]}, "damaged header", mostChunks);
}

}  // namespace

namespace {

// The lob scenario's statements, SCAN included, as a shell's.
struct LobShell {
  bex::testing::ForgedLobs& lobs;
  bex::RunContext& rc;
  std::string statement(const std::string& s) { return lobs.run(s); }
};

constexpr const char* kLobUnload = "UNLOAD OBJECT 74000 COLUMN NUMBER COLUMN CLOB COLUMN BLOB COLUMN NCLOB";

// Every kind of locator (inline, chunk lists, the LOB map's pages of every
// version, absent pages, values of megabytes) in both byte orders, in text
// and CSV style: without a LOB map, with one, with the LOB bytes of every
// chunk spilled to a file, with every piece announced, and on randomly
// damaged LOB segments. (The table's rows lie in one block: one worker
// walks them, through its own LOB reader, map and descriptors, while the
// main thread commits.)
TEST(ParallelLobs, LobTablesGiveWhatOneThreadGives) {
  for (const bool big : {false, true}) {
    bex::testing::ForgedLobs lobs(big);
    ASSERT_TRUE(lobs.ok());
    LobShell sh{lobs, lobs.rc()};
    sh.rc.parallelChunkBlocks = 1;
    const char* const styles[] = {"TXT", "CSV"};
    // After SCAN the table's listed run is one chunk, walked by the main
    // walk; through its segment header the workers walk it.
    const std::string byHeader = std::string(kLobUnload) + " EXTENT none.ext";
    uint64_t mostChunks[2] = {0, 0};  // by style
    const auto expectSame = [&](const std::string& what) {
      for (int i : {0, 1}) {
        lobs.run(std::string("SET OUTPUT_STYLE ") + styles[i]);
        expectSameWithThreads(sh, {kLobUnload, byHeader}, what + ", " + styles[i], mostChunks[i]);
      }
    };
    if (big) lobs.run("SET BYTE_ORDER BIG");
    lobs.run("SET ICONV_CLOB UTF-16BE UTF-8");
    lobs.run("SET ICONV_NCLOB UTF-16BE UTF-8");
    lobs.run("OPEN lob.cfg");
    expectSame("no LOB map");
    lobs.run("SCAN DATABASE");
    expectSame("LOB map");
    EXPECT_GT(readWhole("o.LOB").size(), 3u << 20);
    sh.rc.parallelLobMemory = 1000;
    expectSame("spilled");
    lobs.run("SET VERBOSE 3");
    expectSame("verbose");
    lobs.run("SET VERBOSE 0");
    sh.rc.parallelLobMemory = 0;
    std::mt19937 rng(20261210);
    for (const char* name : {"lob_users04.dbf", "lob_users05.dbf"}) {
      const std::string good = readWhole(name);
      if (good.empty()) continue;
      for (int round = 0; round < 3; round++) {
        std::string bad = good;
        for (uint32_t i = 0; i < 40; i++) {
          const size_t at = 8192 * 2 + rng() % (good.size() - 8192 * 2);
          bad[at] = static_cast<char>(rng());
        }
        std::ofstream(name, std::ios::binary | std::ios::trunc) << bad;
        lobs.run("OPEN lob.cfg");
        expectSame(std::string(name) + " damaged");
      }
      std::ofstream(name, std::ios::binary | std::ios::trunc) << good;
    }
    for (int i : {0, 1}) EXPECT_GT(mostChunks[i], 1u) << styles[i] << ": no walk went to the workers";
  }
}

// National text (NVARCHAR2, NCHAR) and inline CLOB, BLOB and NCLOB values
// through each worker's conversion descriptors, in text, dump and CSV
// style, in chunks of one block and in chunks sized by what they give, and
// with every chunk's LOB bytes (in the dump, which holds the values, its
// data) spilled, with and without each value announced; the LOB table's
// walks went to the workers. A CSV field that must enclose its LOB
// reference (a FIELD_TAG the reference holds) keeps the walk on one thread.
TEST(ParallelLobs, NationalColumnsGiveWhatOneThreadGives) {
  ScratchDir dir;
  ASSERT_TRUE(bex::testing::forgeScenario("csv", dir.path));
  ASSERT_EQ(chdir(dir.path.c_str()), 0);
  ASSERT_EQ(mkdir("BEXDICT", 0755), 0);
  UnloadShell sh;
  uint64_t mostChunks = 0;
  sh.statement("SET ICONV_CLOB UTF-16BE UTF-8");
  sh.statement("OPEN csv.cfg");
  sh.statement("UNLOAD TABLE DICT$;");
  const std::vector<std::string> tables = {"UNLOAD TABLE APP.TEXTS", "UNLOAD TABLE APP.BULK"};
  const std::string lobTable = "UNLOAD TABLE APP.LOBS";
  for (const std::string style : {"TXT", "DMP", "CSV"}) {
    sh.statement("SET OUTPUT_STYLE " + style);
    const std::string to = style == "DMP" ? " TO o.dmp" : "";  // the dump is written only under its own extension
    uint64_t lobChunks = 0;
    for (const uint32_t chunkBlocks : {1u, 0u}) {  // 0: sized by the bytes they give, changing as they commit
      sh.rc.parallelChunkBlocks = chunkBlocks;
      const std::string what = style + (chunkBlocks ? "" : ", chunks by bytes");
      expectSameWithThreads(sh, {tables[0] + to, tables[1] + to}, what, mostChunks);
      expectSameWithThreads(sh, {lobTable + to}, what, lobChunks);
    }
    sh.rc.parallelChunkBlocks = 1;
    sh.rc.parallelLobMemory = 100;
    for (const std::string verbose : {"3", "0"}) {
      sh.statement("SET VERBOSE " + verbose);
      expectSameWithThreads(sh, {lobTable + to}, style + ", spilled, VERBOSE " + verbose, lobChunks);
    }
    sh.rc.parallelLobMemory = 0;
    EXPECT_GT(lobChunks, 1u) << style << ": the LOB table stayed on one thread";
  }
  EXPECT_GT(mostChunks, 1u) << "no walk was cut into chunks";
  sh.statement("SET FIELD_TAG .");
  uint64_t quotedChunks = 0;
  expectSameWithThreads(sh, {lobTable}, "CSV, FIELD_TAG .", quotedChunks);
  EXPECT_EQ(quotedChunks, 0u) << "references in quotes went to the workers";
  const std::string data = readWhole("o.txt");
  EXPECT_NE(data.find("\"o.LOB.1."), std::string::npos) << data;
  for (size_t at = data.find("o.LOB."); at != std::string::npos; at = data.find("o.LOB.", at + 1))
    EXPECT_TRUE(at > 0 && data[at - 1] == '"') << "a reference holding the separator is not enclosed: " << data;
  ASSERT_EQ(chdir("/"), 0);
}

// Bytes a worker cannot spill (its temporary file may not grow past 64 KiB;
// the file it spills for goes to /dev/null, which grows as one thread
// writes it): LOB bytes of a LOB file, and the data of a dump, which holds
// the values. The unload says once that the file is incomplete and ends as
// failed, never "Sucessfully", while one thread succeeds.
TEST(ParallelLobs, SpillFailureFailsTheUnload) {
  bex::testing::ForgedLobs lobs;
  ASSERT_TRUE(lobs.ok());
  lobs.run("SET ICONV_CLOB UTF-16BE UTF-8");
  lobs.run("SET ICONV_NCLOB UTF-16BE UTF-8");
  lobs.run("OPEN lob.cfg");
  lobs.run("SCAN DATABASE");
  lobs.run("UNLOAD TABLE DICT$");
  lobs.rc().parallelChunkBlocks = 1;
  lobs.rc().parallelLobMemory = 1000;
  struct Case {
    const char *style, *statement, *nullFile, *data, *lost;
  };
  const Case cases[] = {
      {"TXT", kLobUnload, "o.LOB", "o.txt", "the LOB file is incomplete!"},
      {"DMP", "UNLOAD TABLE MEDIA.LOBCASES OBJECT 74000", "o.dmp", "o.dmp", "the data file is incomplete!"},
  };
  for (const Case& c : cases) {
    lobs.run(std::string("SET OUTPUT_STYLE ") + c.style);
    remove(c.nullFile);
    ASSERT_EQ(symlink("/dev/null", c.nullFile), 0);
    rlimit before;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit small = before;
    small.rlim_cur = 64u << 10;
    const auto ignored = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string console[2];
    for (int threads : {1, 2}) {
      lobs.run("SET THREADS " + std::to_string(threads));
      console[threads - 1] = lobs.run(std::string(c.statement) + " EXTENT none.ext TO " + c.data);
    }
    setrlimit(RLIMIT_FSIZE, &before);
    signal(SIGXFSZ, ignored);
    remove(c.nullFile);
    EXPECT_NE(console[0].find("Sucessfully unload"), std::string::npos) << c.style << console[0];
    EXPECT_EQ(bex::testing::occurrences(console[1], c.lost), 1u) << c.style << console[1];
    EXPECT_EQ(console[1].find("Sucessfully unload"), std::string::npos) << c.style << console[1];
    EXPECT_NE(console[1].find(std::string("Write error on ") + c.data), std::string::npos) << c.style << console[1];
  }
}

// Workers that cannot open their own LOB map files (gone from BEXDICT while
// the main walk keeps its own open; files running out do the same) leave
// the walk to one thread: its files and values are those of one thread,
// not of workers that read no map.
TEST(ParallelLobs, WorkersThatCannotOpenTheirFilesLeaveTheWalkToOneThread) {
  bex::testing::ForgedLobs lobs;
  ASSERT_TRUE(lobs.ok());
  LobShell sh{lobs, lobs.rc()};
  lobs.run("SET ICONV_CLOB UTF-16BE UTF-8");
  lobs.run("SET ICONV_NCLOB UTF-16BE UTF-8");
  lobs.run("OPEN lob.cfg");
  lobs.run("SCAN DATABASE");
  sh.rc.parallelChunkBlocks = 1;
  const std::string statement = std::string(kLobUnload) + " EXTENT none.ext";
  const Outcome one = unload(sh, statement, 1);  // the run's LOB map opened
  const std::string map = sh.rc.dictDir.file(bex::kLobMapFile), aside = map + ".aside";
  ASSERT_EQ(rename(map.c_str(), aside.c_str()), 0);
  const Outcome two = unload(sh, statement, 2);
  const uint64_t chunks = sh.rc.report.entry().chunks;
  rename(aside.c_str(), map.c_str());
  EXPECT_GT(one.lobs, 0u);
  EXPECT_TRUE(two == one) << one.console << "--- against ---\n" << two.console;
  EXPECT_EQ(chunks, 0u) << "workers walked without the LOB map";
}

}  // namespace
