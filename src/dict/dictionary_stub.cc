// Until the dictionary files can be read, every query finds nothing: UNLOAD
// TABLE reports the user as missing, and the bootstrap says it cannot run.
#include "dict/dictionary.h"
#include "shell/run_context.h"

namespace bex {

bool findUser(const char*, UserRecord&) { return false; }
bool findTableObject(uint32_t, const char*, const char*, ObjectRecord&) { return false; }
bool findIndexObject(uint32_t, const char*, const char*, ObjectRecord&) { return false; }

bool findStorage(uint32_t, StorageRecord& out) {
  out = StorageRecord{};
  return false;
}

void loadColumns(const ObjectRecord&, const char*, TableColumns&) {}

bool buildCreateTable(const ObjectRecord&, const char*, bool, bool, uint32_t, bool, std::string& text) {
  text.clear();
  return false;
}

void bootstrapDictionary(RunContext& rc, uint32_t, uint32_t) {
  rc.out.write("  Dictionary bootstrap is not available in this build.\n");
}

}  // namespace bex
