#include "base/file_stamp.h"

#include <sys/stat.h>

namespace bex {

bool FileStamp::of(const std::string& path, FileStamp& s) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  s = FileStamp{static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino), static_cast<uint64_t>(st.st_size),
                static_cast<int64_t>(st.st_mtim.tv_sec), static_cast<int64_t>(st.st_mtim.tv_nsec)};
  return true;
}

}  // namespace bex
