#include "asm/asm_file.h"

#include <algorithm>
#include <cstring>

#include "base/block_check.h"
#include "base/cmdline.h"
#include "base/limits.h"

namespace bex {

namespace {

bool plausibleDbBlock(uint32_t v) { return v >= kBlockSizeMin && v <= kBlockSizeMax && !(v & (v - 1)); }

// Stops at the first directory block of file n in the AUs of file 1. Each
// extent is searched in the first copy that reads; the extent where entry
// n belongs (block n of the directory) in its other copies too while the
// entry is not found: a damaged block there leaves the mirror's.
struct EntrySearch : AsmPointerVisitor {
  AsmDiskGroup& g;
  uint32_t n, copies, home;
  uint32_t doneExtent = UINT32_MAX;
  AsmPlace found;
  EntrySearch(AsmDiskGroup& group, uint32_t file)
      : g(group),
        n(file),
        copies(copiesPerExtent(group)),
        home(mapAu(group, static_cast<uint64_t>(file) * group.blockSize / group.auSize).extent) {}
  bool pointer(uint32_t p, const AsmPointer& ptr) override {
    if (ptr.au == 0 || (p / copies == doneExtent && doneExtent != home)) return true;
    const uint8_t* au = ReadAu(g, 1, ptr.disk, ptr.au);
    if (!au) return true;  // a mirror may still be read
    doneExtent = p / copies;
    uint32_t stride = diskByNumber(g, ptr.disk)->blockSize;
    if (stride < g.blockSize) return true;
    for (uint32_t b = 0; (static_cast<uint64_t>(b) + 1) * stride <= g.auSize; b++) {
      if (AsmMeta{au + static_cast<size_t>(b) * stride, g.blockSize}.isEntryOf(n)) {
        found = AsmPlace{n, ptr.disk, ptr.au, b};
        return false;
      }
    }
    return true;
  }
};

// The highest pointer index that names an AU, below limit.
struct LastPointer : AsmPointerVisitor {
  uint64_t limit;
  int64_t last = -1;
  explicit LastPointer(uint64_t l) : limit(l) {}
  bool pointer(uint32_t p, const AsmPointer& ptr) override {
    if (ptr.au != 0 && p < limit) last = p;
    return true;
  }
};

// Puts the pointers of one window into it.
struct WindowFill : AsmPointerVisitor {
  AsmFile& f;
  uint64_t start, end;  // pointer indexes of the window
  explicit WindowFill(AsmFile& file)
      : f(file),
        start(static_cast<uint64_t>(file.windowFirst) * file.copies),
        end((static_cast<uint64_t>(file.windowFirst) + kAsmWindow) * file.copies) {}
  bool pointer(uint32_t p, const AsmPointer& ptr) override {
    if (p >= end) return false;
    if (p < start || ptr.au == 0) return true;
    AsmCopy& c = f.window[(p / f.copies - f.windowFirst) * kAsmMaxCopies + p % f.copies];
    c.disk = ptr.disk;
    c.au = ptr.au;
    return true;
  }
};

bool loadEntry(AsmFile& f) {
  AsmDiskGroup& g = f.group;
  f.windowValid = false;
  f.size = f.mapped = f.length = f.stated = 0;
  f.ecnt = 0;
  if (!f.entry.known()) return false;
  f.entryBuf.reset(new uint8_t[g.blockSize]);
  f.entryBytes = 0;
  if (!readMetaInto(g, f.entry.disk, f.entry.au, f.entry.block, f.entryBuf.get())) return false;
  AsmMeta e{f.entryBuf.get(), g.blockSize};
  if (!e.isEntryOf(f.number)) return false;
  f.entryBytes = g.blockSize;
  f.size = e.fileSize();
  f.ecnt = e.u32(kEntryExtentCount);
  f.copies = copiesPerExtent(g);
  uint32_t bs = e.u32(kEntryBlockSize);
  f.checkSize = plausibleDbBlock(bs) ? bs : g.oracleBlock;
  // A damaged map may name pointers far beyond anything the group can
  // hold; a file's extents never outnumber the AUs of sixteen disks as
  // large as the largest open one.
  const uint64_t bound = groupAuBound(g);
  LastPointer lp(bound * f.copies);
  walkEntryPointers(g, e, f.number, f.scratch.get(), kAsmScratch, lp);
  if (lp.last >= 0) f.mapped = extentFirstAu(g, static_cast<uint64_t>(lp.last) / f.copies + 1) * g.auSize;
  uint64_t counted = extentFirstAu(g, (static_cast<uint64_t>(f.ecnt) + f.copies - 1) / f.copies) * g.auSize;
  f.length = std::min(f.mapped, counted);
  if (f.size) f.length = std::min(f.length, f.size);
  f.stated = std::min({f.size, counted, bound * g.auSize});
  return true;
}

bool fillWindow(AsmFile& f, uint32_t extent) {
  f.windowValid = false;
  if (!f.entry.known() || !f.entryBytes) return false;
  for (uint32_t i = 0; i < kAsmWindow * kAsmMaxCopies; i++) f.window[i] = AsmCopy{};
  f.windowFirst = extent;
  WindowFill fill(f);
  walkEntryPointers(f.group, AsmMeta{f.entryBuf.get(), f.entryBytes}, f.number, f.scratch.get(), kAsmScratch,
                    fill);
  f.windowValid = true;
  return true;
}

bool allZero(const uint8_t* p, size_t n) {
  for (size_t i = 0; i < n; i++)
    if (p[i]) return false;
  return true;
}

}  // namespace

bool readExtentPiece(AsmFile& f, const AsmCopy* copies, uint32_t auInExtent, uint32_t inAu, uint64_t pos, uint8_t* dst,
               size_t n) {
  const AsmDiskGroup& g = f.group;
  // Only copies on open disks are read, so the disk is there.
  auto offsetOf = [&](const AsmCopy& c) {
    return (static_cast<uint64_t>(c.au) + auInExtent) * diskByNumber(g, c.disk)->auSize + inAu;
  };
  uint32_t used = kAsmMaxCopies;
  for (uint32_t c = 0; c < f.copies; c++) {
    if (copies[c].au == kAsmNoAu || !diskByNumber(g, copies[c].disk)) continue;
    if (readDiskBytes(g, copies[c].disk, offsetOf(copies[c]), dst, n)) {
      used = c;
      break;
    }
  }
  if (used == kAsmMaxCopies) return false;
  if (f.copies == 1) return true;
  uint32_t cs = f.checkSize;
  for (uint64_t b = (pos + cs - 1) / cs * cs; b + cs <= pos + n; b += cs) {
    uint8_t* block = dst + (b - pos);
    bool broken = BlockChecksumTest(block, cs) != 0;
    if (!broken && !allZero(block, cs)) continue;
    // A copy that passes the check replaces it; a block that fails it gives
    // way even to a copy of zeros (a block never written, damaged on one disk).
    bool zeros = false, mended = false;
    for (uint32_t c = 0; c < f.copies && !mended; c++) {
      if (c == used || copies[c].au == kAsmNoAu || !diskByNumber(g, copies[c].disk)) continue;
      if (!readDiskBytes(g, copies[c].disk, offsetOf(copies[c]) + (b - pos), f.scratch.get(), cs)) continue;
      if (BlockChecksumTest(f.scratch.get(), cs) != 0) continue;
      if (allZero(f.scratch.get(), cs)) {
        zeros = true;
        continue;
      }
      memcpy(block, f.scratch.get(), cs);
      mended = true;
    }
    if (!mended && broken && zeros) memset(block, 0, cs);
  }
  return true;
}

namespace {
// Guards the groups' lists of open files: the readers of a parallel walk
// make copies of the files they read.
std::mutex openFilesLock;
}  // namespace

AsmFile::AsmFile(AsmDiskGroup& g, uint32_t n)
    : group(g), number(n), window(new AsmCopy[kAsmWindow * kAsmMaxCopies]), scratch(new uint8_t[kAsmScratch]) {
  std::lock_guard<std::mutex> hold(openFilesLock);
  g.openFiles.push_back(this);
}

AsmFile::~AsmFile() {
  std::lock_guard<std::mutex> hold(openFilesLock);
  auto& v = group.openFiles;
  v.erase(std::remove(v.begin(), v.end(), this), v.end());
}

bool FindFileEntry(AsmDiskGroup& g, AsmPlace& place, uint32_t n) {
  if (place.known()) {
    const uint8_t* b = ReadMetaBlock(g, place.disk, place.au, place.block);
    if (b && AsmMeta{b, g.blockSize}.isEntryOf(n)) {
      place.file = n;
      return true;
    }
  }
  if (g.f1b1Disk == kAsmNoDisk || g.f1b1Au == kAsmNoAu) return false;
  const uint8_t* dir = ReadMetaBlock(g, g.f1b1Disk, g.f1b1Au, 1);
  // A damaged block 1 of the F1B1 AU: the copy of the entry LocateFiles found.
  if ((!dir || !AsmMeta{dir, g.blockSize}.isEntryOf(1)) && g.fileDir.known())
    dir = ReadMetaBlock(g, g.fileDir.disk, g.fileDir.au, g.fileDir.block);
  if (!dir || !AsmMeta{dir, g.blockSize}.isEntryOf(1)) return false;
  EntrySearch search(g, n);
  walkPointers(g, AsmMeta{dir, g.blockSize}, 1, search);
  if (!search.found.known()) return false;
  place = search.found;
  return true;
}

std::unique_ptr<AsmFile> OpenAsmFile(AsmDiskGroup& g, uint32_t n, AsmPlace hint) {
  if (n == 0) return nullptr;
  if (!FindFileEntry(g, hint, n)) return nullptr;
  auto f = std::make_unique<AsmFile>(g, n);
  f->entry = hint;
  if (!loadEntry(*f)) return nullptr;
  return f;
}

void remapAsmFile(AsmFile& f) {
  AsmPlace place = f.entry;
  if (!FindFileEntry(f.group, place, f.number)) place = AsmPlace{};
  f.entry = place;
  loadEntry(f);
}

const AsmCopy* extentCopies(AsmFile& f, uint32_t extent) {
  if (!f.windowValid || extent < f.windowFirst || extent - f.windowFirst >= kAsmWindow)
    if (!fillWindow(f, extent)) return nullptr;
  return &f.window[(extent - f.windowFirst) * kAsmMaxCopies];
}

ReadResult readAsmBytes(AsmFile& f, uint64_t offset, uint8_t* buf, size_t n, uint64_t limit) {
  ReadResult r;
  const uint32_t auSize = f.group.auSize;
  while (r.bytes < n) {
    uint64_t pos = offset + r.bytes;
    if (pos >= limit) break;
    uint64_t a = pos / auSize;
    uint32_t inAu = static_cast<uint32_t>(pos % auSize);
    AsmExtentSpot spot = mapAu(f.group, a);
    size_t piece = std::min<uint64_t>({n - r.bytes, auSize - inAu, limit - pos});
    const AsmCopy* copies = extentCopies(f, spot.extent);
    if (!copies || !readExtentPiece(f, copies, spot.auInExtent, inAu, pos, buf + r.bytes, piece)) {
      r.error = true;
      break;
    }
    r.bytes += piece;
  }
  return r;
}

bool ReadAsmFileRange(AsmFile& f, uint64_t offset, uint8_t* buf, size_t length) {
  return readAsmBytes(f, offset, buf, length, f.mapped).bytes == length;
}

std::unique_ptr<AsmFile> copyAsmFile(const AsmFile& f) {
  auto c = std::make_unique<AsmFile>(f.group, f.number);
  c->entry = f.entry;
  c->size = f.size;
  c->ecnt = f.ecnt;
  c->copies = f.copies;
  c->checkSize = f.checkSize;
  c->mapped = f.mapped;
  c->length = f.length;
  c->stated = f.stated;
  if (f.entryBuf) {
    c->entryBuf.reset(new uint8_t[f.group.blockSize]);
    memcpy(c->entryBuf.get(), f.entryBuf.get(), f.group.blockSize);
  }
  c->entryBytes = f.entryBytes;
  return c;
}

ReadResult AsmFileSource::read(uint64_t offset, uint8_t* buf, size_t n) {
  std::unique_ptr<AsmFile> reader;
  {
    std::lock_guard<std::mutex> hold(lock_);
    if (idle_.empty()) {
      reader = copyAsmFile(*f_);
      idle_.reserve(idle_.size() + 1);
    } else {
      reader = std::move(idle_.back());
      idle_.pop_back();
    }
  }
  const ReadResult r = readAsmBytes(*reader, offset, buf, n, reader->length);
  std::lock_guard<std::mutex> hold(lock_);
  idle_.push_back(std::move(reader));
  return r;
}

std::unique_ptr<ByteSource> openAsmFile(AsmContext& context, uint32_t fileNumber) {
  std::unique_ptr<AsmFile> f = OpenAsmFile(context.group, fileNumber);
  if (!f) return nullptr;
  return std::make_unique<AsmFileSource>(std::move(f));
}

std::unique_ptr<ByteSource> AsmContext::open(const char* path, Sink&) {
  return openAsmFile(*this, static_cast<uint32_t>(tokenNumber(path + 1)));
}

}  // namespace bex
