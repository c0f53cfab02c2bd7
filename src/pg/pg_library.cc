#include "pg/pg_library.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>
#include <string>

namespace bex {

namespace {

struct Loaded {
  PgLibrary library;
  bool ok = false;
  std::string why;
};

template <typename Function>
bool bind(void* handle, const char* symbol, Function& function) {
  function = reinterpret_cast<Function>(dlsym(handle, symbol));
  return function != nullptr;
}

bool bindAll(void* handle, PgLibrary& l) {
  return bind(handle, "PQconnectdb", l.connectdb) && bind(handle, "PQstatus", l.status) &&
         bind(handle, "PQerrorMessage", l.errorMessage) && bind(handle, "PQexec", l.exec) &&
         bind(handle, "PQexecParams", l.execParams) && bind(handle, "PQresultStatus", l.resultStatus) &&
         bind(handle, "PQclear", l.clear) && bind(handle, "PQntuples", l.ntuples) &&
         bind(handle, "PQgetvalue", l.getvalue) && bind(handle, "PQputCopyData", l.putCopyData) &&
         bind(handle, "PQputCopyEnd", l.putCopyEnd) && bind(handle, "PQgetResult", l.getResult) &&
         bind(handle, "PQfinish", l.finish);
}

// The library stays loaded until the process ends: connections may be
// open anywhere until then.
void load(Loaded& loaded) {
  const char* name = getenv("BEX_TEST_LIBPQ");
  if (!name || !*name) name = kPgLibraryName;
  void* handle = dlopen(name, RTLD_NOW | RTLD_LOCAL);
  loaded.ok = handle && bindAll(handle, loaded.library);
  if (loaded.ok) return;
  // dlerror() names the file first when it is the one that failed.
  std::string reason = dlerror();
  const std::string named = std::string(name) + ": ";
  if (reason.compare(0, named.size(), named) == 0) reason.erase(0, named.size());
  loaded.why = "Cannot load the PostgreSQL client library " + named + reason;
}

}  // namespace

const PgLibrary* pgLibrary(std::string& why) {
  static std::once_flag once;
  static Loaded loaded;
  std::call_once(once, [] { load(loaded); });
  if (!loaded.ok) why = loaded.why;
  return loaded.ok ? &loaded.library : nullptr;
}

}  // namespace bex
