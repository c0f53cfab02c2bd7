#include "shell/command_loop.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "shell/commands.h"
#include "pg/pg_target.h"
#include "run/run_context.h"

namespace bex {

namespace {

constexpr const char* kInitScript = "init.sql";

// Appends a line to the statement, cut to the statement's capacity.
void appendText(CommandLine& cl, const char* s, size_t n) {
  size_t room = kStatementMax - cl.length;
  if (n > room) n = room;
  memcpy(cl.text + cl.length, s, n);
  cl.length += static_cast<uint32_t>(n);
  cl.text[cl.length] = 0;
}

void stripTrailingBlanks(CommandLine& cl) {
  while (cl.length > 0 && isBlank(cl.text[cl.length - 1])) cl.length--;
  cl.text[cl.length] = 0;
}

enum class Ending { kComplete, kDiscarded, kOpen };

// Terminator rules on the gathered text.
Ending applyTerminator(CommandLine& cl) {
  stripTrailingBlanks(cl);
  if (cl.length == 0) return Ending::kOpen;
  char last = cl.text[cl.length - 1];
  if (last == ';') {
    cl.text[--cl.length] = 0;
    return Ending::kComplete;
  }
  if (last == '.') {
    cl.clear();
    return Ending::kComplete;
  }
  return Ending::kOpen;
}

bool firstTokenIs(CommandLine& cl, const char* keyword) {
  cl.rewind();
  bool is = cl.nextToken() && keywordMatch(cl.token(), keyword);
  cl.rewind();
  return is;
}

// Runs a command line through the shell and waits; an empty line starts an
// interactive shell in place of the Windows command interpreter.
void runHost(Sink& out, std::string_view commandText) {
  out.flush();
  fflush(stdout);
  if (commandText.empty()) {
    const char* shell = getenv("SHELL");
    if (!shell || !*shell) shell = "/bin/sh";
    [[maybe_unused]] int rc = system(shell);
    return;
  }
  std::string line(commandText);
  [[maybe_unused]] int rc = system(line.c_str());
}

bool startsWithIgnoreCase(std::string_view tok, const char* prefix) {
  size_t n = strlen(prefix);
  return tok.size() >= n && keywordMatch(tok.substr(0, n), prefix);
}

// Scripts are only read: one on a read-only mount or owned by another user
// runs like any other. A script that cannot be opened says so.
FILE* openScript(const char* path, Sink& out) {
  FILE* f = fopen(path, "r");
  if (!f) out.error("  Cannot open script file : %s\n", path);
  return f;
}

// "@file": open the file named by the rest of the statement as the script.
void startScript(RunContext& rc) {
  if (rc.script) {
    rc.out.error(" Cannot using @script.sql in script file.\n");
    return;
  }
  std::string_view name = rc.cmd.fromToken().substr(1);
  while (!name.empty() && isBlank(name.front())) name.remove_prefix(1);
  char path[kFileNameMax + 1];
  copyToken(name, path, kFileNameMax);
  rc.script = openScript(path, rc.out);
}

}  // namespace

int readStatement(FILE* in, InputForm form, CommandLine& cl, Sink& out) {
  uint32_t lineNo = 1;
  char line[kInputLineMax + 1];
  for (;;) {
    if (lineNo == 1) {
      cl.clear();
      out.write("BEX> ");
    } else {
      out.printf("%4d ", static_cast<int>(lineNo));
    }
    out.flush();
    line[0] = 0;
    bool got = fgets(line, sizeof line, in) != nullptr;
    if (got && line[0] == 0) strcpy(line, "\n");  // a line starting with NUL reads as an empty line
    if (form == InputForm::kConsole) {
      if (!got) return -1;  // end of input ends the run as EXIT does
    } else {
      // The echo never shows the password of a connection string.
      const std::string shown = got ? maskPgPasswords(line) : "\n";
      out.write(shown);
      if (shown.back() != '\n') out.write("\n");
    }
    if (got) {
      if (lineNo > 1) appendText(cl, " ", 1);
      appendText(cl, line, strlen(line));
    }
    Ending e = applyTerminator(cl);
    if (e == Ending::kComplete) return 0;
    if (cl.length == 0) {
      if (form == InputForm::kConsole || !got) return 0;
      continue;  // a blank script line: read the next one as the same line
    }
    if (!got) {
      // End of the script: the gathered text is the statement.
      return firstTokenIs(cl, "EXIT") ? -1 : 0;
    }
    if (cl.length > kStatementCut) return 0;
    if (firstTokenIs(cl, "EXIT")) return -1;
    if (!firstTokenIs(cl, "UNLOAD") && !firstTokenIs(cl, "SQL")) return 0;
    lineNo++;
  }
}

bool runStatement(RunContext& rc) {
  CommandLine& cl = rc.cmd;
  if (!cl.nextToken()) return true;
  std::string_view first = cl.token();
  if (first[0] == '@') {
    startScript(rc);
    return true;
  }
  if (startsWithIgnoreCase(first, "HOST") || first[0] == '!') {
    runHost(rc.out, cl.nextToken() ? cl.fromToken() : std::string_view{});
    return true;
  }
  if (first[0] == '#') return true;
  const CommandEntry* e = findCommand(first);
  if (!e) {
    rc.out.error("  Unknown command!\n");
    return true;
  }
  if (keywordMatch(first, "EXIT")) return false;
  if (e->handler)
    e->handler(rc);
  else
    rc.out.error("  %s is not available in this build.\n", e->keyword);
  return true;
}

static void printBanner(Sink& out) {
  out.write("BEX: block extractor for Oracle data files, reading them directly and never writing them.\n\n");
  out.write("Type HELP for the commands; every statement ends at the line end or with \";\".\n\n");
}

namespace {

// The statement source behind the script: the console, or the batch
// inputs in turn (in script form, ending the run at their end).
class ConsoleInput {
 public:
  ConsoleInput(FILE* console, const std::vector<FILE*>& batch) : console_(console), batch_(batch) {}

  bool batch() const { return !batch_.empty(); }
  // As readStatement: -1 when the run ends.
  int read(CommandLine& cl, Sink& out) {
    if (!batch()) return readStatement(console_, InputForm::kConsole, cl, out);
    while (next_ < batch_.size() && feof(batch_[next_])) next_++;
    if (next_ == batch_.size()) return -1;
    return readStatement(batch_[next_], InputForm::kScript, cl, out);
  }

 private:
  FILE* console_;
  const std::vector<FILE*>& batch_;
  size_t next_ = 0;
};

}  // namespace

int commandLoop(FILE* console, Sink& out, const RunOptions& options) {
  RunContext rc(console, out);
  rc.progress.drawOn(options.progressFd);
  ConsoleInput input(console, options.batch);
  bool anyFailed = false;
  printBanner(out);
  if (access(kInitScript, F_OK) == 0) rc.script = openScript(kInitScript, out);
  if (out.errorNoted()) anyFailed = true;  // init.sql there but not readable
  out.clearErrorNote();
  for (;;) {
    int r = -1;
    if (rc.script) r = readStatement(rc.script, InputForm::kScript, rc.cmd, out);
    if (r == -1 && input.read(rc.cmd, out) == -1) break;
    rc.resetStatement();
    if (rc.script && feof(rc.script)) {
      fclose(rc.script);
      rc.script = nullptr;
    }
    out.flush();  // the statement's echo stands above any progress line it draws
    const bool more = runStatement(rc);
    if (rc.endStatement()) anyFailed = true;
    out.flush();
    if (!more) break;
  }
  out.flush();
  return input.batch() && anyFailed ? 1 : 0;
}

}  // namespace bex
