#include "forge/undo_block.h"

#include <algorithm>

#include "forge/values.h"

namespace bex::forge {

namespace {

constexpr uint32_t kUndoDirectory = 36, kUndoExtentList = 108, kUndoSlotSize = 40;
constexpr uint32_t kUndoTransTable = 104, kSmuTransOffset8k = 6096;

uint8_t undoHeaderType(const UndoSegmentSpec& s) {
  return s.hdr.type == kUndoHeader ? kUndoHeader : kUndoHeaderSmu;
}

// The offset field: its low 16 bits + 20 locate the 0x26 timestamps and the
// 0x0e transaction area; both follow the extent list.
uint32_t offsetField(const UndoSegmentSpec& s) {
  return kUndoExtentList + 8 * static_cast<uint32_t>(s.extents.size()) - 20;
}

void writeSlot(ForgeBlock& b, uint32_t at, const UndoTxSlot& t) {
  b.put16(at + 0, t.wrap);
  b.put16(at + 2, t.flag);
  b.put32(at + 4, t.rdba);
  b.put32(at + 8, t.scnBase);
  b.put16(at + 12, t.scnWrap);
  b.put16(at + 16, t.state);
  b.put16(at + 18, t.next);
  b.put32(at + 32, t.blocks);
  b.put32(at + 36, t.timestamp);
}

}  // namespace

ForgeBlock buildUndoBlock(const UndoBlockSpec& s, uint32_t blockSize, ByteOrder order, Facts& facts) {
  ForgeBlock b(blockSize, order);
  BlockHeader hdr = s.hdr;
  hdr.type = kUndoBlock;
  writeBlockHeader(b, hdr);
  const uint32_t cnt = static_cast<uint32_t>(s.records.size());
  if (cnt > 255) b.markOverflow();
  b.put16(20, s.usn);
  b.put16(22, static_cast<uint16_t>((s.slot & 0xfff) | (s.icl & 0xf) << 12));
  b.put32(24, s.wrap);
  b.put16(28, s.seq);
  b.put8(30, static_cast<uint8_t>(cnt));
  b.put8(31, s.irb);
  b.put16(32, s.flag);
  int64_t end = static_cast<int64_t>(blockSize) - kBlockTailSize;
  b.put16(34, static_cast<uint16_t>(end));
  Facts recs;
  for (uint32_t i = 0; i < cnt; ++i) {
    const int64_t start = end - static_cast<int64_t>(s.records[i].size());
    if (start < kUndoDirectory + 2 * cnt) {
      b.markOverflow();
      break;
    }
    b.put16(kUndoDirectory + 2 * i, static_cast<uint16_t>(start));
    b.putBytes(static_cast<uint32_t>(start), s.records[i]);
    recs.push_back({"urec", format("idx=%u offs=%lld len=%zu bytes=%s", i, static_cast<long long>(start),
                                   s.records[i].size(), hex(s.records[i]).c_str())});
    end = start;
  }
  sealBlock(b, hdr);
  facts.push_back({"undo", format("usn=%u slot=%u wrap=%u seq=%u cnt=%u", s.usn, s.slot & 0xfff,
                                  s.wrap, s.seq, cnt)});
  facts.insert(facts.end(), recs.begin(), recs.end());
  return b;
}

uint32_t undoDefaultSlots(uint8_t type, uint32_t blockSize) {
  if (blockSize != 8192) return 8;
  return type == kUndoHeader ? 98 : 34;
}

uint32_t undoTransOffset(const UndoSegmentSpec& s, uint32_t blockSize) {
  const uint32_t afterList = offsetField(s) + 20;
  if (undoHeaderType(s) == kUndoHeader) return afterList;
  if (blockSize == 8192) return kSmuTransOffset8k;
  // Other sizes have no usual place: put it after the timestamps, 4-aligned.
  return (afterList + 4 * static_cast<uint32_t>(s.extents.size()) + 3) & ~3u;
}

ForgeBlock buildUndoSegment(const UndoSegmentSpec& s, uint32_t blockSize, ByteOrder order,
                            Facts& facts) {
  ForgeBlock b(blockSize, order);
  BlockHeader hdr = s.hdr;
  hdr.type = undoHeaderType(s);
  writeBlockHeader(b, hdr);
  for (int i = 0; i < 4; ++i) b.put32(20 + 4 * i, s.spare[i]);
  uint32_t blocks = s.blocks;
  if (blocks == 0)
    for (const Extent& e : s.extents) blocks += e.length;
  const uint32_t off = offsetField(s);
  b.put32(36, static_cast<uint32_t>(s.extents.size()));
  b.put32(40, blocks);
  b.put32(44, off);
  b.put32(48, s.hwmExt);
  b.put32(52, s.hwmBlk);
  b.put32(56, s.hwmBlocks);
  b.put32(60, s.hwmRdba);
  b.put32(92, static_cast<uint32_t>(s.extents.size()));
  b.put32(96, s.mapRdba);
  b.put32(100, s.object);
  b.put32(104, s.flag);
  Facts extents;
  for (size_t i = 0; i < s.extents.size(); ++i) {
    b.put32(kUndoExtentList + 8 * static_cast<uint32_t>(i), s.extents[i].rdba);
    b.put32(kUndoExtentList + 8 * static_cast<uint32_t>(i) + 4, s.extents[i].length);
    extents.push_back({"extent", format("idx=%zu rdba=0x%08x len=%u", i, s.extents[i].rdba,
                                        s.extents[i].length)});
  }
  if (hdr.type == kUndoHeaderSmu)
    for (size_t i = 0; i < s.timestamps.size() && i < s.extents.size(); ++i)
      b.put32(off + 20 + 4 * static_cast<uint32_t>(i), s.timestamps[i]);

  const uint32_t t = undoTransOffset(s, blockSize);
  // The area must not overlap the extent list (nor the timestamps of 0x26).
  const size_t stamps = hdr.type == kUndoHeaderSmu ? 4 * s.extents.size() : 0;
  if (t < off + 20 + stamps) b.markOverflow();
  b.put32(t + 0, s.scnBase);
  b.put16(t + 4, s.scnWrap);
  b.put32(t + 8, s.ubaRdba);
  b.put16(t + 12, s.ubaSeq);
  b.put16(t + 14, s.ubaRec);
  std::vector<UndoTxSlot> slots = s.slots;
  if (slots.empty()) slots.resize(undoDefaultSlots(hdr.type, blockSize));
  for (size_t j = 0; j < slots.size(); ++j)
    writeSlot(b, t + kUndoTransTable + kUndoSlotSize * static_cast<uint32_t>(j), slots[j]);
  if (t + kUndoTransTable + kUndoSlotSize * slots.size() > blockSize - kBlockTailSize) b.markOverflow();
  sealBlock(b, hdr);

  facts.push_back({"useg", format("type=0x%02x extents=%zu blocks=%u trans=%u tcount=%zu", hdr.type,
                                  s.extents.size(), blocks, t, slots.size())});
  facts.insert(facts.end(), extents.begin(), extents.end());
  for (size_t j = 0; j < slots.size(); ++j)
    if (slots[j].rdba || slots[j].state != 9 || slots[j].wrap)
      facts.push_back({"tslot", format("idx=%zu wrap=%u state=%u rdba=0x%08x scn=0x%04x.%08x", j,
                                       slots[j].wrap, slots[j].state, slots[j].rdba,
                                       slots[j].scnWrap, slots[j].scnBase)});
  return b;
}

}  // namespace bex::forge
