#include "unload/damage.h"

#include "base/rdba.h"

namespace bex {

namespace {

struct KindText {
  const char* one;
  const char* many;
};

// In the order of Damage.
constexpr KindText kKindText[kDamageKinds] = {
    {"row piece outside its block", "row pieces outside their block"},
    {"row directory entry past the data", "row directory entries past the data"},
    {"row directory entry into the free space", "row directory entries into the free space"},
    {"chain to a foreign block", "chains to a foreign block"},
    {"extent past the file", "extents past the file"},
};

void printAddress(Sink& out, uint32_t rdba) {
  out.printf("RDBA=0x%08x(%u/%u)", rdba, rdbaFile(rdba), rdbaBlock(rdba));
}

}  // namespace

void DamageCounts::note(Damage kind, uint32_t rdba) {
  count[static_cast<uint32_t>(kind)]++;
  for (uint32_t i = 0; i < addresses; i++)
    if (address[i] == rdba) return;
  if (addresses < kAddressesShown) address[addresses++] = rdba;
}

uint64_t DamageCounts::total() const {
  uint64_t n = 0;
  for (uint64_t c : count) n += c;
  return n;
}

void printDamageSummary(Sink& out, const DamageCounts& d) {
  if (d.total() == 0) return;
  out.write("  Damage: ");
  bool first = true;
  for (uint32_t k = 0; k < kDamageKinds; k++) {
    if (d.count[k] == 0) continue;
    out.printf("%s%llu %s", first ? "" : ", ", static_cast<unsigned long long>(d.count[k]),
               d.count[k] == 1 ? kKindText[k].one : kKindText[k].many);
    first = false;
  }
  out.write(" (first at ");
  for (uint32_t i = 0; i < d.addresses; i++) {
    if (i) out.write(", ");
    printAddress(out, d.address[i]);
  }
  out.write(")\n");
}

void printDamage(Sink& out, Damage kind, uint32_t rdba, uint32_t detail) {
  out.printf("  Damage: %s at ", kKindText[static_cast<uint32_t>(kind)].one);
  printAddress(out, rdba);
  out.printf(kind == Damage::kExtentPastFile ? " length %u\n" : " slot %u\n", detail);
}

}  // namespace bex
