// Small data files for reader and registry tests: blocks with a common
// header and a consistent checksum, written into a scratch directory.
#pragma once
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "base/byte_source.h"

namespace bex::testing {

inline void put32(uint8_t* p, uint32_t v, bool big) {
  for (int i = 0; i < 4; i++) p[big ? 3 - i : i] = static_cast<uint8_t>(v >> (8 * i));
}

// Sets the checksum field so that all 16-bit words XOR to zero.
inline void sealBlock(std::vector<uint8_t>& b) {
  b[16] = b[17] = 0;
  uint8_t x0 = 0, x1 = 0;
  for (size_t i = 0; i < b.size(); i += 2) x0 ^= b[i], x1 ^= b[i + 1];
  b[16] = x0;
  b[17] = x1;
}

inline std::vector<uint8_t> makeBlock(uint32_t size, uint8_t type, uint32_t rdba, bool big = false,
                                      uint8_t format = 0xa2) {
  std::vector<uint8_t> b(size, 0);
  b[0] = type;
  b[1] = format;
  put32(&b[4], rdba, big);
  for (uint32_t i = 24; i < size; i++) b[i] = static_cast<uint8_t>(i * 7 + rdba);
  sealBlock(b);
  return b;
}

// A file header block (type 0x0b) of an ordinary data file.
inline std::vector<uint8_t> makeFileHeader(uint32_t size, uint32_t rfn, uint32_t ts, uint32_t headerBlockSize,
                                           bool big = false, uint8_t format = 0xa2) {
  std::vector<uint8_t> b(size, 0);
  b[0] = 0x0b;
  b[1] = format;
  put32(&b[4], (rfn << 22) | 1, big);
  put32(&b[44], 100, big);
  put32(&b[48], headerBlockSize, big);
  put32(&b[format == 0x02 ? 244 : (format == 0xa2 || format == 0xc2) ? 332 : 336], ts, big);
  sealBlock(b);
  return b;
}

// The whole content of a file ("" when it cannot be read).
inline std::string fileText(const std::string& path) {
  std::string text;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return text;
  char buf[65536];
  for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
  fclose(f);
  return text;
}

// A file in memory whose bytes [badFrom, badTo) cannot be read: a read that
// reaches them stops there with an error.
class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  void failBetween(uint64_t from, uint64_t to) { badFrom_ = from, badTo_ = to; }

  ReadResult read(uint64_t offset, uint8_t* buf, size_t n) override {
    reads++;
    ReadResult r;
    if (offset >= bytes_.size()) return r;
    uint64_t end = std::min<uint64_t>(offset + n, bytes_.size());
    if (offset < badTo_ && end > badFrom_) {
      end = std::max(offset, badFrom_);
      r.error = true;
    }
    r.bytes = static_cast<size_t>(end - offset);
    memcpy(buf, bytes_.data() + offset, r.bytes);
    return r;
  }
  uint64_t size() const override { return bytes_.size(); }

  int reads = 0;

 private:
  std::vector<uint8_t> bytes_;
  uint64_t badFrom_ = 0, badTo_ = 0;
};

class ScratchDir {
 public:
  ScratchDir() {
    char tmpl[] = "/tmp/bex-test.XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~ScratchDir() { (void)system(("rm -rf " + path_).c_str()); }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Writes blocks (block 0 first) after headerSize filler bytes, then extra tail bytes.
  std::string write(const std::string& name, const std::vector<std::vector<uint8_t>>& blocks, uint32_t headerSize = 0,
                    size_t tail = 0) const {
    std::string p = file(name);
    FILE* f = fopen(p.c_str(), "wb");
    std::vector<uint8_t> pad(headerSize + tail + 1, 0xEE);
    fwrite(pad.data(), 1, headerSize, f);
    for (const auto& b : blocks) fwrite(b.data(), 1, b.size(), f);
    fwrite(pad.data(), 1, tail, f);
    fclose(f);
    return p;
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace bex::testing
