// The one connection to a PostgreSQL server an unload writes through
// (how a TO name names a server: base/connection_string.h).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/connection_string.h"

struct pg_conn;

namespace bex {

struct PgLibrary;

// error(): the message of what failed last (its detail lines included), on
// one line.
class PgConnection {
 public:
  PgConnection() = default;
  ~PgConnection();
  PgConnection(const PgConnection&) = delete;
  PgConnection& operator=(const PgConnection&) = delete;

  // False (error() says why) when the server cannot be reached, or the
  // client library cannot be loaded (libraryMissing()).
  bool connect(const std::string& target);
  bool libraryMissing() const { return !pq_; }
  // The calls below are for a connected connection: without one they fail
  // and leave error() as it is.
  // Runs statements without rows; false on error.
  bool exec(const std::string& sql);
  // The first column of the first row of a query; false on error.
  bool query(const std::string& sql, std::string& value);
  // COPY ... FROM STDIN with the n bytes at data; false on error.
  bool copyIn(const std::string& copySql, const char* data, size_t n);
  // Writes n bytes into large object oid at offset.
  bool largeObjectPut(uint32_t oid, uint64_t offset, const char* data, size_t n);
  // The connection is gone (the server stopped or the network failed).
  bool lost() const;
  const std::string& error() const { return error_; }

 private:
  bool failed(const char* what);

  const PgLibrary* pq_ = nullptr;
  pg_conn* conn_ = nullptr;
  std::string error_;
};

}  // namespace bex
