#include "block/block_dump.h"

#include "block/block_header.h"
#include "block/data_block.h"
#include "block/file_header.h"
#include "block/hex_dump.h"
#include "block/index_block.h"
#include "block/row_piece.h"
#include "block/segment_header.h"
#include "block/undo.h"
#include "base/rdba.h"

namespace bex {

void dumpCommonHeader(Sink& out, const BlockView& v) {
  uint32_t rdba = blockRdba(v);
  out.printf("RDBA=0x%08x(%u/%u),", rdba, rdbaFile(rdba), rdbaBlock(rdba));
}

void dumpTypeLine(Sink& out, const BlockView& v) {
  const BlockType type = blockType(v);
  out.printf("type=0x%02x (%s),fmt=0x%02x,seq=0x%02x,flag=0x%02x \n", typeCode(type), blockTypeName(type),
             blockFormat(v), blockSeq(v), blockFlag(v));
}

namespace {

// One line per column; parsed columns never run past the block, and the
// range is checked once more before its bytes are printed.
void dumpColumns(Sink& out, const BlockView& v, const ColumnList& cols) {
  for (uint32_t i = 0; i < cols.count; i++) {
    const ColumnRef& c = cols.col[i];
    out.printf("     col[%3d] offs=%5d len=%5d : ", i, c.offset, c.length);
    if (c.length == 0 || !v.has(c.offset, c.length)) {
      out.write(c.length == 0 ? "*NULL*\n" : "\n");
      continue;
    }
    putHexBytesSpaced(out, v.data + c.offset, c.length);
    out.put('\n');
  }
}

void dumpSegObjLine(Sink& out, const BlockView& v) {
  uint8_t typ = txnTyp(v);
  bool iot = typ == kTypIndex && (readIndexHeader(v).kdxcoopc & kIndexOpcodeIot);
  uint32_t objd = txnSegObj(v);
  out.printf("seg/obj=0x%08x=%u,csc=0x%04x.%08x,itc=%u,typ=%u - %s %s\n", objd, objd, txnCscWrap(v), txnCscBase(v),
             txnItc(v), typ, typ == kTypData ? "DATA" : "INDEX", iot ? "IOT" : " ");
}

void dumpItlList(Sink& out, const BlockView& v) {
  out.write("Transaction Slot:\n");
  out.write("id   xid-usn.slot.wrap   uba-rdba.row.seq   flag lock fsc/scn        \n");
  out.write("---- ------------------- ------------------ ---- ---- ---------------\n");
  const uint32_t itc = txnItc(v);
  for (uint32_t i = 0; i < itc && v.has(kItlOffset + kItlEntrySize * i, kItlEntrySize); i++) {
    ItlEntry e = readItl(v, i);
    auto f = [&](uint16_t bit, char c) { return (e.flagLock & bit) ? c : '-'; };
    out.printf("0x%02x 0x%04x.%03x.%08x 0x%08x.%04x.%02x %1c%1c%1c%1c %4d 0x%04x.%08x\n", i + 1, e.usn, e.slot & 0xFFF,
               e.wrap, e.ubaRdba, e.ubaSeq & 0xFFF, e.ubaRec, f(kItlFlagC, 'C'), f(kItlFlagB, 'B'), f(kItlFlagU, 'U'),
               f(kItlFlagT, 'T'), e.flagLock & 0xFFF, e.fscWrap, e.scnBase);
  }
}

void dumpTableRow(Sink& out, const BlockView& v, const DataHeader& h, uint32_t t, uint32_t k, uint16_t e,
                  ColumnList& cols) {
  if (e == kFreeDirEntry || e < h.nrow) {
    out.printf("    row#=%4d  offs=0x%04x=%5d\n", k, e, e);
    return;
  }
  cols.clear();
  if (h.flag & kDataFlagCompressed) parseCompressedRow(v, h, t, k, cols);
  else parseRowPiece(v, h, t, k, cols);
  char letters[8];
  rowFlagLetters(v.u8(h.hdsz + e), letters);
  out.printf("    row#=%4d  offs=0x%04x=%5d+%4d=0x%04x=%5d cc=%3d  flag=%.8s\n", k, e, e, h.hdsz, h.hdsz + e, h.hdsz + e,
             cols.count, letters);
  dumpColumns(out, v, cols);
}

void dumpTableHeader(Sink& out, const DataHeader& h) {
  out.printf("hdsz=%u\n", h.hdsz);
  out.printf("flag=0x%02x\n", h.flag);
  out.printf("ntab=%u\n", h.ntab);
  out.printf("nrow=%u\n", h.nrow);
  out.printf("ffre=%u\n", h.frre);
  out.printf("fsbo=0x%04x=%u\n", h.hdsz + h.fsbo, h.hdsz + h.fsbo);
  out.printf("fseo=0x%04x=%u\n", h.hdsz + h.fseo, h.hdsz + h.fseo);
  out.printf("avsp=0x%04x=%u\n", h.avsp, h.avsp);
  out.printf("tosp=0x%04x=%u\n", h.tosp, h.tosp);
}

void printTableLine(Sink& out, const BlockView& v, const DataHeader& h, uint32_t t) {
  out.printf("tab#=%3d     nrow=%4d     offs=%4d\n", t, tableRowCount(v, h, t), tableFirstRow(v, h, t));
}

// A block cannot hold more directory entries than half its bytes; damaged
// counts stop there instead of printing the same directory over and over.
void dumpTableBlock(Sink& out, const BlockView& v) {
  const DataHeader h = readDataHeader(v);
  dumpTableHeader(out, h);
  ColumnList cols;
  uint32_t budget = v.size / 2;
  for (uint32_t t = 0; t < h.ntab; t++) {
    printTableLine(out, v, h, t);
    const TableRows rows = tableRows(v, h, t);
    for (uint32_t k = 0; k < rows.inBlock && budget > 0; k++, budget--)
      dumpTableRow(out, v, h, t, k, tableRowEntry(v, rows, k), cols);
  }
}

void dumpEntryData(Sink& out, const BlockView& v, uint32_t start, uint32_t n) {
  static const char kUpperHex[] = "0123456789ABCDEF";
  out.write("     data=");
  for (uint32_t i = 0; i < n && v.has(start + i, 1); i++) {
    if (i % 4 == 0) out.put(' ');
    uint8_t b = v.data[start + i];
    out.put(kUpperHex[b >> 4]);
    out.put(kUpperHex[b & 15]);
  }
  out.put('\n');
}

void dumpIndexBlock(Sink& out, const BlockView& v) {
  const IndexHeader ih = readIndexHeader(v);
  dumpIndexHeader(out, ih);
  out.write("Index Rows:\n");
  const uint8_t dataSize = v.u8(ih.hdsz + kLeafDataSizeOffset);
  ColumnList cols;
  for (uint32_t r = 0; r < ih.kdxconro && v.has(ih.rowDir() + 2 * r, 2); r++) {
    uint16_t e = indexRowDirEntry(v, ih, r);
    out.printf("    row#=%u offset=0x%04x=%u+%u=0x%04x=%u\n", r, e, e, ih.hdsz, ih.hdsz + e, ih.hdsz + e);
    if (dataSize) dumpEntryData(out, v, ih.hdsz + e + 2, dataSize);
    if (ih.leaf()) {
      cols.clear();
      parseIndexEntry(v, r, cols);
      dumpColumns(out, v, cols);
    }
  }
}

void dumpFullRdbaLine(Sink& out, const BlockView& v) {
  uint32_t rdba = blockRdba(v);
  out.printf("RDBA=0x%08x(%u/%u)=%u,", rdba, rdbaFile(rdba), rdbaBlock(rdba), rdba);
  dumpTypeLine(out, v);
}

}  // namespace

void dumpTransData(Sink& out, const BlockView& v) {
  dumpFullRdbaLine(out, v);
  dumpSegObjLine(out, v);
  uint32_t nxt = txnNxt(v);
  out.printf("FLG=0x%02x, fls=%u, nxt=0x%08x(%u/%u)=%u\n", txnFlg(v), txnFls(v), nxt, rdbaFile(nxt), rdbaBlock(nxt),
             nxt);
  dumpItlList(out, v);
  if (txnTyp(v) == kTypData) {
    out.write("Block Data:\n");
    dumpTableBlock(out, v);
  } else if (txnTyp(v) == kTypIndex) {
    dumpIndexBlock(out, v);
  }
}

void blockDump(Sink& out, const BlockView& v, uint16_t transOffset, uint16_t transCount) {
  const BlockType type = blockType(v);
  if (type == BlockType::kTransData) {
    dumpTransData(out, v);
    out.put('\n');
    return;
  }
  dumpCommonHeader(out, v);
  dumpTypeLine(out, v);
  switch (type) {
    case BlockType::kUndoBlock: dumpUndoBlock(out, v); return;
    case BlockType::kFileHeader: dumpFileHeader(out, v); break;
    case BlockType::kUndoHeader:
    case BlockType::kSmuHeader: dumpUndoSegmentHeader(out, v, transOffset, transCount); return;
    default:
      if (hasExtentList(type)) dumpSegmentHeader(out, v);
      break;
  }
  out.put('\n');
}

void blockSummary(Sink& out, const BlockView& v, uint16_t transOffset, uint16_t transCount) {
  const BlockType type = blockType(v);
  if (isSegmentHeader(type)) {
    uint32_t rdba = blockRdba(v);
    out.printf("RDBA=0x%08x(%u/%u), ", rdba, rdbaFile(rdba), rdbaBlock(rdba));
    dumpTypeLine(out, v);
    out.printf("seg/obj=0x%08x=%u\n\n", dataObjectNumber(v), dataObjectNumber(v));
    return;
  }
  dumpCommonHeader(out, v);
  dumpTypeLine(out, v);
  switch (type) {
    case BlockType::kUndoBlock: dumpUndoBlock(out, v); return;
    case BlockType::kTransData: {
      dumpSegObjLine(out, v);
      const DataHeader h = readDataHeader(v);
      for (uint32_t t = 0; t < h.ntab; t++) printTableLine(out, v, h, t);
      break;
    }
    case BlockType::kFileHeader: dumpFileHeader(out, v); break;
    case BlockType::kUndoHeader:
    case BlockType::kSmuHeader: dumpUndoSegmentHeader(out, v, transOffset, transCount); return;
    case BlockType::kExtentMap: out.printf("seg/obj=0x%08x=%u\n", dataObjectNumber(v), dataObjectNumber(v)); break;
    default: break;
  }
  out.put('\n');
}

void blockDump(Sink& out, const BlockContext& bc) { blockDump(out, viewOf(bc), bc.transOffset, bc.transCount); }

void blockSummary(Sink& out, const BlockContext& bc) {
  blockSummary(out, viewOf(bc), bc.transOffset, bc.transCount);
}

}  // namespace bex
