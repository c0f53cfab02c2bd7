// Arbitrary bytes as a backup piece (RMAN SCAN, RESTORE FILE of the files it
// lists, RMAN OPEN and reads of the files mapped onto it), or as the RMAN
// listing read against a piece of sound blocks (first byte odd). Every
// statement must end cleanly, whatever the blocks and lines say.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands/datafile/datafile_commands.h"
#include "commands/rman/rman_commands.h"
#include "run/run_context.h"

namespace {

constexpr uint32_t kBs = 2048;
constexpr uint32_t kReadBlocks = 64;  // blocks read at each end of a mapped file

void writeFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) abort();
  if (size) fwrite(data, 1, size, f);
  fclose(f);
}

// Blocks 10 to 29 of file 3, each with a header that starts or extends a run.
std::vector<uint8_t> soundPiece() {
  std::vector<uint8_t> p(22 * kBs, 0);
  for (uint32_t i = 1; i <= 20; i++) {
    uint8_t* b = p.data() + i * kBs;
    const uint32_t rdba = (3u << 22) | (9 + i);
    b[0] = 0x06, b[1] = 0xa2;
    memcpy(b + 4, &rdba, 4);
    b[8] = static_cast<uint8_t>(i);
  }
  return p;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static std::string dir = [] {
    char tmpl[] = "/tmp/bex-fuzz-rman.XXXXXX";
    if (!mkdtemp(tmpl)) abort();
    return std::string(tmpl);
  }();
  static std::string home = [] {
    char here[4096];
    return std::string(getcwd(here, sizeof here) ? here : ".");
  }();
  static FILE* devnull = fopen("/dev/null", "w");
  static bex::FileSink out(devnull);
  static bex::RunContext rc(stdin, out, dir);
  auto run = [](void (*handler)(bex::RunContext&), const std::string& s) {
    rc.cmd.set(s);
    rc.cmd.nextToken();
    handler(rc);
  };
  // Every file is written by its full name in the scratch directory. RESTORE
  // writes into the working directory, so that is the scratch directory
  // while the statements run; libFuzzer reads and writes its corpus
  // relative to its own.
  if (chdir(dir.c_str()) != 0) abort();
  rc.setBlockSize(kBs);
  const std::string piecePath = dir + "/piece.bkp", config = dir + "/pieces.cfg";
  const bool listingMode = size > 0 && (data[0] & 1);
  if (listingMode) {
    const std::vector<uint8_t> piece = soundPiece();
    writeFile(piecePath, piece.data(), piece.size());
    writeFile(dir + "/BEXRMAN.TXT", data + 1, size - 1);
  } else {
    writeFile(piecePath, data, size);
  }
  const std::string lines = piecePath + "\n" + piecePath + " 100\n";
  writeFile(config, reinterpret_cast<const uint8_t*>(lines.data()), lines.size());
  run(bex::cmdOpen, "OPEN " + config);
  if (!listingMode) run(bex::cmdRman, "RMAN SCAN");
  for (const char* id : {"1", "4", "1024"}) run(bex::cmdRman, std::string("RMAN RESTORE FILE ") + id);
  run(bex::cmdRman, "RMAN OPEN");
  std::vector<uint8_t> buf(kReadBlocks * kBs);
  for (uint32_t i = 0; i < rc.registry.count; i++) {
    bex::ByteSource* s = rc.registry.slots[i].source.get();
    if (!s) continue;
    s->read(0, buf.data(), buf.size());
    if (s->size() > buf.size()) s->read(s->size() - buf.size() + 7, buf.data(), buf.size());
  }
  for (const char* f : {"/RMAN_1.DBF", "/RMAN_4.DBF", "/RMAN_1024.DBF"}) unlink((dir + f).c_str());
  if (chdir(home.c_str()) != 0) abort();
  return 0;
}
