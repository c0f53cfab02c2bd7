// ValueJoin: the parts of one column value split over row pieces, gathered
// until its last part comes, so that the value's writer sees it whole (a
// LOB locator cannot be read in parts), within a bound, in a buffer
// allocated once.
#pragma once
#include <cstdint>
#include <cstring>
#include <memory>

namespace bex {

class ValueJoin {
 public:
  // The parts come from one block each; the whole must fit one length field
  // of an export dump (FFFD to FFFF are marks).
  static constexpr uint32_t kMaxLength = 0xFFFC;
  explicit ValueJoin(uint16_t blockSize)
      : bound_(2u * blockSize < kMaxLength ? 2u * blockSize : kMaxLength), bytes_(new uint8_t[bound_]) {}

  // A value begins with its first part (at most the bound).
  void start(const uint8_t* p, uint32_t n) {
    length_ = 0;
    carrying_ = true;
    add(p, n);
  }
  // Whether n more bytes stay within the bound.
  bool fits(uint32_t n) const { return n <= bound_ - length_; }
  // The value's next part; it must fit.
  void add(const uint8_t* p, uint32_t n) {
    if (n) memcpy(bytes_.get() + length_, p, n);
    length_ += n;
  }
  // The value is written (or given up): nothing is carried any more.
  void stop() { carrying_ = false; }

  bool carrying() const { return carrying_; }
  const uint8_t* bytes() const { return bytes_.get(); }
  uint32_t length() const { return length_; }
  uint32_t bound() const { return bound_; }

 private:
  uint32_t bound_;
  std::unique_ptr<uint8_t[]> bytes_;
  uint32_t length_ = 0;
  bool carrying_ = false;
};

}  // namespace bex
