// The index block header of a type 0x06 block with transaction-header typ
// 2, at hdsz:
//   0 kdxcolev  1 kdxcolok  2 kdxcoopc  3 kdxconco  4 kdxcosdc  8 kdxconro
//  10 kdxcofbo 12 kdxcofeo 14 kdxcoavs
//  branch (level != 0): 16 kdxbrlmc  20 kdxbrsno  24 kdxbrbksz  28 row directory
//  leaf (level 0):      16 kdxlespl  18 kdxlende  20 kdxlenxt  24 kdxleprv
//                       28 kdxledsz  32 kdxlebksz 36 row directory
#pragma once
#include <cstdint>

#include "block/block_view.h"
#include "base/sink.h"

namespace bex {

inline constexpr uint8_t kIndexOpcodeIot = 0x10;  // kdxcoopc: index-organised table
inline constexpr uint32_t kBranchRowDir = 28;
inline constexpr uint32_t kLeafRowDir = 36;
inline constexpr uint32_t kLeafDataSizeOffset = 28;

struct IndexHeader {
  uint32_t hdsz;
  uint8_t kdxcolev, kdxcolok, kdxcoopc, kdxconco;
  uint32_t kdxcosdc;
  uint16_t kdxconro, kdxcofbo, kdxcofeo, kdxcoavs;
  // branch
  uint32_t kdxbrlmc, kdxbrsno;
  uint16_t kdxbrbksz;
  // leaf
  uint16_t kdxlespl, kdxlende;
  uint32_t kdxlenxt, kdxleprv;
  uint8_t kdxledsz;
  uint16_t kdxlebksz;

  bool leaf() const { return kdxcolev == 0; }
  uint32_t rowDir() const { return hdsz + (leaf() ? kLeafRowDir : kBranchRowDir); }
};

IndexHeader readIndexHeader(const BlockView& v);
// Row-directory entry r (an offset relative to hdsz); 0xFFFF when the
// directory slot lies outside the block.
uint16_t indexRowDirEntry(const BlockView& v, const IndexHeader& ih, uint32_t r);

// kdxcolev ... kdxcoavs, then the branch or leaf fields, one per line.
void dumpIndexHeader(Sink& out, const IndexHeader& ih);

}  // namespace bex
