#include "forge/backup_piece.h"

#include <algorithm>
#include <random>

namespace bex::forge {

void BackupPiece::control(Kind kind, const std::vector<std::pair<uint32_t, uint32_t>>& fields,
                          const BackupSetSpec& set) {
  ForgeBlock b(bs_, order_);
  BlockHeader h;
  h.type = 0;
  h.rdba = 0;
  h.scnBase = set.scn;
  writeBlockHeader(b, h);
  for (const auto& [off, v] : fields) b.put32(off, v);
  if (kind == Kind::Header) {
    b.putText(40, set.db.substr(0, 8));
    b.putText(48, set.tag.substr(0, 32));
  }
  sealBlock(b, h);
  bytes_.insert(bytes_.end(), b.data(), b.data() + b.size());
  entries_.push_back({kind});
}

void BackupPiece::header(const BackupSetSpec& set, uint32_t number, uint32_t blocks) {
  control(Kind::Header, {{20, number}, {24, set.stamp}, {28, set.count}, {32, set.level}, {36, blocks}}, set);
}

void BackupPiece::trailer(const BackupSetSpec& set, uint32_t number) {
  uint32_t data = static_cast<uint32_t>(
      std::count_if(entries_.begin(), entries_.end(), [](const Entry& e) { return e.kind == Kind::Block; }));
  control(Kind::Trailer, {{20, number}, {24, data}}, set);
}

void BackupPiece::add(const BackedBlock& b) {
  Bytes bytes = b.bytes;
  bytes.resize(bs_, 0);
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  entries_.push_back({Kind::Block, b.rfn, b.block});
}

void BackupPiece::zero(uint32_t position, uint32_t count) {
  for (uint32_t p = position; p < position + count && p < entries_.size(); ++p) {
    std::fill_n(bytes_.begin() + uint64_t{p} * bs_, bs_, 0);
    entries_[p] = {Kind::Zeros};
  }
}

void BackupPiece::insertGarbage(uint32_t position, uint32_t count, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes garbage(uint64_t{count} * bs_);
  for (uint8_t& c : garbage) c = static_cast<uint8_t>(random());
  for (uint32_t k = 0; k < count; ++k) {
    uint8_t& format = garbage[uint64_t{k} * bs_ + 1];
    if ((format & 0x0f) == 2) format ^= 0x01;
  }
  bytes_.insert(bytes_.begin() + uint64_t{position} * bs_, garbage.begin(), garbage.end());
  entries_.insert(entries_.begin() + position, count, Entry{Kind::Garbage});
}

void BackupPiece::cut(uint64_t bytes) {
  bytes_.resize(std::min<uint64_t>(bytes, bytes_.size()));
  entries_.resize(bytes_.size() / bs_);
}

template <typename Visit>
void BackupPiece::eachRun(Visit visit) const {
  for (size_t p = 0; p < entries_.size();) {
    if (entries_[p].kind != Kind::Block) {
      ++p;
      continue;
    }
    size_t q = p + 1;
    while (q < entries_.size() && entries_[q].kind == Kind::Block && entries_[q].rfn == entries_[p].rfn &&
           entries_[q].block == entries_[q - 1].block + 1)
      ++q;
    visit(entries_[p], static_cast<uint32_t>(p), static_cast<uint32_t>(q - p));
    p = q;
  }
}

std::string BackupPiece::listing(uint32_t slot) const {
  std::string s;
  eachRun([&](const Entry& e, uint32_t position, uint32_t count) {
    s += format("%u,%u,%u,%u,%u,\r\n", e.rfn, e.block, slot, position, count);
  });
  return s;
}

BackupPiece::Counts BackupPiece::counts() const {
  Counts c;
  c.blocks = entries_.size();
  eachRun([&](const Entry&, uint32_t, uint32_t count) {
    c.runs++;
    c.runBlocks += count;
  });
  return c;
}

std::vector<BackupPiece> backupSet(const BackupSetSpec& set, const std::vector<std::vector<BackedBlock>>& files,
                                   uint32_t blockSize, ByteOrder order) {
  // Multiplexing: chunk blocks of each file in turn, as long as any is left.
  std::vector<const BackedBlock*> stream;
  std::vector<size_t> next(files.size(), 0);
  for (bool more = true; more;) {
    more = false;
    for (size_t f = 0; f < files.size(); ++f)
      for (uint32_t k = 0; k < set.chunk && next[f] < files[f].size(); ++k, more = true)
        stream.push_back(&files[f][next[f]++]);
  }
  const size_t per = set.pieceBlocks ? set.pieceBlocks : std::max<size_t>(stream.size(), 1);
  std::vector<BackupPiece> pieces;
  for (size_t from = 0, number = 1; from < stream.size() || pieces.empty(); from += per, ++number) {
    const size_t n = std::min(per, stream.size() - from);
    BackupPiece p(blockSize, order);
    p.header(set, static_cast<uint32_t>(number), static_cast<uint32_t>(n + 2));
    for (size_t i = from; i < from + n; ++i) p.add(*stream[i]);
    p.trailer(set, static_cast<uint32_t>(number));
    pieces.push_back(std::move(p));
  }
  return pieces;
}

uint64_t blockScnOf(const uint8_t* block, ByteOrder order) {
  return uint64_t{get16(block + 12, order)} << 32 | get32(block + 8, order);
}

}  // namespace bex::forge
