#include "commands/scan/scan_commands.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <thread>
#include <vector>

#include "block/block_dump.h"
#include "block/block_header.h"
#include "datafile/block_reader.h"
#include "datafile/registry.h"
#include "datafile/slot_reader.h"
#include "dict/column_map.h"
#include "lob/lob_map.h"
#include "lob/lob_map_files.h"
#include "scan/scan_file.h"
#include "scan/scan_workers.h"
#include "commands/scan/table_guess.h"
#include "base/block_map.h"
#include "base/clock.h"
#include "base/extent_listing.h"
#include "base/lob_listing.h"
#include "base/recovery_report.h"
#include "base/file_or_console.h"
#include "run/run_context.h"

namespace bex {

namespace {

constexpr uint32_t kCensusAddresses = 10;

struct ScanOptions {
  uint32_t objd = 0;
  uint32_t file = 0;
  uint32_t blocks = 1;
  char to[kFileNameMax + 1] = "";
};

void printUsage(Sink& out) {
  out.noteError();
  out.write("  SCAN HEADER [OBJECT objd] [FILE rfn] [TO filename]\n");
  out.write("  SCAN TABLE  [OBJECT objd] [FILE rfn] [TO filename]\n");
  out.write("  SCAN DATA   [OBJECT objd] [BLOCKS blks] [FILE rfn] [TO filename]\n");
  out.write("  SCAN LOB    [OBJECT objd] [FILE rfn] \n");
  out.write("  SCAN DATABASE \n");
  out.write("  SCAN PARALLELDB \n");
  out.write("  SCAN MAP \n");
}

ScanOptions readOptions(CommandLine& cl) {
  ScanOptions o;
  while (cl.nextToken()) {
    std::string_view key = cl.token();
    if (!cl.nextToken()) break;
    std::string_view value = cl.token();
    if (keywordMatch(key, "OBJECT")) o.objd = static_cast<uint32_t>(tokenNumber(value));
    else if (keywordMatch(key, "FILE")) o.file = static_cast<uint32_t>(tokenNumber(value));
    else if (keywordMatch(key, "BLOCKS")) o.blocks = static_cast<uint32_t>(tokenNumber(value));
    else if (keywordMatch(key, "TO")) copyToken(value, o.to, kFileNameMax);
  }
  return o;
}

bool inScope(const BlockContext& bc, const DataFile& f, const ScanOptions& o) {
  return f.usable() && (o.file == 0 || bc.bigfile || f.rfn == o.file);
}

// Scans the slots given to one worker (or all slots) into two listings;
// nothing is scanned unless both listings could be created.
// With threads above 1 every slot is scanned by that many workers.
ScanResult scanSlots(BlockContext& bc, const std::string& lobName, const std::string& extName, unsigned stride,
                     unsigned first, unsigned threads = 1) {
  ScanResult r;
  FILE* lob = fopen(lobName.c_str(), "wb+");
  FILE* ext = fopen(extName.c_str(), "wb+");
  bool lobOk = true, extOk = true;
  if (lob && ext) {
    FileSink lobSink(lob, kOutputBufferSize);
    FileSink extSink(ext, kOutputBufferSize);
    if (threads > 1) {
      r.errors = scanWithWorkers(bc, lobSink, extSink);
    } else {
      SlotReader reader(bc, kScanWindowSize, kMapWindowSize);
      for (uint32_t slot = first; slot < bc.registry->count; slot += stride) {
        ScanFile(bc, reader, slot, lobSink, extSink, r.errors);
        r.files += bc.registry->slots[slot].blocks >= 2;
      }
    }
    lobOk = lobSink.flush() && !lobSink.failed();
    extOk = extSink.flush() && !extSink.failed();
  } else {
    r.failed = lob ? extName : lobName;
  }
  // A full disk shows at the latest when the stream is closed.
  if (lob && fclose(lob) != 0) lobOk = false;
  if (ext && fclose(ext) != 0) extOk = false;
  if (r.failed.empty() && !(lobOk && extOk)) r.unwritten = lobOk ? extName : lobName;
  return r;
}

void reportUnwritten(Sink& out, const ScanResult& r) {
  if (!r.unwritten.empty()) out.error("  Cannot write %s, the listing is incomplete.\n", r.unwritten.c_str());
}

// Appends one worker's listing; false when writing failed. A worker file
// that cannot be opened is passed over.
bool appendFile(FILE* to, const std::string& from) {
  FILE* f = fopen(from.c_str(), "rb");
  if (!f) return true;
  char buf[65536];
  size_t n;
  bool ok = true;
  while (ok && (n = fread(buf, 1, sizeof buf, f)) > 0) ok = fwrite(buf, 1, n, to) == n;
  fclose(f);
  return ok;
}

// Creates one merged listing from the four worker listings of its kind.
void mergeListing(const DictDirectory& dir, const char* kind, Sink& out) {
  std::string name = dir.listingFile(kind);
  FILE* to = fopen(name.c_str(), "wb+");
  if (!to) {
    out.error("  Cannot create %s\n", name.c_str());
    return;
  }
  bool ok = true;
  for (unsigned w = 0; w < kScanWorkers; w++) ok = appendFile(to, dir.listingFile(kind, static_cast<int>(w))) && ok;
  if (fclose(to) != 0 || !ok) out.error("  Cannot write %s, the listing is incomplete.\n", name.c_str());
}

// Walks blocks 2 .. count of every slot in scope; visit returns false to stop.
template <typename Visit>
void walkScope(RunContext& rc, const ScanOptions& o, Visit visit) {
  SlotReader reader(rc.bc);
  for (uint32_t slot = 0; slot < rc.registry.count; slot++) {
    const DataFile& f = rc.registry.slots[slot];
    if (!inScope(rc.bc, f, o) || f.blocks < 2) continue;
    reader.start(slot, 2, f.blocks);
    uint32_t n;
    while (const uint8_t* b = reader.next(n))
      if (!visit(BlockView{b, rc.bc.blockSize, rc.bc.byteOrder}, f, n)) return;
  }
}

void scanHeader(RunContext& rc, Sink& out, const ScanOptions& o) {
  walkScope(rc, o, [&](const BlockView& v, const DataFile&, uint32_t) {
    if (!isSegmentHeader(blockType(v))) return true;
    if (o.objd && dataObjectNumber(v) != o.objd) return true;
    blockSummary(out, v, rc.bc.transOffset, rc.bc.transCount);
    return o.objd == 0;
  });
}

// Table blocks in groups: a group runs until a qualifying block of another
// object comes (blocks of other kinds, or of other objects when OBJECT is
// given, do not end it); the first `blocks` of each group are dumped.
void scanData(RunContext& rc, Sink& out, const ScanOptions& o) {
  bool any = false;
  uint32_t groupObjd = 0, dumped = 0;
  walkScope(rc, o, [&](const BlockView& v, const DataFile&, uint32_t) {
    if (blockType(v) != BlockType::kTransData) return true;
    uint32_t objd = dataObjectNumber(v);
    if (o.objd && objd != o.objd) return true;
    if (!any || objd != groupObjd) {
      any = true;
      groupObjd = objd;
      dumped = 0;
    }
    if (o.blocks != 0 && dumped >= o.blocks) return true;
    blockSummary(out, v, rc.bc.transOffset, rc.bc.transCount);
    dumped++;
    return !(o.objd && o.blocks == 0);
  });
}

void scanBlockCensus(RunContext& rc, Sink& out, const ScanOptions& o) {
  std::map<BlockType, std::vector<uint32_t>> seen;
  walkScope(rc, o, [&](const BlockView& v, const DataFile& f, uint32_t n) {
    std::vector<uint32_t>& list = seen[blockType(v)];
    // With BIGFILE the block number is not cut to the address's 22 bits.
    uint32_t address = rc.bc.bigfile ? makeRdba(f.rfn, 0) + n : makeRdba(f.rfn, n);
    if (list.size() < kCensusAddresses && std::find(list.begin(), list.end(), address) == list.end())
      list.push_back(address);
    return true;
  });
  for (const auto& [type, list] : seen) {
    out.printf("type=0x%02x (%s) \n  rdba=", typeCode(type), blockTypeName(type));
    for (size_t i = 0; i < list.size(); i++) out.printf(i ? ", 0x%08x" : "0x%08x", list[i]);
    out.write("\n");
  }
}

bool fileExists(const std::string& name) {
  FILE* f = fopen(name.c_str(), "r");
  if (f) fclose(f);
  return f != nullptr;
}

void rebuildMaps(RunContext& rc) { BuildLobMap(*rc.lobMap); }

// Each scan worker notes into a block map and report tally of its own;
// they join the command's when the workers have ended.
class WorkerNotes {
 public:
  explicit WorkerNotes(const BlockContext& bc)
      : tallies_(bc.report ? new ReportEntry[kScanWorkers] : nullptr), mapping_(bc.blockMap != nullptr) {}

