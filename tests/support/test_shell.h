// A RunContext with its console captured in memory, for tests that run
// command handlers and look at what they print.
#pragma once
#include <string>

#include "run/run_context.h"

namespace bex::testing {

struct TestShell {
  // dictDir: the run's dictionary directory (a test's scratch one, or the
  // default in the working directory).
  explicit TestShell(std::string dictDir = DictDirectory::kDefault) : rc{stdin, out, std::move(dictDir)} {}

  StringSink out;
  RunContext rc;
  size_t mark = 0;

  // Runs handler on statement (its first word is the keyword) and returns
  // what it printed.
  std::string run(void (*handler)(RunContext&), const std::string& statement) {
    rc.dictDir.recheck();  // as before every statement of the command loop
    rc.cmd.set(statement);
    rc.cmd.nextToken();
    handler(rc);
    return fresh();
  }
  // Output printed since the last call.
  std::string fresh() {
    const std::string& all = out.str();
    std::string s = all.substr(mark);
    mark = all.size();
    return s;
  }
};

}  // namespace bex::testing
