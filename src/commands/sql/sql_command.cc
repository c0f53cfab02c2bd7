#include "commands/sql/sql_command.h"

#include <unistd.h>

#include "base/extent_listing.h"
#include "sql/sql_session.h"

namespace bex {

bool runSql(RunContext& rc, std::string_view text, SqlFormat format) {
  if (!rc.lobMap->available()) OpenLobMap(*rc.lobMap);
  *rc.bc.counters = BlockCounters{};
  SqlConversions conversions(rc.conversions, rc.settings.charset);
  const SqlEnv env{rc.bc, rc.dictDir, extentListingFile(rc.dictDir),
                   RowFilters{rc.settings.deletedRow != 0, rc.settings.commitedOnly != 0}, conversions};
  SqlSession session(env, rc.sqlNotes);
  const bool ok = session.run(text, format, rc.out);
  rc.out.flush();
  return ok;
}

void cmdSql(RunContext& rc) {
  CommandLine& cl = rc.cmd;
  SqlFormat format = isatty(STDOUT_FILENO) ? SqlFormat::kTable : SqlFormat::kCsv;
  if (!cl.nextToken()) {
    rc.out.error("  SQL [-o table|csv|json] query;   SQL .tables;   SQL .schema owner.table;\n");
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
