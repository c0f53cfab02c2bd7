#include "rman/piece_source.h"

#include <algorithm>
#include <cstring>

#include "base/cmdline.h"

namespace bex {

void PieceSet::add(std::unique_ptr<ByteSource> source, uint32_t headerSize) {
  auto p = std::make_unique<Piece>();
  p->source = std::move(source);
  p->headerSize = headerSize;
  pieces_.push_back(std::move(p));
}

ReadResult PieceSet::read(uint32_t slot, uint64_t offset, uint8_t* buf, size_t n) {
  if (slot >= pieces_.size() || !pieces_[slot]->source) return ReadResult{0, true};
  Piece& p = *pieces_[slot];
  if (p.source->readsInParallel()) return p.source->read(offset + p.headerSize, buf, n);
  std::lock_guard<std::mutex> hold(p.lock);
  return p.source->read(offset + p.headerSize, buf, n);
}

PieceFileSource::PieceFileSource(std::shared_ptr<PieceSet> pieces, std::vector<BlockStretch> stretches,
                                 uint32_t blockSize)
    : pieces_(std::move(pieces)), stretches_(std::move(stretches)), blockSize_(blockSize), size_(0) {
  if (!stretches_.empty()) size_ = (uint64_t{stretches_.back().first} + stretches_.back().count) * blockSize_;
}

std::vector<BlockStretch>::const_iterator PieceFileSource::find(uint64_t block) const {
  auto it = std::upper_bound(stretches_.begin(), stretches_.end(), block,
                             [](uint64_t b, const BlockStretch& s) { return b < s.first; });
  if (it != stretches_.begin() && block < uint64_t{std::prev(it)->first} + std::prev(it)->count) return std::prev(it);
  return it;
}

ByteSource::Held PieceFileSource::nextHeld(uint64_t offset) const {
  const auto s = find(offset / blockSize_);
  if (s == stretches_.end()) return Held{kNoneHeld, kNoneHeld};
  return Held{std::max(offset, uint64_t{s->first} * blockSize_), (uint64_t{s->first} + s->count) * blockSize_};
}

ReadResult PieceFileSource::read(uint64_t offset, uint8_t* buf, size_t n) {
  ReadResult r;
  while (r.bytes < n && offset + r.bytes < size_) {
    const uint64_t at = offset + r.bytes;
    const uint64_t block = at / blockSize_;
    const auto s = find(block);
    const size_t left = static_cast<size_t>(std::min<uint64_t>(n - r.bytes, size_ - at));
    if (s == stretches_.end() || block < s->first) {  // no piece holds it: zeros up to the next stretch
      const uint64_t until = s == stretches_.end() ? size_ : uint64_t{s->first} * blockSize_;
      const size_t len = static_cast<size_t>(std::min<uint64_t>(left, until - at));
      memset(buf + r.bytes, 0, len);
      r.bytes += len;
      continue;
    }
    const uint64_t end = (uint64_t{s->first} + s->count) * blockSize_;
    const size_t len = static_cast<size_t>(std::min<uint64_t>(left, end - at));
    const uint64_t inPiece = (uint64_t{s->position} + (block - s->first)) * blockSize_ + at % blockSize_;
    const ReadResult got = pieces_->read(s->slot, inPiece, buf + r.bytes, len);
    r.bytes += got.bytes;
    if (got.bytes < len) {
      r.error = true;
      break;
    }
  }
  return r;
}

namespace {

constexpr char kPiecePath[] = "RMAN FILE ";
constexpr size_t kPiecePathLength = sizeof kPiecePath - 1;

}  // namespace

std::string PieceFiles::pathOf(uint32_t file) { return kPiecePath + std::to_string(file + 1); }

void PieceFiles::map(std::shared_ptr<PieceSet> pieces, Stretches files, uint32_t blockSize) {
  pieces_ = std::move(pieces);
  files_ = std::move(files);
  blockSize_ = blockSize;
}

void PieceFiles::clear() {
  pieces_.reset();
  files_.clear();
}

bool PieceFiles::names(const char* path) const { return strncmp(path, kPiecePath, kPiecePathLength) == 0; }

std::unique_ptr<ByteSource> PieceFiles::open(const char* path, Sink&) {
  const auto file = files_.find(static_cast<uint32_t>(tokenNumber(path + kPiecePathLength) - 1));
  if (!pieces_ || file == files_.end()) return nullptr;
  return std::make_unique<PieceFileSource>(pieces_, file->second, blockSize_);
}

}  // namespace bex
