#include "commands/sql/sql_export.h"

#include <cstring>
#include <memory>
#include <vector>

#include "base/cmdline.h"
#include "commands/unload/unload_command.h"
#include "sql/sql_values.h"
#include "unload/output_style.h"
#include "unload/unload_options.h"

namespace bex {

namespace {

constexpr uint32_t kRowBytes = 65535;  // what one row piece holds: its offsets are 16 bits

void trimEnd(std::string_view& s) {
  while (!s.empty() && (isBlank(s.back()) || s.back() == ';')) s.remove_suffix(1);
}

// The column types of the result: declared numeric, or a number first.
ColumnTypeCode resultColumnType(sqlite3_stmt* st, int i) {
  const char* declared = sqlite3_column_decltype(st, i);
  if (declared && (!strcasecmp(declared, "NUMBER") || !strcasecmp(declared, "INTEGER") || !strcasecmp(declared, "REAL")))
    return ColumnTypeCode::kNumber;
  switch (sqlite3_column_type(st, i)) {
    case SQLITE_INTEGER:
    case SQLITE_FLOAT: return ColumnTypeCode::kNumber;
    case SQLITE_BLOB: return ColumnTypeCode::kRaw;
    default: return ColumnTypeCode::kVarchar2;
  }
}

// One result row as a stored row piece: every value in the form of its
// column's type, one after the other in a buffer made once.
class ResultRow {
 public:
  ResultRow() : bytes_(new uint8_t[kRowBytes]) { view_ = BlockView{bytes_.get(), kRowBytes, 0}; }

  // False when the row does not fit a piece. Values that are no number in
  // a NUMBER column are stored NULL and counted.
  bool store(sqlite3_stmt* st, const UnloadJob& job, uint32_t n) {
    cols_.clear();
    used_ = 0;
    for (uint32_t i = 0; i < n; i++)
      if (!storeValue(st, static_cast<int>(i), job.columns.column[i].type)) return false;
    return true;
  }
  PieceRef piece(uint32_t row) const { return PieceRef{&view_, &cols_, 0, false, true, false, 0, 0, row}; }
  uint64_t notNumbers = 0;

 private:
  bool add(const void* p, uint32_t n) {
    if (n > kRowBytes - used_) return false;
    if (n) memcpy(bytes_.get() + used_, p, n);
    cols_.add(used_, n);
    used_ += n;
    return true;
  }

  bool storeValue(sqlite3_stmt* st, int i, ColumnTypeCode type) {
    const int kind = sqlite3_column_type(st, i);
    if (kind == SQLITE_NULL) return add(nullptr, 0);
    if (type == ColumnTypeCode::kRaw && kind == SQLITE_BLOB)
      return add(sqlite3_column_blob(st, i), static_cast<uint32_t>(sqlite3_column_bytes(st, i)));
    const char* text = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
    const uint32_t length = static_cast<uint32_t>(sqlite3_column_bytes(st, i));
    if (type != ColumnTypeCode::kNumber) return add(text, length);
    uint8_t key[24];
    const size_t n = text ? numberKey(std::string_view(text, length), key) : 0;
    if (n == 0) notNumbers++;
    return add(key, static_cast<uint32_t>(n));
  }

