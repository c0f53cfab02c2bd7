// REPORT: the recovery report as one self-contained HTML page (no network,
// no scripts, no external fonts): a table of every unload with its rows,
// losses and files, from the report file, and a block map picture of every
// data file the last database scan read, from its block map file:
// one cell per group of blocks, coloured by what the scan found there, the
// blocks and objects named on hover.
#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/block_map.h"
#include "base/sink.h"
#include "report/json_value.h"

namespace bex {

struct ReportSources {
  std::vector<JsonValue> commands;  // the report's lines, oldest first
  std::vector<BlockRun> map;        // the last scan's block map
  std::unordered_map<uint32_t, std::string> objectNames;  // data object number: "OWNER.NAME"
  std::string generated;  // when the page was made
};

// Cells drawn at most for one data file.
inline constexpr uint32_t kMapCellsMax = 2048;

// Writes the page.
void writeReportPage(Sink& out, const ReportSources& s);

}  // namespace bex
