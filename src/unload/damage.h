// Structural damage the walkers of one unload meet and pass over: parts of
// blocks that point where nothing can be. Checksum failures are counted by
// the block check; these are blocks that pass it (or are not checked) yet
// cannot be what they claim. Counted per kind, with the addresses of the
// first few places, for one summary line after the unload.
#pragma once
#include <cstdint>

#include "base/sink.h"

namespace bex {

struct ReportEntry;

enum class Damage : uint8_t {
  kPieceOutside,       // a row piece whose header or columns run past the end of its block
  kEntryPastData,      // a row-directory entry pointing past the end of the block, or lying past it
  kEntryInFreeSpace,   // a row-directory entry pointing into the directories or the free space
  kForeignChain,       // a next-piece address whose block holds no such row, or another object's
  kExtentPastFile,     // an extent reaching past the end of its file
};
inline constexpr uint32_t kDamageKinds = 5;

struct DamageCounts {
  static constexpr uint32_t kAddressesShown = 3;

  uint64_t count[kDamageKinds] = {};
  uint32_t address[kAddressesShown] = {};  // the first places, each block once
  uint32_t addresses = 0;

  // One rejection at block address rdba.
  void note(Damage kind, uint32_t rdba);
  // Adds the counts of a later part of the walk, as if its rejections had
  // been noted here one by one.
  void add(const DamageCounts& later);
  uint64_t total() const;
  uint64_t of(Damage kind) const { return count[static_cast<uint32_t>(kind)]; }
};

// "  Damage: 2 row pieces outside their block, 1 extent past the file
// (first at RDBA=0x01c00017(7/23), RDBA=0x01c0000a(7/10))\n"; nothing when
// there was no damage.
void printDamageSummary(Sink& out, const DamageCounts& d);

// The counts of every kind added into the recovery report entry.
void reportDamage(ReportEntry& e, const DamageCounts& d);

// The line VERBOSE prints for each rejection: "  Damage: <kind> at
// RDBA=0x%08x(%u/%u) slot %u\n" (for an extent "... length %u": the
// extent's first block and its length in blocks).
void printDamage(Sink& out, Damage kind, uint32_t rdba, uint32_t detail);

}  // namespace bex
