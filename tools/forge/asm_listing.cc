// The listings a reader following the shape writes for an external
// redundancy group: ASM LIST, FILE, ALIAS, FMAP, LSAU, EXTENT, the map file
// of ASM SCAN, and COPY of a file with holes.
#include <algorithm>

#include "forge/asm_group.h"
#include "forge/dict_system.h"
#include "forge/unload_rows.h"

namespace bex::forge {

namespace {

uint8_t pointerCheck(const AsmPointer& p) {
  if (p.au == 0) return 0;
  uint8_t c = 0;
  for (int s = 0; s < 32; s += 8) c ^= static_cast<uint8_t>(p.au >> s);
  return c ^ static_cast<uint8_t>(p.disk) ^ static_cast<uint8_t>(p.disk >> 8);
}

uint32_t field32(const uint8_t* b, uint32_t off) {
  const uint8_t* p = b + off;
  return b[0] ? (uint32_t{p[3]} << 24 | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0])
              : (uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3]);
}
uint16_t field16(const uint8_t* b, uint32_t off) {
  const uint8_t* p = b + off;
  return static_cast<uint16_t>(b[0] ? (p[1] << 8 | p[0]) : (p[0] << 8 | p[1]));
}

int asInt(uint32_t v) { return static_cast<int>(v); }

}  // namespace

std::string AsmGroup::listText(const ScenarioOut& out) const {
  const Copy f1b1 = laid_[0].extents[0].copies[0];
  std::string s = format("Total Disks = %u, ausize=%u, blksize=%u\n\n", shape_.disks, shape_.auSize, shape_.blockSize);
  s += " disk     size block disk name        disk group   disk path               \n"
       "===== ======== ===== ================ ============ ========================\n";
  for (uint32_t d = 0; d < shape_.disks; ++d)
    s += format("%5u %8u %5u %-16s %-12s %s\n", d, sizeMb_, shape_.blockSize,
                format("%s_%04u", shape_.groupName.c_str(), d).c_str(), shape_.groupName.c_str(),
                out.path(imageName(d)).c_str());
  uint32_t score = 1;
  for (const Laid& f : laid_) score += f.shape.number < blocksPerAu() ? 1 : 0;
  s += format("\nf1b1disk = %u, f1b1au = %u, score=%u, compat=0x%08x\n", f1b1.disk, f1b1.au, score, 0x0b200000u);
  s += format("file=(1,%u,%u,1), disk=(2,%u,%u,2), alias=(6,%u,%u,6)\n", f1b1.disk, f1b1.au, f1b1.disk, f1b1.au,
              f1b1.disk, f1b1.au);
  return s;
}

std::string AsmGroup::fileText() const {
  std::string s =
      "    file  disk       au blk     size flag type alias0,alias1              \n"
      "======== ===== ======== === ======== ==== ==== ===========================\n";
  std::vector<const Laid*> byNumber;
  for (const Laid& f : laid_) byNumber.push_back(&f);
  std::sort(byNumber.begin(), byNumber.end(), [](const Laid* a, const Laid* b) { return a->shape.number < b->shape.number; });
  for (const Laid* f : byNumber) {
    const Copy at = laid_[0].extents[f->shape.number / blocksPerAu()].copies[0];
    s += format("%8u %5u %8u %3u %8llu %4u %4u %d,%d\n", f->shape.number, at.disk, at.au, f->shape.number % blocksPerAu(),
                static_cast<unsigned long long>(f->shape.size >> 20), f->flags, f->type, asInt(f->alias0), asInt(f->alias1));
  }
  return s;
}

std::string AsmGroup::aliasText() const {
  std::string s;
  const Laid& dir = laid_[2];
  for (size_t x = 0; x < dir.extents.size(); ++x) {
    s += "    file          inc parent fstblk flag  refer alias                     \n"
         "======== ============ ====== ====== ==== ====== ==========================\n";
    for (size_t i = x * blocksPerAu(); i < std::min<size_t>((x + 1) * blocksPerAu(), aliasBlocks_.size()); ++i)
      for (const AsmAliasEntry& e : aliasBlocks_[i])
        if (e.flags == kAliasDirectory || e.flags == kAliasSystem)
          s += format("%8d %12d %6u %6zu %4u %6d %s\n", asInt(e.file), asInt(e.incarnation), aliasParents_[i], i, e.flags,
                      asInt(e.refer), e.name.c_str());
  }
  return s;
}

