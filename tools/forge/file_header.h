// The first two blocks of a data file.
//
// Block 0, the OS header block: type 0x00, rdba 0xffc00000, block size at 20,
// block count at 24, magic 0x7a7b7c7d at 28.
//
// Block 1, the data file header (type 0x0b):
//   24 version  28 DBID  32 database name (8 chars)  44 blocks  48 block size
//   52 file#  96 bs  138 fuzzy flags
//   ts# at 244 (format 0x02), 332 (0xa2, 0xc2) or 336 (other formats);
//   tablespace name: 16-bit length at 248 (format 0x02) or 336, then the name.
#pragma once
#include <cstdint>
#include <string>

#include "forge/block_header.h"
#include "forge/expect.h"

namespace bex::forge {

inline constexpr uint8_t kFileHeaderType = 0x0b;
inline constexpr uint32_t kOsHeaderMagic = 0x7a7b7c7d;

struct FileHeaderSpec {
  uint8_t format = kFormat10g;
  uint32_t version = 0x0b200400;
  uint32_t dbid = 0x4245580a;
  std::string dbName = "BEXDB";
  uint32_t tsNumber = 4;
  std::string tsName = "USERS";
  uint32_t bs = 0;
  uint8_t fuzzy = 0;
  uint32_t scnBase = 0x00011f00;
  Checksum checksum = Checksum::Valid;
};

uint32_t tsNumberOffset(uint8_t format);
uint32_t tsNameOffset(uint8_t format);

ForgeBlock buildOsHeader(uint32_t blockSize, ByteOrder order, uint32_t blocks);
ForgeBlock buildFileHeader(const FileHeaderSpec& s, uint32_t rdba, uint16_t fileNumber,
                           uint32_t blockSize, ByteOrder order, uint32_t blocks, Facts& facts);

}  // namespace bex::forge
