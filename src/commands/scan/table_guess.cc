#include "commands/scan/table_guess.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "base/clock.h"
#include "base/extent_listing.h"
#include "base/file_or_console.h"
#include "base/limits.h"
#include "block/block_header.h"
#include "block/column_list.h"
#include "block/data_block.h"
#include "block/index_block.h"
#include "datafile/block_reader.h"
#include "datafile/registry.h"
#include "run/run_context.h"
#include "scan/column_guess.h"
#include "scan/guess_candidate.h"
#include "unload/block_walk.h"
#include "unload/guess_row_writer.h"
#include "unload/unload_job.h"

namespace bex {

namespace {

constexpr size_t kGuessedObjectsMax = 65536;
constexpr uint8_t kIndexEntryDeleted = 0x01;
constexpr uint8_t kIndexLiveFlag = 0x10;

void onValue(void* guess, const uint8_t* block, uint16_t offset, uint16_t length, uint32_t position) {
  GuessValue(*static_cast<ColumnGuess*>(guess), position, block, offset, length);
}

// The unload engine in guess mode: every column position goes to the
// guesser, nothing is written.
struct GuessWalk {
  explicit GuessWalk(RunContext& rc)
      : bc(rc.bc),
        job(std::make_unique<UnloadJob>()),
        guess(std::make_unique<ColumnGuess>()),
        writer(*job, onValue, guess.get()),
        walk(rc.bc, rc.out, writer,
             RowFilters{rc.settings.deletedRow != 0, rc.settings.commitedOnly != 0}, openBlockCount(rc.bc)) {
    for (ColumnSpec& c : job->columns.column) c.type = ColumnTypeCode::kUnknown;
    job->setFill(ColumnTypeCode::kUnknown);
  }
  ~GuessWalk() {
    bc.rowLimit = kNoRowLimit;
  }
  GuessWalk(const GuessWalk&) = delete;
  GuessWalk& operator=(const GuessWalk&) = delete;

  // A fresh guess; at most limit rows are sampled.
  void start(uint64_t limit) {
    guess->reset(bc.blockSize);
    bc.counters->RowCount = 0;
    bc.rowLimit = limit;
  }

  BlockContext& bc;
  std::unique_ptr<UnloadJob> job;
  std::unique_ptr<ColumnGuess> guess;
  GuessRowWriter writer;
  RowWalk walk;
};

BlockView currentView(const BlockContext& bc) { return BlockView{bc.block, bc.blockSize, bc.byteOrder}; }

bool readWhole(BlockContext& bc, uint32_t rfn, uint32_t block) { return ReadBlock(bc, rfn, block) == bc.blockSize; }

// Hands the block in the buffer to the walker of its kind.
void walkBlock(GuessWalk& g, uint32_t cluster) {
  const uint8_t typ = txnTyp(currentView(g.bc));
  if (typ == kTypData)
    unloadTableBlock(g.walk, cluster);
  else if (typ == kTypIndex)
    unloadIndexBlock(g.walk);
}

// --- SAMPLE ---

struct SampleOptions {
  uint32_t objd = 0, file = 0, block = 0, cluster = 0;
  char to[kFileNameMax + 1] = "";
};

SampleOptions readSampleOptions(CommandLine& cl) {
  SampleOptions o;
  while (cl.nextToken()) {
    const std::string_view key = cl.token();
    if (!cl.nextToken()) break;
    const std::string_view value = cl.token();
    if (keywordMatch(key, "OBJECT")) {
      o.objd = static_cast<uint32_t>(tokenNumber(value));
    } else if (keywordMatch(key, "RDBA")) {
      const uint32_t rdba = static_cast<uint32_t>(tokenNumberHex(value));
      o.file = rdbaFile(rdba);
      o.block = rdbaBlock(rdba);
    } else if (keywordMatch(key, "FILE")) {
      o.file = static_cast<uint32_t>(tokenNumber(value));
    } else if (keywordMatch(key, "BLOCK")) {
      o.block = static_cast<uint32_t>(tokenNumber(value));
    } else if (keywordMatch(key, "CLUSTER")) {
      o.cluster = static_cast<uint32_t>(tokenNumber(value));
    } else if (keywordMatch(key, "TO")) {
      copyToken(value, o.to, kFileNameMax);
    }
  }
  return o;
}

// --- SCAN TABLE ---

// The live-row test of table t: a head piece, not deleted, with columns,
// inside the row data.
bool hasLiveRow(const BlockView& v, const DataHeader& h, uint32_t t) {
  const uint32_t rows = tableRowCount(v, h, t);
  for (uint32_t slot = 0; slot < rows; slot++) {
    const uint16_t o = rowDirEntry(v, h, t, slot);
    if (o == kFreeDirEntry || o < h.nrow || o < h.fseo) continue;
    const uint32_t p = h.hdsz + o;
    if (!v.has(p, 3)) continue;
    const uint8_t flag = v.u8(p);
    if ((flag & kRowH) && !(flag & kRowD) && v.u8(p + 2) != 0) return true;
  }
  return false;
}

// A leaf with the live flag and at least one entry not marked deleted.
bool hasLiveEntry(const BlockView& v) {
  const IndexHeader ih = readIndexHeader(v);
  if (!ih.leaf() || !(ih.kdxcoopc & kIndexLiveFlag)) return false;
  for (uint32_t e = 0; e < ih.kdxconro; e++) {
    const uint16_t off = indexRowDirEntry(v, ih, e);
    if (off == kFreeDirEntry || !v.has(ih.hdsz + off, 1)) continue;
    if (!(v.u8(ih.hdsz + off) & kIndexEntryDeleted)) return true;
  }
  return false;
}

class TableScan {
 public:
  TableScan(RunContext& rc, Sink& dest, const ExtentIndex& listing)
      : rc_(rc), bc_(rc.bc), dest_(dest), listing_(listing), g_(rc) {
    done_.reserve(kGuessedObjectsMax);
    match_.survivors.reserve(kGuessSurvivorsMax);
  }

