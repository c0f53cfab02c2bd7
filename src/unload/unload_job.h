// UnloadJob: what one UNLOAD command is asked to do, built from its options
// (and, for a table, from the dictionary). Cleared at the start of every
// UNLOAD (a fresh one is made); lives only for the command.
#pragma once
#include <cstdint>
#include <string_view>

#include "dict/dictionary.h"
#include "base/limits.h"
#include "unload/column_counts.h"

namespace bex {

inline constexpr uint32_t kExtentNameMax = 127;
inline constexpr uint32_t kMaxUnknownWarnings = 5;  // per column position and command

// The tags a text or CSV unload writes after each field and each record.
// They view the run's settings or a style's own literals, both of which
// outlive the unload.
struct RowTags {
  std::string_view field = "|";
  std::string_view record = "\r\n";
};

struct UnloadJob {
  char tableArg[kFileNameMax + 1] = "";  // TABLE as typed (owner.table)
  char owner[kNameTokenMax + 1] = "";
  char table[kNameTokenMax + 1] = "";
  char partition[kNameTokenMax + 1] = "";
  char target[kFileNameMax + 1] = "";  // AS, upper-cased
  uint32_t objectOverride = 0;        // OBJECT
  uint32_t clusterTable = 0;          // CLUSTER
  uint32_t fileFilter = 0;            // FILE
  uint32_t blockFilter = 0;           // BLOCK
  uint32_t typeListLength = 0;        // COLUMN words given
  char outputName[kFileNameMax + 1] = "";  // TO; empty: the console
  char extentListing[kExtentNameMax + 1] = "";
  uint32_t chunkCount = 1;   // CHUNK, for the LOB readers
  uint32_t indexPrefix = 0;  // INDEX: "C%d=" before every value
  RowTags tags;              // the settings' when the unload starts
  // Code of positions beyond the column list: UNKNOWN for an object unload
  // (every column after the COLUMN words is shown in hexadecimal), SKIP for
  // a table.
  ColumnTypeCode fillCode = ColumnTypeCode::kSkip;
  TableColumns columns;  // column types, LOB index addresses and names
  uint8_t unknownWarnings[kMaxSegmentColumns] = {0};
  // Warned about after the unload: LOB values not recovered whole (and of
  // them those lost for want of a LOB map), values holding the field or
  // record tag (text style), values holding NUL bytes (CSV style).
  ColumnCounts lobLosses, taggedValues, nulValues;
  ColumnCounts lobLossesWithoutMap;  // of the LOB values not recovered: for want of a LOB map

  // A LOB value of column pos not recovered whole; withoutMap: its bytes are
  // out of line and no LOB map is open.
  void noteLobLoss(uint32_t pos, bool withoutMap) {
    lobLosses.note(pos);
    if (withoutMap) lobLossesWithoutMap.note(pos);
  }

  // The type and character-set data of column position pos (0-based).
  const ColumnSpec& column(uint32_t pos) const { return pos < kMaxSegmentColumns ? columns.column[pos] : fill_; }
  ColumnTypeCode code(uint32_t pos) const { return pos < kMaxSegmentColumns ? columns.column[pos].type : fillCode; }
  void setFill(ColumnTypeCode code) {
    fillCode = code;
    fill_.type = code;
  }

 private:
  ColumnSpec fill_;
};

}  // namespace bex
