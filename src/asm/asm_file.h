// ASM files: one file of the disk group read through its extent map. An
// AsmFile keeps the place of its directory entry, a copy of the entry and an
// extent window of 1024 extents (every copy of each with redundancy); it
// reads with buffers of its own, so files opened on one group can be read
// from several threads at once. AsmFileSource is the ByteSource that
// registry slots of "+n" lines read through.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "asm/asm_group.h"
#include "base/byte_source.h"
#include "base/limits.h"

namespace bex {

// The disk group of the run, owned by the RunContext: the storage of the
// data files named "+n", ASM file n of the group.
struct AsmContext final : Storage {
  AsmDiskGroup group;

  bool names(const char* path) const override { return path[0] == '+'; }
  // An ASM file the group cannot map opens as none, without a message.
  std::unique_ptr<ByteSource> open(const char* path, Sink& out) override;
};

inline constexpr uint32_t kAsmWindow = 1024;
inline constexpr uint32_t kAsmScratch = 65536;  // indirect AU chunks, mirror checks

// One copy of an extent: kAsmNoAu for a hole.
struct AsmCopy {
  uint16_t disk = kAsmNoDisk;
  uint32_t au = kAsmNoAu;
};

struct AsmFile {
  AsmFile(AsmDiskGroup& g, uint32_t number);  // enters itself in g.openFiles
  ~AsmFile();
  AsmFile(const AsmFile&) = delete;
  AsmFile& operator=(const AsmFile&) = delete;

  AsmDiskGroup& group;
  uint32_t number;
  AsmPlace entry;          // where the directory entry lies; not known() when not found
  uint64_t size = 0;       // bytes, as the entry says
  uint32_t ecnt = 0;       // extent pointers, as the entry says
  uint32_t copies = 1;
  uint32_t checkSize = kDefaultBlockSize;  // database block size the mirror choice checks
  uint64_t mapped = 0;     // bytes up to the end of the last extent that has a pointer
  uint64_t length = 0;     // what the file reads as: size, cut to the map
  uint64_t stated = 0;     // size, cut to the extent count and what the disks can hold

  uint32_t windowFirst = 0;  // extent index (from 0) of window slot 0
  bool windowValid = false;
  std::unique_ptr<AsmCopy[]> window;     // kAsmWindow x kAsmMaxCopies
  std::unique_ptr<uint8_t[]> entryBuf;   // the entry, group blockSize bytes
  uint32_t entryBytes = 0;
  std::unique_ptr<uint8_t[]> scratch;    // kAsmScratch bytes
};

// Fills place with the entry of file n: place stands when it holds that
// entry; otherwise the file directory is searched. False when not found.
bool FindFileEntry(AsmDiskGroup& g, AsmPlace& place, uint32_t n);
// File n, its entry searched from hint; nullptr when it is not found.
std::unique_ptr<AsmFile> OpenAsmFile(AsmDiskGroup& g, uint32_t n, AsmPlace hint = AsmPlace{});
// Finds the entry again and forgets the window (after the group changed).
void remapAsmFile(AsmFile& f);

// The copies of extent (from 0) through the window, or nullptr when the
// entry cannot be read; a hole has every copy kAsmNoAu.
const AsmCopy* extentCopies(AsmFile& f, uint32_t extent);
// Up to n bytes at offset, no further than limit: the primary copy, and a
// mirror where the primary's disk is missing, its read fails, or a database
// block read through it fails the block check. error when a piece cannot
// be mapped or read (the bytes before it are valid).
ReadResult readAsmBytes(AsmFile& f, uint64_t offset, uint8_t* buf, size_t n, uint64_t limit);
// The piece [pos, pos + n) of the file, lying in AU auInExtent of one
// extent at inAu, from copies (f.copies of them): the first copy that can
// be read, and with more copies each whole database block (f.checkSize)
// that fails the block check (its checksum does not fold to 0) or is all
// zeros taken from a copy that passes it and is not all zeros; a block
// failing the check becomes zeros when the only sound copy is zeros.
bool readExtentPiece(AsmFile& f, const AsmCopy* copies, uint32_t auInExtent, uint32_t inAu, uint64_t pos,
                     uint8_t* dst, size_t n);
// length bytes (at most one AU) at offset; true when all were read.
bool ReadAsmFileRange(AsmFile& f, uint64_t offset, uint8_t* buf, size_t length);
// A second reader of the file f reads: the same entry and map, its own
// extent window and buffers.
std::unique_ptr<AsmFile> copyAsmFile(const AsmFile& f);


// Each read goes through a reader of the file that no other read uses at
// the time (a copy of the file made when every one is busy), so that the
// workers of a parallel UNLOAD or scan read one file at once, each through
// its own extent window.
class AsmFileSource final : public ByteSource {
 public:
  explicit AsmFileSource(std::unique_ptr<AsmFile> f) : f_(std::move(f)) {}
  ReadResult read(uint64_t offset, uint8_t* buf, size_t n) override;
  bool readsInParallel() const override { return true; }
  uint64_t size() const override { return f_->length; }
  uint64_t statedSize() const override { return f_->stated; }
  AsmFile& file() { return *f_; }

 private:
  std::unique_ptr<AsmFile> f_;
  std::mutex lock_;                            // guards idle_
  std::vector<std::unique_ptr<AsmFile>> idle_;  // copies of f_ no read uses now
};

// ASM file fileNumber as a byte source, or nullptr when the disk group does
// not hold it (or no disk group is loaded).
std::unique_ptr<ByteSource> openAsmFile(AsmContext& context, uint32_t fileNumber);

}  // namespace bex
