#include "report/report_page.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <unordered_set>

#include "base/dict_directory.h"
#include "base/recovery_report.h"

namespace bex {

namespace {

struct ClassStyle {
  BlockClass cls;
  const char* name;
  const char* color;
};

// In order of precedence: a cell shows the first class it holds, so one
// damaged block among many sound ones still shows.
constexpr ClassStyle kClasses[] = {
    {BlockClass::kUnreadable, "unreadable", "#1b1b1b"},
    {BlockClass::kChecksum, "failing the checksum", "#d62728"},
    {BlockClass::kSegmentHeader, "segment header", "#ff9f1c"},
    {BlockClass::kLob, "LOB", "#9467bd"},
    {BlockClass::kIndex, "index", "#2ca02c"},
    {BlockClass::kTable, "table", "#1f77b4"},
    {BlockClass::kOther, "other", "#a89f91"},
    {BlockClass::kEmpty, "empty", "#e4e4e4"},
};
constexpr size_t kClassCount = std::size(kClasses);

size_t classIndex(BlockClass c) {
  for (size_t i = 0; i < kClassCount; i++)
    if (kClasses[i].cls == c) return i;
  return kClassCount - 1;
}

constexpr const char kStyle[] =
    "body{font-family:sans-serif;margin:1.5em;color:#222}"
    "h1{font-size:1.5em}h2{font-size:1.2em;margin-top:1.6em}h3{font-size:1em;margin:1.2em 0 .4em}"
    "table{border-collapse:collapse;font-size:.85em}"
    "th,td{border:1px solid #ccc;padding:.25em .5em;text-align:left;vertical-align:top}"
    "td.n{text-align:right}tr.loss{background:#fde8e8}tr.failed{background:#f8d0d0}"
    ".map{display:flex;flex-wrap:wrap;gap:1px;max-width:100%}.map i{display:block;width:11px;height:11px}"
    ".legend span{display:inline-block;margin-right:1.2em}"
    ".legend i{display:inline-block;width:8px;height:11px;margin-right:.3em;vertical-align:middle}"
    ".note{color:#666}";

void escaped(Sink& out, std::string_view s) {
  for (char c : s) {
    switch (c) {
      case '&': out.write("&amp;"); break;
      case '<': out.write("&lt;"); break;
      case '>': out.write("&gt;"); break;
      case '"': out.write("&quot;"); break;
      default: out.put(c);
    }
  }
}

std::string number(uint64_t v) { return std::to_string(v); }

// "7/10, 7/21-22, ..." from a ranges object of the report.
std::string rangesText(const JsonValue& r, size_t shown = 6) {
  std::string s;
  const std::vector<JsonValue>& ranges = r["ranges"].items;
  for (size_t i = 0; i < ranges.size() && i < shown; i++) {
    const uint64_t file = ranges[i]["file"].count(), first = ranges[i]["block"].count(),
                   count = ranges[i]["count"].count();
    if (i) s += ", ";
    s.append(number(file)).append("/").append(number(first));
    if (count > 1) s.append("-").append(number(first + count - 1));
  }
  if (ranges.size() > shown || !r["all_listed"].flag) s += ", ...";
  return s;
}

uint64_t damageTotal(const JsonValue& c) {
  uint64_t n = 0;
  for (const auto& [name, v] : c["damage"].members) n += v.count();
  return n;
}

bool hasLosses(const JsonValue& c) {
  return c["blocks_rejected"]["blocks"].count() || c["blocks_unreadable"]["blocks"].count() ||
         c["blocks_skipped"]["blocks"].count() || c["chains_cut"].count() || c["lob_errors"].count() ||
         damageTotal(c);
}

// What the unload worked on: "SCOTT.EMP", "OBJECT 81001", "dictionary".
// Rows that are not of a live table say so: the old incarnation of a
// truncated table (its name given for a data object of no live segment,
// while the dictionary holds a live one of that name), a dropped table (a
// name the live dictionary no longer holds), a table in the recycle bin,
// an object of no live table.
std::string subjectOf(const JsonValue& c, const ReportSources& s, const std::unordered_set<std::string>& liveNames) {
  if (c["kind"].str() == "bootstrap") return "dictionary (UNLOAD TABLE DICT$)";
  const uint32_t objd = static_cast<uint32_t>(c["objd"].count());
  const auto named = s.objectNames.find(objd);
  if (c["table"].str().empty())
    return "OBJECT " + number(objd) + (named == s.objectNames.end() ? " (of no live table)" : " (" + named->second + ")");
  std::string name(c["owner"].str());
  name.append(".").append(c["table"].str());
  if (!c["partition"].str().empty()) name.append(" ").append(c["partition"].str());
  if (c["table"].str().substr(0, 4) == "BIN$") return name + " (in the recycle bin)";
  if (objd == 0 || named != s.objectNames.end()) return name;  // a live segment (a cluster's tables share one)
  return name + (liveNames.count(name) ? " (old incarnation, truncated: OBJECT " : " (dropped: OBJECT ") + number(objd) + ")";
}

void cell(Sink& out, std::string_view text, bool numeric = false) {
  out.write(numeric ? "<td class=\"n\">" : "<td>");
  escaped(out, text);
  out.write("</td>");
}

void countCell(Sink& out, uint64_t n, std::string_view detail = {}) {
  out.write("<td class=\"n\">");
  out.write(number(n));
  if (n && !detail.empty()) {
    out.write("<br><small>");
    escaped(out, detail);
    out.write("</small>");
  }
  out.write("</td>");
}

void filesCell(Sink& out, const JsonValue& files) {
  out.write("<td>");
  for (const JsonValue& f : files.items) {
    escaped(out, f["name"].str());
    out.printf(" (%llu bytes)<br>", static_cast<unsigned long long>(f["bytes"].count()));
  }
  out.write("</td>");
}

std::string damageText(const JsonValue& c) {
  std::string s;
  for (const auto& [name, v] : c["damage"].members)
    if (v.count()) s += (s.empty() ? "" : ", ") + name + " " + number(v.count());
  return s;
}

// Who walked the blocks: "1 thread", or "4 threads, 37 chunks" when
// workers took parts of them (a line written without the count shows one).
std::string threadsText(const JsonValue& c, const char* parts) {
  const uint64_t workers = std::max<uint64_t>(1, c["workers"].count()), chunks = c["chunks"].count();
  std::string s = number(workers) + (workers == 1 ? " thread" : " threads");
  if (chunks) s.append(", ").append(number(chunks)).append(" ").append(parts);
  return s;
}

void unloadRow(Sink& out, const JsonValue& c, const ReportSources& s,
               const std::unordered_set<std::string>& liveNames) {
  const bool failed = c["status"].str() == "failed";
  out.write(failed ? "<tr class=\"failed\">" : hasLosses(c) ? "<tr class=\"loss\">" : "<tr>");
  cell(out, subjectOf(c, s, liveNames));
  cell(out, failed ? "failed" : "ok");
  countCell(out, c["rows"].count());
  countCell(out, c["lob_values"].count());
  countCell(out, c["blocks_rejected"]["blocks"].count(), rangesText(c["blocks_rejected"]));
  countCell(out, c["blocks_unreadable"]["blocks"].count(), rangesText(c["blocks_unreadable"]));
  countCell(out, c["blocks_skipped"]["blocks"].count(), number(c["rows_skipped"].count()) + " rows");
  countCell(out, c["chains_cut"].count());
  countCell(out, c["lob_errors"].count());
  cell(out, damageText(c));
  filesCell(out, c["files"]);
  cell(out, threadsText(c, "chunks"));
  cell(out, c["start"].str());
  out.write("</tr>\n");
}

void unloadTable(Sink& out, const ReportSources& s) {
  out.write("<h2>Unloaded tables</h2>\n");
  size_t n = 0;
  for (const JsonValue& c : s.commands) n += c["kind"].str() == "unload" || c["kind"].str() == "bootstrap";
  if (n == 0) {
    out.write("<p class=\"note\">No UNLOAD has been reported.</p>\n");
    return;
  }
  out.write("<table><tr><th>Table</th><th>Status</th><th>Rows</th><th>LOB values</th>"
            "<th>Blocks rejected</th><th>Blocks unreadable</th><th>Blocks skipped</th><th>Chains cut</th>"
            "<th>LOB errors</th><th>Damage passed over</th><th>Files</th><th>Walked by</th><th>Started</th></tr>\n");
  std::unordered_set<std::string> liveNames;
  for (const auto& [objd, name] : s.objectNames) liveNames.insert(name);
  for (const JsonValue& c : s.commands)
    if (c["kind"].str() == "unload" || c["kind"].str() == "bootstrap") unloadRow(out, c, s, liveNames);
  out.write("</table>\n");
}

// What one cell of a map holds.
struct CellTally {
  uint64_t blocks[kClassCount] = {};
  std::vector<uint32_t> objects;  // a few, in order of appearance
  std::vector<uint32_t> damaged;  // a few damaged block numbers

