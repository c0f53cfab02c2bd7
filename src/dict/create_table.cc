// buildCreateTable and the CREATE TABLE type texts.
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

#include "dict/ddl_text.h"
#include "dict/dictionary.h"
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

int asInt(uint32_t v) { return static_cast<int>(static_cast<int32_t>(v)); }

bool national(const ColumnRecord& c) { return c.charsetForm == kCharsetFormNational; }

void appendNumber(std::string& out, const ColumnRecord& c, const char* nn) {
  const int scale = asInt(c.scale);
  if (c.precision == 0)
    appendf(out, " NUMBER%s", nn);
  else if (scale == kFloatScale && c.precision == kFloatDefaultPrecision)
    appendf(out, " FLOAT%s", nn);
  else if (scale == kFloatScale)
    appendf(out, " FLOAT(%d)%s", asInt(c.precision), nn);
  else if (c.precision <= kNumberPrecisionMax && scale != 0)
    appendf(out, " NUMBER(%d,%d)%s", asInt(c.precision), scale, nn);
  else if (c.precision <= kNumberPrecisionMax)
    appendf(out, " NUMBER(%d)%s", asInt(c.precision), nn);
  else if (scale != 0)
    appendf(out, " NUMBER(*,%d)%s", scale, nn);
  else
    appendf(out, " FLOAT%s", nn);
}

// The entry texts of the column positions, kept back to back in one pool
// so that reading the column records allocates nothing per record.
struct CreateEntries {
  struct Span {
    uint32_t offset = 0, length = 0;
    bool present = false;
  };
  std::string pool;
  std::vector<Span> spans = std::vector<Span>(kMaxSegmentColumns);
  uint32_t count = 0;

  void add(const ColumnRecord& c, bool commentNotNull) {
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

void appendCreateType(std::string& out, const ColumnRecord& c, bool commentNotNull) {
  const char* nn = c.nullFlag == 0 ? "" : commentNotNull ? " /* NOT NULL */" : " NOT NULL ";
  const int len = asInt(c.length), half = asInt(c.length / 2);
  const int prec = asInt(c.precision), scale = asInt(c.scale);
  switch (c.type) {
    case 1: national(c) ? appendf(out, " NVARCHAR2(%d)%s", half, nn) : appendf(out, " VARCHAR2(%d)%s", len, nn); break;
    case 2: appendNumber(out, c, nn); break;
    case 8: appendf(out, " LONG%s", nn); break;
    case 9: national(c) ? appendf(out, " NCHAR VARYING(%d)%s", half, nn) : appendf(out, " VARCHAR(%d)%s", len, nn); break;
    case 12: appendf(out, " DATE%s", nn); break;
    case 23: appendf(out, " RAW(%d)%s", len, nn); break;
    case 24: appendf(out, " LONG RAW%s", nn); break;
    case 58: case 111: case 121: case 122: case 123:
      // An unresolved type has no name to write; its number is all there is.
      c.typeKind ? appendf(out, " %s.%s", c.typeOwner, c.typeName) : appendf(out, " %u", c.type);
      break;
    case 69: out += " ROWID"; break;
    case 96: national(c) ? appendf(out, " NCHAR(%d)%s", half, nn) : appendf(out, " CHAR(%d)%s", len, nn); break;
    case 100: appendf(out, " BINARY_FLOAT%s", nn); break;
    case 101: appendf(out, " BINARY_DOUBLE%s", nn); break;
    case 105: case 106: out += " MLSLABEL"; break;
    case 112: national(c) ? appendf(out, " NCLOB%s", nn) : appendf(out, " CLOB%s", nn); break;
    case 113: c.typeKind ? appendf(out, " %s.%s%s", c.typeOwner, c.typeName, nn) : appendf(out, " BLOB%s", nn); break;
    case 114: out += " BFILE"; break;
    case 115: out += " CFILE"; break;
    case 180: scale ? appendf(out, " TIMESTAMP(%d)%s", scale, nn) : appendf(out, " TIMESTAMP%s", nn); break;
    case 181:
      scale ? appendf(out, " TIMESTAMP(%d) WITH TIME ZONE%s", scale, nn) : appendf(out, " TIMESTAMP WITH TIME ZONE%s", nn);
      break;
    case 182:
      prec ? appendf(out, " INTERVAL YEAR(%d) TO MONTH%s", prec, nn) : appendf(out, " INTERVAL YEAR TO MONTH%s", nn);
      break;
    case 183:
      prec ? appendf(out, " INTERVAL DAY(%d) TO SECOND(%d)%s", prec, scale, nn)
           : appendf(out, " INTERVAL DAY TO SECOND%s", nn);
      break;
    case 208: out += " UROWID"; break;
    case 231:
      scale ? appendf(out, " TIMESTAMP(%d) WITH LOCAL TIME ZONE%s", scale, nn)
            : appendf(out, " TIMESTAMP WITH LOCAL TIME ZONE%s", nn);
      break;
    default: appendf(out, " %u", c.type); break;
  }
}

bool buildCreateTable(const DictDirectory& dir, const ObjectRecord& table, const char* targetName, bool multiLine,
                      bool uniqueName, uint32_t dataObjNo, bool commentNotNull, std::string& text) {
  constexpr size_t kPoolReserve = 64 * 1024;
  CreateEntries e;
  e.pool.reserve(kPoolReserve);
  forEachSegmentColumn(dir, table.objNo, [&](const ColumnRecord& c) { e.add(c, commentNotNull); });
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
