// SCAN DATABASE with THREADS 2 and 4 against THREADS 1 on the forged scan
// and unload databases, sound and damaged (blocks failing the checksum,
// zeroed blocks, a file cut short mid-block): the listings, the block map,
// the LOB map, the report line and the console output must be the
// same bytes. Built with -fsanitize=thread (BEX_TSAN) this is also the
// proof that the workers share nothing they write.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "commands/datafile/datafile_commands.h"
#include "forge/scenario.h"
#include "commands/scan/scan_commands.h"
#include "test_files.h"
#include "test_shell.h"

namespace bex {
namespace {

using testing::ScratchDir;

// Lines without the clock: date lines and the report's times.
std::string withoutClock(const std::string& text) {
  std::stringstream in(text);
  std::string out;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("20", 0) == 0 || line.rfind("BEX> 20", 0) == 0) continue;
    size_t at = line.find("\"start\"");
    out += line.substr(0, at) + "\n";
  }
  return out;
}

// Who scanned: the report's workers and the stretches they took.
struct Scanners {
  uint32_t workers = 0;
  uint64_t stretches = 0;
};

// One SCAN DATABASE with the given threads: everything it wrote.
std::string scanWith(const std::string& dir, const std::string& cfg, uint16_t threads, Scanners& by) {
  testing::TestShell sh(dir);
  EXPECT_EQ(sh.run(cmdOpen, "OPEN " + cfg).find("Cannot open"), std::string::npos);
  sh.rc.bc.threads = threads;
  std::string all = withoutClock(sh.run(cmdScan, "SCAN DATABASE"));
  by = Scanners{sh.rc.report.entry().workers(), sh.rc.report.entry().chunks};
  for (const char* name : {"BEXEXT.TXT", "BEXLOB.TXT", "BEXMAP.TXT", "BEXLOBMAP.TXT"})
    all += std::string("== ") + name + "\n" + testing::fileText(dir + "/" + name);
  all += "== report\n" + withoutClock(testing::fileText(dir + "/BEXREPORT.JSONL"));
  unlink((dir + "/BEXREPORT.JSONL").c_str());
  return all;
}

// Writes bytes at offset of a file (the forged files are opened read-only
// by bex; the test damages them between runs).
void patch(const std::string& path, uint64_t offset, const std::vector<uint8_t>& bytes) {
  FILE* f = fopen(path.c_str(), "r+b");
  ASSERT_NE(f, nullptr) << path;
  fseek(f, static_cast<long>(offset), SEEK_SET);
  fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

// What the one-thread scan wrote, after checking the others against it:
// one thread scans alone and finds segments; with more, workers scan the
// stretches. mostWorkers: the most that took part in one scan (which takes
// the stretches is up to the workers: on a busy machine one of them may
// take every stretch of a scan, never of a whole test).
std::string expectSameWithThreads(const ScratchDir& dir, const std::string& cfg, const char* what,
                                  uint32_t& mostWorkers) {
  Scanners by;
  const std::string one = scanWith(dir.path(), cfg, 1, by);
  EXPECT_NE(one.find("Scan Done With"), std::string::npos) << one;
  EXPECT_GT(testing::fileText(dir.file("BEXEXT.TXT")).size(), 0u) << what;
  EXPECT_EQ(by.workers, 1u) << what;
  EXPECT_EQ(by.stretches, 0u) << what;
  for (uint16_t threads : {2, 4}) {
    EXPECT_EQ(scanWith(dir.path(), cfg, threads, by), one) << what << ", threads " << threads;
    EXPECT_GT(by.stretches, 1u) << what << ", threads " << threads;
    mostWorkers = std::max(mostWorkers, by.workers);
  }
  return one;
}

TEST(ScanThreads, SameOutputAsOneThreadSoundAndDamaged) {
  struct Case {
    const char* scenario;
    const char* cfg;
    const char* file;  // the data file damaged
  };
  uint32_t mostWorkers = 0;
  for (const Case& c : {Case{"scan", "scan.cfg", "scan04.dbf"}, Case{"unload", "unload.cfg", "u07.dbf"}}) {
    ScratchDir dir;
    std::string error;
    ASSERT_TRUE(forge::runScenario(c.scenario, dir.path(), forge::ScenarioOptions{}, error)) << error;
    const std::string cfg = dir.file(c.cfg);
    const std::string sound = expectSameWithThreads(dir, cfg, c.scenario, mostWorkers);

    const std::string file = dir.file(c.file);
    const uint64_t bs = 8192;
    // Checksum failures around the stretch edges (stretches of 8 blocks
    // from block 2 on), a zeroed block, and a lone bad block farther on.
    for (uint64_t block : {9, 10, 11, 18, 25}) patch(file, block * bs + 100, {0x5a, 0xa5, 0x77});
    patch(file, 14 * bs, std::vector<uint8_t>(bs, 0));
    const std::string damaged = expectSameWithThreads(dir, cfg, "damaged blocks", mostWorkers);
    EXPECT_NE(damaged, sound);

    // Cut short mid-block: the blocks past the cut are unreadable.
    const uint64_t size = testing::fileText(file).size();
    ASSERT_EQ(truncate(file.c_str(), static_cast<off_t>(size - size / 3 - bs / 2)), 0);
    EXPECT_NE(expectSameWithThreads(dir, cfg, "file cut short", mostWorkers), damaged);
  }
  EXPECT_GT(mostWorkers, 1u) << "one worker scanned every stretch";
}

}  // namespace
}  // namespace bex
