#include "rman/restore.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace bex {

namespace {

bool writeAll(int fd, const uint8_t* p, size_t n, uint64_t offset) {
  while (n > 0) {
    ssize_t w = ::pwrite(fd, p, n, static_cast<off_t>(offset));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) return false;
    p += w, n -= static_cast<size_t>(w), offset += static_cast<uint64_t>(w);
  }
  return true;
}

class Restorer {
 public:
  Restorer(const DataFileRegistry& reg, uint32_t blockSize, int fd, uint64_t size, Progress& progress)
      : reg_(reg),
        progress_(progress),
        bs_(blockSize),
        fd_(fd),
        size_(size),
        chunk_(allocateReadBuffer(kRestoreChunk)),
        zeros_(new uint8_t[blockSize]()) {}

  // Copies the stretch chunk by chunk. A read error passes over one block
  // and tries the next; the end of the piece ends the stretch. Where the
  // file ended before the stretch, the blocks up to it stay a hole (filler,
  // read as zeros) that the file system keeps no room for; the file grows
  // only with blocks written, never past the last one a piece gave.
  bool copy(const BlockStretch& s) {
    const uint64_t target = uint64_t{s.first} * bs_;
    const uint64_t filler = size_ < target ? (target - size_ + bs_ - 1) / bs_ : 0;
    const DataFile& piece = reg_.slots[s.slot];
    const uint32_t perChunk = kRestoreChunk / bs_;
    for (uint32_t k = 0; k < s.count;) {
      const uint32_t want = std::min(perChunk, s.count - k);
      const uint64_t from = (uint64_t{s.position} + k) * bs_ + piece.headerSize;
      const uint64_t at = (uint64_t{s.first} + k) * bs_;
      Chunk got = copyInKernel(*piece.source, from, at, want);
      if (got.whole < want) got = copyThrough(*piece.source, from + uint64_t{got.whole} * bs_,
                                              at + uint64_t{got.whole} * bs_, want, got.whole);
      if (got.writeFailed) {
        c_.writeFailed = true;
        return false;
      }
      if (got.whole > 0 && size_ < target) c_.filler += filler;
      c_.restored += got.whole;
      size_ = std::max(size_, at + uint64_t{got.whole} * bs_);
      k += got.whole;
      progress_.advance(got.whole);
      if (got.whole == want) continue;
      if (got.end) {
        c_.unreadable += s.count - k;
        progress_.advance(s.count - k);
        break;
      }
      c_.unreadable++;
      k++;
      progress_.advance(1);
    }
    return true;
  }

  const RestoreCounts& counts() const { return c_; }

 private:
  struct Chunk {
    uint32_t whole = 0;  // blocks of the chunk written, from its first
    bool end = false;    // the piece ended before the next block
    bool writeFailed = false;
  };

  // The chunk copied by the system, without passing through this process,
  // as far as the piece lets it (a piece that is a file). What it leaves
  // undone (a read error, the end of the piece, a piece the system cannot
  // copy from) goes through copyThrough, which tells which it is; a block
  // it copied only in part is made zeros until then.
  Chunk copyInKernel(ByteSource& piece, uint64_t from, uint64_t at, uint32_t blocks) {
    Chunk c;
    if (::lseek(fd_, static_cast<off_t>(at), SEEK_SET) < 0) return c;
    const size_t n = size_t{blocks} * bs_;
    const ReadResult got = piece.copyTo(from, fd_, n, chunk_.get(), kRestoreChunk);
    c.whole = static_cast<uint32_t>(got.bytes / bs_);
    const size_t part = got.bytes % bs_;
    if (part && !writeAll(fd_, zeros_.get(), part, at + uint64_t{c.whole} * bs_)) c.writeFailed = true;
    return c;
  }

  // Blocks done .. blocks - 1 of the chunk read into this process and
  // written, from and at being the place of block done.
  Chunk copyThrough(ByteSource& piece, uint64_t from, uint64_t at, uint32_t blocks, uint32_t done) {
    Chunk c;
    c.whole = done;
    const ReadResult got = piece.read(from, chunk_.get(), size_t{blocks - done} * bs_);
    const uint32_t whole = static_cast<uint32_t>(got.bytes / bs_);
    if (whole > 0 && !writeAll(fd_, chunk_.get(), size_t{whole} * bs_, at)) c.writeFailed = true;
    c.whole += whole;
    c.end = !got.error;
    return c;
  }

  const DataFileRegistry& reg_;
  Progress& progress_;
  const uint32_t bs_;
  const int fd_;
  uint64_t size_;
  ReadBuffer chunk_;
  std::unique_ptr<uint8_t[]> zeros_;
  RestoreCounts c_;
};

}  // namespace

RestoreCounts restoreFile(const DataFileRegistry& reg, uint32_t blockSize, const FileCopies& copies, int fd,
                          uint64_t size, Progress& progress) {
  progress.begin("RMAN RESTORE", blockSize, "blocks", false);
  for (const BlockStretch& s : copies.stretches) progress.expect(s.count);
  Restorer r(reg, blockSize, fd, size, progress);
  for (const BlockStretch& s : copies.stretches) {
    if (s.slot >= reg.count || !reg.slots[s.slot].usable()) continue;
    if (!r.copy(s)) break;
  }
  return r.counts();
}

}  // namespace bex
