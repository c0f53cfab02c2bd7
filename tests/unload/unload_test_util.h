// Scratch directories with forged data files, and a console-capturing
// shell that runs statements on them.
#pragma once
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "forge/scenario.h"
#include "commands/datafile/datafile_commands.h"
#include "commands/dict/dict_commands.h"
#include "shell/settings.h"
#include "commands/unload/load_script.h"
#include "commands/unload/unload_command.h"
#include "scratch_dir.h"
#include "test_shell.h"

namespace bex::testing {

inline std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs whole SET, OPEN, UNLOAD, LIST (TABLE) and LOAD SCRIPT statements,
// dispatched on the first word as at the prompt.
struct UnloadShell : TestShell {
  std::string statement(const std::string& text) {
    rc.resetStatement();
    rc.cmd.set(text);
    rc.cmd.nextToken();
    std::string_view word = rc.cmd.token();
    if (keywordMatch(word, "SET")) cmdSet(rc);
    if (keywordMatch(word, "OPEN")) cmdOpen(rc);
    if (keywordMatch(word, "UNLOAD")) cmdUnload(rc);
    if (keywordMatch(word, "LIST")) cmdListDictionary(rc);
    if (keywordMatch(word, "LOAD") && rc.cmd.nextToken() && rc.cmd.nextToken())
      loadScript(rc, std::string(rc.cmd.token()).c_str());
    return fresh();
  }
};

inline bool forgeScenario(const std::string& name, const std::string& dir, bool big = false,
                          uint32_t blockSize = 8192) {
  forge::ScenarioOptions opts;
  opts.order = big ? forge::ByteOrder::Big : forge::ByteOrder::Little;
  opts.blockSize = blockSize;
  std::string error;
  return forge::runScenario(name, dir, opts, error);
}

}  // namespace bex::testing
