// bexdamage: damages a copy of a forged data file in one of the ways a
// recovery meets in the field, and prints the block numbers it touched
// (one per line) so that the test can tell damaged blocks from sound ones.
//
//   bexdamage flip     FILE BSIZE SEED PERCENT   one bit in PERCENT% of blocks
//   bexdamage zero     FILE BSIZE BLOCK...       blocks overwritten with zeros
//   bexdamage truncate FILE BSIZE BLOCK          cut in the middle of BLOCK
//   bexdamage random   FILE BSIZE SEED           every byte random, same size
//   bexdamage swap     FILE BSIZE BLOCK FILE2 BLOCK2   exchange two blocks
//   bexdamage rowdir   FILE BSIZE BLOCK          row directory past the block
//   bexdamage extent   FILE BSIZE BLOCK          extents of a segment header
//                                                 pointing outside the file
// Structural damage (rowdir, extent) keeps the checksum consistent, so the
// parsers, not the checksum test, must cope with it. Blocks 0 and 1 are
// never touched by flip.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> readFile(const char* path) {
  std::vector<uint8_t> d;
  FILE* f = fopen(path, "rb");
  if (!f) return d;
  uint8_t buf[65536];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) d.insert(d.end(), buf, buf + n);
  fclose(f);
  return d;
}

bool writeFile(const char* path, const std::vector<uint8_t>& d) {
  FILE* f = fopen(path, "wb");
  if (!f) return false;
  bool ok = fwrite(d.data(), 1, d.size(), f) == d.size();
  return fclose(f) == 0 && ok;
}

// Re-seals a block so that all its 16-bit words XOR to zero.
void seal(uint8_t* b, uint32_t bs) {
  b[16] = b[17] = 0;
  uint8_t x0 = 0, x1 = 0;
  for (uint32_t i = 0; i < bs; i += 2) x0 ^= b[i], x1 ^= b[i + 1];
  b[16] = x0;
  b[17] = x1;
}

uint32_t get32le(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }
void put32le(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void put16le(uint8_t* p, uint16_t v) { p[0] = static_cast<uint8_t>(v), p[1] = static_cast<uint8_t>(v >> 8); }

int usage() {
  fprintf(stderr, "usage: bexdamage flip|zero|truncate|random|swap|rowdir|extent FILE BSIZE ...\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return usage();
  std::string kind = argv[1];
  const char* path = argv[2];
  uint32_t bs = static_cast<uint32_t>(atoi(argv[3]));
  std::vector<uint8_t> d = readFile(path);
  if (d.empty() || bs < 2048) return usage();
  size_t blocks = d.size() / bs;
  auto block = [&](size_t n) { return d.data() + n * bs; };

  if (kind == "flip" && argc >= 6) {
    std::mt19937 rng(static_cast<uint32_t>(atoi(argv[4])));
    int percent = atoi(argv[5]);
    for (size_t n = 2; n < blocks; n++) {
      if (static_cast<int>(rng() % 100) >= percent) continue;
      block(n)[rng() % bs] ^= static_cast<uint8_t>(1u << (rng() % 8));
      printf("%zu\n", n);
    }
  } else if (kind == "zero") {
    for (int i = 4; i < argc; i++) {
      size_t n = static_cast<size_t>(atoi(argv[i]));
      if (n < blocks) memset(block(n), 0, bs), printf("%zu\n", n);
    }
  } else if (kind == "truncate" && argc >= 5) {
    size_t n = static_cast<size_t>(atoi(argv[4]));
    if (n >= blocks) return usage();
    d.resize(n * bs + bs / 2 + 7);
    for (size_t b = n; b < blocks; b++) printf("%zu\n", b);
  } else if (kind == "random" && argc >= 5) {
    std::mt19937 rng(static_cast<uint32_t>(atoi(argv[4])));
    for (uint8_t& byte : d) byte = static_cast<uint8_t>(rng());
    for (size_t b = 0; b < blocks; b++) printf("%zu\n", b);
  } else if (kind == "swap" && argc >= 7) {
    size_t n = static_cast<size_t>(atoi(argv[4]));
    std::vector<uint8_t> other = readFile(argv[5]);
    size_t m = static_cast<size_t>(atoi(argv[6]));
    if (n >= blocks || (m + 1) * bs > other.size()) return usage();
    std::vector<uint8_t> tmp(block(n), block(n) + bs);
    memcpy(block(n), other.data() + m * bs, bs);
    memcpy(other.data() + m * bs, tmp.data(), bs);
    if (!writeFile(argv[5], other)) return 1;
    printf("%zu\n", n);  // the block of FILE2 is reported by the caller
  } else if (kind == "rowdir" && argc >= 5) {
    size_t n = static_cast<size_t>(atoi(argv[4]));
    if (n >= blocks) return usage();
    uint8_t* b = block(n);
    // Little-endian table block: row directory after the table directory.
    uint32_t hdsz = 44 + 24 * b[36] + (b[38] == 0x32 ? 8 : 0);
    uint32_t ntab = b[hdsz + 1];
    uint16_t nrow = static_cast<uint16_t>(b[hdsz + 2] | b[hdsz + 3] << 8);
    uint32_t dir = hdsz + 14 + 4 * ntab;
    for (uint32_t r = 0; r < nrow && dir + 2 * r + 2 <= bs; r++) put16le(b + dir + 2 * r, static_cast<uint16_t>(bs - 3 - r));
    seal(b, bs);
    printf("%zu\n", n);
  } else if (kind == "extent" && argc >= 5) {
    size_t n = static_cast<size_t>(atoi(argv[4]));
    if (n >= blocks) return usage();
    uint8_t* b = block(n);
    uint32_t count = get32le(b + 92);
    uint32_t rfn = get32le(b + 4) >> 22;
    for (uint32_t i = 0; i < count && 108 + 8 * i + 8 <= bs; i++) {
      put32le(b + 108 + 8 * i, (rfn << 22) | (0x3FFFF0 - i));
      put32le(b + 112 + 8 * i, 0xFFFFFFF0u);
    }
    put32le(b + 96, (rfn << 22) | 0x3FFFFF);  // next map block: outside too
    seal(b, bs);
    printf("%zu\n", n);
  } else {
    return usage();
  }
  return writeFile(path, d) ? 0 : 1;
}
