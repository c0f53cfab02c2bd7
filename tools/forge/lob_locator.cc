#include "forge/lob_locator.h"

namespace bex::forge {

namespace {

constexpr uint16_t kLocatorVersion = 1;
constexpr uint32_t kHeaderStart = 24;

// Most significant byte first, `width` bytes (0 writes nothing).
void appendNumber(Bytes& b, uint64_t v, uint32_t width) {
  for (uint32_t i = width; i-- > 0;) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void appendInline(Bytes& b, const LocatorSpec& s) {
  b.push_back(s.inlineData ? 1 : 0);
  if (s.inlineData) appendBytes(b, s.data);
}

uint8_t usualF(LocatorCase c) {
  switch (c) {
    case LocatorCase::A: return 0x09;
    case LocatorCase::B: return 0x08;
    case LocatorCase::C: return 0x02;
    default: return 0x00;
  }
}

}  // namespace

const char* locatorCaseName(LocatorCase c) {
  switch (c) {
    case LocatorCase::A: return "A";
    case LocatorCase::B: return "B";
    case LocatorCase::C: return "C";
    case LocatorCase::D: return "D";
    case LocatorCase::E: return "E";
    case LocatorCase::Offline: return "offline";
  }
  return "?";
}

Bytes encodeLocator(const LocatorSpec& s) {
  Bytes b(kLocatorIdOffset, 0);
  putBE16(b.data() + 2, kLocatorVersion);
  appendBytes(b, Bytes(s.id.begin(), s.id.end()));
  if (s.kind == LocatorCase::Offline) {  // ends after the LOB id
    putBE16(b.data(), static_cast<uint16_t>(b.size() - 2));
    return b;
  }
  b[kLocatorFlagsOffset] = kLocatorHasHeader;
  b.resize(kHeaderStart, 0);
  b[kLocatorFOffset] = s.f ? s.f : usualF(s.kind);
  switch (s.kind) {
    case LocatorCase::A:
      appendNumber(b, s.pages, 4);
      appendNumber(b, s.lastlen, 2);
      b.resize(35, 0);
      appendInline(b, s);
      break;
    case LocatorCase::B:
      b.resize(26, 0);
      b.push_back(s.width);
      appendNumber(b, s.pages, s.width);
      appendNumber(b, s.lastlen, 2);
      appendInline(b, s);
      break;
    case LocatorCase::C:
      break;
    case LocatorCase::D:
      b[kLocatorGOffset] = kLocatorG;
      appendNumber(b, s.pages, 2);
      appendNumber(b, s.lastlen, 2);
      appendInline(b, s);
      break;
    case LocatorCase::E:
      b.resize(26, 0);
      b.push_back(static_cast<uint8_t>(0x1f + s.width));
      b.push_back(0);
      appendNumber(b, s.total, s.width);
      b.push_back(s.countWidth);
      appendNumber(b, s.chunks.size(), s.countWidth);
      for (const ChunkRun& c : s.chunks) {
        b.push_back(c.wideCount ? 0x20 : 0x00);
        appendNumber(b, c.rdba, 4);
        appendNumber(b, c.blocks, c.wideCount ? 2 : 1);
      }
      break;
    case LocatorCase::Offline:
      break;
  }
  putBE16(b.data(), static_cast<uint16_t>(b.size() - 2));
  return b;
}

Bytes encodeInRowLocator(const LocatorSpec& s, uint8_t kind) {
  constexpr uint16_t kInRowFirstField = 0x0054;
  constexpr uint32_t kKindOffset = 9, kRestOffset = 20;
  Bytes b = encodeLocator(s);
  if (b.size() < kRestOffset + 2) b.resize(kRestOffset + 2, 0);
  putBE16(b.data(), kInRowFirstField);
  b[kKindOffset] = kind;
  putBE16(b.data() + kRestOffset, static_cast<uint16_t>(b.size() - kRestOffset));
  return b;
}

}  // namespace bex::forge
