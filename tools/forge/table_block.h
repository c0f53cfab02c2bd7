// Table blocks (type 0x06, typ 1): heap rows and cluster blocks. A cluster
// block keeps its key rows in table 0 (flag K H F L) and the member rows of
// each clustered table in tables 1..n (flag C, naming their key row).
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "forge/block_header.h"
#include "forge/expect.h"
#include "forge/row_piece.h"
#include "forge/trans_header.h"

namespace bex::forge {

struct TableRow {
  RowPiece piece;
  int32_t offset = -1;  // relative to hdsz; -1 packs it from the block end
  bool free = false;    // free row-directory entry
};

// Bytes left in the free space (old row images); absolute block offsets.
struct Junk {
  uint32_t offset = 0;
  Bytes bytes;
};

struct TableBlockSpec {
  BlockHeader hdr;  // type is set to 0x06
  TransHeader trans;
  Bytes flgExtra;   // the 8 bytes after the ITL list when FLG is 0x32
  std::vector<std::vector<TableRow>> tables{{}};
  std::optional<uint16_t> frre, avsp, tosp;
  std::vector<Junk> junk;
};

ForgeBlock buildTableBlock(const TableBlockSpec& s, uint32_t blockSize, ByteOrder order,
                           Facts& facts);

// Row directory of the written block, as "row"/"free" facts plus the block's
// "data"/"tab"/"itl" facts; shared with the compressed block builder.
std::string rowAddrText(const RowAddr& a);
std::string columnsText(const std::vector<Column>& cols);

}  // namespace bex::forge
