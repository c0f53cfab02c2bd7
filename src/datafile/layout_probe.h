// Finding a data file's layout from its own bytes: the block size, the byte
// order, bigfile addressing and the size of the operating-system header in
// front of block 0. Every data file has its header block (type 0x0B) at
// block 1; the layout is the one under which that block's own block-size
// field and address agree with where it was read.
#pragma once
#include <cstdint>

#include "base/byte_source.h"

namespace bex {

// Header sizes tried when a file's configuration line gives none: none at
// all, then those raw devices and volume managers put in front of block 0.
inline constexpr uint32_t kProbedHeaderSizes[] = {0, 512, 1024, 4096, 8192, 65536};

// What the user fixed: the probe tries only these values. 0 in blockSize
// and kLayoutFree in the others leave a value to be found.
inline constexpr int kLayoutFree = -1;
struct LayoutFixed {
  uint16_t blockSize = 0;
  int byteOrder = kLayoutFree;   // 0 LITTLE, 1 BIG
  int bigfile = kLayoutFree;     // 0 NO, 1 YES
  int64_t headerSize = kLayoutFree;
};

struct FileLayout {
  bool found = false;
  uint16_t blockSize = 0;
  uint8_t byteOrder = 0;
  uint8_t bigfile = 0;
  uint32_t headerSize = 0;
};

// The first layout (header sizes in the order above, block sizes upwards,
// LITTLE before BIG) under which block 1 is a file header of a known format
// whose block-size field is that block size and whose address is block 1.
// Reads 64 bytes per place tried; found false when no place agrees.
FileLayout probeFileLayout(ByteSource& source, const LayoutFixed& fixed);

}  // namespace bex
