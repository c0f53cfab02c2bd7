// The recovery report: every UNLOAD, SCAN DATABASE or PARALLELDB and
// dictionary bootstrap appends one JSON object, on one line, to
// BEXDICT/BEXREPORT.JSONL: the statement, what it unloaded or scanned, the
// rows written, LOB values, blocks read, the blocks rejected by the block
// check, skipped or unreadable (as address ranges), rows passed over on
// SKIP blocks, chains cut, LOB errors, the damage the walk passed over, the
// files written with their sizes, start and end time, and how many worker
// threads walked how many parts of it. A script can tell from it what was
// lost and where.
//
// The walkers tally into the open ReportEntry through the BlockContext
// (no allocation there: the address lists have a fixed room); the command
// names what it works on; the loop writes the line when the statement ends.
#pragma once
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace bex {

// Runs of block addresses (file, first block, count, and the data object
// the blocks claim to be of where that is known); an address that follows
// the last run, claiming the same object, lengthens it. The first kKept
// runs are kept, the rest only counted.
struct BlockRanges {
  static constexpr uint32_t kKept = 1000;
  struct Range {
    uint32_t file, first, count, objd;
  };

  uint64_t blocks = 0;  // every block added
  uint32_t kept = 0;
  bool cut = false;  // runs beyond kKept were not kept
  Range range[kKept];

  void add(uint32_t file, uint32_t first, uint32_t count = 1, uint32_t objd = 0);
  void addAll(const BlockRanges& other);
  void clear() {
    blocks = 0;
    kept = 0;
    cut = false;
  }
};

// One dictionary table of the bootstrap.
struct ReportTable {
  std::string name;
  uint32_t objd = 0;
  uint64_t rows = 0;
  std::string file;
};

// One data file a scan read.
struct ReportDataFile {
  uint32_t rfn = 0;
  std::string path;
  uint64_t blocks = 0;    // as its header gives them, or as many as can be read
  uint64_t readable = 0;  // blocks that can be read whole
};

struct ReportEntry {
  bool open = false;
  std::string kind;  // "unload", "bootstrap", "scan"
  std::string owner, table, partition;
  uint32_t objd = 0;
  uint64_t rows = 0;
  uint64_t lobValues = 0;
  uint64_t lobErrors = 0;
  uint64_t blocksRead = 0;
  uint64_t rowsSkipped = 0;  // rows of blocks on the SKIP list
  uint64_t rowsRejected = 0;  // rows the rejected blocks hold by their own row directory
  uint64_t chainsCut = 0;    // rows whose chain ended before the row did
  BlockRanges rejected;      // failing the block check (CORRUPT list, checksum)
  BlockRanges skipped;       // on the SKIP list
  BlockRanges unreadable;    // past the end of their file, or not readable
  std::vector<std::pair<std::string, uint64_t>> damage;  // kind, count
  std::vector<std::string> files;                        // written; sized when the line is written
  std::vector<ReportTable> tables;
  std::vector<ReportDataFile> dataFiles;
  timespec start{};
  // The parts of the walk that workers took (chunks of blocks of an UNLOAD,
  // stretches of SCAN DATABASE, data files of SCAN PARALLELDB), and which
  // workers took them (bit w: worker w, at most 64); none when the
  // command's own thread walked everything.
  uint64_t chunks = 0;
  uint64_t workersUsed = 0;

  void wrote(std::string name);
  // The calling thread takes a part that worker walked.
  void walkedBy(uint32_t worker) {
    workersUsed |= uint64_t{1} << (worker & 63);
    chunks++;
  }
  // The threads that walked the blocks: 1 when no worker took a part.
  uint32_t workers() const;
};

class RecoveryReport {
 public:
  static constexpr const char* kFileName = "BEXREPORT.JSONL";

  // path: the report file (in the dictionary directory).
  explicit RecoveryReport(std::string path) : path_(std::move(path)) {}

  const std::string& path() const { return path_; }
  // The entry the walkers tally into (also while none is open).
  ReportEntry& entry() { return entry_; }
  // A reported command starts: the entry is cleared and opened.
  void begin(const char* kind);
  // The statement has ended: an open entry becomes one line of the file
  // (its files sized now), with the statement text and whether it failed.
  // False when the line could not be written.
  bool finish(std::string_view statement, bool failed);

 private:
  std::string path_;
  ReportEntry entry_;
};

// JSON text of one entry (without the line end).
std::string reportLine(const ReportEntry& e, std::string_view statement, bool failed, const timespec& end);
// A JSON string literal of s: quotes, escapes, and bytes that are not UTF-8
// written as \u00XX.
void appendJsonString(std::string& out, std::string_view s);

}  // namespace bex
