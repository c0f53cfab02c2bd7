// The keyword table: the one place where a statement's first word is turned
// into a handler call. Later subsystems add their handlers here.
#pragma once
#include <string_view>

namespace bex {

struct RunContext;

using CommandHandler = void (*)(RunContext& rc);

struct CommandEntry {
  const char* keyword;
  CommandHandler handler;  // nullptr: not available in this build
};

// The table in the order of testing.
extern const CommandEntry kCommandTable[];
// First entry whose keyword matches the token, or nullptr.
const CommandEntry* findCommand(std::string_view token);

// Handlers owned by the shell itself.
void cmdHelp(RunContext& rc);
void cmdLog(RunContext& rc);
void cmdList(RunContext& rc);
void cmdRowid(RunContext& rc);

}  // namespace bex
