// Statements as a user could type them: the statement reader over the whole
// input, then each statement through the handlers whose options are parsed
// without writing anything: SET, ROWID, CORRUPT, SKIP, LIST, DESC, HELP,
// REM, and the dump commands (OSDUMP, ORADUMP, BCHECK) on an empty file
// list. Statements that start programs, name files to write (TO) or load
// files (LOAD) are kept out.
#include <cstdio>
#include <cstring>
#include <string>

#include "commands/datafile/datafile_commands.h"
#include "shell/command_loop.h"
#include "shell/commands.h"
#include "run/run_context.h"
#include "shell/settings.h"

namespace {

class NullSink : public bex::Sink {
 public:
  NullSink() : Sink(buf_, sizeof buf_) {}

 protected:
  bool emit(const char*, size_t) override { return true; }

 private:
  char buf_[4096];
};

bool safeCommand(std::string_view word) {
  for (const char* k : {"SET", "ROWID", "CORRUPT", "SKIP", "LIST", "HELP", "REM", "DESC", "DESCRIBE", "OSDUMP",
                        "ORADUMP", "BCHECK"})
    if (bex::keywordMatch(word, k)) return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static NullSink out;
  static bex::RunContext rc(stdin, out);
  std::string input(reinterpret_cast<const char*>(data), size);
  FILE* in = fmemopen(input.data(), input.size() ? input.size() : 1, "r");
  if (!in) return 0;
  for (int i = 0; i < 64; i++) {
    bool script = i % 2 == 1;
    int r = bex::readStatement(in, script ? bex::InputForm::kScript : bex::InputForm::kConsole, rc.cmd, out);
    if (r < 0 && feof(in)) break;
    rc.resetStatement();
    if (!rc.cmd.nextToken() || !safeCommand(rc.cmd.token())) continue;
    // Keep the fuzzer away from writing or loading files.
    bool namesFile = false;
    while (rc.cmd.nextToken())
      namesFile = namesFile || bex::keywordMatch(rc.cmd.token(), "TO") || bex::keywordMatch(rc.cmd.token(), "LOAD");
    if (namesFile) continue;
    rc.cmd.rewind();
    bex::runStatement(rc);
    if (feof(in)) break;
  }
  fclose(in);
  return 0;
}
