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
  Restorer(const DataFileRegistry& reg, uint32_t blockSize, int fd, uint64_t size)
      : reg_(reg), bs_(blockSize), fd_(fd), size_(size), chunk_(allocateReadBuffer(kRestoreChunk)) {}

  // False when the stretch, and every one after it, is to be left out.
  bool reach(const BlockStretch& s) {
    const uint64_t target = uint64_t{s.first} * bs_;
    if (size_ >= target) return true;
    const uint64_t need = (target - size_ + bs_ - 1) / bs_;
    if (c_.filler + need > kFillerFactor * std::max(kFillerFloor, c_.restored)) {
      c_.fillerLimit = true;
      c_.limitBlock = s.first;
      return false;
    }
    if (::ftruncate(fd_, static_cast<off_t>(target)) != 0) {
      c_.writeFailed = true;
      return false;
    }
    c_.filler += need;
    size_ = target;
    return true;
  }

  // Copies the stretch chunk by chunk. A read error passes over one block
  // and tries the next; the end of the piece ends the stretch.
  bool copy(const BlockStretch& s) {
    const DataFile& piece = reg_.slots[s.slot];
    const uint32_t perChunk = kRestoreChunk / bs_;
    for (uint32_t k = 0; k < s.count;) {
      const uint32_t want = std::min(perChunk, s.count - k);
      const ReadResult got =
          piece.source->read((uint64_t{s.position} + k) * bs_ + piece.headerSize, chunk_.get(), size_t{want} * bs_);
      const uint32_t whole = static_cast<uint32_t>(got.bytes / bs_);
      const uint64_t at = (uint64_t{s.first} + k) * bs_;
      if (whole > 0 && !writeAll(fd_, chunk_.get(), size_t{whole} * bs_, at)) {
        c_.writeFailed = true;
        return false;
      }
      c_.restored += whole;
      size_ = std::max(size_, at + uint64_t{whole} * bs_);
      k += whole;
      if (whole == want) continue;
      if (!got.error) {
        c_.unreadable += s.count - k;
        break;
      }
      c_.unreadable++;
      k++;
    }
    return true;
  }

  const RestoreCounts& counts() const { return c_; }

 private:
  const DataFileRegistry& reg_;
  const uint32_t bs_;
  const int fd_;
  uint64_t size_;
  ReadBuffer chunk_;
  RestoreCounts c_;
};

}  // namespace

RestoreCounts restoreFile(const DataFileRegistry& reg, uint32_t blockSize, const FileCopies& copies, int fd,
                          uint64_t size) {
  Restorer r(reg, blockSize, fd, size);
  for (const BlockStretch& s : copies.stretches) {
    if (s.slot >= reg.count || !reg.slots[s.slot].usable()) continue;
    if (!r.reach(s) || !r.copy(s)) break;
  }
  return r.counts();
}

}  // namespace bex
