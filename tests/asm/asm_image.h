// Small ASM disk groups for the tests: disk images with headers, a file
// directory in the F1B1 AU of disk 0 (and of disk 1 as its mirror), files
// whose extents go round the disks, direct and indirect pointers, mirror
// copies on the next disks, holes, and a disk list naming the images.
// Data files are made of database blocks with a sound checksum, so that the
// block check of the mirror choice can be tried.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace bex::testing {

struct AsmImageSpec {
  uint32_t auSize = 65536;
  uint32_t blockSize = 4096;
  bool big = false;          // metadata byte order
  uint8_t groupType = 1;     // 2 NORMAL, 3 HIGH
  uint32_t disks = 2;
  uint32_t ausPerDisk = 96;
  uint32_t directMax = 20;   // direct pointer slots an entry uses
  uint32_t perIndirect = 25; // pointers per indirect block
  // Variable extents: (last extent number, AUs per extent) per level.
  std::vector<std::pair<uint32_t, uint32_t>> levels;
};

class AsmImage {
 public:
  AsmImage(std::string dir, AsmImageSpec shape) : dir_(std::move(dir)), s_(shape) {
    for (uint32_t d = 0; d < s_.disks; d++) disks_.emplace_back(static_cast<size_t>(s_.auSize) * s_.ausPerDisk, 0);
    next_.assign(s_.disks, 2);
    copies_ = s_.groupType == 2 ? 2 : s_.groupType == 3 ? 3 : 1;
    for (uint32_t d = 0; d < s_.disks; d++) header(d);
  }

  uint32_t copies() const { return copies_; }

  uint32_t extentAus(uint32_t x) const {  // x from 0
    uint32_t prev = 0;
    for (auto [last, aus] : s_.levels) {
      if (x < last) return aus;
      prev = last;
    }
    (void)prev;
    return s_.levels.empty() ? 1 : s_.levels.back().second;
  }

  // File n (2 to 15) holding data; extents in `holes` get empty pointers.
  // size: the size its entry gives, when not the data's (a striped file).
  void addFile(uint32_t n, const std::vector<uint8_t>& data, std::set<uint32_t> holes = {}, uint64_t size = 0) {
    files_[n] = File{data, holes, {}, 0, size ? size : data.size()};
  }

  // Database blocks of blockSize with a sound checksum and nonzero bytes.
  static std::vector<uint8_t> blocks(uint32_t count, uint32_t blockSize, uint32_t seed) {
    std::vector<uint8_t> out(static_cast<size_t>(count) * blockSize);
    std::mt19937 rng(seed);
    for (uint32_t b = 0; b < count; b++) {
      uint8_t* p = &out[static_cast<size_t>(b) * blockSize];
      for (uint32_t i = 0; i < blockSize; i++) p[i] = static_cast<uint8_t>(rng());
      p[0] = 6;
      p[16] = p[17] = 0;
      uint8_t x0 = 0, x1 = 0;
      for (uint32_t i = 0; i < blockSize; i += 2) x0 ^= p[i], x1 ^= p[i + 1];
      p[16] = x0;
      p[17] = x1;
    }
    return out;
  }

  // Lays out every file and writes the images and "disks.lst" (all disks
  // but the ones in `leaveOut`). Returns the list's path.
  std::string write(std::set<uint32_t> leaveOut = {}) {
    layOut();
    std::string list = dir_ + "/disks.lst";
    FILE* l = fopen(list.c_str(), "w");
    fprintf(l, "# test disks\n\n");
    for (uint32_t d = 0; d < s_.disks; d++) {
      std::string p = diskPath(d);
      FILE* f = fopen(p.c_str(), "wb");
      fwrite(disks_[d].data(), 1, disks_[d].size(), f);
      fclose(f);
      if (!leaveOut.count(d)) fprintf(l, "%s  \n", p.c_str());
    }
    fclose(l);
    return list;
  }

  std::string diskPath(uint32_t d) const { return dir_ + "/disk" + std::to_string(d) + ".img"; }
  // Where copy c of extent x of file n lies: (disk, AU).
  std::pair<uint32_t, uint32_t> place(uint32_t n, uint32_t x, uint32_t c) const { return files_.at(n).map.at(x)[c]; }
  uint32_t indirectAu(uint32_t n) const { return files_.at(n).indirectAu; }
  static constexpr uint32_t kDirAu = 1;

 private:
  struct File {
    std::vector<uint8_t> data;
    std::set<uint32_t> holes;
    std::vector<std::vector<std::pair<uint32_t, uint32_t>>> map;
    uint32_t indirectAu = 0;
    uint64_t size = 0;
  };

