// Segments of the dictionary scenario: a heap table or a cluster placed in
// a forged file as a segment header followed by its data blocks, rows packed
// in order. The rows come back in the order a block scan meets them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "forge/forge_file.h"
#include "forge/unload_rows.h"

namespace bex::forge {


// Where a segment lies: its header and the blocks after it.
struct SegmentPlace {
  uint32_t header = 0;
  uint32_t blocks = 0;  // data blocks used
};

// How rows are placed: rowFlags are added to the flag of every piece (kRowD:
// rows as a DROP leaves them, deleted but intact); without segmentHeader the
// blocks after `header` are filled and no segment header is written there.
struct PlaceMode {
  uint8_t rowFlags = 0;
  bool segmentHeader = true;
};

// Rows of a heap table (every stored column), packed into blocks
// header+1, header+2, ...; at most maxBlocks data blocks (0: no limit).
bool placeHeap(ForgeFile& f, uint32_t objd, uint32_t header, uint32_t maxBlocks, const std::vector<Row>& rows,
               SegmentPlace& out, std::string& error, PlaceMode mode = {});

// The member tables of a cluster: table t's rows (t = 1..n, index t - 1)
// each start with the keyColumns cluster key columns. Rows with the same key
// share one key row; a key and all its members stay in one block. Returns
// each table's rows in scan order in `ordered`.
bool placeCluster(ForgeFile& f, uint32_t objd, uint32_t header, uint32_t maxBlocks, size_t keyColumns,
                  const std::vector<std::vector<Row>>& tables, std::vector<std::vector<Row>>& ordered,
                  SegmentPlace& out, std::string& error, PlaceMode mode = {});

}  // namespace bex::forge
