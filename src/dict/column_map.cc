#include "dict/column_map.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dict/dict_files.h"

namespace bex {

namespace {
constexpr size_t kColumnLineMax = 511;
constexpr size_t kLineMin = 10;
}  // namespace

std::string columnMapName(const DictDirectory& dir, uint32_t objNo) {
  char name[32];
  snprintf(name, sizeof name, "BEXCOLMAP%03u.TXT", objNo % kColumnMapFiles);
  return dir.file(name);
}

void splitColumnFile(const DictFiles& dir) {
  FILE* in = fopen(dir.file(kColumnFile).c_str(), "rb");
  if (!in) return;
  dir.forget();
  FILE* maps[kColumnMapFiles];
  bool allOpen = true;
  for (unsigned i = 0; i < kColumnMapFiles; i++) {
    maps[i] = fopen(columnMapName(dir, i).c_str(), "wb");
    allOpen = allOpen && maps[i];
  }
  char line[kColumnLineMax + 1];
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
