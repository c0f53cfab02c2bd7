#include "forge/forge_file.h"

#include <unistd.h>

#include <cstdio>
#include <memory>

namespace bex::forge {

ForgeFile::ForgeFile(FileSpec fs) : layout_(std::move(fs)) {}

uint32_t ForgeFile::rdba(uint32_t block) const {
  return layout_.bigfile ? block : makeRdba(layout_.rfn, block);
}

uint32_t ForgeFile::lastBlock() const {
  uint32_t last = layout_.blocks;
  if (!blocks_.empty()) last = std::max(last, blocks_.rbegin()->first);
  if (layout_.withHeader) last = std::max<uint32_t>(last, 1);
  return last;
}

BlockHeader ForgeFile::fixAddress(BlockHeader h, uint32_t block) const {
  if (h.rdba == 0) h.rdba = rdba(block);
  return h;
}

// Every single-block kind: the block's own address goes into its header,
// then the builder lays it out for this file's size and byte order.
template <typename Description, typename Builder>
void ForgeFile::addBuilt(uint32_t block, Description s, Builder build) {
  s.hdr = fixAddress(s.hdr, block);
  Facts facts;
  ForgeBlock b = build(s, layout_.blockSize, layout_.order, facts);
  addBlock(block, std::move(b), std::move(facts));
}

void ForgeFile::addTableBlock(uint32_t block, TableBlockSpec s) { addBuilt(block, std::move(s), buildTableBlock); }

void ForgeFile::addCompressedBlock(uint32_t block, CompressedBlockSpec s) { addBuilt(block, std::move(s), buildCompressedBlock); }

void ForgeFile::addIndexLeaf(uint32_t block, IndexLeafSpec s) { addBuilt(block, std::move(s), buildIndexLeaf); }

void ForgeFile::addUndoBlock(uint32_t block, UndoBlockSpec s) { addBuilt(block, std::move(s), buildUndoBlock); }

void ForgeFile::addUndoSegment(uint32_t block, UndoSegmentSpec s) { addBuilt(block, std::move(s), buildUndoSegment); }

void ForgeFile::addLobBlock(uint32_t block, LobBlockSpec s) { addBuilt(block, std::move(s), buildLobBlock); }

void ForgeFile::addLobChunkBlock(uint32_t block, LobChunkSpec s) { addBuilt(block, std::move(s), buildLobChunkBlock); }

void ForgeFile::addBitmapBlock(uint32_t block, BitmapBlockSpec s) { addBuilt(block, std::move(s), buildBitmapBlock); }

void ForgeFile::addSegment(uint32_t block, SegmentSpec s) {
  s.hdr = fixAddress(s.hdr, block);
  Facts facts;
  SegmentBlocks sb = buildSegment(s, layout_.blockSize, layout_.order, facts);
  addBlock(block, std::move(sb.header), std::move(facts));
  for (size_t i = 0; i < sb.maps.size(); ++i) {
    uint32_t at = layout_.bigfile ? s.mapRdbas[i] : (s.mapRdbas[i] & 0x3fffff);
    addBlock(at, std::move(sb.maps[i]), std::move(sb.mapFacts[i]));
  }
}

void ForgeFile::addBlock(uint32_t block, ForgeBlock b, Facts facts) {
  blocks_[block] = Entry{std::move(b), std::move(facts)};
}

const ForgeBlock* ForgeFile::block(uint32_t n) const {
  auto it = blocks_.find(n);
  return it == blocks_.end() ? nullptr : &it->second.block;
}

const Facts& ForgeFile::facts(uint32_t n) const {
  static const Facts kNone;
  auto it = blocks_.find(n);
  return it == blocks_.end() ? kNone : it->second.facts;
}

std::string ForgeFile::problems() const {
  std::string s;
  for (const auto& [n, e] : blocks_) {
    if (e.block.overflowed()) s += format("%sblock %u does not fit", s.empty() ? "" : ", ", n);
    if (e.block.size() != layout_.blockSize) s += format("%sblock %u has the wrong size", s.empty() ? "" : ", ", n);
  }
  return s;
}

uint32_t readField32(const ForgeBlock& b, uint32_t off) {
  if (off + 4 > b.size()) return 0;
  return get32(b.data() + off, b.order());
}

uint32_t blockObjd(const ForgeBlock& b) {
  switch (b.at(0)) {
    case 0x06: return readField32(b, 24);
    case 0x10: case 0x11: return readField32(b, 100);
    case 0x12: return readField32(b, 28);
    case 0x1b: case 0x28: return readField32(b, 20);
    case 0x23: return readField32(b, 272);
    default: return 0;
  }
}

std::string ForgeFile::blockLine(uint32_t n, const ForgeBlock& b) const {
  const char* sum = xorFoldBytes(b.data(), b.size()) == 0 ? "good"
                    : (b.at(15) & kFlagChecksum)          ? "bad"
                                                          : "none";
  return format("block %u/%u rdba=0x%08x type=0x%02x objd=%u checksum=%s\n", layout_.rfn, n,
                readField32(b, 4), b.at(0), blockObjd(b), sum);
}

void ForgeFile::ensureHeaderBlocks() {
  if (!layout_.withHeader) return;
  const uint32_t last = lastBlock();
  if (!has(0))
    addBlock(0, buildOsHeader(layout_.blockSize, layout_.order, last),
             {{"osblk", format("bsize=%u blocks=%u", layout_.blockSize, last)}});
  if (!has(1)) {
    Facts facts;
    ForgeBlock b = buildFileHeader(layout_.header, rdba(1), layout_.rfn, layout_.blockSize, layout_.order,
                                   last, facts);
    addBlock(1, std::move(b), std::move(facts));
  }
}

bool ForgeFile::write(const std::string& path, std::string& expect, std::string& error) {
  if (!validBlockSize(layout_.blockSize)) {
    error = format("block size %u is not a power of two from 2048 to 32768", layout_.blockSize);
    return false;
  }
  ensureHeaderBlocks();
  if (std::string p = problems(); !p.empty()) {
    error = layout_.name + ": " + p;
    return false;
  }
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!f) {
    error = "cannot create " + path;
    return false;
  }
  const uint32_t last = lastBlock();
  Bytes zeros(std::max(layout_.blockSize, layout_.headerSize), 0);
  bool ok = std::fwrite(zeros.data(), 1, layout_.headerSize, f.get()) == layout_.headerSize;
  for (uint32_t n = 0; ok && n <= last; ++n) {
    const ForgeBlock* b = block(n);
    if (!b && layout_.sparse)
      ok = std::fseek(f.get(), layout_.blockSize, SEEK_CUR) == 0;
    else
      ok = std::fwrite(b ? b->data() : zeros.data(), 1, layout_.blockSize, f.get()) == layout_.blockSize;
  }
  const uint64_t bytes = layout_.headerSize + (uint64_t{last} + 1) * layout_.blockSize;
  if (ok && layout_.sparse)
    ok = std::fflush(f.get()) == 0 && ::ftruncate(fileno(f.get()), static_cast<off_t>(bytes)) == 0;
  if (!ok) {
    error = "cannot write " + path;
    return false;
  }
  expect += format("file name=%s rfn=%u bsize=%u order=%s hsize=%u blocks=%u bytes=%llu\n",
                   layout_.name.c_str(), layout_.rfn, layout_.blockSize,
                   layout_.order == ByteOrder::Big ? "BIG" : "LITTLE", layout_.headerSize, last,
                   static_cast<unsigned long long>(bytes));
  for (const auto& [n, e] : blocks_) {
    expect += blockLine(n, e.block);
    for (const Fact& fact : e.facts)
      expect += format("%s %u/%u %s\n", fact.kind.c_str(), layout_.rfn, n, fact.rest.c_str());
  }
  return true;
}

}  // namespace bex::forge
