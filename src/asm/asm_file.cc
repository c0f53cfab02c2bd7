#include "asm/asm_file.h"

namespace bex {

AsmFileMap* mapAsmFile(AsmContext*, uint32_t) { return nullptr; }

void releaseAsmFile(AsmFileMap*) {}

uint32_t readAsmBlocks(AsmContext*, AsmFileMap*, uint32_t, uint32_t, uint32_t, uint8_t*) { return 0; }

}  // namespace bex
