// bexforge: writes synthetic Oracle data files for BEX's tests.
//
//   bexforge <scenario> <outdir> [--big] [--block-size N] [--header-size N]
//            [--au N] [--disks N] [--charset ID] [--nls-charset ID]
//   bexforge --list
//
// --au: AU size of the ASM scenarios, in MB when 64 or less, else in bytes.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "forge/scenario.h"

using namespace bex::forge;

static int usage() {
  std::fprintf(stderr,
               "usage: bexforge <scenario> <outdir> [--big] [--block-size N] [--header-size N]\n"
               "                [--au N] [--disks N] [--charset ID] [--nls-charset ID]\n"
               "       bexforge --list\n");
  return 2;
}

static bool number(const char* s, uint32_t& v) {
  char* end = nullptr;
  unsigned long n = std::strtoul(s, &end, 10);
  if (!*s || *end || n > 0xffffffffUL) return false;
  v = static_cast<uint32_t>(n);
  return true;
}

int main(int argc, char** argv) {
  if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
    for (const Scenario& s : scenarios()) std::printf("%-10s %s\n", s.name, s.summary);
    return 0;
  }
  if (argc < 3) return usage();
  ScenarioOptions opts;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--big") == 0) {
      opts.order = ByteOrder::Big;
    } else if (std::strcmp(argv[i], "--block-size") == 0 && i + 1 < argc) {
      if (!number(argv[++i], opts.blockSize)) return usage();
    } else if (std::strcmp(argv[i], "--header-size") == 0 && i + 1 < argc) {
      if (!number(argv[++i], opts.headerSize)) return usage();
      opts.headerSizeGiven = true;
    } else if (std::strcmp(argv[i], "--au") == 0 && i + 1 < argc) {
      if (!number(argv[++i], opts.auSize) || opts.auSize == 0) return usage();
      if (opts.auSize <= 64) opts.auSize <<= 20;
    } else if (std::strcmp(argv[i], "--charset") == 0 && i + 1 < argc) {
      if (!number(argv[++i], opts.charset)) return usage();
    } else if (std::strcmp(argv[i], "--nls-charset") == 0 && i + 1 < argc) {
      if (!number(argv[++i], opts.nlsCharset)) return usage();
    } else if (std::strcmp(argv[i], "--disks") == 0 && i + 1 < argc) {
      if (!number(argv[++i], opts.disks) || opts.disks == 0) return usage();
    } else {
      return usage();
    }
  }
  std::string error;
  if (!runScenario(argv[1], argv[2], opts, error)) {
    std::fprintf(stderr, "bexforge: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
