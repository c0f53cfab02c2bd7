// The PostgreSQL client library, loaded the first time a connection is
// wanted rather than linked: a run that never writes into PostgreSQL does
// not pay the start of libpq and the twenty libraries it pulls in, and bex
// runs on a machine without it. The table of its functions is process-wide,
// filled once (the first caller loads it, threads that come at the same time
// wait) and never changed after.
#pragma once
#include <libpq-fe.h>

#include <string>

namespace bex {

// The file name the library is loaded by.
inline constexpr const char* kPgLibraryName = "libpq.so.5";

struct PgLibrary {
  decltype(&PQconnectdb) connectdb = nullptr;
  decltype(&PQstatus) status = nullptr;
  decltype(&PQerrorMessage) errorMessage = nullptr;
  decltype(&PQexec) exec = nullptr;
  decltype(&PQexecParams) execParams = nullptr;
  decltype(&PQresultStatus) resultStatus = nullptr;
  decltype(&PQclear) clear = nullptr;
  decltype(&PQntuples) ntuples = nullptr;
  decltype(&PQgetvalue) getvalue = nullptr;
  decltype(&PQputCopyData) putCopyData = nullptr;
  decltype(&PQputCopyEnd) putCopyEnd = nullptr;
  decltype(&PQgetResult) getResult = nullptr;
  decltype(&PQfinish) finish = nullptr;
};

// The loaded library, or null when it cannot be loaded; why then says so in
// one line ("Cannot load the PostgreSQL client library ...: reason"). The
// test knob BEX_TEST_LIBPQ names another file to load instead.
const PgLibrary* pgLibrary(std::string& why);

}  // namespace bex
