#include "pg/pg_output.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "pg/pg_target.h"
#include "pg/pg_type_map.h"
#include "unload/text_row_writer.h"

namespace bex {

namespace {

constexpr size_t kBatchBytes = 8 << 20;
constexpr size_t kBatchRows = 50000;
constexpr size_t kGatherBuffer = 65536;

// The COPY format of the batches: binary, which spares the server the
// parsing of CSV (the rows' text is parsed here instead, at a fraction of
// the cost), unless the test knob BEX_TEST_PG_COPY says "text" (for
// measuring one against the other, and testing both).
bool binaryCopy() {
  const char* format = getenv("BEX_TEST_PG_COPY");
  return !format || strcmp(format, "text") != 0;
}

void putBigEndian(std::string& out, size_t at, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; i--, v >>= 8) out[at + static_cast<size_t>(i)] = static_cast<char>(v & 0xff);
}

// The CSV rows at csv (fields ended by ",", rows by "\n", a field holding
// either in double quotes, quotes doubled) as COPY's binary format reads
// them: the same text fields, each left empty without quotes NULL, as COPY
// reads the CSV.
void binaryRows(const char* csv, size_t n, std::string& out) {
  static constexpr char kHeader[19] = {'P', 'G', 'C', 'O', 'P', 'Y', '\n', '\377', '\r', '\n', '\0'};
  out.assign(kHeader, sizeof kHeader);
  const char* p = csv;
  const char* const end = csv + n;
  while (p < end) {
    const size_t countAt = out.size();
    out.append(2, '\0');
    uint32_t fields = 0;
    for (bool more = true; more; fields++) {
      const size_t lengthAt = out.size();
      out.append(4, '\0');
      bool quoted = false;
      while (p < end && *p != ',' && *p != '\n') {
        if (*p != '"') {
          const char* q = p;
          while (q < end && *q != ',' && *q != '\n' && *q != '"') q++;
          out.append(p, static_cast<size_t>(q - p));
          p = q;
          continue;
        }
        quoted = true;
        for (p++; p < end; p++) {
          if (*p == '"' && (p + 1 == end || p[1] != '"')) break;
          if (*p == '"') p++;
          out += *p;
        }
        if (p < end) p++;  // the closing quote
      }
      const size_t length = out.size() - lengthAt - 4;
      putBigEndian(out, lengthAt, length || quoted ? static_cast<uint32_t>(length) : UINT32_MAX, 4);
      more = p < end && *p == ',';
      if (p < end) p++;
    }
    putBigEndian(out, countAt, fields, 2);
  }
  out.append(2, '\377');
}

// Bytes gathered in memory until the batch is sent; bytesWritten() counts
// every byte since the unload began (the LOB references' offsets). Text
// fields cannot hold NUL bytes: the rows' sink leaves them out.
class BatchSink : public Sink {
 public:
  explicit BatchSink(bool dropNul) : Sink(buffer_, sizeof buffer_), dropNul_(dropNul) {}
  std::string& text() {
    flush();
    return text_;
  }

 protected:
  bool emit(const char* p, size_t n) override {
    if (!dropNul_) {
      text_.append(p, n);
      return true;
    }
    for (const char* end = p + n; p < end;) {
      const char* nul = static_cast<const char*>(memchr(p, 0, static_cast<size_t>(end - p)));
      const char* stop = nul ? nul : end;
      text_.append(p, static_cast<size_t>(stop - p));
      p = nul ? nul + 1 : end;
    }
    return true;
  }

 private:
  char buffer_[kGatherBuffer];
  bool dropNul_;
  std::string text_;
};

class PgFormat;

// The CSV rows of the walk, each row's end noted; a full batch is sent.
class PgRowWriter : public RowWriter {
 public:
  PgRowWriter(PgFormat& format, BlockContext& bc, UnloadJob& job, BatchSink& data, LobFile& lob, Sink& console)
      : format_(format), data_(data), rows_(bc, job, data, lob, console, job.columns.count, false) {}
  void rowAddress(uint32_t, uint32_t, uint32_t) override {}
  void piece(const PieceRef& p) override {
    rows_.piece(p);
    if (p.last) rowDone();
  }
  void endRowEarly(uint32_t reached) override {
    rows_.endRowEarly(reached);
    rowDone();
  }