  std::unique_ptr<uint8_t[]> bytes_;
  BlockView view_;
  ColumnList cols_;
  uint32_t used_ = 0;
};

// The unload of the result: its columns from the statement (first row
// stepped), its style from the name or OUTPUT_STYLE.
std::unique_ptr<UnloadJob> resultJob(RunContext& rc, sqlite3_stmt* st, const std::string& name) {
  auto job = std::make_unique<UnloadJob>();
  job->tags = tagsOf(rc.settings);
  copyToken(name, job->outputName, kFileNameMax);
  const uint32_t n = static_cast<uint32_t>(sqlite3_column_count(st));
  job->columns.count = static_cast<uint16_t>(n);
  job->typeListLength = n;
  for (uint32_t i = 0; i < n; i++) {
    job->columns.column[i].type = resultColumnType(st, static_cast<int>(i));
    copyToken(sqlite3_column_name(st, static_cast<int>(i)), job->columns.desc[i].name, kDictNameMax);
  }
  job->setFill(ColumnTypeCode::kSkip);
  return job;
}

}  // namespace

bool splitQueryTarget(std::string_view& query, std::string& name) {
  std::string_view q = query;
  trimEnd(q);
  size_t start;
  if (!q.empty() && q.back() == '\'') {
    start = q.substr(0, q.size() - 1).rfind('\'');
    if (start == std::string_view::npos) return false;
    name = std::string(q.substr(start + 1, q.size() - start - 2));
  } else {
    start = q.size();
    while (start > 0 && !isBlank(q[start - 1])) start--;
    name = std::string(q.substr(start));
  }
  std::string_view rest = q.substr(0, start);
  if (name.empty() || rest.empty() || !isBlank(rest.back())) return false;
  trimEnd(rest);
  if (rest.size() < 3 || !keywordMatch(rest.substr(rest.size() - 2), "TO") || !isBlank(rest[rest.size() - 3])) return false;
  query = rest.substr(0, rest.size() - 2);
  return true;
}

bool exportResult(RunContext& rc, sqlite3_stmt* st, const std::string& name) {
  sqlite3* db = sqlite3_db_handle(st);
  int step = sqlite3_step(st);
  if (step != SQLITE_ROW && step != SQLITE_DONE) {
    rc.out.error("  SQL error: %s\n", sqlite3_errmsg(db));
    return false;
  }
  if (static_cast<uint32_t>(sqlite3_column_count(st)) > kMaxColumns) {
    rc.out.error("  SQL ... TO writes at most %u columns!\n", kMaxColumns);
    return false;
  }
  UnloadOptions opts = unloadOptionsFromSettings(rc.bc, rc.settings.outputStyle);
  opts.rowAddress = false;
  chooseStyleByName(opts, name);
  if (opts.style->needsDictionary) {
    rc.out.error("  SQL ... TO cannot write OUTPUT_STYLE %s: a query's result is no table it can describe!\n",
                 opts.style->name);
    return false;
  }
  auto job = resultJob(rc, st, name);
  const OutputEnv env = outputEnv(rc);
  std::unique_ptr<OutputFormat> format = opts.style->makeFormat(env, *job, opts);
  UnloadOutput files;
  if (!format->open(UnloadSubject{}, files)) return false;
  RowWriter& writer = format->rowWriter();
  ResultRow row;
  uint64_t rows = 0;
  bool fits = true;
  for (; step == SQLITE_ROW && (fits = row.store(st, *job, job->columns.count)); step = sqlite3_step(st)) {
    writer.rowAddress(0, 0, static_cast<uint32_t>(rows));
    writer.piece(row.piece(static_cast<uint32_t>(rows)));
    rows++;
  }
  rc.bc.counters->RowCount = rows;
  const bool written = format->close();
  if (!rc.settings.emptyFiles && rows == 0) format->removeFiles();
  if (!fits) rc.out.error("  Row %llu does not fit %u bytes: the rows before it are written.\n", rows + 1ull, kRowBytes);
  if (step != SQLITE_DONE && fits) rc.out.error("  SQL error: %s\n", sqlite3_errmsg(db));
  if (!written) rc.out.error("  Write error on %s: the file is incomplete!\n", name.c_str());
  if (row.notNumbers)
    rc.out.printf("  %llu values that are no number written as NULL in NUMBER columns.\n",
                  static_cast<unsigned long long>(row.notNumbers));
  rc.out.printf("  %llu rows written to %s (OUTPUT_STYLE %s).\n", static_cast<unsigned long long>(rows), name.c_str(),
                opts.style->name);
  return written && fits && step == SQLITE_DONE;
}

}  // namespace bex
