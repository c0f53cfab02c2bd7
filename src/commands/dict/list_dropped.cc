// LIST DROPPED: the tables a DROP ... PURGE left in the dictionary, rebuilt
// from the deleted OBJ$, TAB$ and COL$ rows, each described in REM lines
// and followed by the UNLOAD line that reads its data object with its
// column types, so that the TO file runs as a script.
#include <string>
#include <unordered_map>
#include <vector>

#include "base/extent_listing.h"
#include "base/sink.h"
#include "commands/dict/dict_commands.h"
#include "dict/ddl_text.h"
#include "dict/dict_records.h"
#include "dict/dict_scan.h"
#include "dict/dropped.h"
#include "dict/queries.h"
#include "run/run_context.h"

namespace bex {

namespace {

// The UNLOAD COLUMN word of a column's type; UNKNOWN where the unload has
// no decoder of its own (its values come out in hexadecimal).
const char* columnWord(const ColumnRecord& c) {
  const bool national = c.charsetForm == 2;
  switch (c.type) {
    case 1: return national ? "NCHAR" : "VARCHAR2";
    case 2: return "NUMBER";
    case 8: return "LONG";
    case 9: return "VARCHAR";
    case 12: return "DATE";
    case 23: return "RAW";
    case 24: return "LONGRAW";
    case 96: return national ? "NCHAR" : "CHAR";
    case 100: return "BINARY_FLOAT";
    case 101: return "BINARY_DOUBLE";
    case 112: return national ? "NCLOB" : "CLOB";
    case 113: return "BLOB";
    case 180: return "TIMESTAMP";
    case 181: return "TIMESTAMP_TZ";
    case 231: return "TIMESTAMP_LTZ";
    default: return "UNKNOWN";
  }
}

// Blocks the scan listing holds of each wanted data object; false when
// there is no listing.
bool listedBlocks(const DictDirectory& dir, std::unordered_map<uint32_t, uint64_t>& blocks) {
  ExtentListingReader in(extentListingFile(dir));
  if (!in.opened()) return false;
  ExtentRecord r;
  while (in.next(r)) {
    const auto it = blocks.find(r.objd);
    if (it != blocks.end()) it->second += r.count;
  }
  return true;
}

void describeColumns(Sink& out, const DroppedTable& t) {
  if (t.columns.empty()) out.write("REM      no COL$ row left: every column is read in hexadecimal\n");
  for (size_t i = 0; i < t.columns.size(); ++i) {
    const ColumnRecord& c = t.columns[i];
    if (c.objNo == 0) {
      char name[kDictNameMax + 1];
      placeholderColumnName(static_cast<uint32_t>(i + 1), name);
      out.printf("REM %4zu %-30s no COL$ row left (reused): guessed RAW(2000)\n", i + 1, name);
      continue;
    }
    out.printf("REM %4zu %-30s ", i + 1, c.name);
    printDescType(out, c, t.object.objNo);
  }
}

// UNLOAD OBJECT with the column types: for a table without COL$ rows, and
// for one whose name a live table has again (UNLOAD TABLE would read that).
void printUnloadObject(Sink& out, const DroppedTable& t, const char* user, const char* ext) {
  auto line = [&](uint32_t objd) {
    out.printf(" UNLOAD OBJECT %u", objd);
    if (t.storage.cluster) out.printf(" CLUSTER %u", t.storage.cluster);
    if (!t.columns.empty()) out.write(" COLUMN");
    for (const ColumnRecord& c : t.columns) out.printf(" %s", c.objNo ? columnWord(c) : "RAW");
    out.printf(" TO %s_%s_%u.%s;\n", user, t.object.name, objd, ext);
  };
  if (t.partitions.empty()) return line(dataObjectOf(t));
  for (const DroppedPartition& p : t.partitions) line(dataObjectOf(p));
}

using BlockCounts = std::unordered_map<uint32_t, uint64_t>;

void printBlocks(Sink& out, bool listing, uint64_t blocks) {
  if (listing)
    out.printf("%llu block%s in the scan listing\n", static_cast<unsigned long long>(blocks), blocks == 1 ? "" : "s");
  else
    out.write("no scan listing\n");
}

// The heading of a dropped table: its numbers, or a partitioned table's
// with a line for each partition.
void printHeading(Sink& out, const DroppedTable& t, const char* user, bool listing, BlockCounts& blocks) {
  if (t.partitions.empty()) {
    out.printf("REM %s.%s: OBJ# %u, DATAOBJ# %u%s, ", user, t.object.name, t.object.objNo, dataObjectOf(t),
               t.storage.dataObjNo ? "" : " (no TAB$ row left: OBJ# taken)");
    return printBlocks(out, listing, blocks[dataObjectOf(t)]);
  }
  uint64_t total = 0;
  for (const DroppedPartition& p : t.partitions) total += blocks[dataObjectOf(p)];
  out.printf("REM %s.%s: OBJ# %u, partitioned, %zu partition%s, ", user, t.object.name, t.object.objNo,
             t.partitions.size(), t.partitions.size() == 1 ? "" : "s");
  printBlocks(out, listing, total);
  for (const DroppedPartition& p : t.partitions) {
    out.printf("REM      partition %s: OBJ# %u, DATAOBJ# %u%s, ", p.object.subname, p.object.objNo, dataObjectOf(p),
               p.storage.dataObjNo ? "" : " (no TABPART$ row left: OBJ# taken)");
    printBlocks(out, listing, blocks[dataObjectOf(p)]);
  }
}

void printDropped(Sink& out, const DroppedTable& t, const char* user, const char* ext, bool listing,
                  BlockCounts& blocks, bool nameTaken) {
  const uint32_t objd = dataObjectOf(t);
  printHeading(out, t, user, listing, blocks);
  describeColumns(out, t);
  if (nameTaken) out.write("REM      a live table has the name again: read by the column types\n");
  if (nameTaken || t.columns.empty())
    printUnloadObject(out, t, user, ext);
  else
    out.printf(" UNLOAD TABLE %s.%s OBJECT %u TO %s_%s_%u.%s;\n", user, t.object.name, objd, user, t.object.name, objd,
               ext);
}

// A live table or index of the user has the dropped table's name.
bool nameTaken(const DictFiles& dir, uint32_t userNo, const ObjectRecord& o) {
  ObjectRecord live;
  live.segmentObjNo = 0;
  return findTableObject(dir, userNo, o.name, "", live) || findIndexObject(dir, userNo, o.name, "", live);
}

// The original names of the user's tables in the recycle bin, by OBJ#
// (BEXBIN.TXT, one pass; empty without the file).
std::unordered_map<uint32_t, std::string> originalNames(const DictFiles& dir, uint32_t userNo) {
  std::unordered_map<uint32_t, std::string> names;
  forEachRecord(dir.file(kRecycleBinFile), readRecycleBinRecord, [&](const RecycleBinRecord& r) {
    if (r.ownerNo == userNo) names.emplace(r.objNo, r.originalName);
    return false;
  });
  return names;
}

// Tables dropped into the recycle bin keep their live dictionary rows
// under their BIN$ name: UNLOAD TABLE reads them by that name, under their
// original name (AS) when RECYCLEBIN$ gives it.
void listRecycleBin(const RunContext& rc, Sink& out, const char* user, uint32_t userNo) {
  const std::unordered_map<uint32_t, std::string> original = originalNames(rc.dictDir, userNo);
  const char* ext = rc.settings.outputStyle->extension;
  rc.dictDir.objects().forOwnerType(userNo, kObjTable, [&](const ObjectRecord& o) {
    if (o.ownerNo != userNo || o.type != kObjTable || !isRecycleBinName(o.name)) return false;
    StorageRecord st;
    if (!findStorage(rc.dictDir, o.objNo, st) || st.dataObjNo == 0) return false;
    const auto it = original.find(o.objNo);
    if (it == original.end()) {
      out.printf("REM %s.%s: in the recycle bin, OBJ# %u, DATAOBJ# %u\n", user, o.name, o.objNo, st.dataObjNo);
      out.printf(" UNLOAD TABLE %s.%s OBJECT %u TO %s_%s_%u.%s;\n", user, o.name, st.dataObjNo, user, o.name,
                 st.dataObjNo, ext);
      return false;
    }
    const char* name = it->second.c_str();
    out.printf("REM %s.%s: in the recycle bin as %s, OBJ# %u, DATAOBJ# %u\n", user, name, o.name, o.objNo,
               st.dataObjNo);
    out.printf(" UNLOAD TABLE %s.%s AS %s OBJECT %u TO %s_%s_%u.%s;\n", user, o.name, name, st.dataObjNo, user, name,
               st.dataObjNo, ext);
    return false;
  });
}

}  // namespace

void listDroppedTables(RunContext& rc, Sink& out, const char* user, uint32_t userNo) {
  listRecycleBin(rc, out, user, userNo);
  std::vector<DroppedTable> tables;
  if (!findDroppedTables(rc.dictDir, userNo, tables)) {
    rc.out.error("  No deleted dictionary rows (%s): UNLOAD TABLE DICT$ writes them.\n",
                 rc.dictDir.file(kDeletedObjectFile).c_str());
    return;
  }
  BlockCounts blocks;
  for (const DroppedTable& t : tables) {
    blocks.emplace(dataObjectOf(t), 0);
    for (const DroppedPartition& p : t.partitions) blocks.emplace(dataObjectOf(p), 0);
  }
  const bool listing = listedBlocks(rc.dictDir, blocks);
  for (const DroppedTable& t : tables)
    printDropped(out, t, user, rc.settings.outputStyle->extension, listing, blocks,
                 nameTaken(rc.dictDir, userNo, t.object));
}

}  // namespace bex
