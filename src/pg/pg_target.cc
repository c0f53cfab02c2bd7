#include "pg/pg_target.h"

#include <libpq-fe.h>

#include <string>

namespace bex {

PgConnection::~PgConnection() {
  if (conn_) PQfinish(conn_);
}

bool PgConnection::failed(const char* what) {
  std::string m = what;
  if (!m.empty()) m += ": ";
  const char* e = conn_ ? PQerrorMessage(conn_) : "out of memory";
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
  conn_ = PQconnectdb(target.c_str());
  if (!conn_ || PQstatus(conn_) != CONNECTION_OK) return failed("");
  return true;
}

bool PgConnection::exec(const std::string& sql) {
  PGresult* r = PQexec(conn_, sql.c_str());
  const ExecStatusType st = PQresultStatus(r);
  const bool ok = st == PGRES_COMMAND_OK || st == PGRES_TUPLES_OK;
  PQclear(r);
  return ok || failed("");
}

bool PgConnection::query(const std::string& sql, std::string& value) {
  PGresult* r = PQexec(conn_, sql.c_str());
  const bool ok = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0;
  if (ok) value = PQgetvalue(r, 0, 0);
  PQclear(r);
  return ok || failed("");
}

bool PgConnection::copyIn(const std::string& copySql, const char* data, size_t n) {
  PGresult* r = PQexec(conn_, copySql.c_str());
  const bool started = PQresultStatus(r) == PGRES_COPY_IN;
  PQclear(r);
  if (!started) return failed("");
  constexpr size_t kPiece = 1 << 20;
  bool sent = true;
  for (size_t at = 0; at < n && sent; at += kPiece)
    sent = PQputCopyData(conn_, data + at, static_cast<int>(n - at < kPiece ? n - at : kPiece)) == 1;
  if (PQputCopyEnd(conn_, sent ? nullptr : "sending failed") != 1) return failed("");
  bool ok = true;
  while ((r = PQgetResult(conn_)) != nullptr) {
    ok = ok && PQresultStatus(r) == PGRES_COMMAND_OK;
    PQclear(r);
  }
  return ok || failed("");
}

bool PgConnection::largeObjectPut(uint32_t oid, uint64_t offset, const char* data, size_t n) {
  const std::string oidText = std::to_string(oid), offsetText = std::to_string(offset);
  const char* values[3] = {oidText.c_str(), offsetText.c_str(), data};
  const int lengths[3] = {0, 0, static_cast<int>(n)};
  const int formats[3] = {0, 0, 1};
  PGresult* r = PQexecParams(conn_, "SELECT lo_put($1::oid, $2::bigint, $3::bytea)", 3, nullptr, values, lengths,
                             formats, 0);
  const bool ok = PQresultStatus(r) == PGRES_TUPLES_OK;
  PQclear(r);
  return ok || failed("");
}

bool PgConnection::lost() const { return !conn_ || PQstatus(conn_) != CONNECTION_OK; }

}  // namespace bex