  void put16(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 2; i++) p[s_.big ? 1 - i : i] = static_cast<uint8_t>(v >> (8 * i));
  }
  void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; i++) p[s_.big ? 3 - i : i] = static_cast<uint8_t>(v >> (8 * i));
  }
  uint8_t* block(uint32_t d, uint32_t au, uint32_t b) {
    return &disks_[d][static_cast<size_t>(au) * s_.auSize + static_cast<size_t>(b) * s_.blockSize];
  }
  void meta(uint8_t* p, uint8_t type, uint32_t number, uint32_t owner) {
    p[0] = s_.big ? 0 : 1;
    p[2] = type;
    p[3] = 1;
    put32(p + 4, number);
    put32(p + 8, owner);
  }
  void header(uint32_t d) {
    uint8_t* p = block(d, 0, 0);
    meta(p, 1, 0, 0);
    put32(p + 64, 0x0b200000);
    put16(p + 68, d);
    p[70] = s_.groupType;
    snprintf(reinterpret_cast<char*>(p + 72), 32, "DATA_%04u", d);
    snprintf(reinterpret_cast<char*>(p + 104), 32, "DATA");
    put16(p + 216, 512);
    put16(p + 218, s_.blockSize);
    put32(p + 220, s_.auSize);
    put32(p + 228, static_cast<uint32_t>(static_cast<uint64_t>(s_.auSize) * s_.ausPerDisk >> 20));
    put32(p + 244, d < copies_ ? kDirAu : 0);
  }
  void pointer(uint8_t* p, uint32_t au, uint32_t disk) {
    put32(p, au);
    put16(p + 4, disk);
    p[7] = static_cast<uint8_t>(au * 7);
  }
  // An entry in the directory AU of every disk holding a copy of it.
  uint8_t* entry(uint32_t n, uint64_t size, uint32_t ecnt) {
    uint8_t* p = block(0, kDirAu, n);
    meta(p, 4, n, 1);
    put32(p + 44, static_cast<uint32_t>(size >> 32));
    put32(p + 48, static_cast<uint32_t>(size));
    put32(p + 52, ecnt);
    put32(p + 56, ecnt);
    p[64] = 17;
    p[65] = 12;
    return p;
  }

  void layOut() {
    uint32_t perAu = s_.auSize / s_.blockSize;
    meta(block(0, kDirAu, 0), 5, 0, 0);
    for (auto& [n, f] : files_) {
      uint64_t aus = (f.data.size() + s_.auSize - 1) / s_.auSize;
      std::vector<std::pair<uint32_t, uint32_t>> ptrs;  // (disk, AU) per pointer
      uint64_t done = 0;
      for (uint32_t x = 0; done < aus; x++) {
        uint32_t ea = extentAus(x);
        f.map.emplace_back();
        for (uint32_t c = 0; c < copies_; c++) {
          uint32_t d = (x + c) % s_.disks;
          uint32_t au = next_[d];
          next_[d] += ea;
          f.map.back().push_back({d, au});
          ptrs.push_back(f.holes.count(x) ? std::pair<uint32_t, uint32_t>{d, 0} : std::pair<uint32_t, uint32_t>{d, au});
          if (f.holes.count(x)) continue;
          for (uint32_t j = 0; j < ea && done + j < aus; j++) {
            size_t from = static_cast<size_t>(done + j) * s_.auSize;
            size_t len = std::min<size_t>(s_.auSize, f.data.size() - from);
            memcpy(&disks_[d][static_cast<size_t>(au + j) * s_.auSize], &f.data[from], len);
          }
        }
        done += ea;
      }
      uint32_t direct = std::min<uint32_t>(s_.directMax, static_cast<uint32_t>(ptrs.size()));
      uint8_t* e = entry(n, f.size, static_cast<uint32_t>(ptrs.size()));
      for (uint32_t k = 0; k < direct; k++) pointer(e + 1216 + 8 * k, ptrs[k].second, ptrs[k].first);
      uint32_t used = direct;
      if (ptrs.size() > direct) {
        // One indirect AU on disk 0, its mirrors on the next disks.
        f.indirectAu = next_[0]++;
        for (uint32_t c = 0; c < copies_; c++) {
          uint32_t d = c % s_.disks, au = c == 0 ? f.indirectAu : next_[d]++;
          for (uint32_t first = direct, b = 0; first < ptrs.size() && b < perAu; first += s_.perIndirect, b++) {
            uint8_t* ib = block(d, au, b);
            meta(ib, 12, b, n);
            uint32_t cnt = std::min<uint32_t>(s_.perIndirect, static_cast<uint32_t>(ptrs.size()) - first);
            put32(ib + 32, first);
            put16(ib + 36, cnt);
            for (uint32_t k = 0; k < cnt; k++) pointer(ib + 44 + 8 * k, ptrs[first + k].second, ptrs[first + k].first);
          }
          pointer(e + 1216 + 8 * used++, au, d);
        }
      }
      put16(e + 92, used);
      put16(e + 94, direct);
    }
    // File 1, the directory: one AU, mirrored on the next disks.
    uint8_t* d1 = entry(1, s_.auSize, copies_);
    for (uint32_t c = 0; c < copies_; c++) pointer(d1 + 1216 + 8 * c, kDirAu, c % s_.disks);
    put16(d1 + 92, copies_);
    put16(d1 + 94, copies_);
    for (uint32_t c = 1; c < copies_; c++)
      memcpy(block(c % s_.disks, kDirAu, 0), block(0, kDirAu, 0), s_.auSize);
  }

  std::string dir_;
  AsmImageSpec s_;
  uint32_t copies_;
  std::vector<std::vector<uint8_t>> disks_;
  std::vector<uint32_t> next_;
  std::map<uint32_t, File> files_;
};

}  // namespace bex::testing
