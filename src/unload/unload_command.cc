#include "unload/unload_command.h"

#include <cstring>
#include <memory>

#include "base/clock.h"
#include "run/run_context.h"
#include "base/unload_log.h"
#include "unload/block_walk.h"
#include "unload/control_file.h"
#include "unload/dump_output.h"
#include "unload/text_row_writer.h"
#include "unload/unload_options.h"
#include "unload/unload_output.h"

namespace bex {

namespace {

constexpr const char* kDefaultDumpName = "bexdata.dmp";
constexpr size_t kGeneratedNameMax = 4 * kFileNameMax;

RowFilters filtersOf(const RunContext& rc) {
  return RowFilters{rc.settings.deletedRow != 0, rc.settings.commitedOnly != 0};
}

void setDictionaryTags(BlockContext& bc) {
  bc.fieldTag[0] = ',', bc.fieldTag[1] = 0, bc.fieldTagLen = 1;
  bc.recordTag[0] = '\n', bc.recordTag[1] = 0, bc.recordTagLen = 1;
}

bool beginsWithDict(const char* arg) {
  return strlen(arg) >= 5 && keywordMatch(std::string_view(arg, 5), "DICT$");
}

// Where the blocks of the object come from when the extent listing is not
// used: the segment header (and its extent maps), else a scan.
struct BlockSource {
  uint32_t objd, cluster;
  uint32_t headerFile, headerBlock;  // where to look for the segment header
  uint32_t file, block;              // FILE and BLOCK options for the scan
};

void walkByHeaderOrScan(RowWalk& w, const BlockSource& s) {
  if (findSegmentHeader(w, s.objd, s.headerFile, s.headerBlock))
    walkExtentMap(w, s.objd, s.cluster);
  else
    scanObjectBlocks(w, s.objd, s.cluster, s.file, s.block);
}

// The closing lines every table or object unload prints.
void reportUnload(RunContext& rc, const UnloadJob& job, UnloadOutput& out, bool writtenOk) {
  const unsigned long long rows = rc.bc.RowCount;
  if (writtenOk)
    rc.out.printf("Sucessfully unload %llu rows ...\n", rows);
  else
    rc.out.printf("  Write error on %s: %llu rows unloaded, the file is incomplete!\n", out.dataName(), rows);
  job.lobLosses.warn(rc.out, job.columns);
  writeUnloadLogRecord(rc.unloadLog, rc.bc.RowCount, rc.bc.LobCount, rc.bc.BadBlockCount, out.dataName());
  printDateLine(rc.out);
}

// With EMPTY_FILES off an unload without rows leaves no files behind.
void removeIfEmpty(const RunContext& rc, const char* const* names, size_t n) {
  if (rc.settings.emptyFiles || rc.bc.RowCount != 0) return;
  for (size_t i = 0; i < n; i++)
    if (names[i] && *names[i]) remove(names[i]);
}

void unloadObject(RunContext& rc, UnloadJob& job) {
  BlockContext& bc = rc.bc;
  rc.copyTagsToBlockContext();
  const uint8_t savedStyle = bc.outputStyle;
  bc.outputStyle = kStyleTxt;
  // Every column after the COLUMN words is shown in hexadecimal.
  for (uint32_t i = job.typeListLength; i < kMaxSegmentColumns; i++) job.columns.column[i].type = kTypeUnknown;
  job.setFill(kTypeUnknown);
  job.columns.count = static_cast<uint16_t>(job.typeListLength);

  UnloadOutput out;
  out.open(job.outputName, true, rc.out);
  FILE* listing = fopen(job.extentListing, "r");
  printDateLine(rc.out);
  {
    TextRowWriter writer(bc, job, out.data(), out.lob(), rc.out, job.columns.count);
    RowWalk w(bc, rc.out, writer, filtersOf(rc), openBlockCount(bc));
    const BlockSource s{job.objectOverride, job.clusterTable, job.fileFilter, job.blockFilter,
                        job.fileFilter, job.blockFilter};
    if (!listing || (job.blockFilter && job.fileFilter))
      walkByHeaderOrScan(w, s);
    else
      walkExtentListing(w, listing, s.objd, s.cluster);
  }
  if (listing) fclose(listing);
  const bool opened = out.opened();
  const bool ok = out.close();
  reportUnload(rc, job, out, ok);
  const char* names[] = {opened ? out.dataName() : nullptr};
  removeIfEmpty(rc, names, 1);
  bc.outputStyle = savedStyle;
}

// The dictionary rows of one table unload.
struct TableLookup {
  UserRecord user;
  ObjectRecord object;
  StorageRecord storage;
};

// The user, the object and its storage row. False ends the command.
bool lookUpTable(RunContext& rc, UnloadJob& job, TableLookup& t) {
  const DictDirectory& dir = rc.dictDir;
  if (!findUser(dir, job.owner, t.user)) {
    rc.out.printf("  USER %s does not exists!\n", job.owner);
    return false;
  }
  t.object.segmentObjNo = 0;
  if (!findTableObject(dir, t.user.userNo, job.table, job.partition, t.object) &&
      !findIndexObject(dir, t.user.userNo, job.table, job.partition, t.object)) {
    rc.out.printf("  TABLE %s.%s does not exists!\n", job.owner, job.table);
    writeUnloadLogRecord(rc.unloadLog, 0, 0, kUnknownTableBadCount, job.outputName);
    return false;
  }
  const bool found =
      findStorage(dir, t.object.segmentObjNo, t.storage) || findStorage(dir, t.object.segmentObjNo + 1, t.storage);
  if (!found && job.objectOverride == 0) return false;
  return rc.settings.tablespace == 0 || rc.settings.tablespace == t.storage.ts;
}

// A syntax script or control file that cannot be created is passed over in
// silence; one that could not be written whole is said to be incomplete,
// like the data file.
void reportScript(RunContext& rc, ScriptFile result, const char* name) {
  if (result == ScriptFile::kWriteFailed) rc.out.printf("  Write error on %s, the file is incomplete!\n", name);
}

// The syntax script and control file of a text-style unload with a TO name.
struct ScriptNames {
  char syntax[kGeneratedNameMax + 1] = "";
  char control[kGeneratedNameMax + 1] = "";
};

void writeTableScripts(RunContext& rc, const UnloadJob& job, const TableLookup& t, const char* target, uint32_t objd,
                       ScriptNames& names) {
  syntaxScriptName(job.owner, target, objd, names.syntax, sizeof names.syntax);
  std::string create;
  buildCreateTable(rc.dictDir, t.object, target, true, rc.settings.uniqueTname, objd, rc.settings.ignoreNotnull,
                   create);
  reportScript(rc, writeSyntaxScript(names.syntax, create.c_str()), names.syntax);
  controlFileName(job.owner, target, job.partition, objd, names.control, sizeof names.control);
  const BlockContext& bc = rc.bc;
  ControlFileSpec cs{job.tableArg, job.outputName, target, objd, rc.settings.uniqueTname != 0, bc.rowAddress != 0,
                     bc.fieldTag, bc.fieldTagLen, bc.recordTag, bc.recordTagLen, &job.columns};
  reportScript(rc, writeControlFile(names.control, cs), names.control);
}

void unloadTableRows(RunContext& rc, UnloadJob& job, const TableLookup& t) {
  BlockContext& bc = rc.bc;
  const bool dump = bc.outputStyle == kStyleDmp;
  const uint32_t objd = job.objectOverride ? job.objectOverride : t.storage.dataObjNo;
  const uint32_t cluster = job.clusterTable ? job.clusterTable : t.storage.cluster;
  rc.out.printf("Unload OBJD=%u FILE=%u BLOCK=%u CLUSTER=%u ...\n", objd, t.storage.file, t.storage.block, cluster);
  if (dump && !dumpOutputAvailable()) {
    rc.out.write("  Export dump output is not available in this build.\n");
    return;
  }
  const char* target = job.target[0] ? job.target : t.object.name;
  const char* dataName = dump && !job.outputName[0] ? kDefaultDumpName : job.outputName;
  ScriptNames names;
  if (!dump && job.outputName[0]) writeTableScripts(rc, job, t, target, objd, names);

  UnloadOutput out;
  out.open(dataName, !dump, rc.out);
  FILE* listing = fopen(job.extentListing, "r");
  {
    std::unique_ptr<RowWriter> writer;
    if (dump) {
      if (out.opened()) writeDumpPrologue(rc, job, t.user, t.object, objd, out.data());
      writer = makeDumpRowWriter(rc, job, out.data());
    } else {
      writer = std::make_unique<TextRowWriter>(bc, job, out.data(), out.lob(), rc.out, job.columns.count);
    }
    RowWalk w(bc, rc.out, *writer, filtersOf(rc), openBlockCount(bc));
    const BlockSource s{objd, cluster, t.storage.file, t.storage.block, job.fileFilter, job.blockFilter};
    if (listing)
      walkExtentListing(w, listing, objd, cluster);
    else if (t.storage.file != 0)
      walkByHeaderOrScan(w, s);
    if (dump && out.opened()) writeDumpEpilogue(out.data());
  }
  if (listing) fclose(listing);
  const bool opened = out.opened();
  const bool ok = out.close();
  reportUnload(rc, job, out, ok);
  const char* files[] = {opened ? out.dataName() : nullptr, names.syntax, names.control};
  removeIfEmpty(rc, files, 3);
}

void unloadTable(RunContext& rc, UnloadJob& job) {
  BlockContext& bc = rc.bc;
  rc.copyTagsToBlockContext();
  const uint8_t savedStyle = bc.outputStyle;
  if (strlen(job.outputName) > 4) bc.outputStyle = isDumpName(job.outputName) ? kStyleDmp : kStyleTxt;
  job.setFill(kTypeSkip);
  TableLookup t;
  if (job.owner[0] && job.table[0] && lookUpTable(rc, job, t)) {
    loadColumns(rc.dictDir, t.object, job.partition, job.columns);
    printDateLine(rc.out);
    unloadTableRows(rc, job, t);
  }
  bc.outputStyle = savedStyle;
}

}  // namespace

void cmdUnload(RunContext& rc) {
  BlockContext& bc = rc.bc;
  auto job = std::make_unique<UnloadJob>();
  snprintf(job->extentListing, sizeof job->extentListing, "%s", rc.dictDir.file(kExtentListingFile).c_str());
  bc.RowCount = bc.LobCount = bc.BadBlockCount = 0;
  bc.rowLimit = kNoRowLimit;
  bc.unloadFlag = 1;
  setDictionaryTags(bc);
  if (!rc.lobMap->available()) OpenLobMap(*rc.lobMap);

  UnloadOptions opts;
  if (!parseUnloadOptions(rc.cmd, *job, opts, rc.out)) return;
  if (job->tableArg[0] && !beginsWithDict(job->tableArg) && !splitTableName(job->tableArg, *job)) {
    rc.out.printf("  Owner and table name are each at most %u characters!\n", static_cast<unsigned>(kNameTokenMax));
    return;
  }
  if (opts.rowLimit) bc.rowLimit = opts.rowLimit;
  if (beginsWithDict(job->tableArg))
    bootstrapDictionary(rc, job->objectOverride, job->clusterTable);
  else if (job->tableArg[0])
    unloadTable(rc, *job);
  else if (job->objectOverride)
    unloadObject(rc, *job);
  else
    printUnloadUsage(rc.out);
  bc.rowLimit = kNoRowLimit;
}

}  // namespace bex
