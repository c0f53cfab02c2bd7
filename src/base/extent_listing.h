// The extent listing of the database scan (BEXEXT.TXT, and BEXEXT.NN.TXT
// of scan worker NN): one line per run of table or index blocks of one data
// object, "objd,file,first block,count,rows,\r\n", rows being the sum of
// the blocks' row (or index entry) counts. SCAN DATABASE writes it; UNLOAD
// and SCAN TABLE find an object's blocks through it.
#pragma once
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "base/dict_directory.h"
#include "base/file_stamp.h"
#include "base/sink.h"

namespace bex {

inline constexpr const char* kExtentListing = "BEXEXT";

// dir/BEXEXT.TXT, or the listing of scan worker `worker`.
inline std::string extentListingFile(const DictDirectory& dir, int worker = -1) {
  return dir.listingFile(kExtentListing, worker);
}

struct ExtentRecord {
  uint32_t objd = 0;
  uint32_t file = 0;
  uint32_t first = 0;
  uint32_t count = 0;
  uint64_t rows = 0;
};

void writeExtentRecord(Sink& out, const ExtentRecord& r);
// False when the line does not begin with five comma-ended decimal numbers
// (the first four within 32 bits, the rows within 64).
bool parseExtentRecord(const char* line, ExtentRecord& out);

// Reads the records of a listing file from its start; a line that is no
// record is passed over, and so is the rest of a line longer than
// kLineMax characters.
class ExtentListingReader {
 public:
  static constexpr size_t kLineMax = 1023;

  explicit ExtentListingReader(const std::string& path) : f_(fopen(path.c_str(), "r")) {}
  ~ExtentListingReader() {
    if (f_) fclose(f_);
  }
  ExtentListingReader(const ExtentListingReader&) = delete;
  ExtentListingReader& operator=(const ExtentListingReader&) = delete;

  bool opened() const { return f_ != nullptr; }
  // The next record; false at the end of the file.
  bool next(ExtentRecord& r);
  void rewind() { ::rewind(f_); }

 private:
  FILE* f_;
};

// The records of one listing file read once: in listing order, and by
// object (each object's records still in listing order), so that finding
// an object's runs costs a look-up instead of a read of the whole file. The
// listing is read again when its file changed (another inode, size or
// modification time) or after `forget` (a scan that rewrites it).
class ExtentIndex {
 public:
  // Reads `path` unless the records held are those of its present file;
  // false when it cannot be opened (nothing is held then).
  bool refresh(const std::string& path);
  void forget() { path_.clear(), byFile_.clear(), byObject_.clear(); }

  const std::vector<ExtentRecord>& records() const { return byFile_; }
  std::span<const ExtentRecord> of(uint32_t objd) const;

 private:
  std::string path_;  // empty: nothing held
  FileStamp stamp_;
  std::vector<ExtentRecord> byFile_;
  std::vector<ExtentRecord> byObject_;  // stable-sorted by object
};

}  // namespace bex
