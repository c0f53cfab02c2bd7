#include "base/byte_source.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <mutex>
#include <new>

namespace bex {

namespace {

size_t pageSize() {
  static const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return page;
}

// A file whose pages a mapping may stand for: a regular file on a file
// system of this machine. A device, a pipe or a network file (whose server
// may go away under the mapping) is read with pread only.
bool mappable(int fd) {
  struct stat st;
  struct statfs fs;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || fstatfs(fd, &fs) != 0) return false;
  switch (static_cast<unsigned long>(fs.f_type)) {
    case EXT4_SUPER_MAGIC:  // also ext2 and ext3
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case F2FS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case OVERLAYFS_SUPER_MAGIC:
      return true;
    default:
      return false;
  }
}

// The mapped views of the whole process, for the bus-error handler: the one
// state it can reach is what is global, so this table is. A view claims an
// entry for its life and sets begin and length while it maps.
struct BusGuard {
  std::atomic<bool> taken{false};
  std::atomic<uintptr_t> begin{0};
  std::atomic<size_t> length{0};
  std::atomic<bool> damaged{false};
};
constexpr int kBusGuards = 256;  // more readers than that read with pread
BusGuard busGuards[kBusGuards];
struct sigaction previousBusAction;

// A bus error inside a mapped view: zeros replace the view's pages from the
// failing one on (the access is then repeated and reads them) and the view
// is marked damaged. Any other bus error goes where it went before.
void onBusError(int, siginfo_t* info, void*) {
  const uintptr_t at = reinterpret_cast<uintptr_t>(info->si_addr);
  for (BusGuard& g : busGuards) {
    const uintptr_t begin = g.begin.load(std::memory_order_acquire);
    const size_t length = g.length.load(std::memory_order_acquire);
    if (begin == 0 || at < begin || at - begin >= length) continue;
    const uintptr_t page = at & ~(uintptr_t{pageSize()} - 1);
    if (mmap(reinterpret_cast<void*>(page), begin + length - page, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED,
             -1, 0) == MAP_FAILED)
      break;
    g.damaged.store(true, std::memory_order_release);
    return;
  }
  sigaction(SIGBUS, &previousBusAction, nullptr);
  if (info->si_code <= 0) raise(SIGBUS);  // sent, not a fault: the fault repeats by itself
}

// Installed once, before the first mapping; false when it cannot be.
bool busGuardInstalled() {
  static std::once_flag once;
  static bool installed = false;
  std::call_once(once, [] {
    struct sigaction action = {};
    action.sa_sigaction = onBusError;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    installed = sigaction(SIGBUS, &action, &previousBusAction) == 0;
  });
  return installed;
}

}  // namespace

MappedView::~MappedView() {
  unmap();
  if (guard_ >= 0) busGuards[guard_].taken.store(false, std::memory_order_release);
}

bool MappedView::claimGuard() {
  for (int i = 0; guard_ < 0 && i < kBusGuards; i++) {
    bool free = false;
    if (busGuards[i].taken.compare_exchange_strong(free, true)) guard_ = i;
  }
  return guard_ >= 0;
}

bool MappedView::damaged() const {
  return guard_ >= 0 && busGuards[guard_].damaged.load(std::memory_order_acquire);
}

void MappedView::unmap() {
  if (!base_) return;
  BusGuard& g = busGuards[guard_];
  g.begin.store(0, std::memory_order_release);
  g.length.store(0, std::memory_order_release);
  g.damaged.store(false, std::memory_order_release);
  munmap(base_, length_);
  base_ = nullptr;
  length_ = 0;
}

ReadBuffer allocateReadBuffer(size_t bytes) {
  constexpr size_t kPage = 4096;
  void* p = std::aligned_alloc(kPage, (bytes + kPage - 1) / kPage * kPage);
  if (!p) throw std::bad_alloc();
  return ReadBuffer(static_cast<uint8_t*>(p));
}

std::unique_ptr<FileSource> FileSource::open(const char* path) {
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  return std::unique_ptr<FileSource>(new FileSource(fd, mappable(fd)));
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

// Maps only what the file holds now (a short file reads short through
// read()), and hands the mapping out only once every page of it has been
// touched: a page that cannot be read fails here, not under the reader, and
// read() then gives what it always gave.
const uint8_t* FileSource::map(uint64_t offset, size_t n, MappedView& view) {
  view.unmap();
  if (!mappable_ || n == 0 || !busGuardInstalled() || !view.claimGuard()) return nullptr;
  struct stat st;
  if (fstat(fd_, &st) != 0 || offset > static_cast<uint64_t>(st.st_size) ||
      n > static_cast<uint64_t>(st.st_size) - offset)
    return nullptr;
  const uint64_t start = offset / kMapAlignment * kMapAlignment;
  const size_t length = static_cast<size_t>(offset - start) + n;
  void* p = mmap(nullptr, length, PROT_READ, MAP_SHARED, fd_, static_cast<off_t>(start));
  if (p == MAP_FAILED) return nullptr;
  view.base_ = static_cast<uint8_t*>(p);
  view.length_ = length;
  BusGuard& g = busGuards[view.guard_];
  g.length.store(length, std::memory_order_release);
  g.begin.store(reinterpret_cast<uintptr_t>(p), std::memory_order_release);
  // One load a page brings every page in (each fault maps the cached pages
  // around it too); one that fails trips the guard instead of stopping the
  // process.
  madvise(p, length, MADV_SEQUENTIAL);
  for (size_t at = (offset - start) / pageSize() * pageSize(); at < length; at += pageSize())
    static_cast<void>(*static_cast<volatile const uint8_t*>(view.base_ + at));
  if (view.damaged()) {
    view.unmap();
    return nullptr;
  }
  return view.base_ + (offset - start);
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
