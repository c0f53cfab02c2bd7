#include "commands/recover/recover.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "commands/recover/recover_road.h"

namespace bex {

const char kRecoverUsage[] =
    "\n"
    "Usage: bex recover [-o DIR] [--threads N] FILE... | -l LISTFILE\n"
    "\n"
    "bex recover takes the data files (or an OPEN configuration file naming\n"
    "them) and does the whole recovery with nothing else to know: OPEN (block\n"
    "size, byte order and header size from the files), SCAN DATABASE, UNLOAD\n"
    "TABLE DICT$ when the SYSTEM file is among them (character sets from the\n"
    "dictionary), and UNLOAD TABLE of every table of every user but Oracle's\n"
    "own into DIR/<owner>/, each directory with its load scripts (loadall.bat,\n"
    "loadall.sh, loadall_pg.sql). Without a dictionary it guesses the columns\n"
    "(SCAN TABLE) and unloads every object into DIR/NODICT/. DIR (default\n"
    "\"recovered\") also gets bexreport.html, the statements' output in\n"
    "bexrecover.log and the dictionary files in BEXDICT/. --threads N (1 to 64)\n"
    "sets THREADS. Exit status: 0 everything recovered, 1 something lost or\n"
    "damaged (or Ctrl-C: it stops after the table in hand), 2 nothing could be\n"
    "read or a bad command line.\n";

namespace {

int badArguments(const char* fmt, const char* arg) {
  fprintf(stderr, "bex recover: ");
  fprintf(stderr, fmt, arg);
  fprintf(stderr, "\nUsage: bex recover [-o DIR] [--threads N] FILE... | -l LISTFILE\n");
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
    const bool takesValue = !strcmp(a, "-o") || !strcmp(a, "--threads") || !strcmp(a, "-l");
    if (takesValue && i + 1 == argc) return badArguments("%s needs a value", a);
    if (!strcmp(a, "-o")) {
      req.dir = argv[++i];
    } else if (!strcmp(a, "--threads")) {
      if (!threadCount(argv[++i], req.threads)) return badArguments("--threads takes 1 to 64, not '%s'", argv[i]);
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
