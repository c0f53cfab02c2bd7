#include "value/hex.h"

namespace bex {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr size_t kHexChunk = 256;  // input bytes converted per sink write

}  // namespace

void writeHexText(Sink& out, const uint8_t* v, size_t length) {
  char text[2 * kHexChunk];
  while (length > 0) {
    const size_t n = length < kHexChunk ? length : kHexChunk;
    for (size_t i = 0; i < n; i++) {
      text[2 * i] = kHexDigits[v[i] >> 4];
      text[2 * i + 1] = kHexDigits[v[i] & 0x0F];
    }
    out.write(text, 2 * n);
    v += n;
    length -= n;
  }
}

}  // namespace bex
