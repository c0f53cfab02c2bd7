// What the data file registry needs of an ASM disk group: a byte source for
// one ASM file, read through the file's extent map. Until disk groups can be
// loaded, the group holds no disks and no ASM file can be opened.
#pragma once
#include <cstdint>
#include <memory>

#include "base/byte_source.h"

namespace bex {

// The disk group of the run, owned by the RunContext; the sources opened on
// it read through its disks.
struct AsmContext {};

// ASM file fileNumber as a byte source, or nullptr when the disk group does
// not hold it (or no disk group is loaded).
std::unique_ptr<ByteSource> openAsmFile(AsmContext& group, uint32_t fileNumber);

}  // namespace bex
