#include "block/hex_dump.h"

#include <cstring>

namespace bex {

namespace {

inline constexpr size_t kLineBytes = 16;
inline constexpr size_t kPageBytes = 256;
const char kLowerHex[] = "0123456789abcdef";
const char kH1[] = "     /0x  : -0-1 -2-3 -4-5 -6-7 -8-9 -a-b -c-d -e-f  0123456789abcdef\n";
const char kH2[] = "-----/----: ---------------------------------------  ----------------\n";

struct LineState {
  char text[kLineBytes];
  size_t textLen = 0;
  uint8_t last[kLineBytes];
};

void endLine(Sink& out, LineState& s) {
  out.write("  ", 2);
  out.write(s.text, s.textLen);
  out.put('\n');
  s.textLen = 0;
}

void remember(LineState& s, const uint8_t* bytes, size_t o, size_t length) {
  size_t n = length - o < kLineBytes ? length - o : kLineBytes;
  memset(s.last, 0, sizeof s.last);
  memcpy(s.last, bytes + o, n);
}

bool sameAsLast(const LineState& s, const uint8_t* bytes, size_t o, size_t length) {
  return length - o >= kLineBytes && memcmp(s.last, bytes + o, kLineBytes) == 0;
}

}  // namespace

void hexDump(Sink& out, const uint8_t* bytes, size_t length) {
  out.write(kH1, sizeof kH1 - 1);
  out.write(kH2, sizeof kH2 - 1);
  if (length == 0) return;
  LineState s;
  for (size_t o = 0; o < length; o++) {
    if (o % kLineBytes == 0) {
      if (o != 0) {
        if (sameAsLast(s, bytes, o, length)) {
          o += kLineBytes - 1;
          continue;
        }
        endLine(out, s);
        if (o % kPageBytes == 0) {
          out.put('\n');
          out.write(kH1, sizeof kH1 - 1);
          out.write(kH2, sizeof kH2 - 1);
        }
      }
      remember(s, bytes, o, length);
      out.printf("%05d/%04x:", static_cast<int>(o), static_cast<unsigned>(o));
    }
    if (o % 2 == 0) out.put(' ');
    uint8_t b = bytes[o];
    out.put(kLowerHex[b >> 4]);
    out.put(kLowerHex[b & 15]);
    s.text[s.textLen++] = (b >= 0x20 && b <= 0x7E) ? static_cast<char>(b) : '.';
  }
  endLine(out, s);
}

void putHexBytesSpaced(Sink& out, const uint8_t* bytes, size_t length) {
  for (size_t i = 0; i < length; i++) {
    out.put(kLowerHex[bytes[i] >> 4]);
    out.put(kLowerHex[bytes[i] & 15]);
    out.put(' ');
  }
}

}  // namespace bex
