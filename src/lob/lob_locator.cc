#include "lob/lob_locator.h"

#include <cstdio>

namespace bex {

namespace {

constexpr size_t kSizeAt = 0, kVersionAt = 2, kHeaderBitAt = 5, kLobTypeAt = 8, kLobIdAt = 10, kRestLengthAt = 20,
                 kFlagsAt = 22, kFlagGAt = 23;
constexpr uint8_t kHeaderBit = 0x04, kFlagG = 0x02;

// Reads locator fields, most significant byte first; a read past the
// value's end marks the cursor failed and gives 0.
struct Fields {
  const uint8_t* v;
  size_t len;
  bool failed = false;

  uint64_t num(size_t at, size_t width) {
    if (at > len || width > len - at) {
      failed = true;
      return 0;
    }
    uint64_t x = 0;
    for (size_t i = 0; i < width; i++) x = (x << 8) | v[at + i];
    return x;
  }
  uint8_t byte(size_t at) { return static_cast<uint8_t>(num(at, 1)); }
};

bool headerCases(LobLocator& loc, Fields& f, bool g) {
  uint8_t low = loc.flags & 0x0F;
  if (loc.flags & 0x01) {  // A
    loc.kind = LobCase::kA;
    loc.pages = static_cast<uint32_t>(f.num(24, 4));
    loc.lastlen = static_cast<uint32_t>(f.num(28, 2));
    loc.inlineMarker = f.byte(35);
    loc.dataoff = 36;
    loc.pagesGiven = true;
    return !g && (low == 5 || low == 9);
  }
  if (low == 0 && g) {  // D: then read as B
    loc.kind = LobCase::kD;
    loc.flags |= 0x08;
    loc.pages = static_cast<uint32_t>(f.num(24, 2));
    loc.lastlen = static_cast<uint32_t>(f.num(26, 2));
    loc.inlineMarker = f.byte(28);
    loc.dataoff = 29;
    loc.pagesGiven = true;
    return true;
  }
  if (loc.flags & 0x08) {  // B
    loc.kind = LobCase::kB;
    size_t n = f.byte(26);
    if (g || !(n == 0 || n == 1 || n == 2 || n == 4)) return false;
    loc.pages = static_cast<uint32_t>(f.num(27, n));
    loc.lastlen = static_cast<uint32_t>(f.num(n + 27, 2));
    loc.inlineMarker = f.byte(n + 29);
    loc.dataoff = static_cast<uint32_t>(n + 30);
    loc.pagesGiven = true;
    return true;
  }
  if (low != 0) {  // C
    loc.kind = LobCase::kC;
    return true;
  }
  return false;
}

bool chunkListCase(LobLocator& loc, Fields& f) {
  loc.kind = LobCase::kE;
  uint8_t kb = f.byte(26);
  if (kb < 0x21 || kb > 0x23) return false;
  size_t k = kb - 0x1F;
  loc.totalLength = f.num(28, k);
  size_t m = f.byte(28 + k);
  if (!(m == 1 || m == 2 || m == 4)) return false;
  loc.entryCount = static_cast<uint32_t>(f.num(29 + k, m));
  loc.dataoff = static_cast<uint32_t>(29 + k + m);
  return true;
}

}  // namespace

void LobLocator::lobIdText(char* out) const {
  for (size_t i = 0; i < kLobIdSize; i++) snprintf(out + 2 * i, 3, "%02X", lobId[i]);
}

// D is tried before B although the table lists it after: a D locator has
// F & 0x0F zero, so it can never be taken for A, B or C; the order changes
// nothing and keeps each case's test in one place.
LobLocator parseLobLocator(const uint8_t* v, size_t len) {
  LobLocator loc;
  Fields f{v, len};
  uint8_t header = f.byte(kHeaderBitAt);
  for (size_t i = 0; i < kLobIdSize; i++) loc.lobId[i] = f.byte(kLobIdAt + i);
  if (f.failed) return loc;
  loc.size = static_cast<uint16_t>(f.num(kSizeAt, 2));
  loc.version = static_cast<uint16_t>(f.num(kVersionAt, 2));
  loc.lobType = static_cast<uint16_t>(f.num(kLobTypeAt, 2));
  if (len >= kRestLengthAt + 2) loc.restLength = static_cast<uint16_t>(f.num(kRestLengthAt, 2));
  if (!(header & kHeaderBit)) {
    loc.offline = true;
    loc.valid = true;
    return loc;
  }
  loc.flags = f.byte(kFlagsAt);
  bool g = (f.byte(kFlagGAt) & kFlagG) != 0;
  if (f.failed) return loc;
  bool ok = (loc.flags & 0x0F) != 0 || g ? headerCases(loc, f, g) : chunkListCase(loc, f);
  // Inline bytes must lie inside the column value.
  if (ok && loc.isInline() && (loc.dataoff > len || loc.lastlen > len - loc.dataoff)) ok = false;
  loc.valid = ok && !f.failed;
  return loc;
}

bool LobChunkList::next(LobChunk& chunk) {
  if (index_ > count_ || pos_ >= len_) return false;  // entries 0 to count, as the list counts them
  Fields f{v_, len_};
  uint8_t flags = f.byte(pos_);
  size_t width = (flags & 0x20) ? 2 : 1;
  chunk.rdba = static_cast<uint32_t>(f.num(pos_ + 1, 4));
  chunk.blocks = static_cast<uint32_t>(f.num(pos_ + 5, width));
  if (f.failed) return false;
  pos_ += 5 + width;
  index_++;
  return true;
}

}  // namespace bex
