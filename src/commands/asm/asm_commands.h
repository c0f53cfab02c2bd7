// ASM: the commands on the disk group of the run: register disks, show the
// disk headers, file and alias directories and extent maps, rebuild maps by
// scanning AUs, dump blocks of ASM files and copy files out.
#pragma once
#include <cstdint>

namespace bex {

struct RunContext;
struct AsmDiskGroup;

void cmdAsm(RunContext& rc);

// Byte offset, in the mapped bytes of a fine-striped file, of logical
// stripe g (STRIP_SIZE bytes, STRIP_WIDTH AUs a group).
uint64_t stripeOffset(const AsmDiskGroup& group, uint64_t g);

}  // namespace bex
