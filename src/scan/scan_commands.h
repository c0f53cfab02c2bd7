// SCAN: whole-database scans (DATABASE, PARALLELDB), segment header and
// table block dumps of one object (HEADER, DATA), the block-type census
// (BLOCK), and the rebuild of the LOB and column maps (MAP).
#pragma once
#include <cstdint>
#include <string>

namespace bex {

struct RunContext;
struct BlockContext;

void cmdScan(RunContext& rc);

inline constexpr unsigned kScanWorkers = 4;

// SCAN DATABASE into dir/BEXLOB.TXT and dir/BEXEXT.TXT; returns the number
// of blocks that failed the checksum.
uint64_t scanDatabase(BlockContext& bc, const std::string& dir);
// SCAN PARALLELDB: four workers, per-worker listings merged in worker order.
void scanParallel(BlockContext& bc, const std::string& dir);

}  // namespace bex
