#include "block/segment_header.h"

#include "block/block_header.h"
#include "base/rdba.h"

namespace bex {

namespace {

void readHwmFields(const BlockView& v, SegmentHeader& sh) {
  sh.exts = v.u32(36);
  sh.blks = v.u32(40);
  sh.extNo = v.u32(48);
  sh.hwmBlks = v.u32(52);
  sh.size = v.u32(56);
  sh.hwm = v.u32(60);
  sh.free = v.u32(72);
  sh.used = v.u32(76);
}

}  // namespace

SegmentHeader readSegmentHeader(const BlockView& v) {
  SegmentHeader sh{};
  sh.type = blockType(v);
  sh.objd = dataObjectNumber(v);
  if (sh.type == BlockType::kExtentMap || sh.type == BlockType::kPagetableMap) {
    sh.exts = sh.extentsHere = v.u32(20);
    sh.nextMap = v.u32(24);
    sh.extentList = 36;
  } else if (sh.type == BlockType::kPagetableHeader) {
    readHwmFields(v, sh);
    sh.extentsHere = v.u32(264);
    sh.nextMap = v.u32(268);
    sh.extentList = 280;
  } else {
    readHwmFields(v, sh);
    sh.extentsHere = v.u32(92);
    sh.nextMap = v.u32(96);
    sh.extentList = 108;
  }
  return sh;
}

uint32_t extentCount(const BlockView& v, const SegmentHeader& sh) {
  if (sh.extentList >= v.size) return 0;
  uint32_t fit = (v.size - sh.extentList) / kExtentEntrySize;
  return sh.extentsHere < fit ? sh.extentsHere : fit;
}

Extent readExtent(const BlockView& v, const SegmentHeader& sh, uint32_t i) {
  uint32_t e = sh.extentList + kExtentEntrySize * i;
  return Extent{v.u32(e), v.u32(e + 4)};
}

void dumpSegmentHeader(Sink& out, const BlockView& v) {
  const SegmentHeader sh = readSegmentHeader(v);
  out.printf("seg/obj=0x%08x=%u,exts=%u,blks=%u\n", sh.objd, sh.objd, sh.exts, sh.blks);
  out.printf("hwm=%u/%u,ext#=%u,blks=%u,size=%u,free=%u,used=%u\n", rdbaFile(sh.hwm), rdbaBlock(sh.hwm), sh.extNo,
             sh.hwmBlks, sh.size, sh.free, sh.used);
  out.printf("map=0x%08x=%u\n", sh.nextMap, sh.nextMap);
  out.write("extents:\n");
  const uint32_t n = extentCount(v, sh);
  for (uint32_t i = 0; i < n; i++) {
    Extent x = readExtent(v, sh, i);
    out.printf("%4d %8d %8d\n", static_cast<int>(rdbaFile(x.rdba)), static_cast<int>(rdbaBlock(x.rdba)),
               static_cast<int>(x.length));
  }
}

}  // namespace bex
