#include "block/file_header.h"

#include "block/block_header.h"

namespace bex {

namespace {

// Copies up to max bytes from off, stopping at a zero byte or the block end.
void copyText(const BlockView& v, uint32_t off, uint32_t max, char* out) {
  uint32_t n = 0;
  while (n < max && v.has(off + n, 1) && v.data[off + n] != 0) {
    out[n] = static_cast<char>(v.data[off + n]);
    n++;
  }
  out[n] = 0;
}

}  // namespace

uint32_t fileHeaderTsOffset(uint8_t format) {
  if (format == 0x02) return 244;
  if (format == 0xA2 || format == 0xC2) return 332;
  return 336;
}

uint32_t fileHeaderTsNameOffset(uint8_t format) { return format == 0x02 ? 248 : 336; }

FileHeader readFileHeader(const BlockView& v) {
  FileHeader fh{};
  fh.format = blockFormat(v);
  fh.ver = v.u32(24);
  fh.dbid = v.u32(28);
  copyText(v, 32, kDbNameLength, fh.dbName);
  fh.blks = v.u32(44);
  fh.blksiz = v.u32(48);
  fh.fileNo = v.u16(52);
  fh.bs = v.u32(96);
  fh.fuzzy = static_cast<uint8_t>(v.u16(138));
  fh.tsNo = v.u32(fileHeaderTsOffset(fh.format));
  uint32_t nameAt = fileHeaderTsNameOffset(fh.format);
  uint16_t len = v.u16(nameAt);
  if (len >= 1 && len <= kTsNameMax) copyText(v, nameAt + 2, len, fh.tsName);
  return fh;
}

void dumpFileHeader(Sink& out, const BlockView& v) {
  const FileHeader fh = readFileHeader(v);
  auto flag = [&](uint8_t bit, char c) { return (fh.fuzzy & bit) ? c : '-'; };
  out.printf("DBID=0x%08x=%u,db=%s,ts#=%u,ts=%s,file#=%u,blksiz=%u,blks=%u,ver=0x%08x,fzy=%c%c%c%c, bs=%u\n", fh.dbid,
             fh.dbid, fh.dbName, fh.tsNo, fh.tsName, fh.fileNo, fh.blksiz, fh.blks, fh.ver, flag(kFuzzyA, 'A'),
             flag(kFuzzyR, 'R'), flag(kFuzzyO, 'O'), flag(kFuzzyH, 'H'), fh.bs);
}

}  // namespace bex
