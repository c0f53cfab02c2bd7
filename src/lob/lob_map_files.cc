#include "lob/lob_map_files.h"

#include <cstdlib>

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

void readBucketOffsets(FILE* pos, uint64_t* offsets, uint32_t count) {
  char line[64];
  for (uint32_t b = 0; b < count && fgets(line, sizeof line, pos); b++) offsets[b] = strtoull(line, nullptr, 10);
}

}  // namespace bex
