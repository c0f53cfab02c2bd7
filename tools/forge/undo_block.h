// Undo blocks (type 0x02) and undo segment headers (types 0x0e and 0x26).
//
// Undo block: 20 xid usn  22 xid slot (12 bits) | icl << 12  24 xid wrap
//   28 seq  30 cnt  31 irb  32 flag  34 end of the record area
//   36 + 2i offset of record i; record i runs up to record i-1 (record 0 up
//   to the end value), so records are stacked downward from the end.
//
// Undo segment header: 20..32 spare1-4  36 extents  40 blocks  44 offset
//   48 HWM ext#  52 HWM blk#  56 HWM blocks  60 HWM rdba  92 map extents
//   96 map rdba  100 object  104 flag  108 + 8i extents (rdba, length).
//   Type 0x26 keeps a 32-bit timestamp per extent at offset + 20 + 4i.
//   Transaction area T: type 0x0e at offset + 20; type 0x26 at 6096 in 8 KiB
//   blocks (elsewhere at a place of the forge's choosing, see the facts).
//   T: +0 SCN base +4 SCN wrap +8 uba rdba +12 uba seq +14 uba record;
//   entry j at T + 104 + 40j: +0 wrap +2 flag +4 rdba +8 SCN base
//   +12 SCN wrap +16 state +18 next +32 blocks +36 timestamp.
#pragma once
#include <cstdint>
#include <vector>

#include "forge/block_header.h"
#include "forge/expect.h"
#include "forge/segment_header.h"

namespace bex::forge {

inline constexpr uint8_t kUndoBlock = 0x02, kUndoHeader = 0x0e, kUndoHeaderSmu = 0x26;

struct UndoBlockSpec {
  BlockHeader hdr;
  uint16_t usn = 0, slot = 0;
  uint8_t icl = 0;
  uint32_t wrap = 0;
  uint16_t seq = 0;
  uint8_t irb = 0;
  uint16_t flag = 0;
  std::vector<Bytes> records;
};

ForgeBlock buildUndoBlock(const UndoBlockSpec& s, uint32_t blockSize, ByteOrder order, Facts& facts);

struct UndoTxSlot {
  uint16_t wrap = 0;
  uint8_t flag = 0;
  uint32_t rdba = 0;
  uint32_t scnBase = 0;
  uint16_t scnWrap = 0;
  uint8_t state = 9;  // 9 inactive, 10 active
  uint8_t next = 0;
  uint32_t blocks = 0;
  uint32_t timestamp = 0;
};

struct UndoSegmentSpec {
  BlockHeader hdr;  // type 0x26 (default) or 0x0e
  uint32_t spare[4] = {0, 0, 0, 0};
  uint32_t blocks = 0;  // 0: sum of the extent lengths
  uint32_t hwmExt = 0, hwmBlk = 0, hwmBlocks = 0, hwmRdba = 0;
  uint32_t mapRdba = 0, object = 0, flag = 0;
  std::vector<Extent> extents;
  std::vector<uint32_t> timestamps;  // type 0x26: one per extent
  uint32_t scnBase = 0;
  uint16_t scnWrap = 0;
  uint32_t ubaRdba = 0;
  uint16_t ubaSeq = 0;
  uint8_t ubaRec = 0;
  std::vector<UndoTxSlot> slots;  // empty: the usual count for the block size
};

// Where the transaction area goes, and how many entries a default table has.
uint32_t undoTransOffset(const UndoSegmentSpec& s, uint32_t blockSize);
uint32_t undoDefaultSlots(uint8_t type, uint32_t blockSize);

ForgeBlock buildUndoSegment(const UndoSegmentSpec& s, uint32_t blockSize, ByteOrder order,
                            Facts& facts);

}  // namespace bex::forge
