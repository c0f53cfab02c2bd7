#include "block/data_block.h"

namespace bex {

uint32_t hdsz(const BlockView& v) {
  uint32_t size = kItlOffset + kItlEntrySize * txnItc(v);
  if (txnFlg(v) == kFlgExtended) size += kFlgExtendedBytes;
  return size;
}

ItlEntry readItl(const BlockView& v, uint32_t i) {
  uint32_t e = kItlOffset + kItlEntrySize * i;
  ItlEntry itl;
  itl.usn = v.u16(e);
  itl.slot = v.u16(e + 2);
  itl.wrap = v.u32(e + 4);
  itl.ubaRdba = v.u32(e + 8);
  itl.ubaSeq = v.u16(e + 12);
  itl.ubaRec = v.u8(e + 14);
  itl.flagLock = v.u16(e + kItlFlagLockOffset);
  itl.fscWrap = v.u16(e + 18);
  itl.scnBase = v.u32(e + 20);
  return itl;
}

DataHeader readDataHeader(const BlockView& v) {
  DataHeader h{};
  h.hdsz = hdsz(v);
  uint32_t p = h.hdsz;
  h.flag = v.u8(p);
  h.ntab = v.u8(p + 1);
  h.nrow = v.u16(p + 2);
  h.frre = v.u16(p + 4);
  h.fsbo = v.u16(p + 6);
  h.fseo = v.u16(p + 8);
  h.avsp = v.u16(p + 10);
  h.tosp = v.u16(p + 12);
  uint32_t c = 0;
  if (h.flag & kDataFlagCompressed) {
    uint32_t ch = p + kDataHeaderSize;
    h.symbolRows = v.u16(ch + 2);
    h.lengthCount = v.u8(ch + 5);
    h.trailerBytes = v.u8(ch + 6);
    h.lengthArray = ch + kCompressionFixedSize;
    c = kCompressionFixedSize + 2u * h.lengthCount + h.trailerBytes;
    c += c & 1;
  }
  h.compressionSize = c;
  h.tableDir = p + kDataHeaderSize + c;
  h.rowDir = h.tableDir + 4u * h.ntab;
  return h;
}

uint16_t rowDirEntry(const BlockView& v, const DataHeader& h, uint32_t table, uint32_t row) {
  if (table >= h.ntab || row >= tableRowCount(v, h, table)) return kFreeDirEntry;
  const uint32_t at = h.rowDir + 2 * (tableFirstRow(v, h, table) + row);
  return v.has(at, 2) ? v.u16(at) : kFreeDirEntry;
}

TableRows tableRows(const BlockView& v, const DataHeader& h, uint32_t table) {
  TableRows t;
  if (table >= h.ntab) return t;
  t.at = h.rowDir + 2 * tableFirstRow(v, h, table);
  t.count = tableRowCount(v, h, table);
  const uint32_t room = t.at < v.size ? (v.size - t.at) / 2 : 0;
  t.inBlock = t.count < room ? t.count : room;
  return t;
}

}  // namespace bex
