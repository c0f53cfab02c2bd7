#include "forge/segment_header.h"

#include <algorithm>

namespace bex::forge {

namespace {

struct ExtentFields {
  uint32_t here, next, objd, list;
};

ExtentFields fieldsOf(uint8_t type) {
  switch (type) {
    case kSegHeaderPaged: return {264, 268, 272, 280};
    case kExtentMap: return {20, 24, 28, 36};
    case kExtentMapPaged: return {20, 24, 0, 36};
    default: return {92, 96, 100, 108};
  }
}

uint8_t mapTypeFor(uint8_t headerType) {
  return headerType == kSegHeaderPaged ? kExtentMapPaged : kExtentMap;
}

// Writes one block's share of the list; returns how many extents it took.
size_t writeExtents(ForgeBlock& b, uint8_t type, const std::vector<Extent>& all, size_t from,
                    uint32_t cap, uint32_t nextMap, Facts& facts) {
  const ExtentFields f = fieldsOf(type);
  size_t n = std::min<size_t>(cap, all.size() - from);
  b.put32(f.here, static_cast<uint32_t>(n));
  b.put32(f.next, nextMap);
  for (size_t i = 0; i < n; ++i) {
    const Extent& e = all[from + i];
    b.put32(f.list + 8 * static_cast<uint32_t>(i), e.rdba);
    b.put32(f.list + 8 * static_cast<uint32_t>(i) + 4, e.length);
    facts.push_back({"extent", format("idx=%zu rdba=0x%08x len=%u", from + i, e.rdba, e.length)});
  }
  return n;
}

}  // namespace

uint32_t extentCapacity(uint8_t type, uint32_t blockSize) {
  return (blockSize - kBlockTailSize - fieldsOf(type).list) / 8;
}

uint32_t segmentObjdOffset(uint8_t type) { return fieldsOf(type).objd; }

SegmentBlocks buildSegment(const SegmentSpec& s, uint32_t blockSize, ByteOrder order,
                           Facts& facts) {
  SegmentBlocks out;
  const uint8_t type = s.hdr.type == kSegHeaderPaged ? kSegHeaderPaged : kSegHeader;
  const uint8_t mapType = mapTypeFor(type);
  BlockHeader hdr = s.hdr;
  hdr.type = type;
  ForgeBlock& b = out.header = ForgeBlock(blockSize, order);
  writeBlockHeader(b, hdr);
  uint32_t blocks = s.blocks;
  if (blocks == 0)
    for (const Extent& e : s.extents) blocks += e.length;
  b.put32(36, static_cast<uint32_t>(s.extents.size()));
  b.put32(40, blocks);
  b.put32(48, s.hwmExt);
  b.put32(52, s.hwmBlocks);
  b.put32(56, s.hwmSize);
  b.put32(60, s.hwmRdba);
  b.put32(72, s.free);
  b.put32(76, s.used);
  b.put32(fieldsOf(type).objd, s.objd);

  const uint32_t headCap = s.perHeader ? s.perHeader : extentCapacity(type, blockSize);
  const uint32_t mapCap = s.perMap ? s.perMap : extentCapacity(mapType, blockSize);
  const uint32_t firstMap = s.mapRdbas.empty() ? 0 : s.mapRdbas[0];
  Facts mine;
  size_t done = writeExtents(b, type, s.extents, 0, headCap, firstMap, mine);
  facts.push_back({"seg", format("type=0x%02x objd=%u exts=%zu blks=%u hwm=0x%08x map=0x%08x here=%zu",
                                 type, s.objd, s.extents.size(), blocks, s.hwmRdba, firstMap, done)});
  facts.insert(facts.end(), mine.begin(), mine.end());

  for (size_t m = 0; m < s.mapRdbas.size(); ++m) {
    BlockHeader mh = s.hdr;
    mh.type = mapType;
    mh.rdba = s.mapRdbas[m];
    ForgeBlock mb(blockSize, order);
    writeBlockHeader(mb, mh);
    if (mapType == kExtentMap) mb.put32(fieldsOf(mapType).objd, s.objd);
    const uint32_t next = m + 1 < s.mapRdbas.size() ? s.mapRdbas[m + 1] : 0;
    Facts mf;
    size_t before = done;
    done += writeExtents(mb, mapType, s.extents, done, mapCap, next, mf);
    // A map block's extent count is its own "extents here" word.
    mf.insert(mf.begin(), {"seg", format("type=0x%02x objd=%u exts=%zu blks=0 hwm=0x00000000 "
                                         "map=0x%08x here=%zu",
                                         mapType, mapType == kExtentMap ? s.objd : 0,
                                         done - before, next, done - before)});
    sealBlock(mb, mh);
    out.maps.push_back(std::move(mb));
    out.mapFacts.push_back(std::move(mf));
  }
  if (done < s.extents.size()) b.markOverflow();
  sealBlock(b, hdr);
  return out;
}

}  // namespace bex::forge
