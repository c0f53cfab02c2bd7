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
    } else if (!strcmp(a, "-l")) {
      req.listFile = argv[++i];
    } else if (a[0] == '-' && a[1]) {
      return badArguments("unknown option '%s'", a);
    } else {
      req.files.emplace_back(a);
    }
  }
  if (req.files.empty() == req.listFile.empty())
    return badArguments("%s", req.files.empty() ? "no data files given" : "give data files or -l, not both");
  if (req.dir.empty()) return badArguments("%s", "-o needs a directory");
  return runRecovery(req, progressFd);
}

}  // namespace bex
