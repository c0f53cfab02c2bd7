#include "block/index_block.h"

#include "block/data_block.h"

namespace bex {

IndexHeader readIndexHeader(const BlockView& v) {
  IndexHeader ih{};
  const uint32_t p = hdsz(v);
  ih.hdsz = p;
  ih.kdxcolev = v.u8(p);
  ih.kdxcolok = v.u8(p + 1);
  ih.kdxcoopc = v.u8(p + 2);
  ih.kdxconco = v.u8(p + 3);
  ih.kdxcosdc = v.u32(p + 4);
  ih.kdxconro = v.u16(p + 8);
  ih.kdxcofbo = v.u16(p + 10);
  ih.kdxcofeo = v.u16(p + 12);
  ih.kdxcoavs = v.u16(p + 14);
  if (ih.leaf()) {
    ih.kdxlespl = v.u16(p + 16);
    ih.kdxlende = v.u16(p + 18);
    ih.kdxlenxt = v.u32(p + 20);
    ih.kdxleprv = v.u32(p + 24);
    ih.kdxledsz = v.u8(p + kLeafDataSizeOffset);
    ih.kdxlebksz = v.u16(p + 32);
  } else {
    ih.kdxbrlmc = v.u32(p + 16);
    ih.kdxbrsno = v.u32(p + 20);
    ih.kdxbrbksz = v.u16(p + 24);
  }
  return ih;
}

uint16_t indexRowDirEntry(const BlockView& v, const IndexHeader& ih, uint32_t r) {
  uint32_t slot = ih.rowDir() + 2 * r;
  return v.has(slot, 2) ? v.u16(slot) : kFreeDirEntry;
}

void dumpIndexHeader(Sink& out, const IndexHeader& ih) {
  out.printf("kdxcolev=%u\n", ih.kdxcolev);
  out.printf("kdxcolok=%u\n", ih.kdxcolok);
  out.printf("kdxcoopc=0x%02x opcode=%u\n", ih.kdxcoopc, ih.kdxcoopc);
  out.printf("kdxconco=%u\n", ih.kdxconco);
  out.printf("kdxcosdc=%u\n", ih.kdxcosdc);
  out.printf("kdxconro=%u\n", ih.kdxconro);
  out.printf("kdxcofbo=%u=0x%04x\n", ih.kdxcofbo, ih.kdxcofbo);
  out.printf("kdxcofeo=%u=0x%04x\n", ih.kdxcofeo, ih.kdxcofeo);
  out.printf("kdxcoavs=%u\n", ih.kdxcoavs);
  if (!ih.leaf()) {
    out.printf("kdxbrlmc=%u=0x%08x\n", ih.kdxbrlmc, ih.kdxbrlmc);
    out.printf("kdxbrsno=%u\n", ih.kdxbrsno);
    out.printf("kdxbrbksz=%u\n", ih.kdxbrbksz);
    return;
  }
  out.printf("kdxlespl=%u\n", ih.kdxlespl);
  out.printf("kdxlende=%u\n", ih.kdxlende);
  out.printf("kdxlenxt=0x%08x=%u,kdxleprv=0x%08x=%u\n", ih.kdxlenxt, ih.kdxlenxt, ih.kdxleprv, ih.kdxleprv);
  out.printf("kdxledsz=%u\n", ih.kdxledsz);
  out.printf("kdxlebksz=%u\n", ih.kdxlebksz);
}

}  // namespace bex
