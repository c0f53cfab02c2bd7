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

namespace {

// The parse of the position file: a line's value is its leading decimal
// digits (0 for none), at most UINT64_MAX.
struct OffsetLines {
  uint64_t* offsets;
  uint32_t count;
  uint32_t b = 0;        // lines read
  uint64_t value = 0;    // of the line begun
  bool digits = true;    // still in its leading digits
  bool started = false;  // a line has begun and not ended

  void digit(char ch) {
    const uint64_t d = static_cast<uint64_t>(ch - '0');
    value = value > (UINT64_MAX - d) / 10 ? UINT64_MAX : value * 10 + d;
  }
  void end() {
    offsets[b++] = value;
    value = 0, digits = true, started = false;
  }
  // One byte of a line that may end past the block.
  void step(char ch) {
    started = true;
    if (ch == '\n')
      end();
    else if (digits && ch >= '0' && ch <= '9')
      digit(ch);
    else
      digits = false;
  }
  // The bytes of a block: the line carried over first, then whole lines
  // as written ("%llu,\n") straight, anything else a byte at a time.
  void block(const char* p, const char* stop) {
    while (p < stop && started && b < count) step(*p++);
    while (p < stop && b < count) {
      const char* q = p;
      uint64_t v = 0;
      for (; q < stop && *q >= '0' && *q <= '9' && v < kSafe; q++) v = v * 10 + static_cast<uint64_t>(*q - '0');
      if (stop - q >= 2 && q[0] == ',' && q[1] == '\n' && q > p) {
        offsets[b++] = v;
        p = q + 2;
        continue;
      }
      for (; p < stop && b < count; p++) step(*p);
    }
  }
  static constexpr uint64_t kSafe = UINT64_MAX / 10 - 9;  // past it a digit is added with care
};

}  // namespace

// Read a block at a time and parsed by hand: fgets and strtoull per line
// took several milliseconds of every LOB unload's start. A last line
// without its line feed counts too.
void readBucketOffsets(FILE* pos, uint64_t* offsets, uint32_t count) {
  char block[65536];
  OffsetLines lines{offsets, count};
  for (size_t n; lines.b < count && (n = fread(block, 1, sizeof block, pos)) > 0;) lines.block(block, block + n);
  if (lines.b < count && lines.started) offsets[lines.b] = lines.value;
}

}  // namespace bex