std::string AsmGroup::fmapText(const Laid& f) const {
  const uint32_t bpa = blocksPerAu(), n = f.shape.number;
  const Copy at = laid_[0].extents[n / bpa].copies[0];
  const uint32_t count = static_cast<uint32_t>(f.extents.size());
  std::string s = format("fid=%u, disk=%u, au=%u, block=%u\n", n, at.disk, at.au, n % bpa);
  s += format("siz=%llu, ecnt=%u, eeof=%u, flags=%u, type=%u, alias=%d,%d\n",
              static_cast<unsigned long long>(f.shape.size >> 20), count, count, f.flags, f.type, asInt(f.alias0),
              asInt(f.alias1));
  s += "     extid  disk       auid  cnt flg chk\n"
       "========== ===== ========== ==== === ===\n";
  auto line = [&](uint32_t extent, const AsmPointer& p) {
    return format("%10u %5u %10u %4u %3u %3u\n", extent, p.disk, p.au, extentAus(extent), 0u, pointerCheck(p));
  };
  uint32_t listed = std::min(count, kAsmDirectSlots);
  for (uint32_t e = 0; e < listed; ++e) s += line(e + 1, pointer(f.extents[e], 0));
  for (const IndirectBlock& b : f.blocks) {
    if (b.before > listed) s += format("ERROR: missing (%u) extents\n", b.before - listed);
    for (size_t k = 0; k < b.pointers.size(); ++k) s += line(b.before + static_cast<uint32_t>(k) + 1, b.pointers[k]);
    listed = b.before + static_cast<uint32_t>(b.pointers.size());
  }
  return s;
}

std::string AsmGroup::lsauText(uint16_t disk, uint32_t au) const {
  std::string s;
  const uint32_t bpa = blocksPerAu();
  std::vector<const Laid*> here;
  for (const Laid& f : laid_) {
    const Copy at = laid_[0].extents[f.shape.number / bpa].copies[0];
    if (at.disk == disk && at.au == au) here.push_back(&f);
  }
  std::sort(here.begin(), here.end(), [](const Laid* a, const Laid* b) { return a->shape.number < b->shape.number; });
  for (const Laid* f : here)
    s += format("fileid=%u, disk=%u, au=%u, block=%u, size=%llu, aus=%zu, flags=%u, type=%u\n", f->shape.number, disk, au,
                f->shape.number % bpa, static_cast<unsigned long long>(f->shape.size), f->extents.size() * shape_.copies,
                f->flags, f->type);
  return s;
}

// The lines ASM SCAN writes for one AU: every block whose byte order byte
// is 0 or 1 and whose format byte is 1 gives, when it is a file directory
// entry, one line per direct pointer and, when it is an indirect block, one
// per pointer; pointers with AU 0 or a disk number not below the number of
// disks entered (those present) give none.
std::string AsmGroup::scanAu(const uint8_t* au, size_t len) const {
  std::string s;
  uint32_t present = 0;
  for (uint32_t d = 0; d < shape_.disks; ++d) present += static_cast<int>(d) != shape_.missingDisk ? 1 : 0;
  Bytes block(shape_.blockSize);
  auto take = [&](const uint8_t* b, uint32_t f, uint32_t extent, uint32_t off) {
    const uint32_t at = field32(b, off);
    const uint16_t disk = field16(b, off + 4);
    if (at != 0 && disk < present) s += format("%u,%u,%u,%u\n", f, extent, disk, at);
  };
  for (size_t off = 0; off < len; off += shape_.blockSize) {
    std::fill(block.begin(), block.end(), 0);
    std::copy_n(au + off, std::min<size_t>(shape_.blockSize, len - off), block.begin());
    const uint8_t* b = block.data();
    if (b[0] > 1 || b[3] != 1) continue;
    const uint32_t number = field32(b, 4), owner = field32(b, 8);
    if (b[2] == kAsmFileEntry && number != 0) {
      const uint32_t slots = std::min(field16(b, 92), field16(b, 94));
      for (uint32_t k = 0; k < slots && kAsmPointerSlots + 8 * k + 8 <= shape_.blockSize; ++k)
        take(b, number, k + 1, kAsmPointerSlots + 8 * k);
    } else if (b[2] == kAsmIndirect && owner != 0) {
      const uint32_t before = field32(b, 32), count = field16(b, 36);
      for (uint32_t k = 0; k < count && kAsmIndirectPointers + 8 * k + 8 <= shape_.blockSize; ++k)
        take(b, owner, before + k + 1, kAsmIndirectPointers + 8 * k);
    }
  }
  return s;
}

