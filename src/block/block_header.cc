#include "block/block_header.h"

#include <initializer_list>

#include "base/block_context.h"
#include "block/data_block.h"
#include "block/lob_block.h"

namespace bex {

const BlockTypeEntry kBlockTypeTable[] = {
    {0x02, "KTU UNDO BLOCK"},
    {0x06, "trans data"},
    {0x0E, "KTU UNDO HEADER W/UNLIMITED EXTENTS"},
    {0x10, "DATA SEGMENT HEADER - UNLIMITED"},
    {0x17, "BITMAPPED DATA SEGMENT HEADER"},
    {0x19, "BITMAP INDEX BLOCK"},
    {0x1A, "BITMAP BLOCK"},
    {0x1B, "LOB BLOCK BLOB"},
    {0x1D, "KTFB Bitmapped File Space Header"},
    {0x1E, "KTFB Bitmapped File Space Bitmap"},
    {0x20, "FIRST LEVEL BITMAP BLOCK"},
    {0x21, "SECOND LEVEL BITMAP BLOCK"},
    {0x23, "PAGETABLE SEGMENT HEADER"},
    {0x26, "KTU SMU HEADER BLOCK"},
    {0x28, "LOB BLOCK CLOB"},
    {0x3D, "NGLOB: Hash Bucket"},
    {0x3E, "NGLOB: Committed Free Space"},
    {0x3F, "NGLOB: Segment Header"},
    {0x40, "NGLOB: Persistent Undo"},
    {0x45, "NGLOB: Lob Extent Header"},
    {0x50, "KTFBN File Space Property Map"},
    {0x51, "Stats Segment Header"},
    {0x52, "Stats Map"},
    {0x53, "Stats Map Summary"},
    {0x54, "Stats bitmap"},
    {0x00, "Unknown Block"},
};

const char* blockTypeName(BlockType type) {
  const BlockTypeEntry* e = kBlockTypeTable;
  while (e->code != 0 && static_cast<uint8_t>(e->code) != typeCode(type)) e++;
  return e->name;
}

namespace {

struct DataFileTypes {
  bool known[256] = {};
  DataFileTypes() {
    for (const BlockTypeEntry* e = kBlockTypeTable; e->code != 0; e++) known[static_cast<uint8_t>(e->code)] = true;
    for (BlockType t : {BlockType::kFileHeader, BlockType::kSegmentHeader11, BlockType::kExtentMap,
                        BlockType::kPagetableMap})
      known[typeCode(t)] = true;
  }
};

const DataFileTypes kDataFileTypes;

}  // namespace

bool isDataFileBlockType(BlockType type) { return kDataFileTypes.known[typeCode(type)]; }

uint32_t dataObjectOffset(BlockType type) {
  switch (type) {
    case BlockType::kTransData: return kTxnSegObjOffset;
    case BlockType::kSegmentHeader:
    case BlockType::kSegmentHeader11: return 100;
    case BlockType::kExtentMap: return 28;
    case BlockType::kLobBlob:
    case BlockType::kLobClob: return kLobObjdOffset;
    case BlockType::kPagetableHeader: return 272;
    default: return 0;
  }
}

uint32_t dataObjectNumber(const BlockView& v) {
  uint32_t off = dataObjectOffset(blockType(v));
  return off ? v.u32(off) : 0;
}

BlockView viewOf(const BlockContext& bc) { return BlockView{bc.block, bc.block ? bc.blockSize : 0u, bc.byteOrder}; }

}  // namespace bex
