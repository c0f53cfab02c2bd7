#include "commands/asm/asm_commands.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <tuple>

#include "asm/asm_file.h"
#include "asm/asm_group.h"
#include "base/clock.h"
#include "base/cmdline.h"
#include "base/file_or_console.h"
#include "base/limits.h"
#include "base/progress.h"
#include "block/hex_dump.h"
#include "run/run_context.h"

namespace bex {

namespace {

constexpr size_t kAsmValueMax = 255;
constexpr size_t kAsmListNameMax = 511;
constexpr uint32_t kMapCandidates = kAsmMaxCopies;  // copies of one extent a map file may name

struct AsmOptions {
  bool hasFile = false, hasDisk = false, hasAu = false, hasBlock = false;
  uint64_t file = 0, disk = 0, au = 0, block = 0, level = 0, count = 0, offset = 0;
  char to[kAsmValueMax + 1] = "";
  char map[kAsmValueMax + 1] = "";
};

// Keywords in any order, each taking the next word as its value; words
// that follow no keyword are passed over.
AsmOptions readOptions(CommandLine& cl) {
  AsmOptions o;
  static const char* const kWords[] = {"FILE", "DISK", "AU", "BLOCK", "LEVEL", "COUNT", "SIZE",
                                       "OFFSET", "TO", "PATH", "MAP"};
  while (cl.nextToken()) {
    int word = -1;
    for (int i = 0; i < 11; i++)
      if (keywordMatch(cl.token(), kWords[i])) word = i;
    if (word < 0 || !cl.nextToken()) continue;
    std::string_view v = cl.token();
    uint64_t n = tokenNumberHex(v);
    switch (word) {
      case 0: o.file = n, o.hasFile = true; break;
      case 1: o.disk = n, o.hasDisk = true; break;
      case 2: o.au = n, o.hasAu = true; break;
      case 3: o.block = n, o.hasBlock = true; break;
      case 4: o.level = n; break;
      case 5: case 6: o.count = n; break;
      case 7: o.offset = n; break;
      case 8: case 9: copyToken(v, o.to, kAsmValueMax); break;
      case 10: copyToken(v, o.map, kAsmValueMax); break;
    }
  }
  return o;
}

// The entry place a command names with DISK, AU and BLOCK, if it does.
AsmPlace hintOf(const AsmOptions& o) {
  AsmPlace p;
  if (o.hasDisk && o.hasAu) {
    p.disk = static_cast<uint16_t>(o.disk);
    p.au = static_cast<uint32_t>(o.au);
    p.block = static_cast<uint32_t>(o.block);
  }
  return p;
}

void printHelp(Sink& out) {
  static const char* const kLines[] = {
      "  SET     -- set options (AU_SIZE, STRIP_SIZE, STRIP_WIDTH, F1B1_DISK, F1B1_AU)\n",
      "  OPEN    -- open data file\n",
      "  ADD     -- add disk with customized disk num (disk, path)\n",
      "  LIST    -- list opened disks information (to)\n",
      "  LSAU    -- list file of given AU (disk, au, count)\n",
      "  SCAN    -- scan file extent of given AU (disk, au, count)\n",
      "  FILE    -- list all file entries in ASM (file, [disk, au, block]).\n",
      "  ALIAS   -- list all alias entries in ASM (file, [disk, au, block]).\n",
      "  EXTENT  -- list or adjust variable extent (level, au, count).\n",
      "  FMAP    -- list file extent (file, [disk, au, block], to)\n",
      "  DUMP    -- dump file extent (file, [disk, au, block], offset, to)\n",
      "  COPY    -- copy file to os  (file, [disk, au, block], to)\n",
      "  SCOPY   -- copy stripped file to os  (file, [disk, au, block], to)\n",
  };
  for (const char* l : kLines) out.write(l);
}

bool powerOfTwo(uint64_t v) { return v && !(v & (v - 1)); }

// ASM SET: one option, shown, or changed when a valid value follows.
void asmSet(RunContext& rc) {
  AsmDiskGroup& g = rc.asmContext.group;
  Sink& out = rc.out;
  CommandLine& cl = rc.cmd;
  if (!cl.nextToken()) {
    out.noteError();
    out.write(" Valid options ORACLE_BLOCK BLOCK_SIZE, AU_SIZE, F1B1_DISK, F1B1_AU\n");
    return;
  }
  char option[kNameTokenMax + 1];
  copyToken(cl.token(), option, kNameTokenMax);
  bool hasValue = cl.nextToken() > 0;
  uint64_t v = hasValue ? tokenNumberHex(cl.token()) : 0;
  auto invalid = [&](const char* what) { out.error("  %s can only be %s\n", option, what); };
  bool remap = false;
  if (keywordMatch(option, "BLOCK_SIZE")) {
    if (hasValue && (!powerOfTwo(v) || v < kAsmBlockSizeMin || v > kAsmBlockSizeMax || v > g.auSize))
      invalid("a power of two from 512 to 32768, at most AU_SIZE");
    else if (hasValue)
      g.blockSize = static_cast<uint32_t>(v), remap = true;
    out.printf(" BLOCK_SIZE = %d\n", static_cast<int>(g.blockSize));
  } else if (keywordMatch(option, "STRIP_WIDTH")) {
    if (hasValue && (v < 1 || v > 1024)) invalid("1 to 1024");
    else if (hasValue) g.stripWidth = static_cast<uint32_t>(v);
    out.printf(" STRIP_WIDTH = %d\n", static_cast<int>(g.stripWidth));
  } else if (keywordMatch(option, "STRIP_SIZE")) {
    if (hasValue && (!powerOfTwo(v) || v > g.auSize / 1024)) invalid("a power of two of kilobytes, at most AU_SIZE");
    else if (hasValue) g.stripSize = static_cast<uint32_t>(v * 1024);
    out.printf(" STRIP_SIZE = %d\n", static_cast<int>(g.stripSize));
  } else if (keywordMatch(option, "ORACLE_BLOCK")) {
    if (hasValue && (!powerOfTwo(v) || v < kBlockSizeMin || v > kBlockSizeMax)) invalid("2048, 4096, 8192, 16384, 32768");
    else if (hasValue) g.oracleBlock = static_cast<uint32_t>(v);
    out.printf(" ORACLE_BLOCK = %d\n", static_cast<int>(g.oracleBlock));
  } else if (keywordMatch(option, "AU_SIZE")) {
    uint64_t bytes = hasValue && v <= kAsmAuSizeMax / kMegabyte ? v * kMegabyte : v;
    if (hasValue && (!powerOfTwo(bytes) || bytes < g.blockSize || bytes < kAsmAuSizeMin || bytes > kAsmAuSizeMax))
      invalid("a power of two from 4096 bytes (at least BLOCK_SIZE) to 64 MB (1 to 64 for megabytes)");
    else if (hasValue)
      g.auSize = static_cast<uint32_t>(bytes), remap = true;
    if (g.stripSize > g.auSize) g.stripSize = g.auSize;
    out.printf(" AU_SIZE = %d\n", static_cast<int>(g.auSize));
  } else if (keywordMatch(option, "F1B1_DISK")) {
    if (hasValue && v > 0xFFFF) invalid("0 to 65535");
    else if (hasValue) g.f1b1Disk = static_cast<uint16_t>(v), remap = true;
    out.printf(" F1B1_DISK = %d\n", static_cast<int>(g.f1b1Disk));
  } else if (keywordMatch(option, "F1B1_AU")) {
    if (hasValue) g.f1b1Au = static_cast<uint32_t>(v), remap = true;
    out.printf(" F1B1_AU = %d\n", static_cast<int>(g.f1b1Au));
  } else {
    out.error(" Invalid option to set.\n");
  }
  allocateBuffers(g);
  if (remap) {
    if (g.f1b1Disk != kAsmNoDisk && g.f1b1Au != kAsmNoAu) LocateFiles(g);
    groupChanged(g);
    rc.emptyReadCaches();
  }
}

// Disk numbers a directory's pointers name that are not open.
struct MissingDisks : AsmPointerVisitor {
  const AsmDiskGroup& g;
  bool missing[0x10000] = {};
  explicit MissingDisks(const AsmDiskGroup& group) : g(group) {}
  bool pointer(uint32_t, const AsmPointer& p) override {
    if (p.au != 0 && !diskByNumber(g, p.disk)) missing[p.disk] = true;
    return true;
  }
};

uint32_t listScore(AsmDiskGroup& g) {
  const uint8_t* au = ReadAu(g, 0, g.f1b1Disk, g.f1b1Au);
  if (!au) return 0;
  uint32_t stride = diskByNumber(g, g.f1b1Disk)->blockSize, score = 0;
  if (stride < g.blockSize) return 0;
  for (uint32_t b = 0; (static_cast<uint64_t>(b) + 1) * stride <= g.auSize; b++) {
    AsmMeta m{au + static_cast<size_t>(b) * stride, g.blockSize};
    if (b == 0 ? m.is(kAsmListHead) && m.number() == 0 : m.is(kAsmFileEntry) && m.number() == b) score++;
  }
  return score;
}

void asmList(AsmDiskGroup& g, Sink& out) {
  if (g.diskCount == 0) return;
  out.printf("Total Disks = %d, ausize=%d, blksize=%d\n", static_cast<int>(g.diskCount), static_cast<int>(g.auSize),
             static_cast<int>(g.blockSize));
  out.write("\n");
  out.write(" disk     size block disk name        disk group   disk path               \n");
  out.write("===== ======== ===== ================ ============ ========================\n");
  for (uint32_t i = 0; i < g.diskCount; i++) {
    const AsmDisk& d = g.disks[i];
    out.printf("%5d %8d %5d %-*s %-*s %s\n", d.number, static_cast<int>(d.sizeMb), static_cast<int>(d.blockSize), 16,
               d.name, 12, d.group, d.path);
  }
  out.write("\n");
  out.printf("f1b1disk = %d, f1b1au = %d, score=%d, compat=0x%08x\n", static_cast<int>(g.f1b1Disk),
             static_cast<int>(g.f1b1Au), static_cast<int>(listScore(g)), g.compat);
  auto place = [](const AsmPlace& p) {
    return std::make_tuple(static_cast<int>(p.file), static_cast<int>(p.disk), static_cast<int>(p.au),
                           static_cast<int>(p.block));
  };
  auto [f1, f2, f3, f4] = place(g.fileDir);
  auto [d1, d2, d3, d4] = place(g.diskDir);
  auto [a1, a2, a3, a4] = place(g.aliasDir);
  out.printf("file=(%d,%d,%d,%d), disk=(%d,%d,%d,%d), alias=(%d,%d,%d,%d)\n", f1, f2, f3, f4, d1, d2, d3, d4, a1, a2,
             a3, a4);
  uint32_t copies = copiesPerExtent(g);
  if (copies == 1) return;
  // Which copies a redundancy group can still give: the disks its file
  // directory names that are not open hold copies that cannot be read.
  std::unique_ptr<MissingDisks> md(new MissingDisks(g));
  const uint8_t* e = g.fileDir.known() ? ReadMetaBlock(g, g.fileDir.disk, g.fileDir.au, g.fileDir.block) : nullptr;
  if (e && AsmMeta{e, g.blockSize}.isEntryOf(g.fileDir.file)) walkPointers(g, AsmMeta{e, g.blockSize}, 1, *md);
  out.printf("redundancy=%s, copies=%u, missing disks=", redundancyName(g), copies);
  bool any = false;
  for (uint32_t d = 0; d <= 0xFFFF; d++)
    if (md->missing[d]) out.printf(any ? ",%u" : "%u", d), any = true;
  out.write(any ? " (extents there are read from their other copies)\n" : "none\n");
}

void asmLsau(AsmDiskGroup& g, const AsmOptions& o, Sink& out) {
  const AsmDisk* d = diskByNumber(g, static_cast<uint16_t>(o.disk));
  if (!d || o.disk > 0xFFFF) return;
  uint64_t count = o.count ? o.count : 1;
  uint64_t aus = d->length / d->auSize;
  uint32_t stride = d->blockSize;
  if (stride < g.blockSize) return;
  for (uint64_t a = o.au; a < o.au + count && a < aus; a++) {
    const uint8_t* au = ReadAu(g, 0, d->number, static_cast<uint32_t>(a));
    if (!au) continue;
    for (uint32_t b = 0; (static_cast<uint64_t>(b) + 1) * stride <= g.auSize; b++) {
      AsmMeta m{au + static_cast<size_t>(b) * stride, g.blockSize};
      if (!m.is(kAsmFileEntry) || m.owner() != 1 || m.u32(kEntrySizeLow) == 0) continue;
      out.printf("fileid=%d, disk=%d, au=%d, block=%d, size=%lld, aus=%d, flags=%d, type=%d\n",
                 static_cast<int>(m.number()), d->number, static_cast<int>(a), static_cast<int>(b),
                 static_cast<long long>(m.fileSize()), static_cast<int>(m.u32(kEntryExtentCount)), m.u8(kEntryFlags),
                 m.u8(kEntryFileType));
    }
  }
}

// The map lines of the extent pointers found in one AU.
void scanAu(const AsmDiskGroup& g, const uint8_t* au, uint32_t stride, Sink& out) {
  uint32_t copies = copiesPerExtent(g);
  auto line = [&](uint32_t file, uint64_t p, const AsmPointer& ptr) {
    if (ptr.au == 0 || !diskByNumber(g, ptr.disk)) return;
    out.printf("%u,%u,%u,%u\n", file, static_cast<unsigned>(p / copies + 1), ptr.disk, ptr.au);
  };
  for (uint32_t b = 0; (static_cast<uint64_t>(b) + 1) * stride <= g.auSize; b++) {
    AsmMeta m{au + static_cast<size_t>(b) * stride, g.blockSize};
    if (m.p[0] > 1 || m.u8(3) != 1) continue;
    if (m.is(kAsmFileEntry) && m.number() != 0) {
      AsmEntrySlots s = entrySlots(m);
      for (uint32_t k = 0; k < s.direct; k++) line(m.number(), k, pointerAt(m, kEntryPointers + k * kPointerBytes));
    } else if (m.is(kAsmIndirect) && m.owner() != 0) {
      uint32_t first = m.u32(kIndirectFirst), n = indirectCount(m);
      for (uint32_t k = 0; k < n; k++)
        line(m.owner(), static_cast<uint64_t>(first) + k, pointerAt(m, kIndirectPointers + k * kPointerBytes));
    }
  }
}

// AUs ASM SCAN reads of a disk: as many as its size in MB gives, or, when
// neither its header nor ADD gave one, as many as the device holds (said
// on the console).
uint64_t scanAus(const AsmDiskGroup& g, const AsmDisk& d, Sink& console) {
  if (d.sizeMb) return static_cast<uint64_t>(d.sizeMb) * kMegabyte / g.auSize;
  uint64_t aus = d.length / d.auSize;
  console.printf("  Disk %u gives no size: its %llu AUs as the device holds them are scanned.\n", d.number,
                 static_cast<unsigned long long>(aus));
  return aus;
}

void asmScan(AsmDiskGroup& g, const AsmOptions& o, Sink& out, Sink& console) {
  auto scanDisk = [&](const AsmDisk& d, uint64_t from, uint64_t count) {
    if (d.blockSize < g.blockSize) return;
    uint64_t aus = d.length / d.auSize;
    for (uint64_t a = from; a < from + count && a < aus; a++) {
      const uint8_t* au = ReadAu(g, 0, d.number, static_cast<uint32_t>(a));
      if (au) scanAu(g, au, d.blockSize, out);
    }
  };
  if (o.au != 0 && o.count != 0) {
    const AsmDisk* d = o.disk <= 0xFFFF ? diskByNumber(g, static_cast<uint16_t>(o.disk)) : nullptr;
    if (d) scanDisk(*d, o.au, o.count);
    return;
  }
  for (uint32_t i = 0; i < g.diskCount; i++) {
    const AsmDisk& d = g.disks[i];
    if (d.source) scanDisk(d, 0, scanAus(g, d, console));
  }
}

// The directory entry a FILE or ALIAS listing starts from, copied.
bool readDirectory(AsmDiskGroup& g, AsmPlace& dir, const AsmOptions& o, std::unique_ptr<uint8_t[]>& entry) {
  if (o.file != 0 && o.au != 0)
    dir = AsmPlace{static_cast<uint32_t>(o.file), static_cast<uint16_t>(o.disk), static_cast<uint32_t>(o.au),
                   static_cast<uint32_t>(o.block)};
  if (!dir.known()) return false;
  const uint8_t* b = ReadMetaBlock(g, dir.disk, dir.au, dir.block);
  if (!b || !AsmMeta{b, g.blockSize}.isEntryOf(dir.file)) return false;
  entry.reset(new uint8_t[g.blockSize]);
  memcpy(entry.get(), b, g.blockSize);
  return true;
}

// Visits the first AU of each extent of a directory once, from the first
// copy that can be read.
struct DirectoryAus : AsmPointerVisitor {
  AsmDiskGroup& g;
  uint32_t copies;
  uint32_t doneExtent = UINT32_MAX;
  explicit DirectoryAus(AsmDiskGroup& group) : g(group), copies(copiesPerExtent(group)) {}
  virtual void extentStart(uint32_t) {}
  virtual void au(const uint8_t* bytes, const AsmPointer& p, uint32_t stride) = 0;
  bool pointer(uint32_t p, const AsmPointer& ptr) override {
    uint32_t extent = p / copies;
    if (extent == doneExtent) return true;
    if (p % copies == 0) extentStart(p);
    if (ptr.au == 0) return true;
    const uint8_t* bytes = ReadAu(g, 1, ptr.disk, ptr.au);
    if (!bytes) return true;
    doneExtent = extent;
    uint32_t stride = diskByNumber(g, ptr.disk)->blockSize;
    if (stride >= g.blockSize) au(bytes, ptr, stride);
    return true;
  }
};

struct FileListing : DirectoryAus {
  Sink& out;
  FileListing(AsmDiskGroup& group, Sink& o) : DirectoryAus(group), out(o) {}
  void au(const uint8_t* bytes, const AsmPointer& p, uint32_t stride) override {
    for (uint32_t b = 0; (static_cast<uint64_t>(b) + 1) * stride <= g.auSize; b++) {
      AsmMeta m{bytes + static_cast<size_t>(b) * stride, g.blockSize};
      if (!m.is(kAsmFileEntry) || m.number() == 0 || m.fileSize() == 0) continue;
      out.printf("%8d %5d %8d %3d %8lld %4d %4d %d,%d\n", static_cast<int>(m.number()), p.disk,
                 static_cast<int>(p.au), static_cast<int>(b), static_cast<long long>(m.fileSize() >> 20),
                 m.u8(kEntryFlags), m.u8(kEntryFileType), static_cast<int>(m.u32(kEntryAlias0)),
                 static_cast<int>(m.u32(kEntryAlias1)));
    }
  }
};

void asmFile(AsmDiskGroup& g, const AsmOptions& o, Sink& out) {
  std::unique_ptr<uint8_t[]> entry;
  if (!readDirectory(g, g.fileDir, o, entry)) {
    out.error("  The file directory cannot be read.\n");
    return;
  }
  out.write("    file  disk       au blk     size flag type alias0,alias1              \n");
  out.write("======== ===== ======== === ======== ==== ==== ===========================\n");
  FileListing listing(g, out);
  walkPointers(g, AsmMeta{entry.get(), g.blockSize}, g.fileDir.file, listing);
}

// The alias name with every byte that is not printable ASCII shown as '?'.
void printableName(const char* name, char* out) {
  size_t i = 0;
  for (; name[i]; i++) {
    const uint8_t c = static_cast<uint8_t>(name[i]);
    out[i] = c >= 32 && c < 127 ? static_cast<char>(c) : '?';
  }
  out[i] = 0;
}

struct AliasListing : DirectoryAus {
  Sink& out;
  uint32_t direct;
  AliasListing(AsmDiskGroup& group, Sink& o, uint32_t d) : DirectoryAus(group), out(o), direct(d) {}
  void extentStart(uint32_t p) override {
    if (p >= direct) return;
    out.write("    file          inc parent fstblk flag  refer alias                     \n");
    out.write("======== ============ ====== ====== ==== ====== ==========================\n");
  }
  void au(const uint8_t* bytes, const AsmPointer&, uint32_t stride) override {
    for (uint32_t b = 0; (static_cast<uint64_t>(b) + 1) * stride <= g.auSize; b++) {
      AsmMeta m{bytes + static_cast<size_t>(b) * stride, g.blockSize};
      if (!m.is(kAsmAliasBlock) || m.owner() == 0) continue;
      AsmAliasEntry e;
      for (uint32_t i = 0; aliasEntryAt(m, i, e); i++) {
        if (e.flags != 4 && e.flags != 18) continue;
        char name[kAliasNameMax + 1];
        printableName(e.name, name);
        out.printf("%8d %12d %6d %6d %4d %6d %s\n", static_cast<int>(e.file), static_cast<int>(e.incarnation),
                   static_cast<int>(m.u32(kAliasParent)), static_cast<int>(m.u32(kAliasFirstBlock)), e.flags,
                   static_cast<int>(e.reference), name);
      }
    }
  }
};

void asmAlias(AsmDiskGroup& g, const AsmOptions& o, Sink& out) {
  std::unique_ptr<uint8_t[]> entry;
  if (!readDirectory(g, g.aliasDir, o, entry)) {
    out.error("  The alias directory cannot be read.\n");
    return;
  }
  AsmMeta e{entry.get(), g.blockSize};
  AliasListing listing(g, out, entrySlots(e).direct);
  walkPointers(g, e, g.aliasDir.file, listing);
}

void asmExtent(RunContext& rc, const AsmOptions& o) {
  AsmDiskGroup& g = rc.asmContext.group;
  Sink& out = rc.out;
  if (o.level >= 1 && o.level <= kAsmLevels && o.au != 0 && o.count != 0) {
    uint32_t level = static_cast<uint32_t>(o.level) - 1;
    bool above = true;
    for (uint32_t k = 0; k < level; k++) above = above && o.au > g.levels[k].last;
    if (above) {
      g.levels[level].last = static_cast<uint32_t>(o.au);
      g.levels[level].aus = static_cast<uint32_t>(o.count);
      groupChanged(g);
      rc.emptyReadCaches();
    }
  }
  out.write("    au start       au end    aunum\n");
  out.write("============ ============ ========\n");
  out.printf("%12u %12u %8u\n", 1u, g.levels[0].last, g.levels[0].aus);
  for (uint32_t k = 1; k < kAsmLevels && g.levels[k - 1].last != kAsmUnlimited; k++)
    out.printf("%12u %12u %8u\n", g.levels[k - 1].last + 1, g.levels[k].last, g.levels[k].aus);
}

const char* const kCopyNames[kAsmMaxCopies] = {"primary", "mirror", "mirror2"};

struct ExtentMap : AsmPointerVisitor {
  const AsmDiskGroup& g;
  Sink& out;
  uint32_t copies;
  uint32_t extent = UINT32_MAX, present = 0;
  uint64_t complete = 0, partial = 0, none = 0;
  ExtentMap(const AsmDiskGroup& group, Sink& o) : g(group), out(o), copies(copiesPerExtent(group)) {}
  void endExtent() {
    if (extent == UINT32_MAX) return;
    (present == copies ? complete : present ? partial : none)++;
  }
  bool pointer(uint32_t p, const AsmPointer& ptr) override {
    uint32_t e = p / copies;
    out.printf("%10d %5d %10d %4d %3d %3d", static_cast<int>(e + 1), ptr.disk, static_cast<int>(ptr.au),
               static_cast<int>(extentAus(g, e)), ptr.flags, ptr.check);
    if (copies == 1) {
      out.write("\n");
      return true;
    }
    bool open = ptr.au != 0 && diskByNumber(g, ptr.disk);
    out.printf(" %s%s\n", kCopyNames[p % copies], ptr.au == 0 ? " (empty)" : open ? "" : " (disk not open)");
    if (e != extent) endExtent(), extent = e, present = 0;
    present += open;
    return true;
  }
  void gap(uint32_t missing) override {
    out.printf("ERROR: missing (%d) extents\n", static_cast<int>((missing + copies - 1) / copies));
  }
};

void asmFmap(AsmDiskGroup& g, uint32_t n, const AsmPlace& place, Sink& out) {
  const uint8_t* b = ReadMetaBlock(g, place.disk, place.au, place.block);
  if (!b) return;
  std::unique_ptr<uint8_t[]> copy(new uint8_t[g.blockSize]);
  memcpy(copy.get(), b, g.blockSize);
  AsmMeta e{copy.get(), g.blockSize};
  out.printf("fid=%d, disk=%d, au=%d, block=%d\n", static_cast<int>(n), place.disk, static_cast<int>(place.au),
             static_cast<int>(place.block));
  out.printf("siz=%lld, ecnt=%d, eeof=%d, flags=%d, type=%d, alias=%d,%d\n", static_cast<long long>(e.fileSize() >> 20),
             static_cast<int>(e.u32(kEntryExtentCount)), static_cast<int>(e.u32(kEntryEeof)), e.u8(kEntryFlags),
             e.u8(kEntryFileType), static_cast<int>(e.u32(kEntryAlias0)), static_cast<int>(e.u32(kEntryAlias1)));
  bool mirrored = copiesPerExtent(g) > 1;
  out.write(mirrored ? "     extid  disk       auid  cnt flg chk copy\n" : "     extid  disk       auid  cnt flg chk\n");
  out.write(mirrored ? "========== ===== ========== ==== === === =======\n" : "========== ===== ========== ==== === ===\n");
  ExtentMap map(g, out);
  walkPointers(g, e, n, map);
  if (!mirrored) return;
  map.endExtent();
  out.printf("copies present: %llu extents complete, %llu with a copy missing, %llu with no copy\n",
             static_cast<unsigned long long>(map.complete), static_cast<unsigned long long>(map.partial),
             static_cast<unsigned long long>(map.none));
}

void asmFmap2(AsmFile& f, uint64_t offset, Sink& out) {
  uint32_t first = offset > 1 ? static_cast<uint32_t>(std::min<uint64_t>(offset, UINT32_MAX)) - 1 : 0;
  if (!extentCopies(f, first)) return;
  for (uint32_t s = 0; s < kAsmWindow; s++) {
    // Window slot s holds the extent whose number is s modulo 1024.
    uint32_t i = static_cast<uint32_t>((s + 2 * kAsmWindow - (static_cast<uint64_t>(f.windowFirst) + 1) % kAsmWindow) %
                                       kAsmWindow);
    const AsmCopy* c = &f.window[i * kAsmMaxCopies];
    uint64_t number = static_cast<uint64_t>(f.windowFirst) + i + 1;
    for (uint32_t k = 0; k < f.copies; k++) {
      if (c[k].au == kAsmNoAu) continue;
      out.printf("extentid=%d, disk=%d, au=%d", static_cast<int>(number), c[k].disk, static_cast<int>(c[k].au));
      out.write(f.copies > 1 ? "" : "\n");
      if (f.copies > 1) out.printf(", copy=%s\n", kCopyNames[k]);
    }
  }
}

void asmDump(AsmFile& f, uint64_t block, Sink& out) {
  uint32_t bs = f.group.oracleBlock;
  std::unique_ptr<uint8_t[]> buf(new uint8_t[bs]);
  if (!ReadAsmFileRange(f, block * bs, buf.get(), bs)) {
    out.error("  Read Error\n");
    return;
  }
  hexDump(out, buf.get(), bs);
}

// The copy's file, created (or emptied) for writing; -1 with a message
// when it cannot be.
int createCopy(const char* to, Sink& out) {
  int fd = to[0] ? open(to, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666) : -1;
  if (fd < 0) out.error("  Cannot create %s\n", to[0] ? to : "(no TO file)");
  return fd;
}

bool writeAll(int fd, const uint8_t* p, size_t n) {
  while (n) {
    ssize_t w = write(fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w, n -= static_cast<size_t>(w);
  }
  return true;
}

// Closes a copy; says so when it could not be written whole.
void closeCopy(int fd, const char* to, bool ok, Sink& out) {
  if (close(fd) != 0) ok = false;
  if (!ok) out.error("  Write error on %s, the copy is incomplete!\n", to);
}

void reportZeroed(uint64_t aus, Sink& out) {
  if (aus) out.printf("  %llu AUs could not be read and were written as zeros.\n", static_cast<unsigned long long>(aus));
}

// One AU-long piece of a copy at pos: with one copy of each extent straight
// from its disk to the copy (in the kernel where it can), with mirrors
// through the mirror choice; what cannot be read is written as zeros.
// False when the copy could not be written.
bool copyPiece(AsmFile& f, uint64_t pos, size_t n, int dest, uint8_t* buf, uint64_t& zeroed) {
  AsmDiskGroup& g = f.group;
  size_t done = 0;
  if (f.copies == 1) {
    AsmExtentSpot spot = mapAu(g, pos / g.auSize);
    const AsmCopy* c = extentCopies(f, spot.extent);
    const AsmDisk* d = c && c->au != kAsmNoAu ? diskByNumber(g, c->disk) : nullptr;
    if (d) {
      uint64_t at = (static_cast<uint64_t>(c->au) + spot.auInExtent) * d->auSize + pos % g.auSize;
      done = copyDiskBytes(g, c->disk, at, n, dest, buf, g.auSize).bytes;
    }
  } else {
    done = readAsmBytes(f, pos, buf, n, f.length).bytes;
    if (!writeAll(dest, buf, done)) return false;
  }
  if (done == n) return true;
  zeroed++;
  memset(buf, 0, n - done);
  return writeAll(dest, buf, n - done);
}

// COPY: the file extent by extent, its unreadable AUs as zeros, as long
// as its size (or its map, when that ends first).
void asmCopy(AsmFile& f, const char* to, Sink& out, Progress& progress) {
  AsmDiskGroup& g = f.group;
  uint64_t length = f.length;
  if (f.size > length)
    out.printf("  The extent map covers %llu of the file's %llu bytes; the copy ends there.\n",
               static_cast<unsigned long long>(length), static_cast<unsigned long long>(f.size));
  int dest = createCopy(to, out);
  if (dest < 0) return;
  uint8_t* buf = g.au[1].bytes.get();
  g.au[1].disk = kAsmNoDisk;
  g.au[1].au = kAsmNoAu;
  uint64_t zeroed = 0;
  bool ok = true;
  progress.begin("ASM COPY", g.auSize, "AUs", false);
  progress.expect((length + g.auSize - 1) / g.auSize);
  for (uint64_t pos = 0; pos < length && ok; pos += g.auSize, progress.advance(1))
    ok = copyPiece(f, pos, static_cast<size_t>(std::min<uint64_t>(g.auSize, length - pos)), dest, buf, zeroed);
  closeCopy(dest, to, ok, out);
  reportZeroed(zeroed, out);
}

struct MapSlot {
  uint32_t count = 0;
  AsmCopy copies[kMapCandidates];
};

// COPY ... MAP: the extents of the file as a map file (SCAN's lines: file,
// extent, disk, AU) names them, in passes of 1024 extents; extents the map
// does not name are zeros. Several lines for one extent are its copies.
void asmCopyMap(AsmDiskGroup& g, uint32_t n, const char* mapName, const char* to, Sink& out, Progress& progress) {
  FILE* map = fopen(mapName, "r");
  if (!map) {
    out.error("  Cannot open map file %s\n", mapName);
    return;
  }
  AsmPlace place;
  uint64_t size = 0;
  if (FindFileEntry(g, place, n)) {
    const uint8_t* b = ReadMetaBlock(g, place.disk, place.au, place.block);
    if (b) size = AsmMeta{b, g.blockSize}.fileSize();
  }
  int dest = createCopy(to, out);
  if (dest < 0) {
    fclose(map);
    return;
  }
  // Extents the copy may have: those of the file's size when its entry
  // gives one, and never more than the open disks could hold. Lines past
  // them (SCAN writes such lines from damaged blocks) are passed over.
  const uint64_t sizeAus = size / g.auSize + (size % g.auSize != 0);
  const bool bySize = size && sizeAus <= groupAuBound(g);
  const uint64_t limitAus = bySize ? sizeAus : groupAuBound(g);
  const uint64_t limit = limitAus ? static_cast<uint64_t>(mapAu(g, limitAus - 1).extent) + 1 : 0;
  uint64_t refused = 0, firstRefused = 0;
  std::unique_ptr<MapSlot[]> slots(new MapSlot[kAsmWindow]);
  AsmFile reader(g, n);  // the mirror choice of COPY, over the map's copies
  reader.checkSize = g.oracleBlock;
  uint8_t* buf = g.au[1].bytes.get();
  g.au[1].disk = kAsmNoDisk;
  g.au[1].au = kAsmNoAu;
  uint64_t base = 0, pos = 0, zeroed = 0, lines = 0;
  bool ok = true, more = true;
  progress.begin("ASM COPY", g.auSize, "AUs", false);
  progress.expect((size + g.auSize - 1) / g.auSize);
  char line[256];
  while (more && ok) {
    more = false;
    for (uint32_t i = 0; i < kAsmWindow; i++) slots[i].count = 0;
    int64_t last = -1;
    rewind(map);
    while (fgets(line, sizeof line, map)) {
      if (line[0] == '#' || line[0] == '\n' || line[0] == '\r') continue;
      unsigned long long file, extent, disk, au;
      if (sscanf(line, "%llu,%llu,%llu,%llu", &file, &extent, &disk, &au) != 4) continue;
      if (file != n || extent == 0 || au == 0 || au >= kAsmNoAu || disk > 0xFFFF) continue;
      uint64_t e = extent - 1;
      if (e >= limit) {
        if (base == 0) firstRefused = refused++ ? std::min<uint64_t>(firstRefused, extent) : extent;
        continue;
      }
      if (e < base) continue;
      if (e >= base + kAsmWindow) {
        more = true;
        continue;
      }
      lines++;
      MapSlot& s = slots[e - base];
      bool dup = false;
      for (uint32_t k = 0; k < s.count; k++) dup |= s.copies[k].disk == disk && s.copies[k].au == au;
      if (!dup && s.count < kMapCandidates) s.copies[s.count++] = AsmCopy{static_cast<uint16_t>(disk), static_cast<uint32_t>(au)};
      last = std::max<int64_t>(last, static_cast<int64_t>(e - base));
    }
    uint32_t end = more ? kAsmWindow : static_cast<uint32_t>(last + 1);
    for (uint32_t i = 0; i < end && ok; i++) {
      uint32_t extent = static_cast<uint32_t>(base + i);
      uint32_t aus = extentAus(g, extent);
      reader.copies = std::max<uint32_t>(slots[i].count, 1);
      for (uint32_t a = 0; a < aus && ok; a++, pos += g.auSize) {
        if (size && pos >= size) break;
        size_t want = size ? static_cast<size_t>(std::min<uint64_t>(g.auSize, size - pos)) : g.auSize;
        if (slots[i].count == 0 || !readExtentPiece(reader, slots[i].copies, a, 0, pos, buf, want)) {
          memset(buf, 0, want);
          zeroed++;
        }
        ok = writeAll(dest, buf, want);
        progress.advance(1);
      }
    }
    base += kAsmWindow;
  }
  fclose(map);
  closeCopy(dest, to, ok, out);
  if (refused)
    out.error("  %llu map lines of file %u name extents past %s (the first: extent %llu); they were passed over.\n",
              static_cast<unsigned long long>(refused), n, bySize ? "the file's size" : "what the open disks can hold",
              static_cast<unsigned long long>(firstRefused));
  if (lines == 0) out.error("  The map file %s names no extent of file %u.\n", mapName, n);
  reportZeroed(zeroed, out);
}

void asmScopy(AsmFile& f, const char* to, Sink& out, Progress& progress) {
  AsmDiskGroup& g = f.group;
  if (g.stripSize == 0 || g.stripWidth == 0 || g.stripSize > g.auSize) {
    out.error("  STRIP_SIZE %u with STRIP_WIDTH %u does not fit AUs of %u bytes; nothing is copied.\n", g.stripSize,
              g.stripWidth, g.auSize);
    return;
  }
  int dest = createCopy(to, out);
  if (dest < 0) return;
  uint8_t* buf = g.au[1].bytes.get();
  g.au[1].disk = kAsmNoDisk;
  g.au[1].au = kAsmNoAu;
  bool ok = true;
  uint64_t pos = 0;
  progress.begin("ASM SCOPY", g.stripSize, "stripes", false);
  progress.expect((f.size + g.stripSize - 1) / g.stripSize);
  for (uint64_t s = 0; ok && (f.size == 0 || pos < f.size); s++, pos += g.stripSize, progress.advance(1)) {
    if (!ReadAsmFileRange(f, stripeOffset(g, s), buf, g.stripSize)) {
      if (f.size) out.printf("  Stripe %llu cannot be read; the copy ends at byte %llu.\n",
                             static_cast<unsigned long long>(s), static_cast<unsigned long long>(pos));
      break;
    }
    size_t n = f.size ? static_cast<size_t>(std::min<uint64_t>(g.stripSize, f.size - pos)) : g.stripSize;
    ok = writeAll(dest, buf, n);
  }
  closeCopy(dest, to, ok, out);
}

}  // namespace

uint64_t stripeOffset(const AsmDiskGroup& group, uint64_t g) {
  uint64_t h = static_cast<uint64_t>(group.stripSize ? group.auSize / group.stripSize : 0) * group.stripWidth;
  if (h == 0) return g * group.stripSize;  // no stripe fits an AU: asmScopy refuses such settings
  uint64_t q = g / h, r = g % h;
  return static_cast<uint64_t>(group.auSize) * (group.stripWidth * q + r % group.stripWidth) +
         static_cast<uint64_t>(group.stripSize) * (r / group.stripWidth);
}

void cmdAsm(RunContext& rc) {
  CommandLine& cl = rc.cmd;
  Sink& out = rc.out;
  AsmDiskGroup& g = rc.asmContext.group;
  enum Sub { kSet, kOpen, kAdd, kList, kLsau, kScan, kFile, kAlias, kExtent, kFmap, kFmap2, kDump, kCopy, kScopy,
             kHelp, kNone } sub = kNone;
  static const char* const kSubs[] = {"SET", "OPEN", "ADD", "LIST", "LSAU", "SCAN", "FILE", "ALIAS",
                                      "EXTENT", "FMAP", "FMAP2", "DUMP", "COPY", "SCOPY", "HELP"};
  if (cl.nextToken())
    for (int i = 0; i < kNone; i++)
      if (keywordMatch(cl.token(), kSubs[i])) sub = static_cast<Sub>(i);
  if (sub == kNone) {
    out.error("Invalid command, run ASM HELP for command list\n");
    return;
  }
  if (sub == kHelp) return printHelp(out);
  if (sub == kSet) return asmSet(rc);

  printDateLine(out);
  if (sub == kOpen) {
    char name[kAsmListNameMax + 1] = "";
    if (cl.nextToken()) copyToken(cl.token(), name, kAsmListNameMax);
    OpenDiskList(g, name, out);
    rc.emptyReadCaches();
  } else {
    AsmOptions o = readOptions(cl);
    uint32_t n = static_cast<uint32_t>(o.file);
    // TO names a listing's file; COPY and SCOPY write their copy there, ADD
    // takes it as the disk path.
    bool listing = sub != kCopy && sub != kScopy && sub != kAdd && sub != kExtent;
    FileOrConsole to(listing ? o.to : "", "wb+", out);
    Sink& dest = to.sink();
    auto needFile = [&]() -> std::unique_ptr<AsmFile> {
      std::unique_ptr<AsmFile> f = o.file <= UINT32_MAX ? OpenAsmFile(g, n, hintOf(o)) : nullptr;
      if (!f) out.error("  ASM file %u not found.\n", n);
      return f;
    };
    switch (sub) {
      case kAdd:
        if (o.to[0] && o.disk <= 0xFFFF) {
          AddDisk(g, static_cast<uint16_t>(o.disk), o.to, static_cast<uint32_t>(o.count), out);
          rc.emptyReadCaches();
        }
        break;
      case kList: asmList(g, dest); break;
      case kLsau: if (o.disk <= 0xFFFF) asmLsau(g, o, dest); break;
      case kScan: asmScan(g, o, dest, out); break;
      case kFile: asmFile(g, o, dest); break;
      case kAlias: asmAlias(g, o, dest); break;
      case kExtent: asmExtent(rc, o); break;
      case kFmap: {
        AsmPlace place = hintOf(o);
        if (n != 0 && FindFileEntry(g, place, n)) asmFmap(g, n, place, dest);
        else out.error("  ASM file %u not found.\n", n);
        break;
      }
      case kFmap2: if (auto f = needFile()) asmFmap2(*f, o.offset, dest); break;
      case kDump: if (auto f = needFile()) asmDump(*f, o.offset, dest); break;
      case kCopy:
        if (o.map[0]) asmCopyMap(g, n, o.map, o.to, out, rc.progress);
        else if (auto f = needFile()) asmCopy(*f, o.to, out, rc.progress);
        break;
      case kScopy: if (auto f = needFile()) asmScopy(*f, o.to, out, rc.progress); break;
      default: break;
    }
    dest.flush();
  }
  printDateLine(out);
}

}  // namespace bex
