// Where the dictionary files live and how they are read: one record per
// line, fields separated by ",", written by the dictionary bootstrap and read
// again by every query. DictFiles is the run's view of them: the directory
// and the index its queries answer through (dict_index.h).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "base/dict_directory.h"

namespace bex {

// The files in the run's dictionary directory.
inline constexpr const char* kUserFile = "BEXUSR.TXT";
inline constexpr const char* kObjectFile = "BEXOBJ.TXT";
inline constexpr const char* kStorageFile = "BEXTAB.TXT";
inline constexpr const char* kColumnFile = "BEXCOL.TXT";
inline constexpr const char* kColumnTypeFile = "BEXTYP.TXT";
// The rows marked deleted of OBJ$, TAB$ (and the storage tables) and COL$,
// in the fields of their live files: what a DROP left behind.
inline constexpr const char* kDeletedObjectFile = "BEXOBJDEL.TXT";
inline constexpr const char* kDeletedStorageFile = "BEXTABDEL.TXT";
inline constexpr const char* kDeletedColumnFile = "BEXCOLDEL.TXT";
// The rows of RECYCLEBIN$: the original names of the tables in the recycle
// bin (empty when the dictionary has no RECYCLEBIN$).
inline constexpr const char* kRecycleBinFile = "BEXBIN.TXT";

// A line is read into this many bytes; a longer line is passed over whole.
inline constexpr size_t kDictLineBuffer = 1024;

// The lines of a dictionary file, read at any offset through a window of
// the file. A line runs to its line feed or the end of the file and is cut
// at its first NUL byte, as a C string would be; one that does not fit in
// kDictLineBuffer bytes is passed over whole, and so is a line that is
// empty or begins with a NUL, line feed or carriage return. Reads the
// descriptor with pread and leaves it open.
class DictLineSource {
 public:
  DictLineSource(int fd, size_t window);

  // The line that begins at `at`: false at the end of the file; else
  // `line` is its text (empty when it is passed over) and `next` is where
  // the following line begins.
  bool lineAt(uint64_t at, std::string_view& line, uint64_t& next);

 private:
  // Makes the window hold a whole line's worth of bytes from `at`, or all
  // that is left of the file.
  void cover(uint64_t at);
  // Where the line feed after `from` ends an over-long line.
  uint64_t endOfLongLine(uint64_t from);
  std::string_view window(uint64_t at) const;

  int fd_;
  size_t capacity_;
  std::unique_ptr<char[]> buf_;
  uint64_t start_ = 0;  // file offset of buf_[0]
  size_t length_ = 0;
  bool toEnd_ = false;  // the window reaches the end of the file
};

// Streams the lines of one dictionary file from its start, as
// DictLineSource cuts them, passed-over lines left out.
class DictLineReader {
 public:
  explicit DictLineReader(const char* path);
  // Reads an open descriptor, which stays open.
  explicit DictLineReader(int fd);
  ~DictLineReader();
  DictLineReader(const DictLineReader&) = delete;
  DictLineReader& operator=(const DictLineReader&) = delete;

  bool opened() const { return fd_ >= 0; }
  // The next line, its line end included; false at the end of the file.
  bool next(std::string_view& line);
  // Where the line next() gave last begins in the file.
  uint64_t lineOffset() const { return lineOffset_; }

 private:
  int fd_;
  bool ownsFd_;
  DictLineSource source_;
  uint64_t pos_ = 0, lineOffset_ = 0;
};

class DictIndex;
class UserLines;
class ObjectLines;
template <class Record>
class KeyedLines;
struct StorageRecord;
struct ColumnTypeRecord;
using StorageLines = KeyedLines<StorageRecord>;
using ColumnTypeLines = KeyedLines<ColumnTypeRecord>;
class ColumnMapLines;
class DeletedObjectLines;
using DeletedStorageLines = KeyedLines<StorageRecord>;

// How queries find their lines: through the index, or by reading the whole
// file each time (what the index must answer alike; the tests compare them).
enum class DictLookup { kIndexed, kFileScan };

// The dictionary files of the run's directory and the index over them. The
// index of a file is built at its first use and built again when the file
// is found changed (size, modification or change time, inode): files are
// looked at again at their first use after recheck(). Whoever writes a
// dictionary file calls forget(). The index only remembers where lines
// are, so it is a memo of the files and the queries on a const DictFiles
// may fill it. Not for use from more than one thread.
class DictFiles : public DictDirectory {
 public:
  explicit DictFiles(std::string path = kDefault, DictLookup lookup = DictLookup::kIndexed);
  ~DictFiles();
  DictFiles(const DictFiles&) = delete;
  DictFiles& operator=(const DictFiles&) = delete;

  // Before every statement: each file is compared with what was indexed
  // at its next use.
  void recheck() const;
  // After writing a dictionary file: everything indexed is dropped.
  void forget() const;

  UserLines& users() const;
  ObjectLines& objects() const;
  StorageLines& storage() const;
  ColumnTypeLines& columnTypes() const;
  // The column map file holding the table's columns.
  ColumnMapLines& columnMap(uint32_t objNo) const;
  // The files of deleted rows (BEXOBJDEL, BEXTABDEL, BEXCOLDEL).
  DeletedObjectLines& deletedObjects() const;
  DeletedStorageLines& deletedStorage() const;
  ColumnMapLines& deletedColumns() const;

 private:
  DictIndex& index() const;

  DictLookup lookup_;
  mutable std::unique_ptr<DictIndex> index_;
};

}  // namespace bex
