#include "commands/unload/unload_command.h"

#include <cstring>
#include <memory>
#include <vector>

#include "base/block_map.h"
#include "commands/dict/bootstrap.h"
#include "base/clock.h"
#include "base/extent_listing.h"
#include "base/progress.h"
#include "base/recovery_report.h"
#include "run/run_context.h"
#include "base/unload_log.h"
#include "unload/block_walk.h"
#include "datafile/registry.h"
#include "unload/output_format.h"
#include "unload/parallel_walk.h"
#include "unload/unload_options.h"
#include "commands/unload/unload_record.h"
#include "dict/dropped.h"
#include "pg/pg_output.h"
#include "pg/pg_target.h"

namespace bex {

namespace {

RowFilters filtersOf(const RunContext& rc) {
  return RowFilters{rc.settings.deletedRow != 0, rc.settings.commitedOnly != 0};
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

}  // namespace

OutputEnv outputEnv(RunContext& rc) {
  const Settings& s = rc.settings;
  return OutputEnv{rc.bc, rc.out, rc.dictDir, s.charset, s.nlsCharset, s.uniqueTname != 0, s.ignoreNotnull != 0,
                   s.fieldTagSet, s.emptyFiles != 0};
}

namespace {

// The output of one table or object unload: the files its style writes
// and the format that writes them.
struct Output {
  UnloadOutput files;
  const OutputStyleSpec* style;
  bool rowAddress;
  std::unique_ptr<OutputFormat> format;
  bool toPg = false;  // the format says itself what became of the rows when it fails
  bool bytesLost = false;  // a parallel walk could not place some of its bytes

