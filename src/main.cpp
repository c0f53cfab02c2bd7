// bex: reads Oracle data files block by block and unloads their data.
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "base/dict_directory.h"
#include "base/sink.h"
#include "commands/recover/recover.h"
#include "commands/sql/sql_cli.h"
#include "help_text.h"  // kUsage, written from doc/bex.doc
#include "shell/command_loop.h"

namespace {

constexpr rlim_t kOpenFilesWanted = 8192;
constexpr int kBadCommandLine = 2;

// Data files, LOB maps and ASM disks may all be open at once. Where the
// limit cannot be raised to 8192 the run goes on with what there is.
void raiseOpenFileLimit(bex::Sink& out) {
  struct rlimit rl;
  if (getrlimit(RLIMIT_NOFILE, &rl) != 0) return;
  if (rl.rlim_cur >= kOpenFilesWanted) return;
  struct rlimit want = rl;
  want.rlim_cur = rl.rlim_max == RLIM_INFINITY || rl.rlim_max >= kOpenFilesWanted ? kOpenFilesWanted : rl.rlim_max;
  if (setrlimit(RLIMIT_NOFILE, &want) == 0) rl = want;
  if (rl.rlim_cur < kOpenFilesWanted)
    out.printf("  Only %llu files can be open at once (8192 wanted).\n", static_cast<unsigned long long>(rl.rlim_cur));
}

// The statements of one -e argument as a script: ";" ends a statement
// (and the blanks after it go with it).
FILE* statementStream(const char* text, std::string& storage) {
  for (const char* p = text; *p; p++) {
    storage += *p;
    if (*p != ';') continue;
    storage += '\n';
    while (p[1] == ' ' || p[1] == '\t') p++;
  }
  storage += '\n';
  return fmemopen(storage.data(), storage.size(), "r");
}

int badCommandLine(const char* fmt, const char* arg) {
  fprintf(stderr, "bex: ");
  fprintf(stderr, fmt, arg);
  fprintf(stderr, "\nTry 'bex --help'.\n");
  return kBadCommandLine;
}

struct CommandLineRun {
  std::vector<FILE*> inputs;
  std::vector<std::string> texts;  // the -e statements, read in place
  ~CommandLineRun() {
    for (FILE* f : inputs) fclose(f);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && !strcmp(argv[1], "recover")) {
    bex::FileSink err(stderr);
    raiseOpenFileLimit(err);
    err.flush();
    return bex::recoverMain(argc - 2, argv + 2, isatty(STDERR_FILENO) ? STDERR_FILENO : -1);
  }
  if (argc > 1 && !strcmp(argv[1], "sql")) {
    bex::FileSink err(stderr);
    raiseOpenFileLimit(err);
    err.flush();
    return bex::sqlMain(argc - 2, argv + 2);
  }
  CommandLineRun run;
  run.texts.reserve(static_cast<size_t>(argc));
  for (int i = 1; i < argc; i++) {
    const char* a = argv[i];
    if (!strcmp(a, "--help") || !strcmp(a, "-h")) {
      fputs(kUsage, stdout);
      return 0;
    }
    if (!strcmp(a, "--version") || !strcmp(a, "-V")) {
      printf("bex %s\n", BEX_VERSION);
      return 0;
    }
    if (strcmp(a, "-f") && strcmp(a, "-e")) return badCommandLine("unknown argument '%s'", a);
    if (i + 1 == argc) return badCommandLine("%s needs an argument", a);
    const char* value = argv[++i];
    FILE* f = a[1] == 'f' ? fopen(value, "r") : statementStream(value, run.texts.emplace_back());
    if (!f) return badCommandLine(a[1] == 'f' ? "cannot open script file '%s'" : "cannot read '%s'", value);
    run.inputs.push_back(f);
  }
  // The console sink does the buffering; stdio adds none of its own.
  setvbuf(stdout, nullptr, _IONBF, 0);
  bex::FileSink out(stdout);
  raiseOpenFileLimit(out);
  mkdir(bex::DictDirectory::kDefault, 0777);
  bex::RunOptions options;
  options.batch = run.inputs;
  options.progressFd = isatty(STDERR_FILENO) ? STDERR_FILENO : -1;
  int status = bex::commandLoop(stdin, out, options);
  out.flush();
  return status;
}
