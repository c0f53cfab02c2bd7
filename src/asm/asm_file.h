// What the block reader needs of an ASM disk group: the extent map of one
// ASM file and a read of whole blocks through it. Until disk groups can be
// loaded, no ASM file can be mapped.
#pragma once
#include <cstdint>

namespace bex {

struct AsmContext;
struct AsmFileMap;

// The extent map of ASM file fileNumber, or nullptr when the disk group
// does not hold it (or no disk group is loaded).
AsmFileMap* mapAsmFile(AsmContext* asmContext, uint32_t fileNumber);
void releaseAsmFile(AsmFileMap* map);
// Reads up to count blocks of blockSize bytes from block firstBlock of the
// mapped file into out; returns the bytes delivered (whole blocks only).
uint32_t readAsmBlocks(AsmContext* asmContext, AsmFileMap* map, uint32_t firstBlock, uint32_t count,
                       uint32_t blockSize, uint8_t* out);

}  // namespace bex
