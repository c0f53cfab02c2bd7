#include "dict/dict_files.h"

#include <cstring>

namespace bex {

std::string columnMapName(const DictDirectory& dir, uint32_t objNo) {
  char name[32];
  snprintf(name, sizeof name, "BEXCOLMAP%03u.TXT", objNo % 64);
  return dir.file(name);
}

// Read-only: a query never needs to write the files it reads.
DictLineReader::DictLineReader(const char* path) : f_(fopen(path, "rb")) {}

DictLineReader::~DictLineReader() {
  if (f_) fclose(f_);
}

// A whole line is taken up to its line feed; it is cut at its first NUL
// byte, as a C string would be. A line that does not fit is dropped whole.
bool DictLineReader::next(std::string_view& line) {
  if (!f_) return false;
  for (;;) {
    size_t n = 0;
    bool overLong = false;
    int c;
    while ((c = getc_unlocked(f_)) != EOF) {
      if (n < sizeof buf_ - 1)
        buf_[n++] = static_cast<char>(c);
      else
        overLong = true;
      if (c == '\n') break;
    }
    if (n == 0) return false;  // end of file
    buf_[n] = 0;
    if (overLong) continue;
    n = strlen(buf_);
    if (n == 0 || buf_[0] == '\n' || buf_[0] == '\r') continue;
    line = std::string_view(buf_, n);
    return true;
  }
}

}  // namespace bex