  void run() {
    for (const ExtentRecord& r : listing_.records()) {
      if (done_.size() >= kGuessedObjectsMax) return;
      if (guessed(r.objd) || r.count == 0 || r.first > UINT32_MAX - r.count) continue;
      for (uint32_t b = r.first; b - r.first < r.count && !guessed(r.objd); b++) tryBlock(r, b);
    }
  }

 private:
  bool guessed(uint32_t objd) const { return std::binary_search(done_.begin(), done_.end(), objd); }

  void tryBlock(const ExtentRecord& r, uint32_t block) {
    if (!readWhole(bc_, r.file, block) || IsBadBlock(bc_)) return;
    const BlockView v = currentView(bc_);
    if (blockType(v) != BlockType::kTransData || txnSegObj(v) != r.objd) return;
    const uint8_t typ = txnTyp(v);
    if (typ == kTypIndex) {
      if (hasLiveEntry(v)) guessObject(r, block, 0);
      return;
    }
    if (typ != kTypData) return;
    DataHeader h = readDataHeader(v);
    if (h.ntab == 0) return;
    // A compressed block's rows are table 1 behind its symbol table; the
    // walker finds them as cluster 0.
    const bool single = h.ntab == 1 || (h.flag & kDataFlagCompressed);
    const uint32_t first = single ? 0 : 1, last = single ? 0 : h.ntab - 1u;
    for (uint32_t t = first; t <= last; t++) {
      const uint32_t table = (h.flag & kDataFlagCompressed) ? 1 : t;
      if (table >= h.ntab || tableRowCount(v, h, table) == 0 || !hasLiveRow(v, h, table)) continue;
      if (!guessObject(r, block, t)) return;
      h = readDataHeader(currentView(bc_));
    }
  }