  Output(RunContext& rc, UnloadJob& job, const UnloadOptions& opts)
      : style(opts.style), rowAddress(opts.rowAddress), format(opts.style->makeFormat(outputEnv(rc), job, opts)) {}
  // Rows into a PostgreSQL server.
  Output(RunContext& rc, UnloadJob& job, const UnloadOptions& opts, UnloadedTable table)
      : style(opts.style),
        rowAddress(false),
        format(makePgFormat(outputEnv(rc), job, std::move(table), PgDestination{opts.pgTarget, opts.append, rc.pgTablesLoaded})),
        toPg(true) {}
};

// The end of every table or object unload: the output closed, the closing
// lines (with the damage the walk passed over), the log record, and with
// EMPTY_FILES off no files left by an unload without rows.
void finishUnload(RunContext& rc, const UnloadJob& job, Output& output, const DamageCounts& damage) {
  OutputFormat& format = *output.format;
  const char* dataName = format.dataName(output.files);
  const bool writtenOk = format.close() && !output.bytesLost;
  ReportEntry& e = rc.report.entry();
  e.rows = rc.bc.counters->RowCount;
  e.lobValues = rc.bc.counters->LobCount;
  e.lobErrors = job.lobLosses.total();
  e.blocksRead = rc.progress.done();
  reportDamage(e, damage);
  format.nameFiles(e);
  const unsigned long long rows = rc.bc.counters->RowCount;
  if (writtenOk)
    rc.out.printf("Sucessfully unload %llu rows ...\n", rows);
  else if (!output.toPg)
    rc.out.error("  Write error on %s: %llu rows unloaded, the file is incomplete!\n", dataName, rows);
  printDamageSummary(rc.out, damage);
  job.lobLosses.warn(rc.out, job.columns, "LOB values not recovered in", "", &job.lobLossesWithoutMap,
                     ": %llu of them lie out of line and no LOB map is open (SCAN DATABASE builds it)");
  job.taggedValues.warn(rc.out, job.columns, "values holding the field or record tag in",
                        ": the data file does not load back as written (OUTPUT_STYLE CSV encloses them)");
  job.nulValues.warn(rc.out, job.columns, "values holding NUL bytes in",
                     ": PostgreSQL text cannot hold them, its load script leaves them out");
  const BlockCounters& n = *rc.bc.counters;
  writeUnloadLogRecord(rc.unloadLog, n.RowCount, n.LobCount, n.BadBlockCount, dataName);
  printDateLine(rc.out);
  if (!rc.settings.emptyFiles && rc.bc.counters->RowCount == 0) format.removeFiles();
}

// A walk through the scan's extent listing never reads the blocks the scan
// found failing the checksum (the listing leaves them out): the block map
// of that scan names those that claim the object, and the report takes
// them as rejected.
void reportScanRejections(RunContext& rc, uint32_t objd) {
  if (!rc.checksumRuns.refresh(rc.dictDir.file(BlockMap::kFileName))) return;
  for (const BlockRun& r : rc.checksumRuns.of(objd)) rc.report.entry().rejected.add(r.rfn, r.first, r.count, objd);
}

// THREADS above 1 walks the blocks with workers (each with its own LOB
// reader, LOB map and conversion descriptors) when nothing of the unload
// needs the one thread: no row limit (rows are counted as chunks commit),
// rows going to a data file (on the console they would mix with the
// messages), LOB values the workers can place (lobsWalkInParallel: in CSV
// style, references that never need the quotes; values in the dump's data
// unless each is announced by its row), and files that several threads may
// read at once.
bool hasLobColumns(const UnloadJob& job) {
  bool lobs = isLobType(job.column(kMaxSegmentColumns).type);
  for (uint32_t pos = 0; pos < job.columns.count && pos < kMaxSegmentColumns; pos++)
    lobs = lobs || isLobType(job.column(pos).type);
  return lobs;
}

bool walkInParallel(const RunContext& rc, const UnloadJob& job, Output& output) {
  const BlockContext& bc = rc.bc;
  if (bc.threads <= 1 || bc.rowLimit != kNoRowLimit || !output.files.opened()) return false;
  const LobFile& lob = output.files.lob();
  if (hasLobColumns(job) &&
      !lobsWalkInParallel(lob, output.style->lobReferencesInPlace(lob, job), job.tags, bc.verbose))
    return false;
  return slotsReadInParallel(*bc.registry);
}

// Walks the object's blocks the way `how` finds them, by this thread or by
// THREADS workers; the damage passed over.
template <class How>
DamageCounts walkBlocks(RunContext& rc, UnloadJob& job, Output& output, How how) {
  RowWalk w(rc.bc, rc.out, output.format->rowWriter(), filtersOf(rc), openBlockCount(rc.bc));
  w.headerRangeBlocks = rc.parallelChunkBlocks;
  if (walkInParallel(rc, job, output)) {
    const WorkerWriterMaker maker = [&output](BlockContext& bc, UnloadJob& j, Sink& data, LobFile& lob,
                                              Sink& console) {
      return output.style->makeRowWriter(bc, j, data, lob, console, output.rowAddress);
    };
    ParallelWalk workers(ParallelTarget{w, job, output.files.data(), output.files.lob()}, maker, rc.bc.threads,
                         rc.parallelChunkBlocks, hasLobColumns(job), rc.parallelLobMemory,
                         rc.parallelDataBuffer);
    if (workers.ready()) {
      w.parallel = &workers;
      how(w);
      workers.drain();
      w.parallel = nullptr;
      output.bytesLost = workers.bytesLost();
      return w.damage;
    }
  }
  how(w);  // one thread (also when the workers could not open their own files)
  return w.damage;
}

}  // namespace

RowTags tagsOf(const Settings& s) { return RowTags{{s.fieldTag, s.fieldTagLen}, {s.recordTag, s.recordTagLen}}; }

namespace {

void unloadObject(RunContext& rc, UnloadJob& job, UnloadOptions opts) {
  if (!opts.pgTarget.empty()) {
    rc.out.error("  UNLOAD OBJECT cannot write into PostgreSQL: its columns have no names and types there!\n");
    return;
  }
  job.tags = tagsOf(rc.settings);
  chooseStyleByName(opts, job.outputName);
  if (opts.style->needsDictionary) opts.style = defaultOutputStyle();
  // Every column after the COLUMN words is shown in hexadecimal.
  for (uint32_t i = job.typeListLength; i < kMaxSegmentColumns; i++)
    job.columns.column[i].type = ColumnTypeCode::kUnknown;
  job.setFill(ColumnTypeCode::kUnknown);
  job.columns.count = static_cast<uint16_t>(job.typeListLength);

  Output output(rc, job, opts);
  if (!output.format->open(UnloadSubject{nullptr, nullptr, "", job.objectOverride}, output.files)) return;
  const bool listed = rc.extentIndex.refresh(job.extentListing);
  printDateLine(rc.out);
  const BlockSource s{job.objectOverride, job.clusterTable, job.fileFilter, job.blockFilter,
                      job.fileFilter, job.blockFilter};
  const bool byListing = listed && !(job.blockFilter && job.fileFilter);
  const DamageCounts damage = walkBlocks(rc, job, output, [&](RowWalk& w) {
    if (byListing)
      walkExtentListing(w, rc.extentIndex.of(s.objd), s.objd, s.cluster);
    else
      walkByHeaderOrScan(w, s);
  });
  if (byListing) reportScanRejections(rc, s.objd);
  finishUnload(rc, job, output, damage);
}

// The dictionary rows of one table unload. A dropped partitioned table's
// rows lie in the segments of its partitions, walked in turn.
struct TableLookup {
  UserRecord user;
  ObjectRecord object;
  StorageRecord storage;
  std::vector<StorageRecord> partitions;
};

// A table of that name no live object has: one dropped with PURGE, rebuilt
// from the deleted dictionary rows (OBJECT picks among several of the name).
bool lookUpDroppedTable(RunContext& rc, const UnloadJob& job, TableLookup& t) {
  DroppedTable dropped;
  if (job.partition[0] || !findDroppedTable(rc.dictDir, t.user.userNo, job.table, job.objectOverride, dropped))
    return false;
  t.object = dropped.object;
  t.storage = dropped.storage;
  // OBJECT with the table's OBJ# (or none) takes every partition, with a
  // partition's data object number that one.
  const uint32_t objd = job.objectOverride;
  const bool whole = objd == 0 || objd == t.object.objNo;
  for (const DroppedPartition& p : dropped.partitions)
    if (whole || objd == dataObjectOf(p)) {
      t.partitions.push_back(p.storage);
      t.partitions.back().dataObjNo = dataObjectOf(p);
    }
  rc.out.printf("  TABLE %s.%s was dropped: OBJ# %u, its columns from the deleted dictionary rows.\n", job.owner,
                t.object.name, t.object.objNo);
  return true;
}

// The user, the object and its storage row; a live table or index of the
// name first, else a dropped table. False ends the command.
bool lookUpTable(RunContext& rc, UnloadJob& job, TableLookup& t) {
  const DictFiles& dir = rc.dictDir;
  if (!findUser(dir, job.owner, t.user)) {
    rc.out.error("  USER %s does not exists!\n", job.owner);
    return false;
  }
  t.object.segmentObjNo = 0;
  if (!findTableObject(dir, t.user.userNo, job.table, job.partition, t.object) &&
      !findIndexObject(dir, t.user.userNo, job.table, job.partition, t.object)) {
    if (lookUpDroppedTable(rc, job, t)) return rc.settings.tablespace == 0 || rc.settings.tablespace == t.storage.ts;
    rc.out.error("  TABLE %s.%s does not exists!\n", job.owner, job.table);
    writeUnloadLogRecord(rc.unloadLog, 0, 0, kUnknownTableBadCount, job.outputName);
    return false;
  }
  const bool found =
      findStorage(dir, t.object.segmentObjNo, t.storage) || findStorage(dir, t.object.segmentObjNo + 1, t.storage);
  if (!found && job.objectOverride == 0) return false;
  return rc.settings.tablespace == 0 || rc.settings.tablespace == t.storage.ts;
}

// The segments an unload walks: the table's storage (its data object as
// OBJECT overrides it), or a dropped table's partitions.
std::vector<BlockSource> segmentsOf(const UnloadJob& job, const TableLookup& t) {
  std::vector<BlockSource> out;
  const uint32_t cluster = job.clusterTable ? job.clusterTable : t.storage.cluster;
  for (const StorageRecord& p : t.partitions) out.push_back({p.dataObjNo, cluster, p.file, p.block, job.fileFilter, job.blockFilter});
  if (!out.empty()) return out;
  const uint32_t objd = job.objectOverride ? job.objectOverride : t.storage.dataObjNo;
  out.push_back({objd, cluster, t.storage.file, t.storage.block, job.fileFilter, job.blockFilter});
  return out;
}

void unloadTableRows(RunContext& rc, UnloadJob& job, const UnloadOptions& opts, const TableLookup& t) {
  const uint32_t objd = job.objectOverride ? job.objectOverride : t.storage.dataObjNo;
  const std::vector<BlockSource> segments = segmentsOf(job, t);
  for (const BlockSource& s : segments)
    rc.out.printf("Unload OBJD=%u FILE=%u BLOCK=%u CLUSTER=%u ...\n", s.objd, s.headerFile, s.headerBlock, s.cluster);
  const char* target = job.target[0] ? job.target : t.object.name;
  rc.report.entry().objd = objd;
  const bool toPg = !opts.pgTarget.empty();
  Output output = toPg ? Output(rc, job, opts, describeUnload(rc, job, opts.style, false, t.object, target, objd))
                       : Output(rc, job, opts);
  if (!output.format->open(UnloadSubject{&t.user, &t.object, target, objd}, output.files)) return;
  const bool listed = rc.extentIndex.refresh(job.extentListing);
  const DamageCounts damage = walkBlocks(rc, job, output, [&](RowWalk& w) {
    for (const BlockSource& s : segments) {
      if (listed)
        walkExtentListing(w, rc.extentIndex.of(s.objd), s.objd, s.cluster);
      else if (s.headerFile != 0)
        walkByHeaderOrScan(w, s);
    }
  });
  for (const BlockSource& s : segments)
    if (listed) reportScanRejections(rc, s.objd);
  finishUnload(rc, job, output, damage);
  if (!toPg) rememberUnload(rc, job, opts.style, opts.rowAddress, t.object, target, objd);
}

void unloadTable(RunContext& rc, UnloadJob& job, UnloadOptions opts) {
  job.tags = tagsOf(rc.settings);
  chooseStyleByName(opts, job.outputName);
  job.setFill(ColumnTypeCode::kSkip);
  TableLookup t;
  if (job.owner[0] && job.table[0] && lookUpTable(rc, job, t)) {
    loadColumns(rc.dictDir, t.object, job.partition, job.columns);
    printDateLine(rc.out);
    unloadTableRows(rc, job, opts, t);
  }
}

// A TO name that is a PostgreSQL connection string (or PG_TARGET, the
// setting's) sends the rows there; the job keeps only its masked form,
// which every message and log record shows. False, after a message, when
// PG_TARGET is named but not set.
bool choosePgTarget(RunContext& rc, UnloadJob& job, UnloadOptions& opts) {
  const std::string_view to = job.outputName;
  if (keywordMatch(to, kPgTargetWord)) {
    if (rc.settings.pgTarget.empty()) {
      rc.out.error("  PG_TARGET is not set (SET PG_TARGET 'postgresql://...')!\n");
      return false;
    }
    opts.pgTarget = rc.settings.pgTarget;
  } else if (isPgTarget(to)) {
    opts.pgTarget = std::string(to);
  } else {
    return true;
  }
  copyToken(maskPgPasswords(opts.pgTarget), job.outputName, kFileNameMax);
  return true;
}

// The recovery report and the progress line of one UNLOAD.
void beginUnload(RunContext& rc, const UnloadJob& job, bool dictionary) {
  rc.report.begin(dictionary ? "bootstrap" : "unload");
  ReportEntry& e = rc.report.entry();
  char label[80];
  if (dictionary) {
    snprintf(label, sizeof label, "UNLOAD DICT$");
  } else if (job.tableArg[0]) {
    e.owner = job.owner, e.table = job.table, e.partition = job.partition;
    snprintf(label, sizeof label, "UNLOAD %.30s.%.30s", job.owner, job.table);
  } else {
    e.objd = job.objectOverride;
    snprintf(label, sizeof label, "UNLOAD OBJECT %u", job.objectOverride);
  }
  rc.progress.begin(label, rc.bc.blockSize);
  rc.progress.watchRows(&rc.bc.counters->RowCount);
}

}  // namespace

void cmdUnload(RunContext& rc) {
  BlockContext& bc = rc.bc;
  auto job = std::make_unique<UnloadJob>();
  snprintf(job->extentListing, sizeof job->extentListing, "%s", extentListingFile(rc.dictDir).c_str());
  *bc.counters = BlockCounters{};
  bc.rowLimit = kNoRowLimit;
  if (!rc.lobMap->available()) OpenLobMap(*rc.lobMap);

  UnloadOptions opts = unloadOptionsFromSettings(bc, rc.settings.outputStyle);
  if (!parseUnloadOptions(rc.cmd, *job, opts, rc.out)) return;
  if (!choosePgTarget(rc, *job, opts)) return;
  if (job->tableArg[0] && !beginsWithDict(job->tableArg) && !splitTableName(job->tableArg, *job)) {
    rc.out.error("  Owner and table name are each at most %u characters!\n", static_cast<unsigned>(kNameTokenMax));
    return;
  }
  if (opts.rowLimit) bc.rowLimit = opts.rowLimit;
  if (job->tableArg[0] || job->objectOverride) beginUnload(rc, *job, beginsWithDict(job->tableArg));
  if (beginsWithDict(job->tableArg))
    bootstrapDictionary(rc, job->objectOverride, job->clusterTable);
  else if (job->tableArg[0])
    unloadTable(rc, *job, opts);
  else if (job->objectOverride)
    unloadObject(rc, *job, opts);
  else
    printUnloadUsage(rc.out);
  bc.rowLimit = kNoRowLimit;
}

}  // namespace bex
