// Arbitrary lines as hand-edited dictionary files: each line through the
// five record readers, and as an extent listing record.
#include <cstring>
#include <string>

#include "dict/dict_records.h"
#include "base/extent_listing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view all(reinterpret_cast<const char*>(data), size);
  while (!all.empty()) {
    size_t nl = all.find('\n');
    std::string_view line = all.substr(0, nl == std::string_view::npos ? all.size() : nl + 1);
    all.remove_prefix(line.size());
    bex::UserRecord u;
    bex::ObjectRecord o;
    bex::StorageRecord s;
    bex::ColumnRecord c;
    bex::ColumnTypeRecord t;
    bex::readUserRecord(line, u);
    bex::readObjectRecord(line, o);
    bex::readStorageRecord(line, s);
    bex::readColumnRecord(line, c);
    bex::readColumnTypeRecord(line, t);
    std::string z(line);  // the listing reader takes a zero-terminated line
    bex::ExtentRecord e;
    bex::parseExtentRecord(z.c_str(), e);
  }
  return 0;
}
