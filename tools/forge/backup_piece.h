// Backup pieces as RMAN lays out a backup set: each piece a sequence of
// blocks of the data files' block size,
//
//   position 0        the piece header
//   1 .. n            data-file blocks with their own headers intact, in
//                     ascending block order per file; blocks never formatted
//                     (type byte 0) are left out, so a file's blocks come in
//                     runs; several files of one set are multiplexed, a
//                     chunk of blocks of one file after a chunk of the next
//   n + 1             the piece trailer
//
// and a set larger than the piece size goes on in the next piece, which
// starts with a header of its own. The piece's own blocks carry the common
// block header of every Oracle block (20 bytes, checksum over the whole
// block) with type 0 and an address of 0, which names no data file:
//
//   header   20 piece number   24 set stamp   28 set count   32 level
//            36 blocks in the piece   40 database name (8)   48 tag (32)
//   trailer  20 piece number   24 data-file blocks in the piece
//
// Each piece knows what lies at each of its positions, so that the runs a
// reader must list for it (and the damage done to it) are known.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "forge/block_header.h"
#include "forge/expect.h"

namespace bex::forge {

// A data-file block as a backup takes it.
struct BackedBlock {
  uint16_t rfn = 0;
  uint32_t block = 0;
  Bytes bytes;
};

struct BackupSetSpec {
  std::string db = "BEXDB";
  std::string tag;
  uint32_t stamp = 0, count = 0, level = 0;
  uint32_t scn = 0x00012100;  // the backup's SCN, in the header and trailer
  uint32_t pieceBlocks = 0;   // data-file blocks a piece holds at most (0: any number)
  uint32_t chunk = 8;         // blocks of one file in a row when files are multiplexed
};

class BackupPiece {
 public:
  enum class Kind : uint8_t { Header, Block, Trailer, Garbage, Zeros };
  struct Entry {
    Kind kind;
    uint16_t rfn = 0;
    uint32_t block = 0;
  };
  struct Counts {
    uint64_t blocks = 0, runBlocks = 0, runs = 0;
  };

  BackupPiece(uint32_t blockSize, ByteOrder order) : bs_(blockSize), order_(order) {}

  void header(const BackupSetSpec& set, uint32_t number, uint32_t blocks);
  void add(const BackedBlock& b);
  void trailer(const BackupSetSpec& set, uint32_t number);

  // Damage: count blocks from position made zeros; count blocks of random
  // bytes put in before position (their format byte never one of a known
  // block format); the piece cut after bytes.
  void zero(uint32_t position, uint32_t count);
  void insertGarbage(uint32_t position, uint32_t count, uint32_t seed);
  void cut(uint64_t bytes);

  const Bytes& bytes() const { return bytes_; }
  const std::vector<Entry>& entries() const { return entries_; }
  uint32_t blockSize() const { return bs_; }
  ByteOrder order() const { return order_; }
  // Bytes after the last whole block.
  uint64_t tail() const { return bytes_.size() % bs_; }
  const uint8_t* at(uint32_t position) const { return bytes_.data() + uint64_t{position} * bs_; }

  // The runs of consecutive blocks of one file, as listing lines
  // "file,first,slot,position,count,\r\n" for the piece in slot.
  std::string listing(uint32_t slot) const;
  Counts counts() const;

 private:
  void control(Kind kind, const std::vector<std::pair<uint32_t, uint32_t>>& fields, const BackupSetSpec& set);
  template <typename Visit>
  void eachRun(Visit visit) const;

  uint32_t bs_;
  ByteOrder order_;
  Bytes bytes_;
  std::vector<Entry> entries_;
};

// The pieces of one backup set of files (each file's blocks in ascending
// order).
std::vector<BackupPiece> backupSet(const BackupSetSpec& set, const std::vector<std::vector<BackedBlock>>& files,
                                   uint32_t blockSize, ByteOrder order);

// The SCN in a block's common header.
uint64_t blockScnOf(const uint8_t* block, ByteOrder order);

}  // namespace bex::forge