 private:
  void rowDone();

  PgFormat& format_;
  BatchSink& data_;
  CsvRowWriter rows_;
};

class PgFormat : public OutputFormat {
 public:
  PgFormat(const OutputEnv& env, UnloadJob& job, UnloadedTable table, PgDestination dest)
      : env_(env), job_(job), table_(std::move(table)), dest_(std::move(dest)), shown_(maskPgPasswords(dest_.target)) {}

  bool open(const UnloadSubject& s, UnloadOutput& out) override;
  RowWriter& rowWriter() override { return *writer_; }
  bool close() override;
  void removeFiles() override {}
  void nameFiles(ReportEntry& e) const override {
    e.wrote(shown_);
    if (!rejected_) return;
    e.wrote(rejectName_);
    e.damage.emplace_back(kPgRefusedRows, rejected_);
  }
  const char* dataName(const UnloadOutput&) const override { return shown_.c_str(); }

  // A row ended at the end of the gathered text.
  void rowEnded(size_t end) {
    rowEnds_.push_back(end);
    if (end >= kBatchBytes || rowEnds_.size() >= kBatchRows) sendBatch();
  }

 private:
  bool prepare();
  bool mayLoadInto(bool& exists);
  void sendBatch();
  bool putLobValues();
  bool load(const char* rows, size_t n);
  bool copyRows(const char* rows, size_t n);
  void reject(const char* row, size_t n);
  void sayCompleteTables() const;
  std::string loadedKey() const { return shown_ + '\n' + name_; }
  void lose(const std::string& why) {
    if (lost_) return;
    lost_ = true;
    lostWhy_ = why;
  }

