#include "asm/asm_file.h"

namespace bex {

std::unique_ptr<ByteSource> openAsmFile(AsmContext&, uint32_t) { return nullptr; }

}  // namespace bex
