#include "shell/commands.h"

#include "commands/asm/asm_commands.h"
#include "commands/block/dump_commands.h"
#include "commands/datafile/datafile_commands.h"
#include "commands/dict/dict_commands.h"
#include "commands/rman/rman_commands.h"
#include "rowid/rowid.h"
#include "commands/report/report_command.h"
#include "commands/scan/scan_commands.h"
#include "commands/scan/table_guess.h"
#include "commands/scan/truncated.h"
#include "base/cmdline.h"
#include "run/run_context.h"
#include "shell/settings.h"
#include "commands/unload/unload_command.h"
#include "commands/sql/sql_command.h"

namespace bex {

static void cmdRem(RunContext&) {}

// EXIT is recognised by the loop before the handler would run.
static void cmdExit(RunContext&) {}

const CommandEntry kCommandTable[] = {
    {"SET", cmdSet},
    {"OPEN", cmdOpen},
    {"OSDUMP", cmdOsdump},
    {"BCHECK", cmdBcheck},
    {"CORRUPT", cmdCorrupt},
    {"SKIP", cmdSkip},
    {"ORADUMP", cmdOradump},
    {"LIST", cmdList},
    {"LOAD", cmdLoad},
    {"LOG", cmdLog},
    {"SAMPLE", cmdSample},
    {"UNLOAD", cmdUnload},
    {"CHECK", cmdCheck},
    {"REM", cmdRem},
    {"DESC", cmdDesc},
    {"DESCRIBE", cmdDesc},
    {"ROWID", cmdRowid},
    {"RMAN", cmdRman},
    {"SCAN", cmdScan},
    {"EXIT", cmdExit},
    {"HELP", cmdHelp},
    {"ASM", cmdAsm},
    {"REPORT", cmdReport},
    {"SQL", cmdSql},
    {nullptr, nullptr},
};

const CommandEntry* findCommand(std::string_view token) {
  for (const CommandEntry* e = kCommandTable; e->keyword; e++)
    if (keywordMatch(token, e->keyword)) return e;
  return nullptr;
}

void cmdHelp(RunContext& rc) {
  static const char* const kLines[] = {
      "  SET     -- Change setting\n",
      "  CHECK   -- Check data file header\n",
      "  OPEN    -- Open configuration file\n",
      "  OSDUMP  -- OS dump (HEX display)\n",
      "  ORADUMP -- Oracle dump (block information)\n",
      "  LOAD    -- Load table definition for column mapping\n",
      "  UNLOAD  -- Unload data to text file\n",
      "  SCAN    -- Scan segment header or object\n",
      "  DESC    -- Describe table structure\n",
      "  ROWID   -- Inteprete or construct ROWID\n",
      "  BCHECK  -- Check whether the block tail matchs\n",
      "  CORRUPT -- Mark data block as corrupted\n",
      "  SKIP    -- Mark data block as skipped\n",
      "  EXIT    -- Exit application\n",
  };
  for (const char* l : kLines) rc.out.write(l);
}

void cmdLog(RunContext& rc) {
  CommandLine& cl = rc.cmd;
  if (!cl.nextToken()) return;
  char name[kFileNameMax + 1];
  copyToken(cl.token(), name, kFileNameMax);
  if (rc.unloadLog) fclose(rc.unloadLog);
  rc.unloadLog = name[0] == '+' ? fopen(name + 1, "a+") : fopen(name, "w+");
  if (!rc.unloadLog) rc.out.noteError();  // silent, as ever, but a failure
}

// LIST TRUNCATED needs the scan listing and the guesser; every other LIST
// is answered from the dictionary files alone.
void cmdList(RunContext& rc) {
  CommandLine& cl = rc.cmd;
  const uint32_t start = cl.tokenStart, end = cl.tokenEnd;
  if (cl.nextToken() && keywordMatch(cl.token(), "TRUNCATED")) {
    cmdListTruncated(rc);
    return;
  }
  cl.tokenStart = start, cl.tokenEnd = end;
  cmdListDictionary(rc);
}

void cmdRowid(RunContext& rc) { rowidCommand(rc.cmd, rc.out); }

}  // namespace bex
