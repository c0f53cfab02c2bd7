// LOAD SCRIPT: the batch file that loads everything unloaded into the
// current directory (sqlplus scripts, SQL*Loader control files or export
// dumps), and its POSIX shell twin for systems without cmd.exe.
#pragma once
#include <cstddef>
#include <string>

namespace bex {

struct RunContext;

// The batch file, byte for byte (lines end with a single line feed).
extern const char kLoadBatchText[];

// Writes the batch file; false when it cannot be created.
bool writeLoadBatch(const char* path);
// The shell twin's name: the batch name with its extension replaced by
// ".sh" (".sh" appended when it has none); empty when that is the batch
// name itself.
std::string loadShellName(const char* batchPath);
// Writes the shell twin (executable); false when it cannot be created.
bool writeLoadShell(const char* path);

// LOAD SCRIPT filename: the batch file and its twin.
void loadScript(RunContext& rc, const char* path);

}  // namespace bex
