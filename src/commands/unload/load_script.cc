#include "commands/unload/load_script.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "run/run_context.h"
#include "commands/unload/pg_script.h"

namespace bex {

const char kLoadBatchText[] =
    "@echo off\n"
    "\n"
    "if '%2'=='' goto :usage\n"
    "if '%1'=='sql' goto :runsql\n"
    "if '%1'=='ctl' goto :runctl\n"
    "if '%1'=='dmp' goto :rundmp\n"
    "if '%1'=='show' goto :runshow\n"
    "goto :usage\n"
    "\n"
    ":runsql\n"
    "for /F %%i in ('dir /b *_syntax.sql') do (\n"
    "   @echo Run script %%i ...\n"
    "   if not exist %%~ni.log sqlplus -L %2 @%%~ni.sql > %%~ni.log\n"
    ")\n"
    "goto :end\n"
    "\n"
    ":runctl\n"
    "for /F %%i in ('dir /b *_sqlldr.ctl') do (\n"
    "   @echo Run SQL*Loader %%i ...\n"
    "   if not exist %%~ni.log sqlldr userid=%2 control=%%~ni.ctl log=%%~ni.log\n"
    ")\n"
    "goto :end\n"
    "\n"
    ":rundmp\n"
    "for /F %%i in ('dir /b *.dmp') do (\n"
    "   @echo Run Import %%i ...\n"
    "   if not exist %%~ni.log imp %2 file=%%~ni.dmp log=%%~ni.log buffer=16777216 ignore=y full=y\n"
    ")\n"
    "\n"
    "goto :end\n"
    "\n"
    ":runshow\n"
    "for /F %%i in ('dir /b *.dmp') do (\n"
    "   @echo Run Import %%i ...\n"
    "   cmd /C imp %2 file=%%~ni.dmp log=%%~ni.log buffer=16777216 ignore=y full=y show=y\n"
    "   if not errorlevel 1 del %%~ni.log\n"
    ")\n"
    "\n"
    "goto :end\n"
    "\n"
    ":usage\n"
    "@echo Connection Info Required!\n"
    "@echo Usage:\n"
    "@echo       loadall.bat sql user/pass@tns\n"
    "@echo       loadall.bat ctl user/pass@tns\n"
    "@echo       loadall.bat dmp user/pass@tns\n"
    "@echo       loadall.bat show user/pass@tns\n"
    "\n"
    ":end\n";

namespace {

// The same four modes and the same rule (a file whose log exists is done).
// Dumps are found whatever the case of their ".dmp" (a TO name ending in
// ".DMP" writes one), as the batch file's "dir" finds them.
const char kLoadShellText[] =
    "#!/bin/sh\n"
    "# Loads what BEX unloaded into this directory:\n"
    "#   sql: run every *_syntax.sql with sqlplus     ctl: every *_sqlldr.ctl with sqlldr\n"
    "#   dmp: import every *.dmp (any case) with imp  show: list every *.dmp with imp show=y\n"
    "# A file whose .log exists is passed over (show removes the log of a good run).\n"
    "\n"
    "usage() {\n"
    "  echo 'Connection Info Required!'\n"
    "  echo 'Usage:'\n"
    "  for m in sql ctl dmp show; do echo \"      $(basename \"$0\") $m user/pass@tns\"; done\n"
    "  exit 1\n"
    "}\n"
    "\n"
    "[ -n \"$2\" ] || usage\n"
    "case \"$1\" in\n"
    "sql)\n"
    "  for f in *_syntax.sql; do\n"
    "    [ -e \"$f\" ] || continue\n"
    "    n=${f%.*}\n"
    "    echo \"Run script $f ...\"\n"
    "    [ -e \"$n.log\" ] || sqlplus -L \"$2\" @\"$n.sql\" > \"$n.log\"\n"
    "  done ;;\n"
    "ctl)\n"
    "  for f in *_sqlldr.ctl; do\n"
    "    [ -e \"$f\" ] || continue\n"
    "    n=${f%.*}\n"
    "    echo \"Run SQL*Loader $f ...\"\n"
    "    [ -e \"$n.log\" ] || sqlldr userid=\"$2\" control=\"$n.ctl\" log=\"$n.log\"\n"
    "  done ;;\n"
    "dmp)\n"
    "  for f in *; do\n"
    "    case \"$f\" in *.[dD][mM][pP]) ;; *) continue ;; esac\n"
    "    n=${f%.*}\n"
    "    echo \"Run Import $f ...\"\n"
    "    [ -e \"$n.log\" ] || imp \"$2\" file=\"$f\" log=\"$n.log\" buffer=16777216 ignore=y full=y\n"
    "  done ;;\n"
    "show)\n"
    "  for f in *; do\n"
    "    case \"$f\" in *.[dD][mM][pP]) ;; *) continue ;; esac\n"
    "    n=${f%.*}\n"
    "    echo \"Run Import $f ...\"\n"
    "    imp \"$2\" file=\"$f\" log=\"$n.log\" buffer=16777216 ignore=y full=y show=y && rm -f \"$n.log\"\n"
    "  done ;;\n"
    "*) usage ;;\n"
    "esac\n";

bool writeWhole(const char* path, const char* text) {
  FILE* f = fopen(path, "wb");
  if (!f) return false;
  size_t n = strlen(text);
  bool ok = fwrite(text, 1, n, f) == n;
  return fclose(f) == 0 && ok;
}

}  // namespace

bool writeLoadBatch(const char* path) { return writeWhole(path, kLoadBatchText); }

std::string loadShellName(const char* batchPath) {
  std::string name(batchPath);
  size_t slash = name.rfind('/');
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) name.resize(dot);
  name += ".sh";
  return name == batchPath ? std::string() : name;
}

bool writeLoadShell(const char* path) {
  if (!writeWhole(path, kLoadShellText)) return false;
  chmod(path, 0755);
  return true;
}

void loadScript(RunContext& rc, const char* path) {
  if (!writeLoadBatch(path)) {
    rc.out.error("  Cannot create file %s!\n", path);
    return;
  }
  std::string twin = loadShellName(path);
  if (!twin.empty()) writeLoadShell(twin.c_str());
  const std::string pg = pgScriptName(path);
  if (!writePgScript(pg.c_str(), rc.unloaded)) rc.out.error("  Cannot create file %s!\n", pg.c_str());
}

}  // namespace bex
