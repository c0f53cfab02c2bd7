#include "pg/pg_target.h"

#include <string>

#include "pg/pg_library.h"

namespace bex {

PgConnection::~PgConnection() {
  if (conn_) pq_->finish(conn_);
}

bool PgConnection::failed(const char* what) {
  std::string m = what;
  if (!m.empty()) m += ": ";
  const char* e = conn_ ? pq_->errorMessage(conn_) : "out of memory";
  m += e;
  while (!m.empty() && (m.back() == '\n' || m.back() == ' ')) m.pop_back();
  // One line: each run of line breaks and blanks becomes one blank.
  error_.clear();
  for (const char c : m) {
    const bool blank = c == '\n' || c == '\r' || c == '\t' || c == ' ';
    if (!blank || (!error_.empty() && error_.back() != ' ')) error_ += blank ? ' ' : c;
  }
  return false;
}

bool PgConnection::connect(const std::string& target) {
  pq_ = pgLibrary(error_);
  if (!pq_) return false;
  conn_ = pq_->connectdb(target.c_str());
  if (!conn_ || pq_->status(conn_) != CONNECTION_OK) return failed("");
  return true;
}

bool PgConnection::exec(const std::string& sql) {
  if (!conn_) return false;
  PGresult* r = pq_->exec(conn_, sql.c_str());
  const ExecStatusType st = pq_->resultStatus(r);
  const bool ok = st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK;
  pq_->clear(r);
  return ok || failed("");
}

bool PgConnection::query(const std::string& sql, std::string& value) {
  if (!conn_) return false;
  PGresult* r = pq_->exec(conn_, sql.c_str());
  const bool ok = pq_->resultStatus(r) == PGRES_TUPLES_OK && pq_->ntuples(r) > 0;
  if (ok) value = pq_->getvalue(r, 0, 0);
  pq_->clear(r);
  return ok || failed("");
}

bool PgConnection::copyIn(const std::string& copySql, const char* data, size_t n) {
  if (!conn_) return false;
  PGresult* r = pq_->exec(conn_, copySql.c_str());
  const bool started = pq_->resultStatus(r) == PGRES_COPY_IN;
  pq_->clear(r);
  if (!started) return failed("");
  constexpr size_t kPiece = 1 << 20;
  bool sent = true;
  for (size_t at = 0; at < n && sent; at += kPiece)
    sent = pq_->putCopyData(conn_, data + at, static_cast<int>(n - at < kPiece ? n - at : kPiece)) == 1;
  if (pq_->putCopyEnd(conn_, sent ? nullptr : "sending failed") != 1) return failed("");
  bool ok = true;
  while ((r = pq_->getResult(conn_)) != nullptr) {
    ok = ok && pq_->resultStatus(r) == PGRES_COMMAND_OK;
    pq_->clear(r);
  }
  return ok || failed("");
}

bool PgConnection::largeObjectPut(uint32_t oid, uint64_t offset, const char* data, size_t n) {
  if (!conn_) return false;
  const std::string oidText = std::to_string(oid), offsetText = std::to_string(offset);
  const char* values[3] = {oidText.c_str(), offsetText.c_str(), data};
  const int lengths[3] = {0, 0, static_cast<int>(n)};
  const int formats[3] = {0, 0, 1};
  PGresult* r = pq_->execParams(conn_, "SELECT lo_put($1::oid, $2::bigint, $3::bytea)", 3, nullptr, values, lengths,
                             formats, 0);
  const bool ok = pq_->resultStatus(r) == PGRES_TUPLES_OK;
  pq_->clear(r);
  return ok || failed("");
}

bool PgConnection::lost() const { return !conn_ || pq_->status(conn_) != CONNECTION_OK; }

}  // namespace bex