  // False when the block of step 1 cannot be read again (its other tables
  // are then passed over).
  bool guessObject(const ExtentRecord& r, uint32_t block, uint32_t cluster) {
    g_.start(bc_.guessSize);
    if (!guessed(r.objd) && done_.size() < kGuessedObjectsMax) {
      done_.insert(std::upper_bound(done_.begin(), done_.end(), r.objd), r.objd);
      rc_.out.printf(" Start Guess Table OBJD=%u ...", r.objd);
      rc_.out.flush();
    }
    uint64_t blocks = 0, rows = 0;
    for (const ExtentRecord& x : listing_.of(r.objd)) {
      blocks += x.count;
      rows += x.rows;
      if (bc_.counters->RowCount < bc_.guessSize) walkListedExtent(g_.walk, x.objd, cluster, x);
    }
    // The walk used the block buffer: the block again for its other tables.
    const bool again = readWhole(bc_, r.file, block);
    rc_.out.write("  done!\n");
    const ColumnGuess& guess = *g_.guess;
    dest_.printf("## Object = %u.%u, Columns = %u, Rows = %llu, Size = %.2f mb\n", r.objd, cluster, guess.count,
                 static_cast<unsigned long long>(rows), static_cast<double>(blocks) * bc_.blockSize / kMegabyte);
    matchCandidates(guess, bc_.counters->RowCount, rc_.guessCandidates, matchSettings(), match_);
    if (match_.chosen())
      writeGuessLines(dest_, match_, r.objd, bc_.guessLimit);
    else
      writeLayoutLine(dest_, guess, r.objd, static_cast<int>(cluster));
    dest_.write("\n");
    return again;
  }

  MatchSettings matchSettings() const {
    return MatchSettings{bc_.guessSize, bc_.guessLimit, bc_.guessColpct, bc_.guessScore, bc_.guessColsize != 0};
  }

  RunContext& rc_;
  BlockContext& bc_;
  Sink& dest_;
  const ExtentIndex& listing_;
  GuessWalk g_;
  GuessMatch match_;
  std::vector<uint32_t> done_;  // objects guessed, sorted
};

}  // namespace

void cmdSample(RunContext& rc) {
  BlockContext& bc = rc.bc;
  const SampleOptions o = readSampleOptions(rc.cmd);
  if (o.objd == 0 || o.block == 0 || (o.file == 0 && !bc.bigfile)) {
    rc.out.noteError();
    rc.out.write("  SAMPLE OBJECT objd RDBA rdba FILE rfn BLOCK blockid \n"
                 "         [CLUSTER clusterid] [TO filename]\n");
    return;
  }
  FileOrConsole to(o.to, "wb+", rc.out, kOutputBufferSize);
  Sink& dest = to.sink();
  GuessWalk g(rc);
  g.start(kNoRowLimit);
  uint32_t objd = o.objd;
  if (readWhole(bc, o.file, o.block)) {
    const BlockView v = currentView(bc);
    objd = dataObjectNumber(v);
    // Rows of another object's block are not sampled.
    if (blockType(v) == BlockType::kTransData && txnSegObj(v) == o.objd) walkBlock(g, o.cluster);
  }
  dest.printf("#// Column Count=%u\n", g.guess->count);
  writeLayoutLine(dest, *g.guess, objd, -1);
  dest.write("\n");
  dest.flush();
}

uint64_t sampleListedObject(RunContext& rc, std::span<const ExtentRecord> runs, uint32_t cluster, ColumnGuess& guess) {
  BlockContext& bc = rc.bc;
  GuessWalk g(rc);
  g.start(bc.guessSize);
  for (const ExtentRecord& r : runs)
    if (bc.counters->RowCount < bc.guessSize) walkListedExtent(g.walk, r.objd, cluster, r);
  guess = *g.guess;
  return bc.counters->RowCount;
}

void matchListedObject(RunContext& rc, const std::vector<ExtentRecord>& runs, const GuessCandidates& candidates,
                       GuessMatch& match) {
  BlockContext& bc = rc.bc;
  auto guess = std::make_unique<ColumnGuess>();
  const uint64_t sampled = sampleListedObject(rc, runs, 0, *guess);
  const MatchSettings settings{bc.guessSize, bc.guessLimit, bc.guessColpct, bc.guessScore, bc.guessColsize != 0};
  matchCandidates(*guess, sampled, candidates, settings, match);
}

void scanTables(RunContext& rc, Sink& dest) {
  if (rc.extentIndex.refresh(extentListingFile(rc.dictDir))) TableScan(rc, dest, rc.extentIndex).run();
}

}  // namespace bex
