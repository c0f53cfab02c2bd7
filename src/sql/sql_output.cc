#include "sql/sql_output.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/cmdline.h"

namespace bex {

bool parseSqlFormat(std::string_view word, SqlFormat& out) {
  if (keywordMatch(word, "TABLE")) return out = SqlFormat::kTable, true;
  if (keywordMatch(word, "CSV")) return out = SqlFormat::kCsv, true;
  if (keywordMatch(word, "JSON")) return out = SqlFormat::kJson, true;
  return false;
}

namespace {

// The text of column i: blobs in hexadecimal, NULL empty.
void columnText(sqlite3_stmt* st, int i, std::string& out) {
  out.clear();
  const int type = sqlite3_column_type(st, i);
  if (type == SQLITE_NULL) return;
  if (type == SQLITE_BLOB) {
    const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(st, i));
    static const char kHex[] = "0123456789ABCDEF";
    for (int k = 0, n = sqlite3_column_bytes(st, i); k < n; k++) {
      out += kHex[p[k] >> 4];
      out += kHex[p[k] & 15];
    }
    return;
  }
  out.assign(reinterpret_cast<const char*>(sqlite3_column_text(st, i)), sqlite3_column_bytes(st, i));
}

// Characters of a UTF-8 text (continuation bytes not counted).
size_t width(std::string_view s) {
  return static_cast<size_t>(std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

void padded(Sink& out, std::string_view s, size_t w) {
  out.write(s);
  for (size_t k = width(s); k < w; k++) out.put(' ');
}

int writeTable(sqlite3_stmt* st, Sink& out) {
  const int n = sqlite3_column_count(st);
  if (n == 0) return sqlite3_step(st);
  std::vector<std::string> cells;
  std::vector<size_t> widths(static_cast<size_t>(n));
  for (int i = 0; i < n; i++) cells.emplace_back(sqlite3_column_name(st, i));
  int rc;
  std::string text;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW)
    for (int i = 0; i < n; i++) {
      columnText(st, i, text);
      cells.push_back(text);
    }
  for (size_t c = 0; c < cells.size(); c++) widths[c % n] = std::max(widths[c % n], width(cells[c]));
  const size_t rows = n ? cells.size() / n : 0;
  for (size_t r = 0; r < rows; r++) {
    for (int i = 0; i < n; i++) {
      if (i) out.write(" | ");
      padded(out, cells[r * n + i], i + 1 < n ? widths[i] : 0);
    }
    out.put('\n');
    if (r == 0) {
      for (int i = 0; i < n; i++) {
        if (i) out.write("-+-");
        for (size_t k = 0; k < widths[i]; k++) out.put('-');
      }
      out.put('\n');
    }
  }
  out.printf("(%zu row%s)\n", rows - 1, rows == 2 ? "" : "s");
  return rc;
}

void csvField(Sink& out, std::string_view s) {
  if (s.find_first_of(",\"\r\n") == std::string_view::npos) return out.write(s);
  out.put('"');
  for (char c : s) {
    if (c == '"') out.put('"');
    out.put(c);
  }
  out.put('"');
}

int writeCsv(sqlite3_stmt* st, Sink& out) {
  const int n = sqlite3_column_count(st);
  for (int i = 0; i < n; i++) {
    if (i) out.put(',');
    csvField(out, sqlite3_column_name(st, i));
  }
  out.put('\n');
  int rc;
  std::string text;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    for (int i = 0; i < n; i++) {
      if (i) out.put(',');
      columnText(st, i, text);
      csvField(out, text);
    }
    out.put('\n');
  }
  return rc;
}

void jsonString(Sink& out, std::string_view s) {
  out.put('"');
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out.put('\\');
      out.put(static_cast<char>(c));
    } else if (c < 0x20) {
      out.printf("\\u%04x", c);
    } else {
      out.put(static_cast<char>(c));
    }
  }
  out.put('"');
}

int writeJson(sqlite3_stmt* st, Sink& out) {
  const int n = sqlite3_column_count(st);
  out.write("[");
  int rc;
  bool first = true;
  std::string text;
  while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    out.write(first ? "\n{" : ",\n{");
    first = false;
    for (int i = 0; i < n; i++) {
      if (i) out.put(',');
      jsonString(out, sqlite3_column_name(st, i));
      out.put(':');
      const int type = sqlite3_column_type(st, i);
      columnText(st, i, text);
      if (type == SQLITE_NULL)
        out.write("null");
      else if (type == SQLITE_INTEGER || type == SQLITE_FLOAT)
        out.write(text);
      else
        jsonString(out, text);
    }
    out.put('}');
  }
  out.write("\n]\n");
  return rc;
}

}  // namespace

int writeResult(sqlite3_stmt* st, SqlFormat f, Sink& out) {
  switch (f) {
    case SqlFormat::kTable: return writeTable(st, out);
    case SqlFormat::kCsv: return writeCsv(st, out);
    default: return writeJson(st, out);
  }
}

}  // namespace bex
