#include "dict/dict_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "dict/dict_index.h"

namespace bex {

namespace {

// Sequential reads take big windows; a line scan keeps the same reader.
constexpr size_t kStreamWindow = 256 * 1024;

// Bytes a line may have, its line feed included.
constexpr size_t kLineMax = kDictLineBuffer - 1;

// As many bytes as the file has at `at`, up to n; short only at its end
// (a read error counts as the end).
size_t readAt(int fd, char* buf, size_t n, uint64_t at) {
  size_t got = 0;
  while (got < n) {
    const ssize_t r = pread(fd, buf + got, n - got, static_cast<off_t>(at + got));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    got += static_cast<size_t>(r);
  }
  return got;
}

// A window as big as the file, up to kStreamWindow.
size_t streamWindow(int fd) {
  struct stat st;
  if (fd < 0 || fstat(fd, &st) != 0 || st.st_size < 0) return kStreamWindow;
  const uint64_t size = static_cast<uint64_t>(st.st_size) + 1;
  return size < kStreamWindow ? static_cast<size_t>(size) : kStreamWindow;
}

}  // namespace

DictLineSource::DictLineSource(int fd, size_t window)
    : fd_(fd), capacity_(window < 2 * kDictLineBuffer ? 2 * kDictLineBuffer : window) {}

std::string_view DictLineSource::window(uint64_t at) const {
  return std::string_view(buf_.get() + (at - start_), start_ + length_ - at);
}

void DictLineSource::cover(uint64_t at) {
  const uint64_t end = start_ + length_;
  if (buf_ && at >= start_ && at <= end && (end - at >= kLineMax || toEnd_)) return;
  if (!buf_) buf_.reset(new char[capacity_]);
  start_ = at;
  length_ = fd_ >= 0 ? readAt(fd_, buf_.get(), capacity_, at) : 0;
  toEnd_ = length_ < capacity_;
}

uint64_t DictLineSource::endOfLongLine(uint64_t from) {
  for (;;) {
    cover(from);
    const std::string_view w = window(from);
    const void* lf = memchr(w.data(), '\n', w.size());
    if (lf) return from + static_cast<uint64_t>(static_cast<const char*>(lf) - w.data()) + 1;
    if (toEnd_) return from + w.size();
    from += w.size();
  }
}

bool DictLineSource::lineAt(uint64_t at, std::string_view& line, uint64_t& next) {
  cover(at);
  const std::string_view w = window(at);
  if (w.empty()) return false;
  const size_t look = w.size() < kLineMax ? w.size() : kLineMax;
  const char* lf = static_cast<const char*>(memchr(w.data(), '\n', look));
  size_t length;
  if (lf) {
    length = static_cast<size_t>(lf - w.data()) + 1;
  } else if (toEnd_ && w.size() <= kLineMax) {
    length = w.size();  // the last line, without a line feed
  } else {
    line = {};
    next = endOfLongLine(at + kLineMax);
    return true;
  }
  next = at + length;
  const void* nul = memchr(w.data(), 0, length);
  if (nul) length = static_cast<size_t>(static_cast<const char*>(nul) - w.data());
  const bool passedOver = length == 0 || w[0] == '\n' || w[0] == '\r';
  line = passedOver ? std::string_view() : w.substr(0, length);
  return true;
}

// Read-only: a query never needs to write the files it reads.
DictLineReader::DictLineReader(const char* path)
    : fd_(open(path, O_RDONLY | O_CLOEXEC)), ownsFd_(true), source_(fd_, streamWindow(fd_)) {}

DictLineReader::DictLineReader(int fd) : fd_(fd), ownsFd_(false), source_(fd, streamWindow(fd)) {}

DictLineReader::~DictLineReader() {
  if (ownsFd_ && fd_ >= 0) close(fd_);
}

bool DictLineReader::next(std::string_view& line) {
  if (fd_ < 0) return false;
  uint64_t after;
  while (source_.lineAt(pos_, line, after)) {
    lineOffset_ = pos_;
    pos_ = after;
    if (!line.empty()) return true;
  }
  return false;
}

DictFiles::DictFiles(std::string path, DictLookup lookup) : DictDirectory(std::move(path)), lookup_(lookup) {}

DictFiles::~DictFiles() = default;

DictIndex& DictFiles::index() const {
  if (!index_) index_ = std::make_unique<DictIndex>(*this, lookup_ == DictLookup::kIndexed);
  return *index_;
}

void DictFiles::recheck() const {
  if (index_) index_->recheck();
}

void DictFiles::forget() const { index_.reset(); }

UserLines& DictFiles::users() const { return index().users(); }
ObjectLines& DictFiles::objects() const { return index().objects(); }
StorageLines& DictFiles::storage() const { return index().storage(); }
ColumnTypeLines& DictFiles::columnTypes() const { return index().columnTypes(); }
ColumnMapLines& DictFiles::columnMap(uint32_t objNo) const { return index().columnMap(objNo); }
DeletedObjectLines& DictFiles::deletedObjects() const { return index().deletedObjects(); }
DeletedStorageLines& DictFiles::deletedStorage() const { return index().deletedStorage(); }
ColumnMapLines& DictFiles::deletedColumns() const { return index().deletedColumns(); }

}  // namespace bex
