#include "unload/damage.h"

#include "base/rdba.h"
#include "base/recovery_report.h"

namespace bex {

namespace {

struct KindText {
  const char* one;
  const char* many;
  const char* key;  // in the recovery report
};

// In the order of Damage.
constexpr KindText kKindText[kDamageKinds] = {
    {"row piece outside its block", "row pieces outside their block", "row_pieces_outside"},
    {"row directory entry past the data", "row directory entries past the data", "entries_past_data"},
    {"row directory entry into the free space", "row directory entries into the free space", "entries_in_free_space"},
    {"chain to a foreign block", "chains to a foreign block", "chains_to_foreign_blocks"},
    {"extent past the file", "extents past the file", "extents_past_file"},
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

void DamageCounts::add(const DamageCounts& later) {
  for (uint32_t k = 0; k < kDamageKinds; k++) count[k] += later.count[k];
  for (uint32_t i = 0; i < later.addresses; i++) {
    bool known = false;
    for (uint32_t j = 0; j < addresses; j++) known = known || address[j] == later.address[i];
    if (!known && addresses < kAddressesShown) address[addresses++] = later.address[i];
  }
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

void reportDamage(ReportEntry& e, const DamageCounts& d) {
  if (e.damage.empty())
    for (const KindText& k : kKindText) e.damage.emplace_back(k.key, 0);
  for (uint32_t k = 0; k < kDamageKinds && k < e.damage.size(); k++) e.damage[k].second += d.count[k];
}

void printDamage(Sink& out, Damage kind, uint32_t rdba, uint32_t detail) {
  out.printf("  Damage: %s at ", kKindText[static_cast<uint32_t>(kind)].one);
  printAddress(out, rdba);
  out.printf(kind == Damage::kExtentPastFile ? " length %u\n" : " slot %u\n", detail);
}

}  // namespace bex
