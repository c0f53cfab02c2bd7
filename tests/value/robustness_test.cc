// Random byte strings through every decoder: whatever the bytes, a decoder
// reads only its value, stays within its text bounds and returns. Each input
// is its own exactly-sized heap block so that the sanitizer build catches
// any read past it.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "base/block_context.h"
#include "value/charset.h"
#include "value/collection.h"
#include "value/column_type.h"
#include "value/datetime.h"
#include "value/float.h"
#include "value/hex.h"
#include "value/number.h"

using namespace bex;

namespace {

constexpr int kRounds = 20000;
constexpr size_t kMaxLength = 40;

// Random bytes, sometimes shaped like real values so that the decoders get
// past their first checks: collection headers, NUMBER exponents, length-254
// elements.
void fill(std::mt19937& rng, uint8_t* v, size_t n) {
  for (size_t i = 0; i < n; i++) v[i] = static_cast<uint8_t>(rng());
  if (n == 0) return;
  switch (rng() % 6) {
    case 0:
      if (n >= 2) v[0] = 0x00, v[1] = 0x01;
      break;
    case 1:
      v[0] = static_cast<uint8_t>(0xC0 + rng() % 4);
      for (size_t i = 1; i < n; i++) v[i] = static_cast<uint8_t>(1 + rng() % 100);
      break;
    case 2:
      v[0] = 0xFE;
      break;
    case 3:
      for (size_t i = 0; i < n; i++) v[i] = static_cast<uint8_t>(rng() % 4 ? rng() % 24 : 0xFF);
      break;
    default:
      break;
  }
}

// Counts what it is given and keeps nothing.
class CountingSink : public Sink {
 public:
  CountingSink() : Sink(buf_, sizeof buf_) {}

 protected:
  bool emit(const char*, size_t) override { return true; }

 private:
  char buf_[4096];
};

}  // namespace

TEST(DecoderRobustness, RandomBytesThroughEveryDecoder) {
  Conversions conversions;
  conversions.openDefaults();
  BlockContext bc;
  bc.conversions = &conversions;
  std::mt19937 rng(20240531);
  char text[kNumberTextMax];
  CountingSink out;
  for (int round = 0; round < kRounds; round++) {
    const size_t n = rng() % (kMaxLength + 1);
    std::unique_ptr<uint8_t[]> v(new uint8_t[n]);
    fill(rng, v.get(), n);
    const uint8_t* p = v.get();
    ASSERT_LT(formatNumber(p, n, text), kNumberTextMax);
    writeNumberText(out, p, n);
    writeDateText(out, p, n);
    writeTimestampText(out, p, n);
    writeTimestampTzText(out, p, n);
    writeFloatText(out, p, n);
    writeHexText(out, p, n);
    writeNumberCollectionText(out, p, n, kLittleEndian);
    writeNumberCollectionText(out, p, n, kBigEndian);
    writeStringCollectionText(out, p, n, kLittleEndian);
    writeStringCollectionText(out, p, n, kBigEndian);
    ColumnSpec col;
    col.type = static_cast<ColumnTypeCode>(static_cast<uint8_t>(rng()));
    col.charsetForm = static_cast<uint16_t>(rng() % 3);
    bc.byteOrder = static_cast<uint8_t>(rng() % 2);
    writeColumnValue(out, p, n, col, bc);
  }
  EXPECT_GT(out.bytesWritten(), 0u);
  conversions.closeAll();
}

// Text length is bounded by the value: no decoder invents more than a fixed
// amount per input byte.
TEST(DecoderRobustness, TextStaysProportionalToTheValue) {
  std::mt19937 rng(7);
  for (int round = 0; round < 2000; round++) {
    const size_t n = rng() % (kMaxLength + 1);
    std::unique_ptr<uint8_t[]> v(new uint8_t[n]);
    fill(rng, v.get(), n);
    StringSink a, b, c;
    writeNumberCollectionText(a, v.get(), n, kLittleEndian);
    writeStringCollectionText(b, v.get(), n, kBigEndian);
    writeHexText(c, v.get(), n);
    EXPECT_LE(a.str().size(), n * (kNumberTextMax + 5));
    EXPECT_LE(b.str().size(), n * 5);
    EXPECT_EQ(c.str().size(), 2 * n);
  }
}
