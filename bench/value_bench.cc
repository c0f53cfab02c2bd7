// Column value decoding into a buffered sink, as an unload writes it.
// Reports values per second (items_per_second).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <vector>

#include "base/limits.h"
#include "base/sink.h"
#include "value/datetime.h"
#include "value/number.h"

namespace {

using Value = std::vector<uint8_t>;

// Typical NUMBER column contents: keys, amounts with cents, small counts,
// negative values; 2 to 6 bytes each.
const std::vector<Value> kNumbers = {
    {0xC2, 0x4A, 0x46},              // 7369
    {0xC2, 0x09},                    // 800
    {0xC1, 0x15},                    // 20
    {0xC3, 0x02, 0x23, 0x39, 0x39},  // 13456.56
    {0xC2, 0x0D, 0x23, 0x39},        // 1234.56
    {0x3D, 0x64, 0x4E, 0x66},        // -123
    {0xC4, 0x02, 0x18, 0x2E, 0x44},  // 1234567
    {0xC0, 0x0B},                    // 0.1
    {0x80},                          // 0
    {0xC4, 0x0D, 0x23, 0x39, 0x4F, 0x5B},  // 12345678.9
};

const std::vector<Value> kDates = {
    {0x78, 0x7C, 0x0C, 0x1F, 0x18, 0x3C, 0x3C},
    {0x77, 0xB4, 0x0C, 0x11, 0x01, 0x01, 0x01},
    {0x78, 0x69, 0x06, 0x19, 0x0D, 0x02, 0x01},
};

const std::vector<Value> kTimestamps = {
    {0x78, 0x7C, 0x0C, 0x1F, 0x18, 0x3C, 0x3C, 0x07, 0x5B, 0xCD, 0x15},
    {0x78, 0x76, 0x07, 0x0D, 0x09, 0x28, 0x1B, 0x10, 0xC0, 0xDD, 0x38},
    {0x78, 0x75, 0x01, 0x01, 0x01, 0x01, 0x01},
};

// An unload data file: the program's 1 MB output buffer over /dev/null.
struct NullFile {
  FILE* f = fopen("/dev/null", "wb");
  bex::FileSink sink{f, bex::kOutputBufferSize};
  ~NullFile() {
    sink.flush();
    if (f) fclose(f);
  }
};

template <void (*Decode)(bex::Sink&, const uint8_t*, size_t)>
void decodeAll(benchmark::State& state, const std::vector<Value>& values) {
  NullFile out;
  for (auto _ : state) {
    for (const Value& v : values) {
      Decode(out.sink, v.data(), v.size());
      out.sink.put('|');
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * values.size()));
}

void BM_NumberText(benchmark::State& s) { decodeAll<bex::writeNumberText>(s, kNumbers); }
void BM_DateText(benchmark::State& s) { decodeAll<bex::writeDateText>(s, kDates); }
void BM_TimestampText(benchmark::State& s) { decodeAll<bex::writeTimestampText>(s, kTimestamps); }

void BM_FormatNumberOnly(benchmark::State& state) {
  char text[bex::kNumberTextMax];
  for (auto _ : state) {
    for (const Value& v : kNumbers) benchmark::DoNotOptimize(bex::formatNumber(v.data(), v.size(), text));
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kNumbers.size()));
}

}  // namespace

BENCHMARK(BM_NumberText);
BENCHMARK(BM_FormatNumberOnly);
BENCHMARK(BM_DateText);
BENCHMARK(BM_TimestampText);
