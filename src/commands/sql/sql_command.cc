#include "commands/sql/sql_command.h"

#include <unistd.h>

#include <algorithm>
#include <memory>

#include "base/extent_listing.h"
#include "commands/scan/table_guess.h"
#include "commands/sql/sql_export.h"
#include "scan/column_guess.h"
#include "sql/sql_session.h"
#include "unload/unload_options.h"

namespace bex {

namespace {

// The columns of a listed object, guessed from its rows as SCAN TABLE
// guesses them and typed as UNLOAD OBJECT types the guessed line.
bool guessedColumns(RunContext& rc, uint32_t objd, TableColumns& out) {
  if (!rc.extentIndex.refresh(extentListingFile(rc.dictDir))) return false;
  const std::span<const ExtentRecord> runs = rc.extentIndex.of(objd);
  if (runs.empty()) return false;
  auto guess = std::make_unique<ColumnGuess>();
  sampleListedObject(rc, runs, 0, *guess);
  out.count = static_cast<uint16_t>(std::min<uint32_t>(guess->count, kMaxSegmentColumns));
  for (uint32_t i = 0; i < out.count; i++) out.column[i].type = columnTypeCode(guessTypeWord(guess->col[i]) + 1);
  return true;
}

}  // namespace

bool runSql(RunContext& rc, std::string_view text, SqlFormat format) {
  if (!rc.lobMap->available()) OpenLobMap(*rc.lobMap);
  *rc.bc.counters = BlockCounters{};
  SqlConversions conversions(rc.conversions, rc.settings.charset);
  const SqlEnv env{rc.bc, rc.dictDir, extentListingFile(rc.dictDir),
                   RowFilters{rc.settings.deletedRow != 0, rc.settings.commitedOnly != 0}, conversions,
                   [&rc](uint32_t objd, TableColumns& out) { return guessedColumns(rc, objd, out); }};
  SqlSession session(env, rc.sqlNotes);
  std::string target;
  const bool toFile = splitQueryTarget(text, target);
  const bool ok = toFile ? session.run(text, format, rc.out, [&](sqlite3_stmt* st) { return exportResult(rc, st, target); })
                         : session.run(text, format, rc.out);
  rc.out.flush();
  return ok;
}

void cmdSql(RunContext& rc) {
  CommandLine& cl = rc.cmd;
  SqlFormat format = isatty(STDOUT_FILENO) ? SqlFormat::kTable : SqlFormat::kCsv;
  if (!cl.nextToken()) {
    rc.out.error("  SQL [-o table|csv|json] query [TO file];   SQL .tables;   SQL .schema owner.table;\n");
    return;
  }
  if (cl.token() == "-o") {
    if (!cl.nextToken() || !parseSqlFormat(cl.token(), format)) {
      rc.out.error("  SQL -o can only be table, csv or json!\n");
      return;
    }
    if (!cl.nextToken()) return;
  }
  runSql(rc, cl.fromToken(), format);
}

}  // namespace bex
