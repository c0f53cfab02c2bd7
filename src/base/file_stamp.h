// What tells one state of a file from another without reading it: device,
// inode, size and modification time. Indexes read once per run (the extent
// listing, the block map) read their file again when its stamp changed.
#pragma once
#include <cstdint>
#include <string>

namespace bex {

struct FileStamp {
  uint64_t dev = 0, ino = 0, size = 0;
  int64_t sec = 0, nsec = 0;
  bool operator==(const FileStamp&) const = default;

  // The stamp of path's present file; false when it cannot be stat'ed.
  static bool of(const std::string& path, FileStamp& s);
};

}  // namespace bex
