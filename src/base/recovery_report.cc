#include "base/recovery_report.h"

#include <sys/stat.h>

#include <bit>
#include <cstdio>

namespace bex {

namespace {

void appendNumber(std::string& out, uint64_t v) { out += std::to_string(v); }

void key(std::string& out, const char* name) {
  out += out.back() == '{' ? "\"" : ",\"";
  out += name;
  out += "\":";
}

void field(std::string& out, const char* name, uint64_t v) {
  key(out, name);
  appendNumber(out, v);
}

void field(std::string& out, const char* name, std::string_view s) {
  key(out, name);
  appendJsonString(out, s);
}

// Local time with its offset from UTC: "2024-05-01T09:30:00.123+02:00".
void timeField(std::string& out, const char* name, const timespec& t) {
  struct tm local;
  localtime_r(&t.tv_sec, &local);
  char stamp[40], zone[8];
  strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
  strftime(zone, sizeof zone, "%z", &local);  // "+0200"
  char text[64];
  snprintf(text, sizeof text, "%s.%03ld%.3s:%.2s", stamp, t.tv_nsec / 1000000, zone, zone + 3);
  field(out, name, text);
}

void rangesField(std::string& out, const char* name, const BlockRanges& r) {
  key(out, name);
  out += "{\"blocks\":";
  appendNumber(out, r.blocks);
  out += ",\"ranges\":[";
  for (uint32_t i = 0; i < r.kept; i++) {
    out += i ? ",{" : "{";
    field(out, "file", r.range[i].file);
    field(out, "block", r.range[i].first);
    field(out, "count", r.range[i].count);
    if (r.range[i].objd) field(out, "objd", r.range[i].objd);
    out += '}';
  }
  out += "],\"all_listed\":";
  out += r.cut ? "false}" : "true}";
}

int64_t fileSize(const std::string& name) {
  struct stat st;
  return stat(name.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : -1;
}

// "name":[{...},...], each item's fields written by fields(out, item).
template <class Item, class Fields>
void arrayField(std::string& out, const char* name, const std::vector<Item>& items, Fields fields) {
  key(out, name);
  out += '[';
  for (size_t i = 0; i < items.size(); i++) {
    out += i ? ",{" : "{";
    fields(out, items[i]);
    out += '}';
  }
  out += ']';
}

// Files that exist when the statement ends, with their sizes (a file the
// unload removed again, EMPTY_FILES off, is not listed).
void filesField(std::string& out, const std::vector<std::string>& files) {
  std::vector<std::pair<std::string, uint64_t>> sized;
  for (const std::string& f : files)
    if (const int64_t size = fileSize(f); size >= 0) sized.emplace_back(f, static_cast<uint64_t>(size));
  arrayField(out, "files", sized, [](std::string& o, const std::pair<std::string, uint64_t>& f) {
    field(o, "name", f.first);
    field(o, "bytes", f.second);
  });
}

void tablesField(std::string& out, const std::vector<ReportTable>& tables) {
  arrayField(out, "tables", tables, [](std::string& o, const ReportTable& t) {
    field(o, "table", t.name);
    field(o, "objd", t.objd);
    field(o, "rows", t.rows);
    field(o, "file", t.file);
  });
}

void dataFilesField(std::string& out, const std::vector<ReportDataFile>& files) {
  arrayField(out, "data_files", files, [](std::string& o, const ReportDataFile& f) {
    field(o, "file", f.rfn);
    field(o, "path", f.path);
    field(o, "blocks", f.blocks);
    field(o, "readable_blocks", f.readable);
  });
}

// Length of the UTF-8 sequence at s[i], or 0 when it is not one.
size_t utf8Length(std::string_view s, size_t i) {
  const auto b = static_cast<unsigned char>(s[i]);
  size_t n = b >= 0xF0 && b <= 0xF4 ? 4 : b >= 0xE0 ? 3 : b >= 0xC2 && b < 0xE0 ? 2 : 0;
  if (n == 0 || i + n > s.size()) return 0;
  for (size_t k = 1; k < n; k++)
    if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 0;
  return n;
}

}  // namespace

void BlockRanges::add(uint32_t file, uint32_t first, uint32_t count, uint32_t objd) {
  if (count == 0) return;
  // The same blocks again (a chain back into them, a second walk of a
  // cluster) are not counted twice.
  for (uint32_t i = 0; i < kept; i++)
    if (range[i].file == file && range[i].first <= first && first + count <= range[i].first + range[i].count) return;
  blocks += count;
  if (kept > 0) {
    Range& last = range[kept - 1];
    if (last.file == file && last.objd == objd && last.first + last.count == first) {
      last.count += count;
      return;
    }
  }
  if (kept < kKept)
    range[kept++] = Range{file, first, count, objd};
  else
    cut = true;
}

void BlockRanges::addAll(const BlockRanges& other) {
  uint64_t listed = 0;
  for (uint32_t i = 0; i < other.kept; i++) {
    add(other.range[i].file, other.range[i].first, other.range[i].count, other.range[i].objd);
    listed += other.range[i].count;
  }
  blocks += other.blocks - listed;  // those the other could not keep
  cut = cut || other.cut;
}

uint32_t ReportEntry::workers() const { return workersUsed ? static_cast<uint32_t>(std::popcount(workersUsed)) : 1; }

void ReportEntry::wrote(std::string name) {
  if (name.empty()) return;
  for (const std::string& f : files)
    if (f == name) return;
  files.push_back(std::move(name));
}

void appendJsonString(std::string& out, std::string_view s) {
  out += '"';
  for (size_t i = 0; i < s.size(); i++) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c >= 0x80) {
      const size_t n = utf8Length(s, i);
      if (n) {
        out.append(s.substr(i, n));
        i += n - 1;
        continue;
      }
      char esc[8];
      snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else if (c < 0x20 || c == 0x7F) {
      char esc[8];
      snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out += static_cast<char>(c);
    }
  }
  out += '"';
}

std::string reportLine(const ReportEntry& e, std::string_view statement, bool failed, const timespec& end) {
  std::string out = "{";
  field(out, "command", statement);
  field(out, "kind", e.kind);
  field(out, "status", failed ? "failed" : "ok");
  if (!e.owner.empty()) field(out, "owner", e.owner);
  if (!e.table.empty()) field(out, "table", e.table);
  if (!e.partition.empty()) field(out, "partition", e.partition);
  if (e.objd) field(out, "objd", e.objd);
  field(out, "rows", e.rows);
  field(out, "lob_values", e.lobValues);
  field(out, "lob_errors", e.lobErrors);
  field(out, "blocks_read", e.blocksRead);
  rangesField(out, "blocks_rejected", e.rejected);
  rangesField(out, "blocks_skipped", e.skipped);
  rangesField(out, "blocks_unreadable", e.unreadable);
  field(out, "rows_skipped", e.rowsSkipped);
  field(out, "rows_rejected", e.rowsRejected);
  field(out, "chains_cut", e.chainsCut);
  key(out, "damage");
  out += '{';
  for (const auto& [name, count] : e.damage) field(out, name.c_str(), count);
  out += '}';
  if (!e.tables.empty()) tablesField(out, e.tables);
  if (!e.dataFiles.empty()) dataFilesField(out, e.dataFiles);
  filesField(out, e.files);
  timeField(out, "start", e.start);
  timeField(out, "end", end);
  char seconds[32];
  snprintf(seconds, sizeof seconds, "%.3f",
           static_cast<double>(end.tv_sec - e.start.tv_sec) + (end.tv_nsec - e.start.tv_nsec) / 1e9);
  key(out, "seconds");
  out += seconds;
  field(out, "workers", e.workers());
  field(out, "chunks", e.chunks);
  out += '}';
  return out;
}

void RecoveryReport::begin(const char* kind) {
  ReportEntry& e = entry_;
  e.open = true;
  e.kind = kind;
  e.owner.clear(), e.table.clear(), e.partition.clear();
  e.objd = 0;
  e.chunks = e.workersUsed = 0;
  e.rows = e.lobValues = e.lobErrors = e.blocksRead = e.rowsSkipped = e.rowsRejected = e.chainsCut = 0;
  e.rejected.clear(), e.skipped.clear(), e.unreadable.clear();
  e.damage.clear(), e.files.clear(), e.tables.clear(), e.dataFiles.clear();
  clock_gettime(CLOCK_REALTIME, &e.start);
}

bool RecoveryReport::finish(std::string_view statement, bool failed) {
  if (!entry_.open) return true;
  entry_.open = false;
  timespec end;
  clock_gettime(CLOCK_REALTIME, &end);
  std::string line = reportLine(entry_, statement, failed, end);
  line += '\n';
  FILE* f = fopen(path_.c_str(), "ab");
  if (!f) return false;
  bool ok = fwrite(line.data(), 1, line.size(), f) == line.size();
  if (fclose(f) != 0) ok = false;
  return ok;
}

}  // namespace bex
