// Where the dictionary files live and how they are read: one record per
// line, fields separated by ",", written by the dictionary bootstrap and read
// again by every query. Nothing of them is kept between lookups.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
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

// A line is read into this many bytes; a longer line is passed over whole.
inline constexpr size_t kDictLineBuffer = 1024;

// dir/BEXCOLMAP%03u.TXT: the map file holding objNo's columns.
std::string columnMapName(const DictDirectory& dir, uint32_t objNo);

// Streams the lines of one dictionary file. Lines that are empty or begin
// with a NUL, line feed or carriage return are passed over, and so is every
// line too long for the buffer (its tail is never taken for a line of its
// own). No allocation per line.
class DictLineReader {
 public:
  explicit DictLineReader(const char* path);
  ~DictLineReader();
  DictLineReader(const DictLineReader&) = delete;
  DictLineReader& operator=(const DictLineReader&) = delete;

  bool opened() const { return f_ != nullptr; }
  // The next line, its line end included; false at the end of the file.
  bool next(std::string_view& line);

 private:
  FILE* f_;
  char buf_[kDictLineBuffer];
};

}  // namespace bex