// The map file of ASM SCAN over the whole group: the disks present in order,
// (disk size / AU size) AUs of each.
std::string AsmGroup::scanMap() const {
  std::string s;
  const uint64_t aus = uint64_t{sizeMb_} * (1 << 20) / shape_.auSize;
  for (uint32_t d = 0; d < shape_.disks; ++d) {
    if (static_cast<int>(d) == shape_.missingDisk) continue;
    std::map<uint32_t, std::string> lines = images_[d].scanned;
    for (const auto& [au, bytes] : images_[d].aus) lines[au] = scanAu(bytes.data(), bytes.size());
    for (const auto& [au, text] : lines)
      if (au < aus) s += text;
  }
  return s;
}

Bytes AsmGroup::copyImage(const Laid& f) const {
  uint64_t alloc = 0;
  for (const Extent& e : f.extents) alloc += uint64_t{e.aus} * shape_.auSize;
  Bytes out(alloc);
  for (const Extent& e : f.extents)
    if (!e.empty && !e.skipped)
      f.shape.read(e.fileAu * shape_.auSize, out.data() + e.fileAu * shape_.auSize, uint64_t{e.aus} * shape_.auSize);
  return out;
}

bool AsmGroup::writeListings(ScenarioOut& out, std::string& error) {
  const std::string dir = "expect/" + shape_.prefix + "/";
  if (!makeDir(out.path("expect"), error) || !makeDir(out.path(dir), error)) return false;
  auto text = [&](const std::string& name, const std::string& statement, const std::string& s) {
    if (!statement.empty()) listings_.push_back({name, format(statement.c_str(), shape_.prefix.c_str(), name.c_str())});
    return writeTextFile(out.path(dir + name), s, error);
  };
  // LocateFiles finds files 2 and 6 only when the F1B1 AU holds their blocks.
  bool ok = (blocksPerAu() <= kAsmAliasDirectory || text("LIST.txt", "ASM LIST TO %s.%s", listText(out))) &&
            text("FILE.txt", "ASM FILE TO %s.%s", fileText()) && text("ALIAS.txt", "ASM ALIAS TO %s.%s", aliasText()) &&
            text("FMAP.1.txt", "ASM FMAP FILE 1 TO %s.%s", fmapText(laid_[0]));
  for (size_t x = 0; ok && x < laid_[0].extents.size(); ++x) {
    const Copy at = laid_[0].extents[x].copies[0];
    const std::string s = lsauText(at.disk, at.au);
    if (!s.empty())
      ok = text(format("LSAU.%u.%u.txt", at.disk, at.au), format("ASM LSAU DISK %u AU %u TO %%s.%%s", at.disk, at.au), s);
  }
  for (size_t i = 3; ok && i < laid_.size(); ++i) {
    const Laid& f = laid_[i];
    ok = text(format("FMAP.%u.txt", f.shape.number), format("ASM FMAP FILE %u TO %%s.%%s", f.shape.number), fmapText(f));
    const bool holes = std::any_of(f.extents.begin(), f.extents.end(), [](const Extent& e) { return e.empty || e.skipped; });
    if (ok && holes) {
      const Bytes b = copyImage(f);
      ok = text(format("COPY.%u", f.shape.number), "", std::string(b.begin(), b.end()));
    }
  }
  ok = ok && text("SCAN.map", "ASM SCAN TO %s.%s", scanMap());
  if (ok && !shape_.levels.empty()) {
    std::string s = "    au start       au end    aunum\n============ ============ ========\n";
    uint32_t prev = 0;
    for (size_t k = 0; k < 4; ++k) {
      const auto level = k < shape_.levels.size() ? shape_.levels[k] : std::make_pair(kAsmNone, 1u);
      s += format("%12u %12u %8u\n", prev + 1, level.first, level.second);
      if (level.first == kAsmNone) break;
      prev = level.first;
    }
    ok = text("EXTENT.txt", "", s);
  }
  return ok;
}

