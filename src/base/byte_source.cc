#include "base/byte_source.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace bex {

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

// lseek rather than fstat: a block device has no st_size. pread does not
// use the file position, so moving it disturbs no read.
uint64_t FileSource::size() const {
  off_t end = ::lseek(fd_, 0, SEEK_END);
  return end < 0 ? 0 : static_cast<uint64_t>(end);
}

}  // namespace bex
