#include "forge/asm_group.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "forge/dict_system.h"
#include "forge/unload_rows.h"

namespace bex::forge {

namespace {

constexpr uint64_t kMb = 1 << 20;
constexpr uint8_t kMetaFlags = 1, kMetaType = 15;
constexpr uint32_t kIncarnationBase = 1150000000;

uint64_t roundUp(uint64_t n, uint64_t unit) { return (n + unit - 1) / unit * unit; }

const char* redundancyName(uint32_t copies) {
  return copies == 3 ? "HIGH" : copies == 2 ? "NORMAL" : "EXTERNAL";
}

}  // namespace

ContentReader bytesReader(Bytes bytes) {
  auto shared = std::make_shared<const Bytes>(std::move(bytes));
  return [shared](uint64_t offset, uint8_t* out, size_t len) {
    std::fill(out, out + len, 0);
    if (offset >= shared->size()) return;
    const size_t n = static_cast<size_t>(std::min<uint64_t>(len, shared->size() - offset));
    std::copy_n(shared->data() + offset, n, out);
  };
}

AsmGroup::AsmGroup(AsmGroupSpec shape) : shape_(std::move(shape)) {}

std::string AsmGroup::imageName(uint32_t disk) const { return format("%s_d%u.img", shape_.prefix.c_str(), disk); }

uint32_t AsmGroup::extentAus(uint32_t extent) const {
  for (const auto& [last, aus] : shape_.levels)
    if (extent <= last) return aus;
  return shape_.levels.empty() ? 1 : shape_.levels.back().second;
}

std::vector<AsmGroup::Copy> AsmGroup::allocate(uint32_t aus) {
  std::vector<Copy> copies;
  for (uint32_t j = 0; j < shape_.copies; ++j) {
    const uint16_t disk = static_cast<uint16_t>((turn_ + j) % shape_.disks);
    copies.push_back({disk, images_[disk].next});
    images_[disk].next += aus;
  }
  ++turn_;
  return copies;
}

AsmPointer AsmGroup::pointer(const Extent& e, uint32_t copy) const {
  if (e.empty || e.skipped) return {};
  return {e.copies[copy].au, e.copies[copy].disk};
}

void AsmGroup::layExtents(Laid& f, uint64_t aus) {
  uint64_t covered = 0;
  for (uint32_t v = 1; covered < aus; ++v) {
    Extent e;
    e.aus = f.shape.fine ? 1 : extentAus(v);
    e.fileAu = covered;
    e.empty = std::find(f.shape.emptyPointers.begin(), f.shape.emptyPointers.end(), v) != f.shape.emptyPointers.end();
    e.skipped = v >= f.shape.skipFirst && v < f.shape.skipFirst + f.shape.skipCount;
    if (!e.empty && !e.skipped) e.copies = allocate(e.aus);
    f.extents.push_back(std::move(e));
    covered += f.extents.back().aus;
  }
}

// Pointers past the direct slots go into indirect blocks of whole extents
// (all copies of one together); an extent left out ends a block, and the
// next block starts at the extent after the gap.
void AsmGroup::layIndirect(Laid& f) {
  const uint32_t c = shape_.copies, direct = kAsmDirectSlots / c;
  const uint32_t cap = asmIndirectCapacity(shape_.blockSize) / c * c;
  bool open = false;
  for (uint32_t e = direct; e < f.extents.size(); ++e) {
    if (f.extents[e].skipped) {
      open = false;
      continue;
    }
    if (!open || f.blocks.back().pointers.size() == cap) {
      f.blocks.push_back({e * c, {}});
      open = true;
    }
    for (uint32_t j = 0; j < c; ++j) f.blocks.back().pointers.push_back(pointer(f.extents[e], j));
  }
  const uint32_t aus = static_cast<uint32_t>((f.blocks.size() + blocksPerAu() - 1) / blocksPerAu());
  for (uint32_t i = 0; i < aus; ++i) f.indirectAus.push_back(allocate(1));
}

void AsmGroup::put(uint16_t disk, uint32_t au, uint32_t offset, const uint8_t* data, size_t len) {
  Bytes& b = images_[disk].aus[au];
  if (b.size() < offset + len) b.resize(offset + len);
  std::copy_n(data, len, b.begin() + offset);
}

void AsmGroup::putBlock(const std::vector<Copy>& at, uint32_t block, const ForgeBlock& b) {
  for (const Copy& c : at) put(c.disk, c.au, block * shape_.blockSize, b.data(), b.size());
}

bool AsmGroup::putData(const Laid& f, const std::vector<int>& fds, std::string& error) {
  const uint64_t au = shape_.auSize;
  Bytes buf(au);
  for (const Extent& e : f.extents) {
    if (e.empty || e.skipped) continue;
    for (uint32_t k = 0; k < e.aus; ++k) {
      const uint64_t a = e.fileAu + k;
      if (!f.shape.fine) {
        f.shape.read(a * au, buf.data(), buf.size());
      } else {
        const uint64_t h = au / kStripeSize * kStripeWidth, q = a / kStripeWidth, m = a % kStripeWidth;
        for (uint64_t s = 0; s < au / kStripeSize; ++s)
          f.shape.read((q * h + s * kStripeWidth + m) * kStripeSize, buf.data() + s * kStripeSize, kStripeSize);
      }
      size_t used = buf.size();
      while (used > 0 && buf[used - 1] == 0) --used;
      if (used == 0) continue;
      const std::string lines = scanAu(buf.data(), used);
      for (const Copy& c : e.copies) {
        if (::pwrite(fds[c.disk], buf.data(), used, static_cast<off_t>((c.au + k) * au)) != static_cast<ssize_t>(used)) {
          error = format("cannot write %s", imageName(c.disk).c_str());
          return false;
        }
        if (!lines.empty()) images_[c.disk].scanned[c.au + k] = lines;
      }
    }
  }
  return true;
}

// The alias tree: root, BEXDB, DATAFILE, then the file aliases.
void AsmGroup::layAliases() {
  aliasBlocks_ = {{{"BEXDB", kAliasDirectory, kAsmNone, kAsmNone, 1}}, {{"DATAFILE", kAliasDirectory, kAsmNone, kAsmNone, 2}}, {}};
  aliasParents_ = {0, 0, 1};
  const size_t cap = asmAliasCapacity(shape_.blockSize);
  for (Laid& f : laid_) {
    if (f.shape.alias.empty()) continue;
    for (const std::string& name : {format("%s.%u.%u", f.shape.alias.c_str(), f.shape.number, f.incarnation), f.shape.userAlias}) {
      if (name.empty()) continue;
      if (aliasBlocks_.back().size() == cap) {
        aliasBlocks_.emplace_back();
        aliasParents_.push_back(1);
      }
      const bool system = f.alias0 == kAsmNone;
      if (system) {
        f.alias0 = static_cast<uint32_t>(aliasBlocks_.size() - 1);
        f.alias1 = static_cast<uint32_t>(aliasBlocks_.back().size());
      }
      aliasBlocks_.back().push_back({name, system ? kAliasSystem : kAliasUser, f.shape.number, f.incarnation, kAsmNone});
    }
  }
}

bool AsmGroup::layout(std::string& error) {
  const uint32_t bpa = blocksPerAu();
  if (shape_.disks < 1 || shape_.disks > 16 || shape_.copies < 1 || shape_.copies > 3 || shape_.copies > shape_.disks) {
    error = format("%u copies on %u disks cannot be laid out", shape_.copies, shape_.disks);
    return false;
  }
  if (shape_.auSize % shape_.blockSize || bpa < 2) {
    error = format("AU size %u is not a multiple of two metadata blocks", shape_.auSize);
    return false;
  }
  images_.assign(shape_.disks, Image{});
  uint32_t maxFile = kAsmAliasDirectory;
  for (const AsmFileSpec& f : files_) maxFile = std::max(maxFile, f.number);
  auto meta = [&](uint32_t number) {
    Laid l;
    l.shape.number = number;
    l.flags = kMetaFlags, l.type = kMetaType;
    return l;
  };
  laid_ = {meta(kAsmFileDirectory), meta(kAsmDiskDirectory), meta(kAsmAliasDirectory)};
  for (size_t i = 0; i < files_.size(); ++i) {
    Laid l;
    l.shape = files_[i];
    l.incarnation = kIncarnationBase + l.shape.number * 7;
    if (l.shape.fine && shape_.auSize % kStripeSize) {
      error = "a fine-striped file needs AUs of whole stripes";
      return false;
    }
    laid_.push_back(std::move(l));
  }
  layAliases();
  const uint32_t dirAus = (maxFile + bpa) / bpa;
  const uint32_t aliasAus = static_cast<uint32_t>((aliasBlocks_.size() + bpa - 1) / bpa);
  laid_[0].shape.size = uint64_t{dirAus} * shape_.auSize;
  laid_[1].shape.size = shape_.auSize;
  laid_[2].shape.size = uint64_t{aliasAus} * shape_.auSize;
  for (Laid& f : laid_) {
    uint64_t aus = (f.shape.size + shape_.auSize - 1) / shape_.auSize;
    if (f.shape.fine) {
      const uint64_t perGroup = uint64_t{shape_.auSize} * kStripeWidth;
      aus = (f.shape.size + perGroup - 1) / perGroup * kStripeWidth;
    }
    layExtents(f, aus);
    layIndirect(f);
    if (kAsmDirectSlots + f.indirectAus.size() * shape_.copies > asmEntrySlots(shape_.blockSize)) {
      error = format("file %u needs more indirect extents than its entry holds", f.shape.number);
      return false;
    }
  }
  for (size_t i : {0, 2})
    for (const Extent& e : laid_[i].extents)
      if (e.aus != 1) {
        error = "the directories need extents of one AU";
        return false;
      }
  uint32_t used = 0;
  for (const Image& i : images_) used = std::max(used, i.next);
  sizeMb_ = static_cast<uint32_t>(roundUp(uint64_t{used + 1} * shape_.auSize, std::max<uint64_t>(shape_.auSize, kMb)) / kMb);
  return true;
}

bool AsmGroup::write(ScenarioOut& out, std::string& error) {
  if (!layout(error)) return false;
  const uint32_t bpa = blocksPerAu(), bsize = shape_.blockSize;
  const ByteOrder o = shape_.order;
  const Laid& dir = laid_[0];
  for (uint16_t d = 0; d < shape_.disks; ++d) {
    AsmDiskHeaderSpec h;
    h.disk = d, h.groupType = groupType(), h.auSize = shape_.auSize, h.sizeMb = sizeMb_;
    h.diskName = format("%s_%04u", shape_.groupName.c_str(), d), h.groupName = shape_.groupName;
    for (const Copy& c : dir.extents[0].copies)
      if (c.disk == d) h.f1b1 = c.au;
    putBlock({{d, 0}}, 0, asmDiskHeader(h, bsize, o));
  }
  putBlock(dir.extents[0].copies, 0, asmListHead(bsize, o));
  for (const Laid& f : laid_) {
    AsmFileEntrySpec s;
    s.file = f.shape.number, s.incarnation = f.incarnation, s.size = f.shape.size;
    s.pointerCount = static_cast<uint32_t>(f.extents.size() * shape_.copies);
    s.flags = f.flags, s.type = f.type, s.copies = static_cast<uint8_t>(shape_.copies);
    s.alias0 = f.alias0, s.alias1 = f.alias1;
    for (uint32_t p = 0; p < std::min(s.pointerCount, kAsmDirectSlots); ++p)
      s.direct.push_back(pointer(f.extents[p / shape_.copies], p % shape_.copies));
    for (const auto& copies : f.indirectAus)
      for (const Copy& c : copies) s.indirect.push_back({c.au, c.disk});
    const ForgeBlock entry = asmFileEntry(s, bsize, o);
    if (entry.overflowed()) {
      error = format("the entry of file %u does not fit", f.shape.number);
      return false;
    }
    putBlock(dir.extents[f.shape.number / bpa].copies, f.shape.number % bpa, entry);
    for (size_t i = 0; i < f.blocks.size(); ++i)
      putBlock(f.indirectAus[i / bpa], i % bpa,
               asmIndirectBlock(f.shape.number, static_cast<uint32_t>(i), f.blocks[i].before, f.blocks[i].pointers, bsize, o));
  }
  for (size_t i = 0; i < aliasBlocks_.size(); ++i)
    putBlock(laid_[2].extents[i / bpa].copies, i % bpa,
             asmAliasBlock(static_cast<uint32_t>(i), aliasParents_[i], static_cast<uint32_t>(i), aliasBlocks_[i], bsize, o));
  if (!writeImages(out, error)) return false;
  expectations(out);
  return shape_.copies > 1 || writeListings(out, error);
}

// Opens the images, writes the files' data to them, then the metadata, and
// gives each its full size.
bool AsmGroup::writeImages(ScenarioOut& out, std::string& error) {
  std::string list = format("# disks of the %s group %s, one image per line\n", redundancyName(shape_.copies),
                            shape_.groupName.c_str());
  std::vector<std::string> paths;
  std::vector<int> fds;
  bool ok = true;
  for (uint32_t d = 0; ok && d < shape_.disks; ++d) {
    const bool missing = static_cast<int>(d) == shape_.missingDisk;
    ok = !missing || makeDir(out.path("missing"), error);
    paths.push_back(out.path((missing ? "missing/" : "") + imageName(d)));
    fds.push_back(::open(paths.back().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    if (ok && fds.back() < 0) ok = false, error = "cannot create " + paths.back();
    list += out.path(imageName(d)) + "\n";
  }
  for (size_t i = 3; ok && i < laid_.size(); ++i) ok = putData(laid_[i], fds, error);
  for (uint32_t d = 0; d < fds.size(); ++d) {
    for (auto it = images_[d].aus.begin(); ok && it != images_[d].aus.end(); ++it)
      ok = ::pwrite(fds[d], it->second.data(), it->second.size(), static_cast<off_t>(uint64_t{it->first} * shape_.auSize)) ==
           static_cast<ssize_t>(it->second.size());
    ok = ok && ::ftruncate(fds[d], static_cast<off_t>(uint64_t{sizeMb_} * kMb)) == 0;
    if (fds[d] >= 0 && ::close(fds[d]) != 0) ok = false;
    if (!ok && error.empty()) error = "cannot write " + paths[d];
  }
  return ok && writeTextFile(out.path(diskListName()), list, error);
}

void AsmGroup::expectations(ScenarioOut& out) const {
  const Laid& dir = laid_[0];
  Copy f1b1{0, 0};
  for (const Copy& c : dir.extents[0].copies)
    if (static_cast<int>(c.disk) != shape_.missingDisk) f1b1 = c;
  out.fact(format("asmgroup %s name=%s redundancy=%s disks=%u au=%u bsize=%u order=%s mb=%u compat=0x0b200000 "
                  "f1b1disk=%u f1b1au=%u",
                  shape_.prefix.c_str(), shape_.groupName.c_str(), redundancyName(shape_.copies), shape_.disks,
                  shape_.auSize, shape_.blockSize, shape_.order == ByteOrder::Big ? "BIG" : "LITTLE", sizeMb_,
                  f1b1.disk, f1b1.au));
  for (uint32_t d = 0; d < shape_.disks; ++d) {
    uint32_t own = 0;
    for (const Copy& c : dir.extents[0].copies)
      if (c.disk == d) own = c.au;
    out.fact(format("asmdisk %u path=%s name=%s_%04u f1b1=%u present=%d", d, out.path(imageName(d)).c_str(),
                    shape_.groupName.c_str(), d, own, static_cast<int>(d) != shape_.missingDisk));
  }
  for (size_t i = 3; i < laid_.size(); ++i) {
    const Laid& f = laid_[i];
    uint64_t alloc = 0;
    for (const Extent& e : f.extents) alloc += uint64_t{e.aus} * shape_.auSize;
    const uint32_t bpa = blocksPerAu();
    const Copy at = dir.extents[f.shape.number / bpa].copies[0];
    out.fact(format("asmfile %u name=%s size=%llu extents=%zu pointers=%zu alloc=%llu striped=%d entry=%u/%u/%u",
                    f.shape.number, f.shape.original.c_str(), static_cast<unsigned long long>(f.shape.size),
                    f.extents.size(), f.extents.size() * shape_.copies, static_cast<unsigned long long>(alloc),
                    f.shape.fine ? 1 : 0, at.disk, at.au, f.shape.number % bpa));
    for (size_t e = 0; e < f.extents.size(); ++e) {
      const Extent& x = f.extents[e];
      if (x.empty || x.skipped)
        out.fact(format("asmhole %u extent=%zu aus=%u kind=%s", f.shape.number, e + 1, x.aus, x.empty ? "empty" : "skipped"));
      else if (shape_.copies > 1)
        for (size_t j = 0; j < x.copies.size(); ++j)
          out.fact(format("asmcopy %u extent=%zu copy=%zu disk=%u au=%u aus=%u present=%d", f.shape.number, e + 1, j,
                          x.copies[j].disk, x.copies[j].au, x.aus,
                          static_cast<int>(x.copies[j].disk) != shape_.missingDisk));
    }
  }
}

}  // namespace bex::forge
