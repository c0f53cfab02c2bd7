#include "asm/asm_group.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "asm/asm_file.h"
#include "base/byte_order.h"
#include "base/limits.h"

namespace bex {

namespace {

// Disk header fields.
constexpr uint32_t kHdrCompat = 64;
constexpr uint32_t kHdrDiskNumber = 68;
constexpr uint32_t kHdrGroupType = 70;
constexpr uint32_t kHdrDiskName = 72;
constexpr uint32_t kHdrGroupName = 104;
constexpr uint32_t kHdrBlockSize = 218;
constexpr uint32_t kHdrAuSize = 220;
constexpr uint32_t kHdrSizeMb = 228;
constexpr uint32_t kHdrF1b1 = 244;
constexpr uint32_t kHdrBytes = 248;
constexpr size_t kListLineMax = 1023;

bool powerOfTwo(uint32_t v) { return v && !(v & (v - 1)); }
bool plausibleAu(uint32_t v) { return powerOfTwo(v) && v >= kAsmAuSizeMin && v <= kAsmAuSizeMax; }
bool plausibleBlock(uint32_t v) { return powerOfTwo(v) && v >= kAsmBlockSizeMin && v <= kAsmBlockSizeMax; }

void copyName(char* to, const uint8_t* from, size_t n) {
  size_t i = 0;
  for (; i < n && from[i]; i++) to[i] = (from[i] >= 32 && from[i] < 127) ? static_cast<char>(from[i]) : '?';
  while (i > 0 && to[i - 1] == ' ') i--;
  to[i] = 0;
}

void forgetBuffers(AsmDiskGroup& g) {
  for (AsmAuBuffer& b : g.au) b.disk = kAsmNoDisk, b.au = kAsmNoAu;
  g.metaHolds = AsmPlace{};
}

void resetGroup(AsmDiskGroup& g) {
  for (uint32_t i = 0; i < g.diskCount; i++) g.disks[i] = AsmDisk{};
  g.diskCount = 0;
  for (uint32_t i = 0; i <= 0xFFFF; i++) g.diskIndex[i] = kAsmNoDisk;
  g.fileDir = g.diskDir = g.aliasDir = AsmPlace{};
  g.f1b1Disk = kAsmNoDisk;
  g.f1b1Au = kAsmNoAu;
  g.compat = 0;
  g.groupType = 0;
  for (AsmExtentLevel& l : g.levels) l = AsmExtentLevel{};
}

// What block 0 of a disk says, when it is a disk header.
struct HeaderValues {
  bool valid = false;
  uint16_t number = 0;
  uint8_t groupType = 0;
  uint32_t blockSize = 0, auSize = 0, sizeMb = 0, f1b1 = 0, compat = 0;
  char name[33] = "", group[33] = "";
};

HeaderValues readHeader(const AsmDiskGroup& g, FileSource& src) {
  HeaderValues h;
  size_t n = g.blockSize > kHdrBytes ? g.blockSize : kHdrBytes;
  std::unique_ptr<uint8_t[]> buf(new uint8_t[n]());
  if (src.read(0, buf.get(), n).bytes < kHdrBytes) return h;
  AsmMeta m{buf.get(), static_cast<uint32_t>(n)};
  if (!m.is(kAsmDiskHeader)) return h;
  h.valid = true;
  h.number = m.u16(kHdrDiskNumber);
  h.groupType = m.u8(kHdrGroupType);
  h.blockSize = m.u16(kHdrBlockSize);
  h.auSize = m.u32(kHdrAuSize);
  h.sizeMb = m.u32(kHdrSizeMb);
  h.f1b1 = m.u32(kHdrF1b1);
  h.compat = m.u32(kHdrCompat);
  copyName(h.name, buf.get() + kHdrDiskName, 32);
  copyName(h.group, buf.get() + kHdrGroupName, 32);
  return h;
}

void fillDisk(AsmDisk& d, const AsmDiskGroup& g, const HeaderValues& h) {
  d.number = h.number;
  d.groupType = h.groupType;
  d.auSize = plausibleAu(h.auSize) ? h.auSize : g.auSize;
  d.blockSize = plausibleBlock(h.blockSize) ? h.blockSize : g.blockSize;
  d.sizeMb = h.sizeMb;
  d.f1b1 = h.f1b1 == kAsmNoAu ? 0 : h.f1b1;
  memcpy(d.name, h.name, sizeof d.name);
  memcpy(d.group, h.group, sizeof d.group);
}

// Enters an opened disk in the next slot under its number; false (with a
// message) when another open disk already has that number.
bool enterDisk(AsmDiskGroup& g, AsmDisk&& d, Sink& out) {
  uint16_t held = g.diskIndex[d.number];
  if (held != kAsmNoDisk) {
    out.printf("  Disk %u is already open (%s), %s passed over.\n", d.number, g.disks[held].path, d.path);
    return false;
  }
  g.diskIndex[d.number] = static_cast<uint16_t>(g.diskCount);
  g.disks[g.diskCount++] = std::move(d);
  return true;
}

// A group whose headers all give one AU size and metadata block size is
// read with them: mapping a file with another AU size would read every
// extent from the wrong place.
void adoptHeaderGeometry(AsmDiskGroup& g, Sink& out, const uint32_t* headerAu, const uint32_t* headerBlock) {
  uint32_t au = 0, block = 0;
  for (uint32_t i = 0; i < g.diskCount; i++) {
    if (!headerAu[i]) continue;
    if ((au && au != headerAu[i]) || (block && block != headerBlock[i])) return;
    au = headerAu[i];
    block = headerBlock[i];
  }
  if (!au || (au == g.auSize && block == g.blockSize)) return;
  g.auSize = au;
  g.blockSize = block;
  if (g.stripSize > au) g.stripSize = au;  // as ASM SET AU_SIZE keeps it: a stripe lies in one AU
  allocateBuffers(g);
  out.printf("  AU_SIZE %u and BLOCK_SIZE %u taken from the disk headers.\n", au, block);
}

}  // namespace

uint16_t AsmMeta::u16(uint32_t off) const {
  if (off > size || size - off < 2) return 0;
  return little() ? getLE16(p + off) : getBE16(p + off);
}

uint32_t AsmMeta::u32(uint32_t off) const {
  if (off > size || size - off < 4) return 0;
  return little() ? getLE32(p + off) : getBE32(p + off);
}

AsmPointer pointerAt(const AsmMeta& m, uint32_t off) {
  AsmPointer ptr;
  ptr.au = m.u32(off);
  ptr.disk = m.u16(off + 4);
  ptr.flags = m.u8(off + 6);
  ptr.check = m.u8(off + 7);
  return ptr;
}

bool aliasEntryAt(const AsmMeta& block, uint32_t i, AsmAliasEntry& e) {
  if (block.size < kAliasFirstEntry || i >= (block.size - kAliasFirstEntry) / kAliasEntrySize) return false;
  const uint32_t at = kAliasFirstEntry + i * kAliasEntrySize;
  if (block.u8(at + 16) == 0 || block.u32(at + 4) == 0) return false;
  e.reference = block.u32(at + 8);
  e.file = block.u32(at + 64);
  e.incarnation = block.u32(at + 68);
  e.flags = block.u8(at + 72);
  const size_t n = strnlen(reinterpret_cast<const char*>(block.p + at + 16), kAliasNameMax);
  memcpy(e.name, block.p + at + 16, n);
  e.name[n] = 0;
  return true;
}

AsmEntrySlots entrySlots(const AsmMeta& entry) {
  uint32_t fit = entry.size > kEntryPointers ? (entry.size - kEntryPointers) / kPointerBytes : 0;
  AsmEntrySlots s;
  s.used = entry.u16(kEntrySlotsUsed);
  if (s.used > fit) s.used = fit;
  s.direct = entry.u16(kEntryDirectSlots);
  if (s.direct > s.used) s.direct = s.used;
  return s;
}

uint32_t indirectCount(const AsmMeta& block) {
  uint32_t fit = block.size > kIndirectPointers ? (block.size - kIndirectPointers) / kPointerBytes : 0;
  uint32_t n = block.u16(kIndirectCount);
  return n < fit ? n : fit;
}

AsmDiskGroup::AsmDiskGroup() : diskIndex(new uint16_t[0x10000]) {
  for (uint32_t i = 0; i <= 0xFFFF; i++) diskIndex[i] = kAsmNoDisk;
  allocateBuffers(*this);
}

AsmDiskGroup::~AsmDiskGroup() = default;

uint32_t copiesPerExtent(const AsmDiskGroup& g) { return g.groupType == 2 ? 2 : g.groupType == 3 ? 3 : 1; }

const char* redundancyName(const AsmDiskGroup& g) {
  return g.groupType == 2 ? "NORMAL" : g.groupType == 3 ? "HIGH" : "EXTERNAL";
}

const AsmDisk* diskByNumber(const AsmDiskGroup& g, uint16_t number) {
  uint16_t slot = g.diskIndex[number];
  if (slot >= g.diskCount || !g.disks[slot].source) return nullptr;
  return &g.disks[slot];
}

uint64_t diskOffset(const AsmDiskGroup& g, uint16_t disk, uint32_t au, uint32_t block) {
  const AsmDisk* d = diskByNumber(g, disk);
  uint64_t auBytes = d ? d->auSize : g.auSize;
  uint64_t blockBytes = d ? d->blockSize : g.blockSize;
  return au * auBytes + block * blockBytes;
}

bool readDiskBytes(const AsmDiskGroup& g, uint16_t disk, uint64_t offset, uint8_t* buf, size_t n) {
  const AsmDisk* d = diskByNumber(g, disk);
  if (!d) return false;
  if (d->length && (offset > d->length || d->length - offset < n)) return false;
  return d->source->read(offset, buf, n).bytes == n;
}

ReadResult copyDiskBytes(const AsmDiskGroup& g, uint16_t disk, uint64_t offset, size_t n, int out, uint8_t* bounce,
                         size_t bounceSize) {
  const AsmDisk* d = diskByNumber(g, disk);
  if (!d || (d->length && (offset > d->length || d->length - offset < n))) return ReadResult{0, true};
  return d->source->copyTo(offset, out, n, bounce, bounceSize);
}

bool readMetaInto(const AsmDiskGroup& g, uint16_t disk, uint32_t au, uint32_t block, uint8_t* buf) {
  return readDiskBytes(g, disk, diskOffset(g, disk, au, block), buf, g.blockSize);
}

void allocateBuffers(AsmDiskGroup& g) {
  for (AsmAuBuffer& b : g.au) b.bytes.reset(new uint8_t[g.auSize]);
  g.meta.reset(new uint8_t[g.blockSize]);
  forgetBuffers(g);
}

const uint8_t* ReadAu(AsmDiskGroup& g, int which, uint16_t disk, uint32_t au) {
  AsmAuBuffer& b = g.au[which];
  if (b.disk == disk && b.au == au && disk != kAsmNoDisk) return b.bytes.get();
  b.disk = kAsmNoDisk;
  b.au = kAsmNoAu;
  if (!readDiskBytes(g, disk, diskOffset(g, disk, au), b.bytes.get(), g.auSize)) return nullptr;
  b.disk = disk;
  b.au = au;
  return b.bytes.get();
}

const uint8_t* ReadMetaBlock(AsmDiskGroup& g, uint16_t disk, uint32_t au, uint32_t block) {
  const AsmDisk* d = diskByNumber(g, disk);
  if (!d) return nullptr;
  uint64_t inAu = static_cast<uint64_t>(block) * d->blockSize;
  for (AsmAuBuffer& b : g.au)
    if (b.disk == disk && b.au == au && inAu + g.blockSize <= g.auSize) return b.bytes.get() + inAu;
  if (g.metaHolds.disk == disk && g.metaHolds.au == au && g.metaHolds.block == block) return g.meta.get();
  g.metaHolds = AsmPlace{};
  if (!readMetaInto(g, disk, au, block, g.meta.get())) return nullptr;
  g.metaHolds.disk = disk;
  g.metaHolds.au = au;
  g.metaHolds.block = block;
  return g.meta.get();
}

void OpenDiskList(AsmDiskGroup& g, const char* path, Sink& out) {
  resetGroup(g);
  allocateBuffers(g);
  // Read-only: the list is never written, and a read-only list must open.
  FILE* list = fopen(path, "r");
  if (!list) {
    out.error("Cannot open disk list file (%s)!\n", path);
    groupChanged(g);
    return;
  }
  uint32_t headerAu[kAsmMaxDisks] = {}, headerBlock[kAsmMaxDisks] = {};
  char line[kListLineMax + 1];
  bool full = false;
  while (fgets(line, sizeof line, list)) {
    size_t len = strlen(line);
    bool cut = len == kListLineMax && line[len - 1] != '\n';
    while (len > 0 && isspace(static_cast<unsigned char>(line[len - 1]))) line[--len] = 0;
    if (cut) {  // the rest of an overlong line is no path of its own
      int c;
      while ((c = fgetc(list)) != EOF && c != '\n') {
      }
    }
    if (len == 0 || line[0] == '#') continue;
    if (g.diskCount >= kAsmMaxDisks) {
      full = true;
      continue;
    }
    if (len > kAsmPathMax) line[kAsmPathMax] = 0;
    AsmDisk d;
    memcpy(d.path, line, strlen(line) + 1);
    d.source = FileSource::open(d.path);
    if (!d.source) {
      out.error("Cannot open disk : %s\n", d.path);
      continue;
    }
    HeaderValues h = readHeader(g, *d.source);
    if (!h.valid) {
      out.error("Invalid Disk : %s\n", d.path);
      continue;
    }
    fillDisk(d, g, h);
    d.length = d.source->size();
    uint32_t slot = g.diskCount;
    if (!enterDisk(g, std::move(d), out)) continue;
    headerAu[slot] = plausibleAu(h.auSize) ? h.auSize : 0;
    headerBlock[slot] = plausibleBlock(h.blockSize) ? h.blockSize : g.blockSize;
    g.compat = h.compat;
    g.groupType = h.groupType;
    if (h.f1b1 != 0) {
      g.f1b1Disk = h.number;
      g.f1b1Au = h.f1b1;
    }
  }
  fclose(list);
  if (full) out.printf("  Only %u disks can be open; the rest of the list was passed over.\n", kAsmMaxDisks);
  adoptHeaderGeometry(g, out, headerAu, headerBlock);
  if (g.diskCount > 0 && g.f1b1Disk != kAsmNoDisk && g.f1b1Au != kAsmNoAu) LocateFiles(g);
  groupChanged(g);
}

void AddDisk(AsmDiskGroup& g, uint16_t number, const char* path, uint32_t sizeMb, Sink& out) {
  if (g.diskCount >= kAsmMaxDisks) {
    out.printf("  Only %u disks can be open; %s passed over.\n", kAsmMaxDisks, path);
    return;
  }
  AsmDisk d;
  snprintf(d.path, sizeof d.path, "%s", path);
  d.source = FileSource::open(d.path);
  if (!d.source) {
    out.error("Cannot open disk : %s\n", d.path);
    return;
  }
  HeaderValues h = readHeader(g, *d.source);
  if (h.valid) {
    fillDisk(d, g, h);
  } else {
    d.auSize = g.auSize;
    d.blockSize = g.blockSize;
    out.printf("  No disk header on %s: entered as disk %u with AU_SIZE %u.\n", d.path, number, g.auSize);
  }
  d.number = number;
  if (sizeMb) d.sizeMb = sizeMb;
  d.length = d.source->size();
  if (!enterDisk(g, std::move(d), out)) return;
  forgetBuffers(g);
  if (h.valid) {
    g.compat = h.compat;
    g.groupType = h.groupType;
    // AU 0 of a disk is its header: a directory is never there.
    if (h.f1b1 != 0 && h.f1b1 != kAsmNoAu) {
      g.f1b1Disk = number;
      g.f1b1Au = h.f1b1;
    }
  }
  if (g.f1b1Disk != kAsmNoDisk && g.f1b1Au != kAsmNoAu) LocateFiles(g);
  groupChanged(g);
}

namespace {

// The places of files 1, 2 and 6 that the directory AU au of disk holds and
// that are not known yet.
void locateIn(AsmDiskGroup& g, uint16_t disk, uint32_t au) {
  const uint8_t* bytes = ReadAu(g, 0, disk, au);
  if (!bytes) return;
  uint32_t stride = diskByNumber(g, disk)->blockSize;
  for (uint32_t b = 0; (static_cast<uint64_t>(b) + 1) * stride <= g.auSize && stride >= g.blockSize; b++) {
    AsmMeta m{bytes + static_cast<size_t>(b) * stride, g.blockSize};
    if (!m.is(kAsmFileEntry)) continue;
    const uint32_t numbers[] = {1, 2, 6};
    AsmPlace* places[] = {&g.fileDir, &g.diskDir, &g.aliasDir};
    for (int k = 0; k < 3; k++)
      if (m.number() == numbers[k] && !places[k]->known()) *places[k] = AsmPlace{numbers[k], disk, au, b};
  }
}

}  // namespace

void LocateFiles(AsmDiskGroup& g) {
  g.fileDir = g.diskDir = g.aliasDir = AsmPlace{};
  locateIn(g, g.f1b1Disk, g.f1b1Au);
  for (uint32_t i = 0; i < g.diskCount; i++) {
    const AsmDisk& d = g.disks[i];
    bool all = g.fileDir.known() && g.diskDir.known() && g.aliasDir.known();
    if (!all && d.source && d.f1b1 && !(d.number == g.f1b1Disk && d.f1b1 == g.f1b1Au)) locateIn(g, d.number, d.f1b1);
  }
  // With small AUs the disk and alias directories lie past the first AU of
  // the file directory: search it for them.
  if (!g.fileDir.known()) return;
  if (!g.diskDir.known() && FindFileEntry(g, g.diskDir, 2)) g.diskDir.file = 2;
  if (!g.aliasDir.known() && FindFileEntry(g, g.aliasDir, 6)) g.aliasDir.file = 6;
}

void groupChanged(AsmDiskGroup& g) {
  for (AsmFile* f : g.openFiles) remapAsmFile(*f);
}

AsmExtentSpot mapAu(const AsmDiskGroup& g, uint64_t a) {
  uint64_t prevLast = 0, firstAu = 0;
  uint32_t aus = 1;
  for (const AsmExtentLevel& l : g.levels) {
    aus = l.aus ? l.aus : 1;
    if (l.last != kAsmUnlimited && l.last > prevLast) {
      uint64_t span = (l.last - prevLast) * aus;
      if (a >= firstAu + span) {
        firstAu += span;
        prevLast = l.last;
        continue;
      }
    } else if (l.last != kAsmUnlimited) {
      continue;  // a level that ends before the previous one holds nothing
    }
    break;
  }
  // In the level that holds a, or past the last level with its AU count.
  uint64_t extent = prevLast + (a - firstAu) / aus;
  AsmExtentSpot s;
  s.extent = extent > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(extent);
  s.auInExtent = static_cast<uint32_t>((a - firstAu) % aus);
  s.aus = aus;
  return s;
}

uint64_t extentFirstAu(const AsmDiskGroup& g, uint64_t extent) {
  uint64_t prevLast = 0, firstAu = 0;
  uint32_t aus = 1;
  for (const AsmExtentLevel& l : g.levels) {
    aus = l.aus ? l.aus : 1;
    if (l.last == kAsmUnlimited) break;
    if (l.last <= prevLast) continue;
    if (extent < l.last) break;
    firstAu += (l.last - prevLast) * aus;
    prevLast = l.last;
  }
  return firstAu + (extent - prevLast) * aus;
}

uint32_t extentAus(const AsmDiskGroup& g, uint32_t extent) {
  return static_cast<uint32_t>(extentFirstAu(g, static_cast<uint64_t>(extent) + 1) - extentFirstAu(g, extent));
}

uint64_t groupAuBound(const AsmDiskGroup& g) {
  uint64_t largest = 0;
  for (uint32_t i = 0; i < g.diskCount; i++)
    if (g.disks[i].auSize) largest = std::max<uint64_t>(largest, g.disks[i].length / g.disks[i].auSize);
  return largest * kAsmMaxDisks;
}

void walkPointers(AsmDiskGroup& g, const AsmMeta& entryIn, uint32_t file, AsmPointerVisitor& v) {
  // The entry may lie in a buffer the walk reuses.
  std::unique_ptr<uint8_t[]> copy(new uint8_t[entryIn.size]);
  memcpy(copy.get(), entryIn.p, entryIn.size);
  AsmMeta entry{copy.get(), entryIn.size};
  g.au[0].disk = kAsmNoDisk;
  g.au[0].au = kAsmNoAu;
  walkEntryPointers(g, entry, file, g.au[0].bytes.get(), g.auSize, v);
}

namespace {

// The walk of the indirect blocks an entry names, kept between its
// indirect extents.
struct IndirectWalk {
  const AsmDiskGroup& g;
  uint32_t file, ecnt;
  uint8_t* chunk;
  size_t chunkSize;
  AsmPointerVisitor& v;
  uint32_t counted = 0;
  std::unique_ptr<uint8_t[]> spare;  // a mirror's block; only damage needs it