  void add(const BlockRun& r, uint32_t lo, uint32_t hi) {
    const uint32_t from = std::max(lo, r.first), to = std::min<uint64_t>(hi, uint64_t{r.first} + r.count - 1);
    const size_t k = classIndex(r.cls);
    blocks[k] += to - from + 1;
    if (r.objd && objects.size() < 3 && std::find(objects.begin(), objects.end(), r.objd) == objects.end())
      objects.push_back(r.objd);
    if (k <= classIndex(BlockClass::kChecksum))
      for (uint32_t b = from; b <= to && damaged.size() < 4; b++) damaged.push_back(b);
  }
  size_t shown() const {
    for (size_t k = 0; k < kClassCount; k++)
      if (blocks[k]) return k;
    return kClassCount;
  }
};

std::string objectName(const ReportSources& s, uint32_t objd) {
  auto it = s.objectNames.find(objd);
  return "object " + number(objd) + (it == s.objectNames.end() ? "" : " " + it->second);
}

void cellTitle(Sink& out, const ReportSources& s, const CellTally& t, uint32_t rfn, uint32_t lo, uint32_t hi) {
  std::string title = lo == hi ? "block " + number(lo) : "blocks " + number(lo) + "-" + number(hi);
  for (size_t k = 0; k < kClassCount; k++)
    if (t.blocks[k]) title.append("; ").append(kClasses[k].name).append(" ").append(number(t.blocks[k]));
  for (uint32_t objd : t.objects) title.append("; ").append(objectName(s, objd));
  if (!t.damaged.empty()) {
    title += "; damaged:";
    for (uint32_t b : t.damaged) title.append(" ").append(number(rfn)).append("/").append(number(b));
  }
  escaped(out, title);
}

void fileMap(Sink& out, const ReportSources& s, uint32_t rfn, uint64_t blocks) {
  out.write("<div class=\"map\">");
  if (blocks >= 2) {
    const uint64_t span = blocks - 1;  // blocks 2 .. blocks
    const uint64_t group = (span + kMapCellsMax - 1) / kMapCellsMax;
    std::vector<const BlockRun*> runs;
    for (const BlockRun& r : s.map)
      if (r.rfn == rfn) runs.push_back(&r);
    size_t j = 0;
    for (uint64_t lo = 2; lo <= blocks; lo += group) {
      const uint64_t hi = std::min<uint64_t>(blocks, lo + group - 1);
      CellTally t;
      while (j < runs.size() && uint64_t{runs[j]->first} + runs[j]->count - 1 < lo) j++;
      for (size_t k = j; k < runs.size() && runs[k]->first <= hi; k++)
        t.add(*runs[k], static_cast<uint32_t>(lo), static_cast<uint32_t>(hi));
      const size_t c = t.shown();
      out.printf("<i class=\"c%c\" title=\"", c < kClassCount ? static_cast<char>(kClasses[c].cls) : 'N');
      cellTitle(out, s, t, rfn, static_cast<uint32_t>(lo), static_cast<uint32_t>(hi));
      out.write("\"></i>");
    }
  }
  out.write("</div>\n");
}

const JsonValue* lastScan(const ReportSources& s) {
  for (auto it = s.commands.rbegin(); it != s.commands.rend(); ++it)
    if ((*it)["kind"].str() == "scan") return &*it;
  return nullptr;
}

void legend(Sink& out, const ReportSources& s) {
  uint64_t total[kClassCount] = {};
  for (const BlockRun& r : s.map) total[classIndex(r.cls)] += r.count;
  out.write("<p class=\"legend\">");
  for (size_t k = 0; k < kClassCount; k++)
    out.printf("<span><i class=\"c%c\"></i>%s: %llu</span>", static_cast<char>(kClasses[k].cls), kClasses[k].name,
               static_cast<unsigned long long>(total[k]));
  out.write("</p>\n");
}

void blockMaps(Sink& out, const ReportSources& s) {
  out.write("<h2>Block maps</h2>\n");
  const JsonValue* scan = lastScan(s);
  if (!scan || s.map.empty()) {
    out.write("<p class=\"note\">No database scan has been reported: SCAN DATABASE draws the block maps.</p>\n");
    return;
  }
  out.write("<p>From ");
  escaped(out, (*scan)["command"].str());
  out.write(" started ");
  escaped(out, (*scan)["start"].str());
  out.printf(": %llu blocks read by %s, %llu failing the checksum, %llu unreadable. One cell per group of blocks; "
             "hover a cell for its blocks and objects.</p>\n",
             static_cast<unsigned long long>((*scan)["blocks_read"].count()), threadsText(*scan, "parts").c_str(),
             static_cast<unsigned long long>((*scan)["blocks_rejected"]["blocks"].count()),
             static_cast<unsigned long long>((*scan)["blocks_unreadable"]["blocks"].count()));
  legend(out, s);
  for (const JsonValue& f : (*scan)["data_files"].items) {
    const uint64_t blocks = f["blocks"].count();
    out.printf("<h3>File %llu: ", static_cast<unsigned long long>(f["file"].count()));
    escaped(out, f["path"].str());
    out.printf(" (%llu blocks)</h3>\n", static_cast<unsigned long long>(blocks));
    fileMap(out, s, static_cast<uint32_t>(f["file"].count()), blocks);
  }
}

void summary(Sink& out, const ReportSources& s) {
  uint64_t unloads = 0, rows = 0, lossy = 0, failed = 0;
  for (const JsonValue& c : s.commands) {
    if (c["kind"].str() != "unload" && c["kind"].str() != "bootstrap") continue;
    unloads++;
    rows += c["rows"].count();
    lossy += hasLosses(c);
    failed += c["status"].str() == "failed";
  }
  out.printf("<p>%llu unloads reported, %llu rows written; %llu met damage or losses, %llu failed.</p>\n",
             static_cast<unsigned long long>(unloads), static_cast<unsigned long long>(rows),
             static_cast<unsigned long long>(lossy), static_cast<unsigned long long>(failed));
}

}  // namespace

void writeReportPage(Sink& out, const ReportSources& s) {
  out.write("<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>BEX recovery report</title>\n"
            "<style>");
  out.write(kStyle);
  for (const ClassStyle& c : kClasses) out.printf(".c%c{background:%s}", static_cast<char>(c.cls), c.color);
  out.write("</style></head><body>\n<h1>BEX recovery report</h1>\n<p class=\"note\">Made ");
  escaped(out, s.generated);
  out.printf(" from %s/%s and %s/%s.</p>\n", DictDirectory::kDefault, RecoveryReport::kFileName,
             DictDirectory::kDefault, BlockMap::kFileName);
  summary(out, s);
  unloadTable(out, s);
  blockMaps(out, s);
  out.write("</body></html>\n");
}

}  // namespace bex
