#include "lob/lob_map_files.h"

#include <cstdint>

namespace bex {

std::string lobSortFile(const DictDirectory& dir, LobSortLevel level, uint32_t n) {
  char name[32];
  snprintf(name, sizeof name, "BEXLOBMAP%03u.%s", n, level == LobSortLevel::kFirst ? "L1T" : "L2T");
  return dir.file(name);
}

// "%llu,\n" without printf: every build writes 262144 of these lines.
void writeBucketOffset(FILE* pos, uint64_t offset) {
  char text[24];
  char* p = text + sizeof text;
  *--p = '\n';
  *--p = ',';
  do {
    *--p = static_cast<char>('0' + offset % 10);
    offset /= 10;
  } while (offset);
  fwrite(p, 1, static_cast<size_t>(text + sizeof text - p), pos);
}

// Read a block at a time and parsed by hand: fgets and strtoull per line
// took several milliseconds of every LOB unload's start. A line's value is
// its leading decimal digits (0 for none), at most UINT64_MAX; a last line
// without its line feed counts too.
void readBucketOffsets(FILE* pos, uint64_t* offsets, uint32_t count) {
  char block[65536];
  uint32_t b = 0;
  uint64_t value = 0;
  bool digits = true, started = false;  // still in the line's leading digits; the line has begun
  for (size_t n; b < count && (n = fread(block, 1, sizeof block, pos)) > 0;) {
    for (size_t i = 0; i < n && b < count; i++) {
      const char ch = block[i];
      started = true;
      if (ch == '\n') {
        offsets[b++] = value;
        value = 0, digits = true, started = false;
      } else if (digits && ch >= '0' && ch <= '9') {
        const uint64_t d = static_cast<uint64_t>(ch - '0');
        value = value > (UINT64_MAX - d) / 10 ? UINT64_MAX : value * 10 + d;
      } else {
        digits = false;
      }
    }
  }
  if (b < count && started) offsets[b] = value;
}

}  // namespace bex
