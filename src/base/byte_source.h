// ByteSource: where the bytes of a data file come from. A registry slot reads
// through one of these whatever holds the file: an operating-system file
// (FileSource, here), an ASM file mapped onto disk allocation units, or a
// file mapped onto backup pieces. Readers never ask which.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace bex {

class Sink;

// What one read gave. bytes < n with error false is the end of the file;
// with error true the source could not read on (a bad sector, an unmapped
// piece): the bytes before the failure are valid, and a later offset may
// read again.
struct ReadResult {
  size_t bytes = 0;
  bool error = false;
};

// A buffer to read into: page-aligned, as the system copies file data into
// such a buffer several times faster than into one off the page boundary.
struct FreeBuffer {
  void operator()(uint8_t* p) const { std::free(p); }
};
using ReadBuffer = std::unique_ptr<uint8_t[], FreeBuffer>;
ReadBuffer allocateReadBuffer(size_t bytes);

// One reader's mapping of a stretch of a plain file, read-only: the bytes
// straight out of the system's page cache, without a copy. A page that can
// no longer be read while mapped (the file cut short under the reader, a
// disk error on a page the system had let go) would stop the process with a
// bus error; here it reads as zeros from that page on and the view counts
// as damaged, so the reader drops the mapping and reads on with read().
class MappedView {
 public:
  MappedView() = default;
  ~MappedView();
  MappedView(const MappedView&) = delete;
  MappedView& operator=(const MappedView&) = delete;

  // True when a page of the current mapping failed while mapped.
  bool damaged() const;
  void unmap();

 private:
  friend class FileSource;
  bool claimGuard();

  uint8_t* base_ = nullptr;
  size_t length_ = 0;
  int guard_ = -1;  // this view's entry in the bus-error guard table
};

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to n bytes at offset into buf. Safe to call from several
  // threads on different sources; no allocation.
  virtual ReadResult read(uint64_t offset, uint8_t* buf, size_t n) = 0;
  // Length of the source in bytes (0 when it cannot be told).
  virtual uint64_t size() const = 0;
  // The length the source's own metadata states (an ASM file's size in its
  // directory entry), or 0 when it states none. A file's block count is
  // taken from it, not probed: a stretch that cannot be read (a hole in an
  // extent map) is then no end of the file.
  virtual uint64_t statedSize() const { return 0; }
  // A source that maps its file onto stretches of other files (backup
  // pieces, ASM allocation units) may leave holes: stretches of its length
  // that it holds no bytes of, which read as zeros and carry no data.
  // nextHeld names the first stretch it holds that ends after offset:
  // [begin, end) with begin >= offset; the bytes from offset to begin are a
  // hole. begin is kNoneHeld when it holds nothing from offset on, end is
  // kNoneHeld when the stretch goes on to the end of the source. A source
  // without holes holds every byte: [offset, kNoneHeld). No allocation.
  static constexpr uint64_t kNoneHeld = UINT64_MAX;
  struct Held {
    uint64_t begin = 0;
    uint64_t end = kNoneHeld;
  };
  virtual Held nextHeld(uint64_t offset) const { return Held{offset, kNoneHeld}; }
  // True when several threads may read this one source at the same time
  // (it keeps no state between reads): the parallel SCAN DATABASE and
  // UNLOAD then split its file between them.
  virtual bool readsInParallel() const { return false; }
  // The n bytes at offset mapped into memory through view (replacing what
  // it mapped before), when the source is a plain local file and every one
  // of those bytes can be read now; nullptr otherwise: read() them instead.
  // The bytes stay valid until view maps again or ends.
  virtual const uint8_t* map(uint64_t, size_t, MappedView&) { return nullptr; }
  // Copies up to n bytes at offset to the file descriptor out at its
  // current position, in the kernel where the source can (no copy through
  // user memory). What was copied; error also when out could not be
  // written. A source the kernel cannot copy from copies nothing: the
  // caller reads it and writes what it read.
  virtual ReadResult copyTo(uint64_t, int, size_t, uint8_t*, size_t) { return ReadResult{}; }
};

// One kind of storage data files are read from (operating-system files, an
// ASM disk group, backup pieces): it tells the paths that name its files
// and opens them. The run asks each of its storages in turn for a path.
class Storage {
 public:
  virtual ~Storage() = default;
  // True when path names a file of this storage (not whether it exists).
  virtual bool names(const char* path) const = 0;
  // The file path names, read-only, or nullptr when it cannot be opened
  // (with a message to out where the storage gives one).
  virtual std::unique_ptr<ByteSource> open(const char* path, Sink& out) = 0;
};

// A file read from disk sits in the page cache in pieces of up to 2 MiB. A
// mapping that starts on such a boundary of the file takes them in large
// strides; one that starts between them costs the system about a third more
// to set up, page by page. Mappings start on this boundary (before the bytes
// asked for, when those do not), and a reader walking a file maps stretches
// that end on it.
inline constexpr uint64_t kMapAlignment = 2u << 20;

// An operating-system file or device, opened read-only; pread at 64-bit
// offsets, no buffering of its own (the read caches do that).
class FileSource final : public ByteSource {
 public:
  // The open file, or nullptr when it cannot be opened.
  static std::unique_ptr<FileSource> open(const char* path);
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  ReadResult read(uint64_t offset, uint8_t* buf, size_t n) override;
  uint64_t size() const override;
  bool readsInParallel() const override { return true; }  // pread only
  const uint8_t* map(uint64_t offset, size_t n, MappedView& view) override;
  // In the kernel where the system can, else through bounce (bounceSize
  // bytes).
  ReadResult copyTo(uint64_t offset, int out, size_t n, uint8_t* bounce, size_t bounceSize) override;

 private:
  FileSource(int fd, bool mappable) : fd_(fd), mappable_(mappable) {}
  int fd_;
  bool mappable_;  // a regular file on a local file system
};

}  // namespace bex