  IndirectWalk(const AsmDiskGroup& group, uint32_t f, uint32_t extents, uint8_t* c, size_t cs, AsmPointerVisitor& vis)
      : g(group), file(f), ecnt(extents), chunk(c), chunkSize(cs), v(vis) {}

  // Block b of the copies' AUs, parse bytes (at most BLOCK_SIZE) of it,
  // from the first copy other than skip where it is an indirect block of
  // the file; nullptr when none is.
  const uint8_t* mirrorBlock(const AsmPointer* copies, uint32_t n, uint32_t skip, uint32_t b, uint32_t parse) {
    for (uint32_t c = 0; c < n; c++) {
      const AsmDisk* d = c == skip ? nullptr : diskByNumber(g, copies[c].disk);
      if (!d || (static_cast<uint64_t>(b) + 1) * d->blockSize > d->auSize) continue;
      if (!spare) spare.reset(new uint8_t[g.blockSize]);
      if (!readDiskBytes(g, copies[c].disk, diskOffset(g, copies[c].disk, copies[c].au, b), spare.get(), parse))
        continue;
      if (AsmMeta{spare.get(), parse}.isIndirectOf(file)) return spare.get();
    }
    return nullptr;
  }

  // The pointers of one indirect block; false when the visitor stops.
  bool block(const AsmMeta& blk) {
    uint32_t first = blk.u32(kIndirectFirst);
    uint32_t count = indirectCount(blk);
    if (first > counted) {
      v.gap(first - counted);
      counted = first;
    }
    for (uint32_t j = 0; j < count; j++) {
      uint64_t p = static_cast<uint64_t>(first) + j;
      if (p >= ecnt) break;
      if (p < counted) continue;  // pointers already walked (a loop in damaged metadata)
      if (!v.pointer(static_cast<uint32_t>(p), pointerAt(blk, kIndirectPointers + j * kPointerBytes))) return false;
      counted = static_cast<uint32_t>(p + 1);
    }
    return true;
  }

