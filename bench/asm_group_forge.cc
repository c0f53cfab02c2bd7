// The disk group of bench/run_asm.sh: one ASM file of MiB mebibytes (file
// number 200, database blocks of 8 KB with sound checksums) spread AU by AU
// over DISKS disk images of an EXTERNAL group with 1 MB AUs and 4 KB
// metadata blocks: 60 direct extents, the rest through indirect blocks.
// Writes DIR/bench_d<N>.img, DIR/bench.disks and the original DIR/bench.dbf.
//
//   asm_group_forge DIR MiB [DISKS (2)]
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kAu = 1 << 20, kMeta = 4096, kBlock = 8192, kFile = 200, kDirect = 60, kPerIndirect = 500;

void put16(uint8_t* p, uint32_t v) { p[0] = v & 0xff, p[1] = (v >> 8) & 0xff; }
void put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; i++) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void meta(uint8_t* p, uint8_t type, uint32_t number, uint32_t owner) {
  p[0] = 1, p[2] = type, p[3] = 1;
  put32(p + 4, number);
  put32(p + 8, owner);
}
void pointer(uint8_t* p, uint32_t au, uint32_t disk) {
  put32(p, au);
  put16(p + 4, disk);
}

bool writeAll(int fd, const uint8_t* p, size_t n, uint64_t at) {
  while (n) {
    ssize_t w = pwrite(fd, p, n, static_cast<off_t>(at));
    if (w <= 0) return false;
    p += w, n -= static_cast<size_t>(w), at += static_cast<uint64_t>(w);
  }
  return true;
}

// AU a of the file: database blocks whose bytes follow a xorshift stream.
void fillAu(uint8_t* au, uint64_t a) {
  uint64_t x = a * 0x9E3779B97F4A7C15ull + 1;
  for (uint32_t b = 0; b < kAu / kBlock; b++) {
    uint8_t* blk = au + static_cast<size_t>(b) * kBlock;
    for (uint32_t i = 0; i < kBlock; i += 8) {
      x ^= x << 13, x ^= x >> 7, x ^= x << 17;
      memcpy(blk + i, &x, 8);
    }
    blk[0] = 6;
    put32(blk + 4, static_cast<uint32_t>(a * (kAu / kBlock) + b) | (5u << 22));
    blk[16] = blk[17] = 0;
    uint8_t x0 = 0, x1 = 0;
    for (uint32_t i = 0; i < kBlock; i += 2) x0 ^= blk[i], x1 ^= blk[i + 1];
    blk[16] = x0, blk[17] = x1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: asm_group_forge DIR MiB [DISKS]\n");
    return 2;
  }
  std::string dir = argv[1];
  uint32_t extents = static_cast<uint32_t>(strtoul(argv[2], nullptr, 10));
  uint32_t disks = argc > 3 ? static_cast<uint32_t>(strtoul(argv[3], nullptr, 10)) : 2;
  if (extents < 1 || disks < 1 || disks > 16) return 2;
  uint32_t indirectBlocks = extents > kDirect ? (extents - kDirect + kPerIndirect - 1) / kPerIndirect : 0;
  if (indirectBlocks > kAu / kMeta) return 2;
  // AU 0 header, AU 1 file directory (disk 0), AU 2 indirect blocks (disk 0);
  // data from AU 3 on every disk, extent x on disk x % disks.
  uint32_t perDisk = 3 + (extents + disks - 1) / disks;
  std::vector<int> fds;
  FILE* list = fopen((dir + "/bench.disks").c_str(), "w");
  for (uint32_t d = 0; d < disks; d++) {
    std::string path = dir + "/bench_d" + std::to_string(d) + ".img";
    int fd = open(path.c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
    if (fd < 0 || ftruncate(fd, static_cast<off_t>(perDisk) * kAu) != 0) return 1;
    fds.push_back(fd);
    fprintf(list, "%s\n", path.c_str());
    std::vector<uint8_t> h(kMeta, 0);
    meta(h.data(), 1, 0, 0x80000000u + d);
    memcpy(h.data() + 32, "ORCLDISK", 8);
    put32(h.data() + 64, 0x0b200000);
    put16(h.data() + 68, d);
    h[70] = 1;
    snprintf(reinterpret_cast<char*>(h.data() + 72), 32, "BENCH_%04u", d);
    snprintf(reinterpret_cast<char*>(h.data() + 104), 32, "BENCH");
    put16(h.data() + 216, 512);
    put16(h.data() + 218, kMeta);
    put32(h.data() + 220, kAu);
    put32(h.data() + 228, perDisk);
    put32(h.data() + 244, d == 0 ? 1 : 0);
    if (!writeAll(fd, h.data(), h.size(), 0)) return 1;
  }
  fclose(list);
  auto auOf = [&](uint32_t x) { return 3 + x / disks; };
  std::vector<uint8_t> dirAu(kAu, 0);
  meta(dirAu.data(), 5, 0, 1);
  uint8_t* d1 = dirAu.data() + kMeta;
  meta(d1, 4, 1, 1);
  put32(d1 + 48, kAu);
  put32(d1 + 52, 1);
  pointer(d1 + 1216, 1, 0);
  put16(d1 + 92, 1);
  put16(d1 + 94, 1);
  uint8_t* e = dirAu.data() + static_cast<size_t>(kFile) * kMeta;
  meta(e, 4, kFile, 1);
  uint64_t size = static_cast<uint64_t>(extents) * kAu;
  put32(e + 44, static_cast<uint32_t>(size >> 32));
  put32(e + 48, static_cast<uint32_t>(size));
  put32(e + 52, extents);
  put32(e + 56, extents);
  put32(e + 60, kBlock);
  uint32_t direct = extents < kDirect ? extents : kDirect;
  for (uint32_t x = 0; x < direct; x++) pointer(e + 1216 + 8 * x, auOf(x), x % disks);
  put16(e + 94, direct);
  put16(e + 92, direct + (indirectBlocks ? 1 : 0));
  if (indirectBlocks) pointer(e + 1216 + 8 * direct, 2, 0);
  if (!writeAll(fds[0], dirAu.data(), kAu, kAu)) return 1;
  std::vector<uint8_t> ind(kAu, 0);
  for (uint32_t b = 0; b < indirectBlocks; b++) {
    uint8_t* p = ind.data() + static_cast<size_t>(b) * kMeta;
    uint32_t first = kDirect + b * kPerIndirect, n = std::min(kPerIndirect, extents - first);
    meta(p, 12, b, kFile);
    put32(p + 32, first);
    put16(p + 36, n);
    for (uint32_t k = 0; k < n; k++) pointer(p + 44 + 8 * k, auOf(first + k), (first + k) % disks);
  }
  if (indirectBlocks && !writeAll(fds[0], ind.data(), kAu, 2ull * kAu)) return 1;
  int orig = open((dir + "/bench.dbf").c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0644);
  std::vector<uint8_t> au(kAu);
  for (uint32_t x = 0; x < extents; x++) {
    fillAu(au.data(), x);
    if (!writeAll(fds[x % disks], au.data(), kAu, static_cast<uint64_t>(auOf(x)) * kAu) ||
        !writeAll(orig, au.data(), kAu, static_cast<uint64_t>(x) * kAu))
      return 1;
  }
  for (int fd : fds) close(fd);
  close(orig);
  return 0;
}
