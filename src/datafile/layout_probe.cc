#include "datafile/layout_probe.h"

#include "base/limits.h"
#include "base/rdba.h"
#include "block/block_header.h"
#include "block/file_header.h"

namespace bex {

namespace {

// The header block's fields the probe compares all lie in its first bytes.
constexpr uint32_t kProbeBytes = 64;
constexpr uint32_t kHeaderBlock = 1;

bool allows(int fixed, int value) { return fixed == kLayoutFree || fixed == value; }

// The layout under which the bytes read at block 1 are its file header.
bool agrees(const uint8_t* bytes, uint16_t blockSize, uint8_t order, const LayoutFixed& fixed, FileLayout& found) {
  const BlockView v{bytes, kProbeBytes, order};
  if (blockType(v) != BlockType::kFileHeader || !isKnownFormat(blockFormat(v))) return false;
  if (readFileHeader(v).blksiz != blockSize) return false;
  const uint32_t rdba = blockRdba(v);
  const uint8_t bigfile = rdbaFile(rdba) == 0;
  if (rdbaBlock(rdba) != kHeaderBlock || !allows(fixed.bigfile, bigfile)) return false;
  found.blockSize = blockSize;
  found.byteOrder = order;
  found.bigfile = bigfile;
  return true;
}

bool probeAt(ByteSource& source, uint32_t headerSize, uint16_t blockSize, const LayoutFixed& fixed,
             FileLayout& found) {
  uint8_t bytes[kProbeBytes];
  const ReadResult r = source.read(uint64_t{headerSize} + blockSize * kHeaderBlock, bytes, sizeof bytes);
  if (r.bytes < sizeof bytes) return false;
  for (uint8_t order = 0; order <= 1; order++)  // LITTLE, then BIG
    if (allows(fixed.byteOrder, order) && agrees(bytes, blockSize, order, fixed, found)) return true;
  return false;
}

bool probeHeaderSize(ByteSource& source, uint32_t headerSize, const LayoutFixed& fixed, FileLayout& found) {
  for (uint32_t size = kBlockSizeMin; size <= kBlockSizeMax; size += kBlockSizeMin) {
    if (fixed.blockSize && fixed.blockSize != size) continue;
    if (probeAt(source, headerSize, static_cast<uint16_t>(size), fixed, found)) return true;
  }
  return false;
}

}  // namespace

FileLayout probeFileLayout(ByteSource& source, const LayoutFixed& fixed) {
  FileLayout found;
  auto tryHeaderSize = [&](uint32_t headerSize) {
    found.found = probeHeaderSize(source, headerSize, fixed, found);
    found.headerSize = found.found ? headerSize : 0;
    return found.found;
  };
  if (fixed.headerSize != kLayoutFree) {
    if (fixed.headerSize >= 0 && fixed.headerSize <= UINT32_MAX) tryHeaderSize(static_cast<uint32_t>(fixed.headerSize));
    return found;
  }
  for (uint32_t headerSize : kProbedHeaderSizes)
    if (tryHeaderSize(headerSize)) break;
  return found;
}

}  // namespace bex