  // One indirect extent, its n copies' AUs (on open disks) block by block:
  // each chunk from the first copy that reads, and each block that is not
  // an indirect block of the file from a mirror where it is one. False when
  // the walk ends.
  bool extent(const AsmPointer* copies, uint32_t n) {
    const AsmDisk* d = diskByNumber(g, copies[0].disk);
    uint32_t stride = d->blockSize;
    uint32_t parse = g.blockSize < stride ? g.blockSize : stride;
    uint32_t perAu = d->auSize / stride;
    uint32_t perChunk = static_cast<uint32_t>(chunkSize / stride);
    if (perChunk == 0) return false;
    for (uint32_t b = 0; b < perAu && counted < ecnt; b += perChunk) {
      uint32_t count = perAu - b < perChunk ? perAu - b : perChunk;
      uint32_t from = n;
      for (uint32_t c = 0; c < n && from == n; c++)
        if (diskByNumber(g, copies[c].disk)->blockSize == stride &&
            readDiskBytes(g, copies[c].disk, diskOffset(g, copies[c].disk, copies[c].au, b), chunk,
                          static_cast<size_t>(count) * stride))
          from = c;
      for (uint32_t i = 0; i < count && counted < ecnt; i++) {
        const uint8_t* p = from < n ? chunk + static_cast<size_t>(i) * stride : nullptr;
        if ((!p || !AsmMeta{p, parse}.isIndirectOf(file)) && n > 1) p = mirrorBlock(copies, n, from, b + i, parse);
        if (p && AsmMeta{p, parse}.isIndirectOf(file) && !block(AsmMeta{p, parse})) return false;
      }
    }
    return true;
  }
};

}  // namespace

void walkEntryPointers(const AsmDiskGroup& g, const AsmMeta& entry, uint32_t file, uint8_t* chunk,
                       size_t chunkSize, AsmPointerVisitor& v) {
  IndirectWalk w(g, file, entry.u32(kEntryExtentCount), chunk, chunkSize, v);
  AsmEntrySlots s = entrySlots(entry);
  for (uint32_t k = 0; k < s.direct && k < w.ecnt; k++) {
    if (!v.pointer(k, pointerAt(entry, kEntryPointers + k * kPointerBytes))) return;
  }
  w.counted = s.direct < w.ecnt ? s.direct : w.ecnt;
  // The copies of each indirect AU are adjacent slots. Indirect AUs named
  // twice (a loop in damaged metadata) are walked once.
  const uint32_t copies = copiesPerExtent(g);
  AsmPointer seen[4096];
  uint32_t seenCount = 0;
  for (uint32_t k = s.direct; k < s.used && w.counted < w.ecnt; k += copies) {
    AsmPointer ind[kAsmMaxCopies];
    uint32_t n = 0;
    for (uint32_t c = 0; c < copies && k + c < s.used; c++) {
      AsmPointer p = pointerAt(entry, kEntryPointers + (k + c) * kPointerBytes);
      if (p.au == 0 || !diskByNumber(g, p.disk)) continue;
      bool again = false;
      for (uint32_t i = 0; i < seenCount; i++) again |= seen[i].au == p.au && seen[i].disk == p.disk;
      if (again) continue;
      if (seenCount < 4096) seen[seenCount++] = p;
      ind[n++] = p;
    }
    if (n > 0 && !w.extent(ind, n)) return;
  }
}

}  // namespace bex
