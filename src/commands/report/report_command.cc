#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "commands/report/report_command.h"

#include "base/cmdline.h"
#include "base/limits.h"
#include "base/recovery_report.h"
#include "dict/dict_files.h"
#include "dict/dict_records.h"
#include "dict/dict_scan.h"
#include "report/report_page.h"
#include "run/run_context.h"

namespace bex {

namespace {

constexpr const char* kDefaultPage = "bexreport.html";

// Every line of the report file that is a JSON object, oldest first.
std::vector<JsonValue> readReport(const std::string& path) {
  std::vector<JsonValue> lines;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return lines;
  char* line = nullptr;
  size_t room = 0;
  ssize_t n;
  while ((n = getline(&line, &room, f)) > 0) {
    JsonValue v = parseJson(std::string_view(line, static_cast<size_t>(n)));
    if (v.isObject()) lines.push_back(std::move(v));
  }
  free(line);
  fclose(f);
  return lines;
}

// "OWNER.NAME" of every data object the dictionary files name: the
// storage rows give each object's data object number (the object number
// itself no longer, once a TRUNCATE or a MOVE gave it a new one).
std::unordered_map<uint32_t, std::string> objectNames(const DictDirectory& dir) {
  std::unordered_map<uint32_t, std::string> users, names;
  std::unordered_map<uint32_t, uint32_t> segment;  // OBJ#: DATAOBJ#
  forEachRecord(dir.file(kUserFile), readUserRecord, [&](const UserRecord& u) {
    users[u.userNo] = u.name;
    return false;
  });
  forEachRecord(dir.file(kStorageFile), readStorageRecord, [&](const StorageRecord& st) {
    if (st.dataObjNo) segment.emplace(st.objNo, st.dataObjNo);
    return false;
  });
  forEachRecord(dir.file(kObjectFile), readObjectRecord, [&](const ObjectRecord& o) {
    const auto seg = segment.find(o.objNo);
    if (seg == segment.end() || names.count(seg->second)) return false;
    auto u = users.find(o.ownerNo);
    std::string name = (u == users.end() ? std::to_string(o.ownerNo) : u->second) + "." + o.name;
    if (o.subname[0]) name += std::string(" ") + o.subname;
    names[seg->second] = name;
    return false;
  });
  return names;
}

std::string now() {
  time_t t = time(nullptr);
  struct tm local;
  localtime_r(&t, &local);
  char text[32];
  strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

}  // namespace

void cmdReport(RunContext& rc) {
  CommandLine& cl = rc.cmd;
  char page[kFileNameMax + 1];
  snprintf(page, sizeof page, "%s", kDefaultPage);
  if (cl.nextToken()) {
    if (!keywordMatch(cl.token(), "TO") || !cl.nextToken()) {
      rc.out.error("  REPORT [TO file.html]\n");
      return;
    }
    copyToken(cl.token(), page, kFileNameMax);
  }
  ReportSources s;
  s.commands = readReport(rc.report.path());
  readBlockMap(rc.dictDir.file(BlockMap::kFileName), s.map);
  s.objectNames = objectNames(rc.dictDir);
  s.generated = now();
  FILE* f = fopen(page, "wb");
  if (!f) {
    rc.out.error("  Cannot create %s\n", page);
    return;
  }
  bool ok;
  {
    FileSink sink(f);
    writeReportPage(sink, s);
    ok = sink.flush();
  }
  if (fclose(f) != 0 || !ok) {
    rc.out.error("  Write error on %s, the page is incomplete!\n", page);
    return;
  }
  rc.out.printf("  Report of %zu commands written to %s\n", s.commands.size(), page);
}

}  // namespace bex
