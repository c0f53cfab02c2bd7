// The block map of a database scan: runs of blocks of one data file that
// are of one class (and one data object), as SCAN DATABASE and PARALLELDB
// find them. Kept in memory while the scan runs (a run costs 16 bytes,
// nothing per block), then written as BEXDICT/BEXMAP.TXT, one run a line:
// "rfn,first,count,class,objd," with the class one letter of BlockClass.
// REPORT draws the map of every data file from it.
#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "base/file_stamp.h"

namespace bex {

enum class BlockClass : char {
  kTable = 'T',
  kIndex = 'I',
  kLob = 'L',
  kSegmentHeader = 'H',
  kEmpty = 'E',       // never formatted: block type 0
  kChecksum = 'C',    // fails the checksum test
  kUnreadable = 'U',  // past the readable end of the file
  kOther = 'O',       // file header, bitmaps, undo, ...
};

struct BlockRun {
  uint32_t rfn = 0;
  uint32_t first = 0;
  uint32_t count = 0;
  uint32_t objd = 0;
  BlockClass cls = BlockClass::kOther;
};

class BlockMap {
 public:
  static constexpr const char* kFileName = "BEXMAP.TXT";

  // Block `block` of file rfn is of class cls (of object objd, 0 for none).
  void note(uint32_t rfn, uint32_t block, BlockClass cls, uint32_t objd) {
    if (!runs_.empty()) {
      BlockRun& r = runs_.back();
      if (r.rfn == rfn && r.cls == cls && r.objd == objd && r.first + r.count == block) {
        r.count++;
        return;
      }
    }
    runs_.push_back(BlockRun{rfn, block, 1, objd, cls});
  }
  // count blocks from first on.
  void noteRange(uint32_t rfn, uint32_t first, uint32_t count, BlockClass cls);
  // The runs of another map (a scan worker's) join these.
  void take(BlockMap& other);
  // The runs of the next stretch of one walk (a SCAN DATABASE worker's)
  // follow these: its first run joins the last one where it continues it.
  void follow(BlockMap& next);
  // Sorted by file and block, one line a run; false when it could not be
  // written.
  bool write(const std::string& path);

  const std::vector<BlockRun>& runs() const { return runs_; }

 private:
  std::vector<BlockRun> runs_;
};

// Reads a map file written by write(); lines it cannot read are passed
// over. False when the file cannot be opened.
bool readBlockMap(const std::string& path, std::vector<BlockRun>& runs);

// The runs of a map file that failed the checksum test, by object, read
// once: an UNLOAD of one object reports its rejected blocks with a look-up,
// not a read of the whole map. Read again when the file changed or after
// forget() (a scan that rewrites it).
class ChecksumRuns {
 public:
  // false when the file cannot be opened (nothing is held then).
  bool refresh(const std::string& path);
  void forget() { path_.clear(), runs_.clear(); }
  std::span<const BlockRun> of(uint32_t objd) const;

 private:
  std::string path_;  // empty: nothing held
  FileStamp stamp_;
  std::vector<BlockRun> runs_;  // by object, each object's in file order
};

}  // namespace bex
