// buildCreateTable: the CREATE TABLE text of a table.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "dict/ddl_text.h"
#include "dict/dictionary.h"
#include "dict/dropped.h"
#include "dict/queries.h"

namespace bex {

namespace {

void appendf(std::string& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void appendf(std::string& out, const char* fmt, ...) {
  char buf[256];
  va_list ap;
  va_start(ap, fmt);
  const int n = vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  if (n > 0) out.append(buf, static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n) : sizeof buf - 1);
}

// The entry texts of the column positions, kept back to back in one pool
// so that reading the column records allocates nothing per record.
struct CreateEntries {
  struct Span {
    uint32_t offset = 0, length = 0;
    bool present = false;
  };
  std::string pool;
  std::vector<Span> spans;  // grows to the highest position seen
  uint32_t count = 0;

  void add(const ColumnRecord& c, bool commentNotNull) {
    if (spans.size() < c.segColNo) spans.resize(c.segColNo);
    const size_t start = pool.size();
    appendf(pool, " \"%s\" ", c.name);
    appendCreateType(pool, c, commentNotNull);
    spans[c.segColNo - 1] = {static_cast<uint32_t>(start), static_cast<uint32_t>(pool.size() - start), true};
    if (c.segColNo > count) count = c.segColNo;
  }
  std::string_view text(uint32_t i) const { return std::string_view(pool).substr(spans[i].offset, spans[i].length); }
  bool valid() const {
    if (count == 0) return false;
    for (uint32_t i = 0; i < count; i++)
      if (!spans[i].present) return false;
    return true;
  }
};

}  // namespace

bool buildCreateTable(const DictFiles& dir, const ObjectRecord& table, const char* targetName, bool multiLine,
                      bool uniqueName, uint32_t dataObjNo, bool commentNotNull, std::string& text) {
  constexpr size_t kPoolReserve = 64 * 1024;
  CreateEntries e;
  e.pool.reserve(kPoolReserve);
  forEachTableColumn(dir, table, [&](const ColumnRecord& c) { e.add(c, commentNotNull); });
  const char* name = targetName && targetName[0] ? targetName : table.name;
  // The target name may be as long as a file name: no fixed buffer here.
  text.reserve(e.pool.size() + 2 * e.count + strlen(name) + 32);
  text = "CREATE TABLE \"";
  text += name;
  if (uniqueName) appendf(text, "_%u", dataObjNo);
  text += "\" (";
  if (multiLine) text += '\n';
  for (uint32_t i = 0; i < e.count; i++) {
    text += e.text(i);
    if (i + 1 < e.count) text += ',';
    if (multiLine) text += '\n';
  }
  text += ')';
  return e.valid();
}

}  // namespace bex
