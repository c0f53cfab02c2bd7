#include "base/byte_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <new>

namespace bex {

ReadBuffer allocateReadBuffer(size_t bytes) {
  constexpr size_t kPage = 4096;
  void* p = std::aligned_alloc(kPage, (bytes + kPage - 1) / kPage * kPage);
  if (!p) throw std::bad_alloc();
  return ReadBuffer(static_cast<uint8_t*>(p));
}

std::unique_ptr<FileSource> FileSource::open(const char* path) {
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::unique_ptr<FileSource>(new FileSource(fd));
}

FileSource::~FileSource() { ::close(fd_); }

ReadResult FileSource::read(uint64_t offset, uint8_t* buf, size_t n) {
  ReadResult r;
  while (r.bytes < n) {
    if (offset + r.bytes > static_cast<uint64_t>(INT64_MAX)) break;  // past any file: its end
    ssize_t got = ::pread(fd_, buf + r.bytes, n - r.bytes, static_cast<off_t>(offset + r.bytes));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) r.error = true;
    if (got <= 0) break;
    r.bytes += static_cast<size_t>(got);
  }
  return r;
}

ReadResult FileSource::copyTo(uint64_t offset, int out, size_t n, uint8_t* bounce, size_t bounceSize) {
  ReadResult r;
  bool kernel = true;
  while (r.bytes < n) {
    if (kernel) {
      off64_t from = static_cast<off64_t>(offset + r.bytes);
      ssize_t got = ::copy_file_range(fd_, &from, out, nullptr, n - r.bytes, 0);
      if (got > 0) {
        r.bytes += static_cast<size_t>(got);
        continue;
      }
      if (got == 0) break;  // the end of the file
      if (errno == EINTR) continue;
      // Not between these two files (another file system, a device, an old
      // kernel): the same bytes through user memory.
      if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != EBADF) {
        r.error = true;
        break;
      }
      kernel = false;
    }
    size_t want = n - r.bytes < bounceSize ? n - r.bytes : bounceSize;
    ReadResult got = read(offset + r.bytes, bounce, want);
    size_t written = 0;
    while (written < got.bytes) {
      ssize_t w = ::write(out, bounce + written, got.bytes - written);
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0) break;
      written += static_cast<size_t>(w);
    }
    r.bytes += written;
    if (written < got.bytes) r.error = true;
    if (got.error) r.error = true;
    if (r.error || got.bytes < want) break;
  }
  return r;
}

// lseek rather than fstat: a block device has no st_size. pread does not
// use the file position, so moving it disturbs no read.
uint64_t FileSource::size() const {
  off_t end = ::lseek(fd_, 0, SEEK_END);
  return end < 0 ? 0 : static_cast<uint64_t>(end);
}

}  // namespace bex
