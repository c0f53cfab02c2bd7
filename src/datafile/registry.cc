#include "datafile/registry.h"

#include <algorithm>
#include <cstring>

#include "block/block_header.h"
#include "block/file_header.h"
#include "datafile/block_reader.h"
#include "base/block_context.h"
#include "base/cmdline.h"
#include "base/limits.h"

namespace bex {

namespace {

// Probe steps used to find the last whole block without reading the file.
constexpr uint32_t kSizeSteps[] = {1000000, 100000, 10000, 1000, 100, 10, 1};

void resetSlot(DataFile& f, uint32_t position) {
  f.ts = 0;
  f.rfn = static_cast<uint16_t>(position);
  f.ver = 0;
  f.bsize = 0;
  f.blocks = 0;
  f.sizemb = 0;
  f.headerBlocks = 0;
}

bool readsWhole(BlockContext& bc, uint32_t slot, uint32_t block) {
  return ReadBlockBySlot(bc, slot, block) == bc.blockSize;
}

// Block n is taken when it is a file header or a data block, or carries its
// own address, and its header is plausible and its checksum consistent.
bool acceptable(BlockContext& bc, uint32_t n) {
  const BlockView v = viewOf(bc);
  const BlockType type = blockType(v);
  if (!(type == BlockType::kFileHeader || type == BlockType::kTransData || rdbaBlock(blockRdba(v)) == n)) return false;
  if (!plausibleBlockHeader(v, bc.bigfile)) return false;
  if (BlockChecksumTest(bc.block, bc.blockSize) != 0) {
    bc.counters->BadBlockCount++;
    return false;
  }
  return true;
}

void takeProbedValues(BlockContext& bc, DataFile& f) {
  const BlockView v = viewOf(bc);
  f.ver = blockFormat(v);
  f.rfn = static_cast<uint16_t>(rdbaFile(blockRdba(v)));
  f.bsize = bc.blockSize;
  f.ts = 0;
  // The tablespace only from a header of this block size. The header's own
  // file size is not read from: the size probe finds what can really be
  // read. It is kept to tell a cut file's missing blocks.
  if (blockType(v) == BlockType::kFileHeader) {
    const FileHeader fh = readFileHeader(v);
    if (fh.blksiz == bc.blockSize) f.ts = fh.tsNo;
    if (fh.blksiz == bc.blockSize && BlockChecksumTest(bc.block, bc.blockSize) == 0) f.headerBlocks = fh.blks;
  }
}

// The highest block number the size a source states holds whole; 0 when
// it states none (the size is then probed).
uint32_t statedLastBlock(const BlockContext& bc, const DataFile& f) {
  const uint64_t stated = f.source ? f.source->statedSize() : 0;
  const uint64_t whole = stated > f.headerSize ? (stated - f.headerSize) / bc.blockSize : 0;
  return whole < 2 ? 0 : static_cast<uint32_t>(std::min<uint64_t>(whole - 1, UINT32_MAX));
}

uint32_t lastWholeBlock(BlockContext& bc, uint32_t slot) {
  uint32_t a = 0;
  for (uint32_t s : kSizeSteps)
    while (a <= UINT32_MAX - s && readsWhole(bc, slot, a + s)) a += s;
  return a;
}

// The first block from n on that the probe accepts, reading only blocks the
// source holds (a hole holds none); false when none is left, or a block
// cannot be read whole past the stated last block (within it an unreadable
// block is no end of the file).
bool firstAcceptable(BlockContext& bc, uint32_t slot, uint32_t stated, uint32_t& n) {
  const DataFile& f = bc.registry->slots[slot];
  for (uint64_t b = n;; b++) {
    b = nextHeldBlocks(f, b, bc.blockSize).first;
    if (b > UINT32_MAX) return false;
    const bool read = readsWhole(bc, slot, static_cast<uint32_t>(b));
    if (!read && b >= stated) return false;
    if (read && acceptable(bc, static_cast<uint32_t>(b))) {
      n = static_cast<uint32_t>(b);
      return true;
    }
  }
}

}  // namespace

DataFileRegistry::DataFileRegistry() {
  for (uint32_t& b : buckets) b = kNoNode;
  for (DataFile& f : slots) f = DataFile{};
}

DataFileRegistry::~DataFileRegistry() { clear(); }

void DataFileRegistry::clear() {
  for (uint32_t i = 0; i < count; i++) slots[i] = DataFile{};
  count = 0;
  memo = kNoNode;
  for (uint32_t& b : buckets) b = kNoNode;
}

namespace {

uint32_t findNode(const DataFileRegistry& reg, uint32_t rfn) {
  for (uint32_t n = reg.buckets[rfn % kRegistryBuckets]; n != kNoNode; n = reg.nodes[n].next)
    if (reg.nodes[n].rfn == rfn) return n;
  return kNoNode;
}

}  // namespace

int DataFileRegistry::lookup(uint32_t rfn) {
  if (memo != kNoNode && nodes[memo].rfn == rfn) return nodes[memo].slot;
  memo = findNode(*this, rfn);
  return memo == kNoNode ? -1 : nodes[memo].slot;
}

int DataFileRegistry::find(uint32_t rfn) const {
  const uint32_t n = findNode(*this, rfn);
  return n == kNoNode ? -1 : nodes[n].slot;
}

bool slotsReadInParallel(const DataFileRegistry& reg) {
  for (uint32_t s = 0; s < reg.count; s++)
    if (reg.slots[s].usable() && !reg.slots[s].source->readsInParallel()) return false;
  return true;
}

void DataFileRegistry::rebuildHash() {
  memo = kNoNode;
  for (uint32_t& b : buckets) b = kNoNode;
  for (uint32_t i = 0; i < count; i++) {
    uint32_t bucket = slots[i].rfn % kRegistryBuckets;
    nodes[i] = {slots[i].rfn, slots[i].ts, static_cast<uint16_t>(i), buckets[bucket]};
    buckets[bucket] = i;
  }
}

HeldBlocks nextHeldBlocks(const DataFile& f, uint64_t block, uint32_t blockSize) {
  const uint64_t offset = block * blockSize + f.headerSize;
  const ByteSource::Held held = f.source->nextHeld(offset);
  if (held.begin == ByteSource::kNoneHeld) return HeldBlocks{kNoBlockHeld, kNoBlockHeld};
  HeldBlocks b;
  b.first = held.begin <= offset ? block : (held.begin - f.headerSize) / blockSize;
  if (held.end != ByteSource::kNoneHeld) b.end = (held.end - f.headerSize + blockSize - 1) / blockSize;
  return b;
}

bool addSlot(DataFileRegistry& reg, std::string_view path, uint32_t headerSize) {
  if (reg.count >= kMaxDataFiles) return false;
  DataFile& f = reg.slots[reg.count];
  f = DataFile{};
  f.rfn = static_cast<uint16_t>(reg.count + 1);
  copyToken(path, f.path, kDataFilePathMax);
  f.headerSize = headerSize;
  reg.count++;
  return true;
}

bool parseConfigLine(DataFileRegistry& reg, const char* line) {
  if (reg.count >= kMaxDataFiles) return false;
  const char* p = line;
  while (*p && isBlank(*p)) p++;
  if (*p == 0 || *p == '#') return false;
  const char* end = p;
  while (*end && !isBlank(*end)) end++;
  const std::string_view path{p, static_cast<size_t>(end - p)};
  while (*end && isBlank(*end)) end++;
  const char* sizeEnd = end;
  while (*sizeEnd && !isBlank(*sizeEnd)) sizeEnd++;
  if (!addSlot(reg, path, static_cast<uint32_t>(tokenNumber({end, static_cast<size_t>(sizeEnd - end)}))))
    return false;
  reg.slots[reg.count - 1].headerSizeGiven = sizeEnd != end;
  return true;
}

void openSlots(DataFileRegistry& reg, Storage& storage, Sink& out) {
  for (uint32_t i = 0; i < reg.count; i++) reg.slots[i].source = storage.open(reg.slots[i].path, out);
}

void FileProbe(BlockContext& bc, uint32_t slot) {
  DataFile& f = bc.registry->slots[slot];
  resetSlot(f, slot + 1);
  if (!f.usable()) return;
  const uint32_t stated = statedLastBlock(bc, f);
  uint32_t n = 1;
  if (!firstAcceptable(bc, slot, stated, n)) return;
  takeProbedValues(bc, f);
  f.blocks = stated ? stated : lastWholeBlock(bc, slot);
  f.sizemb = (f.blocks + 1) / (kMegabyte / bc.blockSize);
}

void listDataFiles(BlockContext& bc, Sink& out) {
  DataFileRegistry& reg = *bc.registry;
  out.write("*  ts#  rfn ver bsize     blocks   sizemb hsize filename\n");
  out.write("- ---- ---- --- ----- ---------- -------- ----- -----------------------------------\n");
  for (uint32_t i = 0; i < reg.count; i++) {
    FileProbe(bc, i);
    const DataFile& f = reg.slots[i];
    out.printf("%c %4d %4d %02x  %5d %10u %8d %5d %s\n", isKnownFormat(f.ver) ? 'Y' : 'N', static_cast<int>(f.ts),
               f.rfn, f.ver, f.bsize, f.blocks, static_cast<int>(f.sizemb), static_cast<int>(f.headerSize), f.path);
  }
  reg.rebuildHash();
}

}  // namespace bex