  const OutputEnv env_;
  UnloadJob& job_;
  const UnloadedTable table_;
  const PgDestination dest_;
  const std::string shown_;  // the target with its password masked
  PgConnection conn_;
  BatchSink data_{true};
  BatchSink lobValues_{false};
  LobFile lob_;
  std::unique_ptr<PgRowWriter> writer_;
  std::vector<size_t> rowEnds_;
  std::string name_, copySql_, insertSql_, rejectName_;
  std::string encoding_;  // the session's client encoding: the text's own
  const bool binary_ = binaryCopy();
  std::string binaryRows_;  // a batch in COPY's binary format
  uint32_t lobOid_ = 0;
  uint64_t lobSent_ = 0, rowsSent_ = 0, rejected_ = 0;
  FILE* rejects_ = nullptr;
  bool lost_ = false;
  std::string lostWhy_;
};

void PgRowWriter::rowDone() { format_.rowEnded(data_.text().size()); }

bool PgFormat::open(const UnloadSubject&, UnloadOutput&) {
  job_.tags.field = ",";
  job_.tags.record = "\n";
  if (!conn_.connect(dest_.target)) {
    if (conn_.libraryMissing())
      env_.console.error("  %s\n", conn_.error().c_str());
    else
      env_.console.error("  Cannot connect to PostgreSQL %s: %s\n", shown_.c_str(), conn_.error().c_str());
    return false;
  }
  name_ = pgName(table_.owner) + "." + pgName(table_.table);
  if (!prepare()) return false;
  writer_ = std::make_unique<PgRowWriter>(*this, env_.bc, job_, data_, lob_, env_.console);
  return true;
}

// The table is there (created when missing) and may get rows: it is new,
// empty, APPEND was given, or this unload is one partition of it.
bool PgFormat::mayLoadInto(bool& exists) {
  std::string there;
  if (!conn_.query("SELECT to_regclass(" + pgLiteral(name_) + ") IS NOT NULL", there)) return false;
  exists = there == "t";
  if (!exists) return conn_.exec(pgCreateTable(table_, name_));
  if (dest_.append || job_.partition[0] || (dest_.loaded && dest_.loaded->has(loadedKey()))) return true;
  std::string rows;
  if (!conn_.query("SELECT EXISTS (SELECT 1 FROM " + name_ + ")", rows)) return false;
  return rows != "t";
}

bool PgFormat::prepare() {
  const PgEncodings e = pgEncodingsOf(table_);
  encoding_ = pgLiteral(e.database);
  bool exists = false;
  bool ok = conn_.exec("SET client_min_messages = warning; SET client_encoding = " + encoding_ + "; BEGIN");
  if (ok && !mayLoadInto(exists)) {
    if (conn_.error().empty()) {
      env_.console.error("  Table %s already holds rows in PostgreSQL: nothing loaded (APPEND adds to them)!\n",
                         name_.c_str());
      return false;
    }
    ok = false;
  }
  ok = ok && conn_.exec(kPgFunctions);
  std::string lob = "NULL::oid";
  if (ok && pgHasLob(table_)) {
    ok = conn_.query("SELECT lo_create(0)", lob);
    lobOid_ = static_cast<uint32_t>(strtoul(lob.c_str(), nullptr, 10));
    lob += "::oid";
  }
  std::string staging = "CREATE TEMP TABLE bex_rows (", columns, values;
  for (size_t i = 0; i < table_.columns.size(); i++) {
    const char* sep = i ? ", " : "";
    const std::string field = shortFormat("\"f%zu\"", i + 1);
    staging.append(sep).append(field).append(" text");
    columns.append(sep).append(pgName(table_.columns[i].name));
    values.append(sep).append(pgValueOf(table_.columns[i], field, e, lob));
  }
  if (!ok || !conn_.exec(staging + ") ON COMMIT DROP")) {
    env_.console.error("  PostgreSQL %s refused table %s: %s\n", shown_.c_str(), name_.c_str(), conn_.error().c_str());
    return false;
  }
  copySql_ = binary_ ? "COPY bex_rows FROM STDIN WITH (FORMAT binary)"
                    : "COPY bex_rows FROM STDIN WITH (FORMAT csv, ENCODING 'LATIN1')";
  insertSql_ = "INSERT INTO " + name_ + " (" + columns + ") SELECT " + values + " FROM bex_rows";
  lob_.sink = &lobValues_;
  snprintf(lob_.name, sizeof lob_.name, "lob");
  std::string reject = table_.owner + "_" + table_.table + (job_.partition[0] ? "_" + std::string(job_.partition) : "");
  for (char& c : reject)
    if (c == '$' || c == '/') c = '_';
  rejectName_ = reject + "_pg.rej";
  remove(rejectName_.c_str());
  return true;
}

bool PgFormat::putLobValues() {
  std::string& bytes = lobValues_.text();
  if (bytes.empty()) return true;
  const bool ok = conn_.largeObjectPut(lobOid_, lobSent_, bytes.data(), bytes.size());
  lobSent_ += bytes.size();
  bytes.clear();
  return ok;
}

// The rows into the table, all or none.
bool PgFormat::load(const char* rows, size_t n) {
  if (conn_.exec("SAVEPOINT bex_batch") && copyRows(rows, n) && conn_.exec(insertSql_) &&
      conn_.exec("RELEASE SAVEPOINT bex_batch; TRUNCATE bex_rows"))
    return true;
  const std::string why = conn_.error();
  if (conn_.lost() || !conn_.exec("ROLLBACK TO SAVEPOINT bex_batch; RELEASE SAVEPOINT bex_batch")) lose(why);
  return false;
}

// The rows into the temporary table. Binary text fields are read in the
// client encoding: LATIN1 keeps every byte, as the CSV's ENCODING does.
bool PgFormat::copyRows(const char* rows, size_t n) {
  if (!binary_) return conn_.copyIn(copySql_, rows, n);
  binaryRows(rows, n, binaryRows_);
  return conn_.exec("SET client_encoding = 'LATIN1'") &&
         conn_.copyIn(copySql_, binaryRows_.data(), binaryRows_.size()) &&
         conn_.exec("SET client_encoding = " + encoding_);
}

void PgFormat::sendBatch() {
  std::string& rows = data_.text();
  if (!lost_ && !putLobValues()) lose(conn_.error());
  if (!lost_ && !rowEnds_.empty() && !load(rows.data(), rows.size())) {
    // One row at a time: those the server refuses go to the reject file.
    size_t from = 0;
    for (size_t i = 0; i < rowEnds_.size() && !lost_; from = rowEnds_[i++])
      if (!load(rows.data() + from, rowEnds_[i] - from) && !lost_) reject(rows.data() + from, rowEnds_[i] - from);
  }
  rowsSent_ += rowEnds_.size();
  rowEnds_.clear();
  rows.clear();
}

// After a table was lost: the tables this run loaded completely into the
// same server, which the loss leaves as they are.
void PgFormat::sayCompleteTables() const {
  const std::vector<std::string> names = dest_.loaded ? dest_.loaded->after(shown_ + '\n') : std::vector<std::string>{};
  std::string list;
  for (const std::string& n : names) list += (list.empty() ? "" : ", ") + n;
  if (names.empty())
    env_.console.printf("  No table of this run is complete in PostgreSQL %s\n", shown_.c_str());
  else
    env_.console.printf("  Complete in PostgreSQL %s (loaded before by this run): %s\n", shown_.c_str(),
                        list.c_str());
}

void PgFormat::reject(const char* row, size_t n) {
  rejected_++;
  if (!rejects_) rejects_ = fopen(rejectName_.c_str(), "wb");
  if (!rejects_) return;
  fprintf(rejects_, "-- %s\n", conn_.error().c_str());
  fwrite(row, 1, n, rejects_);
}

bool PgFormat::close() {
  sendBatch();
  writer_.reset();
  const std::string unlink = lobOid_ ? "SELECT lo_unlink(" + std::to_string(lobOid_) + "); " : "";
  if (!lost_ && !conn_.exec(unlink + "COMMIT")) lose(conn_.error());
  if (rejects_) fclose(rejects_);
  rejects_ = nullptr;
  Sink& out = env_.console;
  if (lost_) {
    out.error("  PostgreSQL %s failed during table %s (%s): the table is rolled back, none of its rows are loaded\n",
              shown_.c_str(), name_.c_str(), lostWhy_.c_str());
    sayCompleteTables();
    return false;
  }
  if (dest_.loaded) dest_.loaded->add(loadedKey());
  out.printf("  %llu rows loaded into %s at %s\n", static_cast<unsigned long long>(rowsSent_ - rejected_),
             name_.c_str(), shown_.c_str());
  if (rejected_)
    out.printf("  %llu rows refused by PostgreSQL, written with the reasons to %s\n",
               static_cast<unsigned long long>(rejected_), rejectName_.c_str());
  return true;
}

}  // namespace

bool pgCreateSchemas(const std::string& target, const std::vector<std::string>& owners, std::string& why) {
  PgConnection conn;
  std::string sql = "SET client_min_messages = warning; BEGIN; ";
  for (const std::string& owner : owners) sql += "CREATE SCHEMA IF NOT EXISTS " + pgName(owner) + "; ";
  if (conn.connect(target) && conn.exec(sql + "COMMIT")) return true;
  why = conn.error();
  return false;
}

std::unique_ptr<OutputFormat> makePgFormat(const OutputEnv& env, UnloadJob& job, UnloadedTable table,
                                           PgDestination dest) {
  return std::make_unique<PgFormat>(env, job, std::move(table), std::move(dest));
}

}  // namespace bex
