#include "forge/file_header.h"

namespace bex::forge {

uint32_t tsNumberOffset(uint8_t format) {
  if (format == 0x02) return 244;
  if (format == 0xa2 || format == 0xc2) return 332;
  return 336;
}

uint32_t tsNameOffset(uint8_t format) { return format == 0x02 ? 248 : 336; }

ForgeBlock buildOsHeader(uint32_t blockSize, ByteOrder order, uint32_t blocks) {
  ForgeBlock b(blockSize, order);
  b.put8(1, kFormat10g);
  b.put32(4, 0xffc00000);
  b.put32(20, blockSize);
  b.put32(24, blocks);
  b.put32(28, kOsHeaderMagic);
  // Oracle checksums block 0 without setting the checksum flag.
  b.putBE16(16, xorFoldBytes(b.data(), b.size()));
  return b;
}

ForgeBlock buildFileHeader(const FileHeaderSpec& s, uint32_t rdba, uint16_t fileNumber,
                           uint32_t blockSize, ByteOrder order, uint32_t blocks, Facts& facts) {
  ForgeBlock b(blockSize, order);
  BlockHeader h;
  h.type = kFileHeaderType;
  h.format = s.format;
  h.rdba = rdba;
  h.scnBase = s.scnBase;
  h.checksum = s.checksum;
  writeBlockHeader(b, h);
  b.put32(24, s.version);
  b.put32(28, s.dbid);
  std::string name = s.dbName.substr(0, 8);
  b.putText(32, name);
  b.put32(44, blocks);
  b.put32(48, blockSize);
  b.put16(52, fileNumber);
  b.put32(96, s.bs);
  b.put16(138, s.fuzzy);
  // The tablespace name goes first: with formats other than 0x02/0xa2/0xc2
  // its length field shares offset 336 with ts#, and ts# wins.
  b.put16(tsNameOffset(s.format), static_cast<uint16_t>(s.tsName.size()));
  b.putText(tsNameOffset(s.format) + 2, s.tsName);
  b.put32(tsNumberOffset(s.format), s.tsNumber);
  sealBlock(b, h);
  facts.push_back({"fhdr", format("dbid=%u db=%s ts#=%u ts=%s file#=%u blks=%u blksiz=%u ver=0x%08x",
                                  s.dbid, name.c_str(), s.tsNumber, s.tsName.c_str(), fileNumber,
                                  blocks, blockSize, s.version)});
  return b;
}

}  // namespace bex::forge
