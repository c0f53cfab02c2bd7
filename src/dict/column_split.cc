#include "dict/column_split.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bex {

namespace {
constexpr size_t kLineMax = 511;
constexpr size_t kLineMin = 10;
}  // namespace

void splitColumnFile(const DictDirectory& dir) {
  FILE* in = fopen(dir.file("BEXCOL.TXT").c_str(), "rb");
  if (!in) return;
  FILE* maps[kColumnMapFiles];
  bool allOpen = true;
  for (unsigned i = 0; i < kColumnMapFiles; i++) {
    char name[32];
    snprintf(name, sizeof name, "BEXCOLMAP%03u.TXT", i);
    maps[i] = fopen(dir.file(name).c_str(), "wb");
    allOpen = allOpen && maps[i];
  }
  char line[kLineMax + 1];
  while (allOpen && fgets(line, sizeof line, in)) {
    size_t n = strlen(line);
    if (n < kLineMin) break;
    const char* p = line;
    while (*p == ',') p++;
    unsigned long objn = strtoul(p, nullptr, 10);
    fwrite(line, 1, n, maps[objn % kColumnMapFiles]);
  }
  for (FILE* f : maps)
    if (f) fclose(f);
  fclose(in);
}

}  // namespace bex
