// Undo blocks (type 0x02) and undo segment headers (types 0x0E, 0x26).
//
// Undo block: 20 xid usn, 22 xid slot (bits 0-11) and icl (12-15),
//   24 xid wrap, 28 seq, 30 cnt, 31 irb, 32 flag, 34 end of the record
//   area, 36 + 2i offset of record i. Record i ends where record i - 1
//   starts (record 0 at the end of the area).
//
// Undo segment header: 20..32 spare1-4, 36 extents, 40 blocks, 44 offset,
//   48 HWM ext#, 52 HWM blk#, 56 HWM blocks, 60 HWM rdba, 92 map extents,
//   96 map rdba, 100 object, 104 flag, 108 + 8i extent i (rdba, length).
//   The transaction area T holds the control (SCN, uba) and from T + 104
//   the transaction table, 40 bytes per entry.
#pragma once
#include <cstdint>

#include "block/block_view.h"
#include "base/sink.h"

namespace bex {

inline constexpr uint32_t kUndoRecordDir = 36;
inline constexpr uint32_t kUndoExtentList = 108;
inline constexpr uint32_t kTransTableOffset = 104;
inline constexpr uint32_t kTransEntrySize = 40;

struct UndoBlock {
  uint16_t usn;
  uint16_t slot;  // low 12 bits
  uint8_t icl;    // top 4 bits of the slot field
  uint32_t wrap;
  uint16_t seq;
  uint8_t cnt;
  uint8_t irb;
  uint16_t flag;
  uint16_t end;
};

UndoBlock readUndoBlock(const BlockView& v);
uint16_t undoRecordOffset(const BlockView& v, uint32_t i);
// 16-bit difference between the record's upper bound and its offset.
uint16_t undoRecordLength(const BlockView& v, uint32_t i);

// Where the transaction area starts: TRANS_OFFSET when set; otherwise for
// type 0x26 6096 in 8 KiB blocks and 20 in others, for type 0x0E the low
// 16 bits of the offset field plus 20.
uint32_t transAreaBase(const BlockView& v, uint16_t transOffset);
// Entries of the transaction table: TRANS_COUNT when set; otherwise in
// 8 KiB blocks 98 (0x0E) or 34 (0x26), and 0 for other block sizes.
uint32_t transEntryCount(const BlockView& v, uint16_t transCount);

void dumpUndoBlock(Sink& out, const BlockView& v);
void dumpUndoSegmentHeader(Sink& out, const BlockView& v, uint16_t transOffset, uint16_t transCount);

}  // namespace bex