  void give(BlockContext& own, unsigned w) {
    own.report = tallies_ ? &tallies_[w] : nullptr;
    own.blockMap = mapping_ ? &maps_[w] : nullptr;
  }
  void join(BlockContext& bc) {
    for (unsigned w = 0; w < kScanWorkers; w++) {
      if (bc.report) {
        bc.report->rejected.addAll(tallies_[w].rejected);
        bc.report->rowsRejected += tallies_[w].rowsRejected;
        bc.report->unreadable.addAll(tallies_[w].unreadable);
      }
      if (bc.blockMap) bc.blockMap->take(maps_[w]);
    }
  }

 private:
  std::unique_ptr<ReportEntry[]> tallies_;
  bool mapping_;
  BlockMap maps_[kScanWorkers];
};

// SCAN DATABASE and PARALLELDB are measured and reported: the data files
// they read, the blocks expected, and the block map they fill.
void beginDatabaseScan(RunContext& rc, const char* label, BlockMap& map) {
  rc.report.begin("scan");
  rc.progress.begin(label, rc.bc.blockSize);
  ReportEntry& e = rc.report.entry();
  for (uint32_t slot = 0; slot < rc.registry.count; slot++) {
    const DataFile& f = rc.registry.slots[slot];
    if (!f.usable()) continue;
    e.dataFiles.push_back(ReportDataFile{f.rfn, f.path, std::max(f.blocks, f.headerBlocks), f.blocks});
    if (f.blocks >= 2) rc.progress.expect(f.blocks - 1);
  }
  rc.bc.blockMap = &map;
}

void endDatabaseScan(RunContext& rc, BlockMap& map) {
  rc.bc.blockMap = nullptr;
  ReportEntry& e = rc.report.entry();
  e.blocksRead = rc.progress.done();
  for (const char* kind : {kExtentListing, kLobListing}) e.wrote(rc.dictDir.listingFile(kind));
  for (const char* name : {kLobMapFile, kLobPosFile, BlockMap::kFileName}) e.wrote(rc.dictDir.file(name));
  map.write(rc.dictDir.file(BlockMap::kFileName));
}

}  // namespace

ScanResult scanDatabase(BlockContext& bc, const DictDirectory& dir) {
  return scanSlots(bc, lobListingFile(dir), extentListingFile(dir), 1, 0, bc.threads);
}

void scanParallel(BlockContext& bc, const DictDirectory& dir, Sink& out) {
  std::vector<std::thread> workers;
  ScanResult results[kScanWorkers];
  WorkerNotes notes(bc);
  for (unsigned w = 0; w < kScanWorkers; w++) {
    workers.emplace_back([&bc, &dir, &results, &notes, w] {
      BlockContext own(bc, readerBuffers(bc));
      notes.give(own, w);
      results[w] = scanSlots(own, lobListingFile(dir, static_cast<int>(w)),
                             extentListingFile(dir, static_cast<int>(w)), kScanWorkers, w);
    });
  }
  for (std::thread& t : workers) t.join();
  notes.join(bc);
  if (bc.report)
    for (unsigned w = 0; w < kScanWorkers; w++)
      for (uint32_t i = 0; i < results[w].files; i++) bc.report->walkedBy(w);
  for (const ScanResult& r : results) {
    if (!r.failed.empty()) out.error("  Cannot create %s, its files were not scanned.\n", r.failed.c_str());
    reportUnwritten(out, r);
  }
  mergeListing(dir, kLobListing, out);
  mergeListing(dir, kExtentListing, out);
}

void cmdScan(RunContext& rc) {
  CommandLine& cl = rc.cmd;
  Sink& out = rc.out;
  enum { kHeader, kTable, kData, kBlock, kDatabase, kParallel, kMap, kNone } sub = kNone;
  static const char* const kSubs[] = {"HEADER", "TABLE", "DATA", "BLOCK", "DATABASE", "PARALLELDB", "MAP"};
  if (cl.nextToken())
    for (int i = 0; i < kNone; i++)
      if (keywordMatch(cl.token(), kSubs[i])) sub = static_cast<decltype(sub)>(i);
  if (sub == kNone) return printUsage(out);
  ScanOptions o = readOptions(cl);
  if (sub == kTable && !fileExists(extentListingFile(rc.dictDir))) return;
  printDateLine(out);
  BlockMap map;
  const bool wholeDatabase = sub == kDatabase || sub == kParallel;
  if (wholeDatabase) beginDatabaseScan(rc, sub == kDatabase ? "SCAN DATABASE" : "SCAN PARALLELDB", map);
  if (sub == kDatabase) {
    ScanResult r = scanDatabase(rc.bc, rc.dictDir);
    rebuildMaps(rc);
    // A scan that could not write its listings did not run: say so instead
    // of reporting a clean scan.
    reportUnwritten(out, r);
    if (!r.failed.empty())
      out.error("  Cannot create %s, no block was scanned.\n", r.failed.c_str());
    else
      out.printf("Scan Done With %llu Errors.\n", static_cast<unsigned long long>(r.errors));
  } else if (sub == kParallel) {
    out.flush();
    scanParallel(rc.bc, rc.dictDir, out);
    rebuildMaps(rc);
  }
  if (wholeDatabase) {
    rc.extentIndex.forget();  // the listing and the map were written again
    rc.checksumRuns.forget();
    endDatabaseScan(rc, map);
  } else if (sub == kMap) {
    rebuildMaps(rc);
    splitColumnFile(rc.dictDir);
  } else {
    FileOrConsole to(o.to, "wb+", out, kOutputBufferSize);
    Sink& dest = to.sink();
    if (sub == kHeader) scanHeader(rc, dest, o);
    if (sub == kData) scanData(rc, dest, o);
    if (sub == kBlock) scanBlockCensus(rc, dest, o);
    if (sub == kTable) {
      rc.progress.begin("SCAN TABLE", rc.bc.blockSize, "blocks", false);
      scanTables(rc, dest);
    }
    dest.flush();
  }
  printDateLine(out);
}

}  // namespace bex
