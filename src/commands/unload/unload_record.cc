#include "commands/unload/unload_record.h"

#include <string>
#include <vector>

#include "base/limits.h"
#include "dict/dropped.h"
#include "run/run_context.h"
#include "unload/lob_column.h"
#include "value/charset.h"

namespace bex {

namespace {

const char* targetOf(const Conversion& c) { return c.valid() ? c.target : ""; }

// One field per column position of the data file (positions without a
// column have none), in position order.
void noteColumns(const DictFiles& dir, const ObjectRecord& table, const TableColumns& cols,
                 std::vector<UnloadedColumn>& out) {
  std::vector<ColumnRecord> records(cols.count);
  forEachTableColumn(dir, table, [&](const ColumnRecord& c) {
    if (c.segColNo <= records.size()) records[c.segColNo - 1] = c;
  });
  for (uint32_t i = 0; i < cols.count; i++) {
    const ColumnSpec& spec = cols.column[i];
    if (spec.type == ColumnTypeCode::kSkip) continue;
    const ColumnRecord& r = records[i];
    out.push_back(UnloadedColumn{cols.desc[i].name, spec.type, cols.desc[i].length, r.precision,
                                 static_cast<int32_t>(r.scale), r.nullFlag != 0,
                                 spec.charsetForm == kCharsetFormNational});
  }
}

}  // namespace

void rememberUnload(RunContext& rc, const UnloadJob& job, const OutputStyleSpec* style, bool rowAddress,
                    const ObjectRecord& table, const char* target, uint32_t objd) {
  if (!job.outputName[0]) return;  // rows on the console: nothing to load
  rc.unloaded.note(describeUnload(rc, job, style, rowAddress, table, target, objd));
}

UnloadedTable describeUnload(RunContext& rc, const UnloadJob& job, const OutputStyleSpec* style, bool rowAddress,
                             const ObjectRecord& table, const char* target, uint32_t objd) {
  UnloadedTable t;
  t.owner = job.owner;
  t.table = target;
  if (rc.settings.uniqueTname) (t.table += '_') += std::to_string(objd);
  t.dataFile = job.outputName;
  char lob[kFileNameMax + 5];
  lobFileName(job.outputName, lob, sizeof lob);
  t.lobFile = lob;
  t.style = style;
  t.separator = job.tags.field;
  t.rowAddress = rowAddress;
  t.textNul = job.nulValues.any();
  const char* charset = charsetName(rc.settings.charset);
  t.charset = charset ? charset : "";
  t.ncharTarget = targetOf(rc.conversions.nchar);
  t.nclobTarget = targetOf(rc.conversions.nclob);
  t.clobTarget = targetOf(rc.conversions.clob);
  noteColumns(rc.dictDir, table, job.columns, t.columns);
  return t;
}

}  // namespace bex
