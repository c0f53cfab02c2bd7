// A data file read in place from the backup pieces that hold its blocks
// (RMAN OPEN): the ByteSource of a registry slot whose block reads go to the
// piece and position the chosen copy of each block lies at. Blocks no piece
// holds are holes: they read as zeros, as a restored file has filler there,
// and the probe and the scans pass over them; a block whose piece cannot
// give it is a read error.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/byte_source.h"
#include "rman/block_copies.h"

namespace bex {

// The backup pieces of one RMAN OPEN, by the slot numbers the listing
// names, shared by the files mapped onto them. Reads of one piece whose
// source keeps state between reads are serialised: files mapped onto the
// same piece may be read from several threads (the parallel scans and
// UNLOAD).
class PieceSet {
 public:
  // Takes over the piece's source (none for a slot that is not open).
  void add(std::unique_ptr<ByteSource> source, uint32_t headerSize);
  ReadResult read(uint32_t slot, uint64_t offset, uint8_t* buf, size_t n);

 private:
  struct Piece {
    std::unique_ptr<ByteSource> source;
    uint32_t headerSize = 0;
    std::mutex lock;
  };
  std::vector<std::unique_ptr<Piece>> pieces_;
};

class PieceFileSource final : public ByteSource {
 public:
  PieceFileSource(std::shared_ptr<PieceSet> pieces, std::vector<BlockStretch> stretches, uint32_t blockSize);
  ReadResult read(uint64_t offset, uint8_t* buf, size_t n) override;
  uint64_t size() const override { return size_; }
  // The listing states the file's length: to the end of its last run.
  uint64_t statedSize() const override { return size_; }
  Held nextHeld(uint64_t offset) const override;
  // It keeps no state between reads; the pieces serialise where they must.
  bool readsInParallel() const override { return true; }

 private:
  // The stretch holding block, or the first one after it (end() if none).
  std::vector<BlockStretch>::const_iterator find(uint64_t block) const;

  std::shared_ptr<PieceSet> pieces_;
  std::vector<BlockStretch> stretches_;
  uint32_t blockSize_;
  uint64_t size_;
};

// The storage of the data files RMAN OPEN maps onto the pieces, named
// "RMAN FILE n": file n read through the stretches chosen for it.
class PieceFiles final : public Storage {
 public:
  using Stretches = std::map<uint32_t, std::vector<BlockStretch>>;  // by file number from 0

  // The path that names file (a file number from 0).
  static std::string pathOf(uint32_t file);
  // What the files open on until clear: the pieces and each file's stretches.
  void map(std::shared_ptr<PieceSet> pieces, Stretches files, uint32_t blockSize);
  // Lets go of the pieces; the files opened on them keep them.
  void clear();

  bool names(const char* path) const override;
  // None when the path names no file mapped now.
  std::unique_ptr<ByteSource> open(const char* path, Sink& out) override;

 private:
  std::shared_ptr<PieceSet> pieces_;
  Stretches files_;
  uint32_t blockSize_ = 0;
};

}  // namespace bex
