#include "forge/asm_block.h"

namespace bex::forge {

uint32_t asmEntrySlots(uint32_t blockSize) { return (blockSize - kAsmPointerSlots) / 8; }
uint32_t asmIndirectCapacity(uint32_t blockSize) { return (blockSize - kAsmIndirectPointers) / 8; }
uint32_t asmAliasCapacity(uint32_t blockSize) { return (blockSize - kAsmAliasEntries) / kAsmAliasEntrySize; }

uint32_t asmNameHash(const std::string& name) {
  uint32_t h = 2166136261u;
  for (unsigned char c : name) h = (h ^ c) * 16777619u;
  return h ? h : 1;
}

ForgeBlock asmBlock(uint32_t size, ByteOrder o, uint8_t type, uint32_t block, uint32_t owner) {
  ForgeBlock b(size, o);
  b.put8(0, o == ByteOrder::Little ? 1 : 0);
  b.put8(1, 0x82);
  b.put8(2, type);
  b.put8(3, 1);
  b.put32(4, block);
  b.put32(8, owner);
  return b;
}

void putAsmPointer(ForgeBlock& b, uint32_t off, const AsmPointer& p) {
  if (p.au == 0) return;  // empty: eight zero bytes
  b.put32(off, p.au);
  b.put16(off + 4, p.disk);
  uint8_t check = 0;
  for (uint32_t i = 0; i < 7; ++i) check ^= b.at(off + i);
  b.put8(off + 7, check);
}

ForgeBlock asmDiskHeader(const AsmDiskHeaderSpec& s, uint32_t size, ByteOrder o) {
  ForgeBlock b = asmBlock(size, o, kAsmDiskHeader, 0, 0x80000000u | s.disk);
  b.putText(32, "ORCLDISK");
  b.put32(64, s.compat);
  b.put16(68, s.disk);
  b.put8(70, s.groupType);
  b.put8(71, 3);
  b.putText(72, s.diskName.substr(0, 32));
  b.putText(104, s.groupName.substr(0, 32));
  b.put16(216, 512);
  b.put16(218, static_cast<uint16_t>(size));
  b.put32(220, s.auSize);
  b.put32(228, s.sizeMb);
  b.put32(244, s.f1b1);
  return b;
}

ForgeBlock asmListHead(uint32_t size, ByteOrder o) { return asmBlock(size, o, kAsmListHead, 0, kAsmFileDirectory); }

ForgeBlock asmFileEntry(const AsmFileEntrySpec& s, uint32_t size, ByteOrder o) {
  ForgeBlock b = asmBlock(size, o, kAsmFileEntry, s.file, kAsmFileDirectory);
  b.put32(32, s.incarnation);
  b.put32(44, static_cast<uint32_t>(s.size >> 32));
  b.put32(48, static_cast<uint32_t>(s.size));
  b.put32(52, s.pointerCount);
  b.put32(56, s.pointerCount);
  b.put8(64, s.flags);
  b.put8(65, s.type);
  b.put8(66, static_cast<uint8_t>(0x10 + s.copies));
  b.put8(67, static_cast<uint8_t>(0x10 + s.copies));
  const size_t slots = s.direct.size() < kAsmDirectSlots && s.indirect.empty() ? s.direct.size()
                                                                               : kAsmDirectSlots + s.indirect.size();
  if (s.direct.size() > kAsmDirectSlots || slots > asmEntrySlots(size)) b.markOverflow();
  b.put16(92, static_cast<uint16_t>(slots));
  b.put16(94, static_cast<uint16_t>(kAsmDirectSlots));
  b.put32(100, s.alias0);
  b.put32(104, s.alias1);
  for (size_t i = 0; i < s.direct.size(); ++i) putAsmPointer(b, kAsmPointerSlots + 8 * static_cast<uint32_t>(i), s.direct[i]);
  for (size_t i = 0; i < s.indirect.size(); ++i)
    putAsmPointer(b, kAsmPointerSlots + 8 * static_cast<uint32_t>(kAsmDirectSlots + i), s.indirect[i]);
  return b;
}

ForgeBlock asmIndirectBlock(uint32_t file, uint32_t index, uint32_t before, const std::vector<AsmPointer>& ptrs,
                            uint32_t size, ByteOrder o) {
  ForgeBlock b = asmBlock(size, o, kAsmIndirect, index, file);
  if (ptrs.size() > asmIndirectCapacity(size)) b.markOverflow();
  b.put32(32, before);
  b.put16(36, static_cast<uint16_t>(ptrs.size()));
  for (size_t i = 0; i < ptrs.size(); ++i) putAsmPointer(b, kAsmIndirectPointers + 8 * static_cast<uint32_t>(i), ptrs[i]);
  return b;
}

ForgeBlock asmAliasBlock(uint32_t index, uint32_t parent, uint32_t first, const std::vector<AsmAliasEntry>& entries,
                         uint32_t size, ByteOrder o) {
  ForgeBlock b = asmBlock(size, o, kAsmAliasBlock, index, kAsmAliasDirectory);
  if (entries.size() > asmAliasCapacity(size)) b.markOverflow();
  b.put32(32, 1);
  b.put32(52, parent);
  b.put32(56, 1);
  b.put32(60, first);
  b.put32(64, 1);
  for (size_t i = 0; i < entries.size(); ++i) {
    const AsmAliasEntry& e = entries[i];
    const uint32_t at = kAsmAliasEntries + kAsmAliasEntrySize * static_cast<uint32_t>(i);
    if (e.name.size() > 48) b.markOverflow();
    b.put32(at, 1);
    b.put32(at + 4, asmNameHash(e.name));
    b.put32(at + 8, e.refer);
    b.put32(at + 12, e.refer == kAsmNone ? kAsmNone : 1);
    b.putText(at + 16, e.name.substr(0, 48));
    b.put32(at + 64, e.file);
    b.put32(at + 68, e.incarnation);
    b.put8(at + 72, e.flags);
  }
  return b;
}

}  // namespace bex::forge
