#include "forge/trans_header.h"

namespace bex::forge {

ItlEntry committedItl(uint16_t usn, uint32_t scn, uint16_t locks) {
  ItlEntry e;
  e.usn = usn;
  e.slot = 0x01f;
  e.wrap = 0x000002a1;
  e.ubaRdba = 0x00c00081;
  e.ubaSeq = 0x0123;
  e.ubaRec = 0x05;
  e.flags = kItlC;
  e.lockCount = locks;
  e.scnBase = scn;
  return e;
}

ItlEntry activeItl(uint16_t usn, uint16_t locks) {
  ItlEntry e;
  e.usn = usn;
  e.slot = 0x006;
  e.wrap = 0x00000279;
  e.ubaRdba = 0x00c00351;
  e.ubaSeq = 0x0278;
  e.ubaRec = 0x15;
  e.lockCount = locks;
  return e;
}

uint32_t headerSize(const TransHeader& t) {
  uint32_t itc = static_cast<uint32_t>(t.itl.size());
  return kItlStart + kItlSize * itc + (t.flg == kFlgExtra8 ? 8 : 0);
}

static void writeItl(ForgeBlock& b, uint32_t at, const ItlEntry& e) {
  b.put16(at + 0, e.usn);
  b.put16(at + 2, e.slot);
  b.put32(at + 4, e.wrap);
  b.put32(at + 8, e.ubaRdba);
  b.put16(at + 12, e.ubaSeq);
  b.put8(at + 14, e.ubaRec);
  b.put16(at + 16, static_cast<uint16_t>((e.flags & 0xf) << 12 | (e.lockCount & 0xfff)));
  b.put16(at + 18, e.fscWrap);
  b.put32(at + 20, e.scnBase);
}

void writeTransHeader(ForgeBlock& b, const TransHeader& t) {
  if (t.itl.size() > kMaxItl) b.markOverflow();
  b.put8(20, t.typ);
  b.put32(24, t.objd);
  b.put32(28, t.cscBase);
  b.put16(32, t.cscWrap);
  b.put16(36, static_cast<uint16_t>(t.itl.size()));
  b.put8(38, t.flg);
  b.put8(39, t.fls);
  b.put32(40, t.nxt);
  for (size_t i = 0; i < t.itl.size(); ++i)
    writeItl(b, kItlStart + kItlSize * static_cast<uint32_t>(i), t.itl[i]);
}

bool lockCommitted(const TransHeader& t, uint8_t lock) {
  if (lock == 0) return true;
  if (lock > t.itl.size()) return false;
  return (t.itl[lock - 1].flags & (kItlC | kItlU)) != 0;
}

std::string itlFlagLetters(uint8_t flags) {
  std::string s = "----";
  if (flags & kItlC) s[0] = 'C';
  if (flags & kItlB) s[1] = 'B';
  if (flags & kItlU) s[2] = 'U';
  if (flags & kItlT) s[3] = 'T';
  return s;
}

void itlFacts(const TransHeader& t, Facts& facts) {
  for (size_t i = 0; i < t.itl.size(); ++i) {
    const ItlEntry& e = t.itl[i];
    facts.push_back({"itl", format("id=%zu flag=%s lock=%u committed=%d", i + 1,
                                   itlFlagLetters(e.flags).c_str(), e.lockCount & 0xfff,
                                   lockCommitted(t, static_cast<uint8_t>(i + 1)) ? 1 : 0)});
  }
}

}  // namespace bex::forge
