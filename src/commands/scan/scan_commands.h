// SCAN: whole-database scans (DATABASE, PARALLELDB), segment header and
// table block dumps of one object (HEADER, DATA), the block-type census
// (BLOCK), and the rebuild of the LOB and column maps (MAP).
#pragma once
#include <cstdint>
#include <string>

#include "base/dict_directory.h"

namespace bex {

struct RunContext;
struct BlockContext;
class Sink;

void cmdScan(RunContext& rc);

inline constexpr unsigned kScanWorkers = 4;

// What one scan of a set of slots into a pair of listings gave.
struct ScanResult {
  uint64_t errors = 0;  // blocks that failed the checksum
  std::string failed;   // a listing that could not be created (nothing scanned)
  std::string unwritten;  // a listing whose writing failed (disk full)
  uint32_t files = 0;     // data files scanned by this thread (one thread or one PARALLELDB worker)
};

// SCAN DATABASE into the LOB and extent listings of dir.
ScanResult scanDatabase(BlockContext& bc, const DictDirectory& dir);
// SCAN PARALLELDB: four workers, per-worker listings merged in worker order.
// Listings that could not be created are named on out after the workers end.
void scanParallel(BlockContext& bc, const DictDirectory& dir, Sink& out);

}  // namespace bex
