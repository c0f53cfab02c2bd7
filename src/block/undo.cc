#include "block/undo.h"

#include "block/block_header.h"
#include "base/limits.h"

namespace bex {

namespace {

inline constexpr uint32_t kEightK = 8192;
inline constexpr uint32_t kSmuTransBase8K = 6096;
inline constexpr uint32_t kTransAreaBias = 20;

}  // namespace

UndoBlock readUndoBlock(const BlockView& v) {
  UndoBlock u{};
  u.usn = v.u16(20);
  uint16_t slotIcl = v.u16(22);
  u.slot = slotIcl & 0xFFF;
  u.icl = static_cast<uint8_t>(slotIcl >> 12);
  u.wrap = v.u32(24);
  u.seq = v.u16(28);
  u.cnt = v.u8(30);
  u.irb = v.u8(31);
  u.flag = v.u16(32);
  u.end = v.u16(34);
  return u;
}

uint16_t undoRecordOffset(const BlockView& v, uint32_t i) { return v.u16(kUndoRecordDir + 2 * i); }

uint16_t undoRecordLength(const BlockView& v, uint32_t i) {
  uint16_t upper = i == 0 ? v.u16(34) : undoRecordOffset(v, i - 1);
  return static_cast<uint16_t>(upper - undoRecordOffset(v, i));
}

void dumpUndoBlock(Sink& out, const BlockView& v) {
  const UndoBlock u = readUndoBlock(v);
  out.printf("UNDO BLK: xid=0x%04x.%03x.%08x, seq=0x%04x\n", u.usn, u.slot, u.wrap, u.seq);
  out.printf("          cnt=0x%04x=%u, irb=0x%02x, icl=%u, flag=0x%04x\n", u.cnt, u.cnt, u.irb, u.icl, u.flag);
  out.write("       rec Offset Length        rec Offset Length        rec Offset Length \n");
  out.write("---------- ------ ------ ---------- ------ ------ ---------- ------ ------ \n");
  for (uint32_t i = 0; i < u.cnt; i++) {
    out.printf("  %03u/0x%02x 0x%04x %6u ", i + 1, i + 1, undoRecordOffset(v, i), undoRecordLength(v, i));
    if ((i + 1) % 3 == 0) out.put('\n');
  }
  if (u.cnt % 3 != 0) out.put('\n');
}

uint32_t transAreaBase(const BlockView& v, uint16_t transOffset) {
  if (transOffset) return transOffset;
  if (blockType(v) == BlockType::kSmuHeader) return v.size == kEightK ? kSmuTransBase8K : kTransAreaBias;
  return (v.u32(44) & 0xFFFF) + kTransAreaBias;
}

uint32_t transEntryCount(const BlockView& v, uint16_t transCount) {
  if (transCount) return transCount;
  if (v.size != kEightK) return 0;
  return blockType(v) == BlockType::kUndoHeader ? kTransCountUndoHeader8K : kTransCountSmuHeader8K;
}

namespace {

void dumpUndoExtents(Sink& out, const BlockView& v, uint32_t count) {
  out.write("Extent Map \n");
  out.write("   Ext       RDBA   Length    Timestamp   Ext       RDBA   Length    Timestamp\n");
  out.write(" ----- ---------- -------- ------------ ----- ---------- -------- ------------\n");
  const bool stamped = blockType(v) == BlockType::kSmuHeader;
  const uint32_t stampBase = (v.u32(44) & 0xFFFF) + kTransAreaBias;
  for (uint32_t i = 0; i < count; i++) {
    uint32_t e = kUndoExtentList + 8 * i;
    uint32_t stamp = stamped ? v.u32(stampBase + 4 * i) : 0;
    out.printf(" %5u 0x%08x %8u %12u", i + 1, v.u32(e), v.u32(e + 4), stamp);
    if ((i + 1) % 2 == 0) out.put('\n');
  }
}

// Entries that lie wholly inside the block.
uint32_t fitting(const BlockView& v, uint32_t base, uint32_t size, uint32_t wanted) {
  if (base >= v.size) return 0;
  uint32_t fit = (v.size - base) / size;
  return wanted < fit ? wanted : fit;
}

void dumpTransTable(Sink& out, const BlockView& v, uint32_t t, uint32_t count) {
  out.put('\n');
  out.printf("     TCL: scn=0x%04x.%08x, uba=0x%08x.%04x.%02x\n", v.u16(t + 4), v.u32(t), v.u32(t + 8), v.u16(t + 12),
             v.u16(t + 14) & 0xFF);
  out.write("     TBL:\n");
  out.write("  Slot   Wrap Sta       rdba   flag Next             scn     blocks   timstamp\n");
  out.write("  ---- ------ --- ---------- ------ ---- --------------- ---------- ----------\n");
  for (uint32_t j = 0; j < count; j++) {
    uint32_t e = t + kTransTableOffset + kTransEntrySize * j;
    out.printf("  0x%02x 0x%04x %3d 0x%08x 0x%04x 0x%02x 0x%04x.%08x %10u %10u\n", j, v.u16(e), v.u16(e + 16) & 0xFF,
               v.u32(e + 4), v.u16(e + 2) & 0xFF, v.u16(e + 18) & 0xFF, v.u16(e + 12), v.u32(e + 8), v.u32(e + 32),
               v.u32(e + 36));
  }
}

}  // namespace

void dumpUndoSegmentHeader(Sink& out, const BlockView& v, uint16_t transOffset, uint16_t transCount) {
  out.printf("UNDO SEG: spare1=0x%08x=%u, spare2=0x%08x=%u\n", v.u32(20), v.u32(20), v.u32(24), v.u32(24));
  out.printf("          spare3=0x%08x=%u, spare4=0x%08x=%u\n", v.u32(28), v.u32(28), v.u32(32), v.u32(32));
  out.printf("          extents=%u, blocks=%u, offset=%u\n", v.u32(36), v.u32(40), v.u32(44));
  out.printf("     HWM: rdba=0x%08x=%u, ext#=%u, blk#=%u, blocks=%u\n", v.u32(60), v.u32(60), v.u32(48), v.u32(52),
             v.u32(56));
  out.printf("     MAP: rdba=0x%08x=%u, extents=%u, object=%u, flag=0x%08x\n", v.u32(96), v.u32(96), v.u32(92),
             v.u32(100), v.u32(104));
  uint32_t lastCount = fitting(v, kUndoExtentList, 8, v.u32(92));
  dumpUndoExtents(out, v, lastCount);
  uint32_t t = transAreaBase(v, transOffset);
  if (t != 0) {
    lastCount = fitting(v, t + kTransTableOffset, kTransEntrySize, transEntryCount(v, transCount));
    dumpTransTable(out, v, t, lastCount);
  }
  if (lastCount % 2 != 0) out.put('\n');
}

}  // namespace bex
