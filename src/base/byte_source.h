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

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to n bytes at offset into buf. Safe to call from several
  // threads on different sources; no allocation.
  virtual ReadResult read(uint64_t offset, uint8_t* buf, size_t n) = 0;
  // Length of the source in bytes (0 when it cannot be told).
  virtual uint64_t size() const = 0;
  // True when several threads may read this one source at the same time
  // (it keeps no state between reads): the parallel SCAN DATABASE and
  // UNLOAD then split its file between them.
  virtual bool readsInParallel() const { return false; }
};

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
  // Copies n bytes at offset to the file descriptor out at its current
  // position: in the kernel where the system can (no copy through user
  // memory), else through bounce (bounceSize bytes). What was copied; error
  // also when out could not be written.
  ReadResult copyTo(uint64_t offset, int out, size_t n, uint8_t* bounce, size_t bounceSize);

 private:
  explicit FileSource(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace bex
