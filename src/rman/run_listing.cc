#include "rman/run_listing.h"

#include <cstdio>
#include <cstring>

#include "base/cmdline.h"

namespace bex {

void writeRunLine(Sink& out, const PieceRun& r) {
  out.printf("%u,%u,%u,%u,%u,\r\n", r.file, r.first, r.slot, r.position, r.count);
}

namespace {

// One decimal field ended by a comma; p moves past the comma.
bool field(const char*& p, uint32_t& v) {
  uint64_t n = 0;
  const char* start = p;
  while (*p >= '0' && *p <= '9') {
    n = n * 10 + static_cast<uint64_t>(*p - '0');
    if (n > UINT32_MAX) return false;
    p++;
  }
  if (p == start || *p != ',') return false;
  p++;
  v = static_cast<uint32_t>(n);
  return true;
}

}  // namespace

bool parseRunLine(const char* line, PieceRun& r) {
  const char* p = line;
  PieceRun got;
  if (!field(p, got.file) || !field(p, got.first) || !field(p, got.slot) || !field(p, got.position) ||
      !field(p, got.count))
    return false;
  while (*p && isBlank(*p)) p++;
  if (*p || got.count == 0 || uint64_t{got.first} + got.count > (uint64_t{1} << 32)) return false;
  r = got;
  return true;
}

namespace {

// One line of at most kRunLineMax characters, its end of line dropped;
// false at the end of the file. A longer line, or one holding a NUL byte,
// comes back empty, so that it reads as malformed.
bool readLine(FILE* f, char* line) {
  size_t n = 0;
  bool bad = false;
  int c;
  while ((c = getc_unlocked(f)) != EOF && c != '\n') {
    if (c == 0 || n == kRunLineMax) bad = true;
    if (!bad) line[n++] = static_cast<char>(c);
  }
  line[bad ? 0 : n] = 0;
  return c != EOF || n > 0 || bad;
}

}  // namespace

bool readRunListing(const char* path, int64_t file, const PieceBlocks& pieceBlocks, Sink& out,
                    std::map<uint32_t, std::vector<PieceRun>>& runs, uint64_t& cutBlocks) {
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  char line[kRunLineMax + 1];
  for (uint64_t number = 1; readLine(f, line); number++) {
    PieceRun r;
    if (!parseRunLine(line, r)) {
      out.printf("  Listing line %llu is malformed, skipped.\n", static_cast<unsigned long long>(number));
      continue;
    }
    if (file >= 0 && r.file != file) continue;
    int64_t held = pieceBlocks(r.slot);
    if (held < 0) {
      out.printf("  Listing line %llu names slot %u, which is not open, skipped.\n",
                 static_cast<unsigned long long>(number), r.slot);
      continue;
    }
    if (uint64_t{r.position} + r.count > static_cast<uint64_t>(held)) {
      uint64_t keep = static_cast<uint64_t>(held) > r.position ? static_cast<uint64_t>(held) - r.position : 0;
      cutBlocks += r.count - keep;
      if (keep == 0) continue;
      r.count = static_cast<uint32_t>(keep);
    }
    runs[r.file].push_back(r);
  }
  fclose(f);
  return true;
}

}  // namespace bex
