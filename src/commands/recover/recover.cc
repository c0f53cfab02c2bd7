#include "commands/recover/recover.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commands/recover/recover_road.h"

namespace bex {

namespace {

int badArguments(const char* fmt, const char* arg) {
  fprintf(stderr, "bex recover: ");
  fprintf(stderr, fmt, arg);
  fprintf(stderr, "\nUsage: bex recover [-o DIR] [--threads N] [--to postgresql://...] FILE... | -l LISTFILE\n");
  return kNothingRecovered;
}

bool threadCount(const char* s, unsigned& n) {
  char* end = nullptr;
  const long v = strtol(s, &end, 10);
  if (!*s || *end || v < 1 || v > 64) return false;
  n = static_cast<unsigned>(v);
  return true;
}

}  // namespace

int recoverMain(int argc, char** argv, int progressFd) {
  RecoverRequest req;
  for (int i = 0; i < argc; i++) {
    const char* a = argv[i];
    const bool takesValue = !strcmp(a, "-o") || !strcmp(a, "--threads") || !strcmp(a, "-l") || !strcmp(a, "--to");
    if (takesValue && i + 1 == argc) return badArguments("%s needs a value", a);
    if (!strcmp(a, "-o")) {
      req.dir = argv[++i];
    } else if (!strcmp(a, "--threads")) {
      if (!threadCount(argv[++i], req.threads)) return badArguments("--threads takes 1 to 64, not '%s'", argv[i]);
    } else if (!strcmp(a, "--to")) {
      req.pgTarget = argv[++i];
    } else if (!takeDataFile(argv, i, req)) {
      return badArguments("unknown option '%s'", a);
    }
  }
  if (const char* problem = dataFilesProblem(req)) return badArguments("%s", problem);
  if (req.dir.empty()) return badArguments("%s", "-o needs a directory");
  return runRecovery(req, progressFd);
}

}  // namespace bex
