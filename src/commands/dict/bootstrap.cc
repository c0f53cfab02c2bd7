#include "commands/dict/bootstrap.h"

#include <cstdio>
#include <iterator>
#include <memory>
#include <string>

#include "datafile/registry.h"
#include "dict/column_map.h"
#include "dict/dict_charsets.h"
#include "dict/dict_files.h"
#include "dict/dictionary.h"
#include "base/clock.h"
#include "base/cmdline.h"
#include "base/file_or_console.h"
#include "base/recovery_report.h"
#include "run/run_context.h"
#include "unload/block_walk.h"
#include "unload/text_row_writer.h"
#include "value/charset.h"

namespace bex {

namespace {

// Column type codes of each dictionary table by stored column position;
// clustered tables start with their cluster key. Only NUMBER, VARCHAR2 and
// RAW columns are written; the others are skipped.
constexpr ColumnTypeCode N = ColumnTypeCode::kNumber, V = ColumnTypeCode::kVarchar2, R = ColumnTypeCode::kRaw,
                         S = ColumnTypeCode::kSkip;
constexpr ColumnTypeCode kUserTypes[] = {N, V};
constexpr ColumnTypeCode kObjectTypes[] = {N, S, N, V, S, V, N, S, S, S, S, S, S, S, R};
constexpr ColumnTypeCode kTabTypes[] = {N, N, N, N, N, S, N};
constexpr ColumnTypeCode kIndTypes[] = {S, N, N, N, N, N};
constexpr ColumnTypeCode kTabPartTypes[] = {N, N, S, S, S, S, N, N, N};
constexpr ColumnTypeCode kIndPartTypes[] = {N, N, S, S, S, S, S, N, N, N};
constexpr ColumnTypeCode kSubPartTypes[] = {N, N, S, S, S, N, N, N};
constexpr ColumnTypeCode kColTypes[] = {N, N, N, S, S, V, N, N, S, N, N, N, S, S, N, N, N, N};
constexpr ColumnTypeCode kColTypeTypes[] = {N, N, N, R, N, N, S, S, S, S, N};
constexpr ColumnTypeCode kRecycleBinTypes[] = {N, N, V};

// Where the bootstrap finds the tables it cannot look up: the fixed data
// objects of the user cluster, OBJ$ and the object cluster.
constexpr uint32_t kUserClusterObjd = 10, kObjObjd = 18, kObjectClusterObjd = 2;
constexpr uint32_t kUserTableNo = 1, kObjTableNo = 0, kTabTableNo = 1, kColTableNo = 5;

struct DictTable {
  const char* name;
  const ColumnTypeCode* types;
  size_t count;
};

// Tables found through the fresh BEXOBJ.TXT and BEXTAB.TXT, in order.
constexpr DictTable kFoundTables[] = {
    {"IND$", kIndTypes, std::size(kIndTypes)},
    {"TABPART$", kTabPartTypes, std::size(kTabPartTypes)},
    {"INDPART$", kIndPartTypes, std::size(kIndPartTypes)},
    {"TABSUBPART$", kSubPartTypes, std::size(kSubPartTypes)},
    {"INDSUBPART$", kSubPartTypes, std::size(kSubPartTypes)},
};
constexpr DictTable kColTypeTable = {"COLTYPE$", kColTypeTypes, std::size(kColTypeTypes)};
constexpr DictTable kRecycleBinTable = {"RECYCLEBIN$", kRecycleBinTypes, std::size(kRecycleBinTypes)};

struct Overrides {
  uint32_t object, cluster;
  uint32_t objd(uint32_t fixed) const { return object ? object : fixed; }
  uint32_t table(uint32_t fixed) const { return cluster ? cluster : fixed; }
};

void resetCounters(BlockContext& bc) { bc.counters->RowCount = bc.counters->LobCount = 0; }

// Unloads one table into its file (written anew, or appended to); true
// when the rows went to the file.
bool unloadInto(RunContext& rc, const char* file, const char* mode, const char* name, uint32_t objd,
                uint32_t table, const ColumnTypeCode* types, size_t count) {
  // Rows go to the console when the file cannot be opened.
  rc.dictDir.forget();
  const std::string path = rc.dictDir.file(file);
  FileOrConsole out(path.c_str(), mode, rc.out, kOutputBufferSize);
  rc.out.printf("Unload Dict Table %s ...\n", name);
  unloadDictTable(rc, out.sink(), objd, table, types, count);
  ReportEntry& e = rc.report.entry();
  e.tables.push_back(ReportTable{name, objd, rc.bc.counters->RowCount, out.toFile() ? path : ""});
  e.rows += rc.bc.counters->RowCount;
  e.lobValues += rc.bc.counters->LobCount;
  if (out.toFile()) e.wrote(path);
  return out.toFile();
}

// A SYS table located through the dictionary files just written: its data
// object and table number.
bool locateSysTable(const DictFiles& dir, const char* name, StorageRecord& st) {
  ObjectRecord o;
  o.segmentObjNo = 0;
  if (!findTableObject(dir, 0, name, "", o) && !findIndexObject(dir, 0, name, "", o)) return false;
  return findStorage(dir, o.objNo, st);
}

// False when the table is not in the dictionary files.
bool unloadFoundTable(RunContext& rc, const DictTable& t, const char* file, const char* mode) {
  StorageRecord st;
  if (!locateSysTable(rc.dictDir, t.name, st)) return false;
  unloadInto(rc, file, mode, t.name, st.dataObjNo, st.cluster, t.types, t.count);
  return true;
}

// "AL32UTF8 (873)", or the id alone when the table has no name for it.
std::string charsetText(uint16_t id) {
  const char* name = charsetName(id);
  return (name ? std::string(name) + " (" : std::string("(")) + std::to_string(id) + ")";
}

// One line when a setting differs from the set the dictionary's columns
// were written in, with the SET that makes them agree.
void adviseCharset(Sink& out, const char* key, const char* what, uint16_t setting, uint16_t found) {
  if (found == 0 || found == setting) return;
  const char* name = charsetName(found);
  out.printf("  The dictionary says the %s character set is %s; %s is %s: SET %s %s\n", what,
             charsetText(found).c_str(), key, charsetText(setting).c_str(), key,
             name ? name : std::to_string(found).c_str());
}

// A character set not SET in this run takes the dictionary's; one SET is
// kept, with the advice when the dictionary says otherwise.
void takeCharset(RunContext& rc, const char* key, const char* what, bool set, uint16_t& setting, uint16_t found) {
  if (set) return adviseCharset(rc.out, key, what, setting, found);
  if (found == 0 || found == setting) return;
  setting = found;
  rc.out.printf("  %s %s taken from the dictionary.\n", key, charsetText(found).c_str());
}

// The names iconv reads AL16UTF16 storage by (with "UTF-16" pinned to
// big-endian when opened): one conversion under either name is the same.
bool sameSource(const char* a, const char* b) {
  auto utf16 = [](const char* n) {
    for (const char* u : {"UTF-16", "UTF16", "UTF-16BE", "UCS-2BE"})
      if (keywordMatch(n, u)) return true;
    return false;
  };
  return keywordMatch(a, b) || (utf16(a) && utf16(b));
}

// A conversion not SET in this run, and not already this one, is opened.
void takeConversion(RunContext& rc, const char* key, bool set, Conversion& conv, const char* from, const char* to) {
  if (set || (conv.valid() && sameSource(conv.source, from) && keywordMatch(conv.target, to))) return;
  conv.open(from, to);
  rc.out.printf("  %s from %s to %s taken from the dictionary's character sets%s.\n", key, from, to,
                conv.valid() ? "" : ", but iconv cannot convert them: OFF");
}

// The character sets the dictionary's columns were written in, and the
// conversions that write national text and LOB values in the database set.
void takeCharsets(RunContext& rc) {
  const DictCharsets found = dictionaryCharsets(rc.dictDir);
  Settings& s = rc.settings;
  takeCharset(rc, "CHARSET", "database", s.charsetSet, s.charset, found.database);
  takeCharset(rc, "NLSCHARSET", "national", s.nlsCharsetSet, s.nlsCharset, found.national);
  const IconvCharset* out = iconvCharset(s.charset);
  const IconvCharset* national = iconvCharset(s.nlsCharset);
  if ((found.database == 0 && found.national == 0) || !out) return;
  const char* utf16 = iconvCharset(kCharsetAl16Utf16)->name;
  if (national) takeConversion(rc, "ICONV_NCHAR", s.iconvNcharSet, rc.conversions.nchar, national->name, out->name);
  takeConversion(rc, "ICONV_NCLOB", s.iconvNclobSet, rc.conversions.nclob, utf16, out->name);
  takeConversion(rc, "ICONV_CLOB", s.iconvClobSet, rc.conversions.clob, out->multiByte ? utf16 : out->name,
                 out->name);
}

// The walk of one dictionary table's blocks with fixed column types, its
// rows in the separators of the dictionary files; what the walk passed over
// as damaged is returned.
DamageCounts walkDictTable(RunContext& rc, Sink& out, Sink& console, uint32_t objd, uint32_t table,
                           const ColumnTypeCode* types, size_t count, RowFilters filters) {
  BlockContext& bc = rc.bc;
  auto job = std::make_unique<UnloadJob>();
  job->setFill(ColumnTypeCode::kSkip);
  for (size_t i = 0; i < count && i < kMaxSegmentColumns; i++) job->columns.column[i].type = types[i];
  job->columns.count = static_cast<uint16_t>(count);
  job->tags = RowTags{",", "\n"};  // the separators of the dictionary files
  LobFile noLob;
  // Text whatever OUTPUT_STYLE says, and no row address column: it would
  // shift every field.
  TextRowWriter writer(bc, *job, out, noLob, console, static_cast<uint32_t>(count), false);
  RowWalk w(bc, console, writer, filters, openBlockCount(bc));
  scanObjectBlocks(w, objd, table, 0, 0);
  return w.damage;
}

// The rows of one dictionary table the filters pass into a file of its
// own, without a word on the console; no file, no rows.
void unloadQuietlyInto(RunContext& rc, const char* file, const char* mode, uint32_t objd, uint32_t table,
                       const ColumnTypeCode* types, size_t count, RowFilters filters) {
  rc.dictDir.forget();
  FILE* f = std::fopen(rc.dictDir.file(file).c_str(), mode);
  if (!f) return;
  {
    FileSink sink(f, kOutputBufferSize);
    StringSink quiet;
    walkDictTable(rc, sink, quiet, objd, table, types, count, filters);
  }
  std::fclose(f);
}

// Rows marked deleted of one dictionary table into a file of its own.
void unloadDeletedInto(RunContext& rc, const char* file, const char* mode, uint32_t objd, uint32_t table,
                       const ColumnTypeCode* types, size_t count) {
  RowFilters filters;
  filters.deletedOnly = true;
  unloadQuietlyInto(rc, file, mode, objd, table, types, count, filters);
}

// RECYCLEBIN$, for the original names of the tables in the recycle bin:
// its live rows (as the settings filter them), or an empty file when the
// dictionary has no such table.
void unloadRecycleBin(RunContext& rc) {
  StorageRecord st;
  if (!locateSysTable(rc.dictDir, kRecycleBinTable.name, st)) {
    rc.dictDir.forget();
    FileOrConsole(rc.dictDir.file(kRecycleBinFile).c_str(), "wb", rc.out);
    return;
  }
  const RowFilters filters{rc.settings.deletedRow != 0, rc.settings.commitedOnly != 0};
  unloadQuietlyInto(rc, kRecycleBinFile, "wb", st.dataObjNo, st.cluster, kRecycleBinTable.types,
                    kRecycleBinTable.count, filters);
}

// The rows a DROP leaves behind, deleted but intact, of OBJ$, TAB$ with
// the storage tables appended to it as in BEXTAB.TXT, and COL$: into the
// files of deleted rows. Quiet, and the counters stay as the live scans
// left them: those scans read and judged the same blocks.
void unloadDeletedRows(RunContext& rc, const Overrides& ov) {
  const BlockCounters saved = *rc.bc.counters;
  unloadDeletedInto(rc, kDeletedObjectFile, "wb", ov.objd(kObjObjd), ov.table(kObjTableNo), kObjectTypes,
                    std::size(kObjectTypes));
  unloadDeletedInto(rc, kDeletedStorageFile, "wb", ov.objd(kObjectClusterObjd), ov.table(kTabTableNo), kTabTypes,
                    std::size(kTabTypes));
  for (const DictTable& t : kFoundTables) {
    StorageRecord st;
    if (locateSysTable(rc.dictDir, t.name, st))
      unloadDeletedInto(rc, kDeletedStorageFile, "ab", st.dataObjNo, st.cluster, t.types, t.count);
  }
  unloadDeletedInto(rc, kDeletedColumnFile, "wb", ov.objd(kObjectClusterObjd), ov.table(kColTableNo), kColTypes,
                    std::size(kColTypes));
  unloadRecycleBin(rc);
  *rc.bc.counters = saved;
}

}  // namespace

void unloadDictTable(RunContext& rc, Sink& out, uint32_t objd, uint32_t table, const ColumnTypeCode* types,
                     size_t count) {
  const RowFilters filters{rc.settings.deletedRow != 0, rc.settings.commitedOnly != 0};
  const DamageCounts damage = walkDictTable(rc, out, rc.out, objd, table, types, count, filters);
  printDamageSummary(rc.out, damage);
  reportDamage(rc.report.entry(), damage);
}

void bootstrapDictionary(RunContext& rc, uint32_t objectOverride, uint32_t clusterOverride) {
  BlockContext& bc = rc.bc;
  const Overrides ov{objectOverride, clusterOverride};
  bc.rowLimit = kNoRowLimit;
  bc.counters->BadBlockCount = 0;
  printDateLine(rc.out);

  resetCounters(bc);
  unloadInto(rc, kUserFile, "wb", "USER$", ov.objd(kUserClusterObjd), ov.table(kUserTableNo), kUserTypes,
             std::size(kUserTypes));
  resetCounters(bc);
  unloadInto(rc, kObjectFile, "wb", "OBJ$", ov.objd(kObjObjd), ov.table(kObjTableNo), kObjectTypes,
             std::size(kObjectTypes));
  resetCounters(bc);
  unloadInto(rc, kStorageFile, "wb", "TAB$", ov.objd(kObjectClusterObjd), ov.table(kTabTableNo), kTabTypes,
             std::size(kTabTypes));
  for (const DictTable& t : kFoundTables) unloadFoundTable(rc, t, kStorageFile, "ab");
  resetCounters(bc);
  if (unloadInto(rc, kColumnFile, "wb", "COL$", ov.objd(kObjectClusterObjd), ov.table(kColTableNo), kColTypes,
                 std::size(kColTypes)))
    splitColumnFile(rc.dictDir);
  // Without COLTYPE$ an older BEXTYP.TXT would name the types of another
  // database's columns: it is emptied.
  if (!unloadFoundTable(rc, kColTypeTable, kColumnTypeFile, "wb")) {
    rc.dictDir.forget();
    FileOrConsole(rc.dictDir.file(kColumnTypeFile).c_str(), "wb", rc.out);
  }

  rc.report.entry().blocksRead = rc.progress.done();
  unloadDeletedRows(rc, ov);
  rc.out.printf("Unload Dict Table With %llu Errors.\n", static_cast<unsigned long long>(bc.counters->BadBlockCount));
  takeCharsets(rc);
  printDateLine(rc.out);
}

}  // namespace bex
