#include "dict/dict_charsets.h"

#include <map>
#include <string_view>

#include "dict/dict_files.h"
#include "dict/dict_records.h"
#include "value/column_type.h"

namespace bex {

namespace {

// CHARSETFORM of a column in the database character set.
constexpr uint32_t kFormDatabase = 1;

// The id seen most often; the lower id wins a tie, so the answer does not
// depend on the order of the lines.
uint16_t mostCommon(const std::map<uint32_t, uint64_t>& counts) {
  uint32_t best = 0;
  uint64_t bestCount = 0;
  for (const auto& [id, count] : counts)
    if (count > bestCount) best = id, bestCount = count;
  return best <= UINT16_MAX ? static_cast<uint16_t>(best) : 0;
}

}  // namespace

DictCharsets dictionaryCharsets(const DictFiles& dir) {
  std::map<uint32_t, uint64_t> database, national;
  DictLineReader lines(dir.file(kColumnFile).c_str());
  std::string_view line;
  while (lines.opened() && lines.next(line)) {
    ColumnRecord c;
    if (!readColumnRecord(line, c) || c.charsetId == 0) continue;
    if (c.charsetForm == kFormDatabase) database[c.charsetId]++;
    if (c.charsetForm == kCharsetFormNational) national[c.charsetId]++;
  }
  return {mostCommon(database), mostCommon(national)};
}

}  // namespace bex