std::string AsmGroup::roadCommands() const {
  std::string s = format("ASM SET AU_SIZE %u\nASM OPEN %s\n", shape_.auSize, diskListName().c_str());
  for (size_t k = 0; k < shape_.levels.size(); ++k)
    s += format("ASM EXTENT LEVEL %zu AU %u COUNT %u\n", k + 1, shape_.levels[k].first, shape_.levels[k].second);
  for (const auto& [name, statement] : listings_) s += statement + "\n";
  for (size_t i = 3; i < laid_.size(); ++i)
    s += format("ASM %s FILE %u TO %s.%s.%u\n", laid_[i].shape.fine ? "SCOPY" : "COPY", laid_[i].shape.number,
                shape_.prefix.c_str(), laid_[i].shape.fine ? "SCOPY" : "COPY", laid_[i].shape.number);
  return s;
}

bool AsmGroup::writeCheckScript(ScenarioOut& out, std::string& error) const {
  const std::string& p = shape_.prefix;
  std::string s = format(
      "#!/bin/sh\n"
      "# Compares what BEX wrote for the ASM group %s with what the forge made: \"check.sh\n"
      "# listings\" the files of ASM LIST, FILE, ALIAS, LSAU, FMAP and SCAN, \"check.sh copies\"\n"
      "# the files of ASM COPY and SCOPY, \"check.sh scan NAME\" the listings of SCAN DATABASE\n"
      "# with NAME.BEXEXT.TXT and NAME.BEXLOB.TXT. Exits 1 when a file differs.\n"
      "cd \"$(dirname \"$0\")/../..\"\n"
      "status=0\n"
      "same() { if cmp -s \"$1\" \"$2\"; then echo \"$2 same\"; else echo \"$2 DIFFERS\"; status=1; fi; }\n"
      "# padded ORIGINAL COPY LENGTH: COPY is ORIGINAL, alone or followed by zeros up to\n"
      "# LENGTH bytes (the whole extents)\n"
      "padded() {\n"
      "  n=$(wc -c < \"$1\")\n"
      "  m=$(wc -c 2> /dev/null < \"$2\" || echo 0)\n"
      "  if { [ \"$m\" -eq \"$n\" ] || [ \"$m\" -eq \"$3\" ]; } && cmp -s -n \"$n\" \"$1\" \"$2\" &&\n"
      "     [ \"$(tail -c +$((n + 1)) \"$2\" | tr -d '\\000' | wc -c)\" -eq 0 ]; then echo \"$2 same\"\n"
      "  else echo \"$2 DIFFERS\"; status=1; fi\n"
      "}\n"
      "listings() {\n",
      p.c_str());
  for (const auto& [name, statement] : listings_) s += format("  same expect/%s/%s %s.%s\n", p.c_str(), name.c_str(), p.c_str(), name.c_str());
  s += "  :\n}\ncopies() {\n";
  for (size_t i = 3; i < laid_.size(); ++i) {
    const Laid& f = laid_[i];
    const std::string original = f.shape.original.substr(f.shape.original.rfind('/') + 1);
    const bool holes = std::any_of(f.extents.begin(), f.extents.end(), [](const Extent& e) { return e.empty || e.skipped; });
    uint64_t alloc = 0;
    for (const Extent& e : f.extents) alloc += uint64_t{e.aus} * shape_.auSize;
    if (holes && shape_.copies == 1)
      s += format("  same expect/%s/COPY.%u %s.COPY.%u\n", p.c_str(), f.shape.number, p.c_str(), f.shape.number);
    else
      s += format("  padded %s %s.%s.%u %llu\n", original.c_str(), p.c_str(), f.shape.fine ? "SCOPY" : "COPY",
                  f.shape.number, static_cast<unsigned long long>(alloc));
  }
  s += "}\n"
       "scan() { same \"$1.BEXEXT.TXT\" BEXDICT/BEXEXT.TXT; same \"$1.BEXLOB.TXT\" BEXDICT/BEXLOB.TXT; }\n"
       "\"${1:-listings}\" \"${2:-}\"\n"
       "exit $status\n";
  return makeDir(out.path("expect"), error) && makeDir(out.path("expect/" + p), error) &&
         writeTextFile(out.path("expect/" + p + "/check.sh"), s, error);
}

}  // namespace bex::forge
