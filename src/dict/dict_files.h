// Where the dictionary files live and how they are read: one record per
// line, fields separated by ",", written by the dictionary bootstrap and read
// again by every query. Nothing of them is kept between lookups.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace bex {

inline constexpr const char* kDictDir = "BEXDICT";
inline constexpr const char* kUserFile = "BEXDICT/BEXUSR.TXT";
inline constexpr const char* kObjectFile = "BEXDICT/BEXOBJ.TXT";
inline constexpr const char* kStorageFile = "BEXDICT/BEXTAB.TXT";
inline constexpr const char* kColumnFile = "BEXDICT/BEXCOL.TXT";
inline constexpr const char* kColumnTypeFile = "BEXDICT/BEXTYP.TXT";

// A line is read into this many bytes; a longer line is passed over whole.
inline constexpr size_t kDictLineBuffer = 1024;
inline constexpr size_t kColumnMapNameSize = 32;

// "BEXDICT/BEXCOLMAP%03u.TXT" of the map file holding objNo's columns.
void columnMapName(uint32_t objNo, char (&out)[kColumnMapNameSize]);

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
