#include "commands/datafile/open_layout.h"

#include <string>
#include <vector>

#include "datafile/layout_probe.h"
#include "run/run_context.h"

namespace bex {

namespace {

// One setting the file headers tell.
struct LayoutKey {
  const char* name;
  const char* words[2];  // the words of the values 0 and 1, or none for a number
  bool Settings::*set;
  uint32_t (*of)(const FileLayout&);
  uint32_t (*current)(const RunContext&);
  void (*take)(RunContext&, uint32_t);
};

const LayoutKey kLayoutKeys[] = {
    {"BLOCK_SIZE", {}, &Settings::blockSizeSet, [](const FileLayout& l) -> uint32_t { return l.blockSize; },
     [](const RunContext& rc) -> uint32_t { return rc.bc.blockSize; },
     [](RunContext& rc, uint32_t v) { rc.setBlockSize(static_cast<uint16_t>(v)); }},
    {"BYTE_ORDER", {"LITTLE", "BIG"}, &Settings::byteOrderSet,
     [](const FileLayout& l) -> uint32_t { return l.byteOrder; },
     [](const RunContext& rc) -> uint32_t { return rc.bc.byteOrder; },
     [](RunContext& rc, uint32_t v) { rc.bc.byteOrder = static_cast<uint8_t>(v); }},
    {"BIGFILE", {"NO", "YES"}, &Settings::bigfileSet, [](const FileLayout& l) -> uint32_t { return l.bigfile; },
     [](const RunContext& rc) -> uint32_t { return rc.bc.bigfile; },
     [](RunContext& rc, uint32_t v) { rc.bc.bigfile = static_cast<uint8_t>(v); }},
};

std::string valueText(const LayoutKey& k, uint32_t v) {
  return k.words[0] && v <= 1 ? k.words[v] : std::to_string(v);
}

// The value most files say; of equally many, the one the earlier file says.
// Only meaningful when some file was found.
uint32_t mostSaid(const LayoutKey& k, const std::vector<FileLayout>& found) {
  uint32_t best = 0;
  size_t bestCount = 0;
  for (const FileLayout& a : found) {
    if (!a.found) continue;
    size_t count = 0;
    for (const FileLayout& b : found) count += b.found && k.of(b) == k.of(a);
    if (count > bestCount) best = k.of(a), bestCount = count;
  }
  return best;
}

LayoutFixed fixedBy(const RunContext& rc, const DataFile& f) {
  LayoutFixed fixed;
  if (rc.settings.blockSizeSet) fixed.blockSize = rc.bc.blockSize;
  if (rc.settings.byteOrderSet) fixed.byteOrder = rc.bc.byteOrder;
  if (rc.settings.bigfileSet) fixed.bigfile = rc.bc.bigfile;
  if (f.headerSizeGiven) fixed.headerSize = f.headerSize;
  return fixed;
}

bool allFixed(const LayoutFixed& f) {
  return f.blockSize && f.byteOrder != kLayoutFree && f.bigfile != kLayoutFree && f.headerSize != kLayoutFree;
}

// Takes the header sizes found for files whose line gave none. What to
// name: "" when none changed, the size when all that changed got the same.
std::string takeHeaderSizes(DataFileRegistry& reg, const std::vector<FileLayout>& found) {
  uint32_t taken = 0;
  bool several = false;
  for (uint32_t i = 0; i < reg.count; i++) {
    DataFile& f = reg.slots[i];
    if (f.headerSizeGiven || !found[i].found || found[i].headerSize == f.headerSize) continue;
    several |= taken != 0 && taken != found[i].headerSize;
    taken = f.headerSize = found[i].headerSize;
  }
  if (taken == 0) return "";
  return several ? "the header sizes" : "header size " + std::to_string(taken);
}

void printTaken(Sink& out, const std::vector<std::string>& taken) {
  if (taken.empty()) return;
  std::string line = taken[0];
  for (size_t i = 1; i < taken.size(); i++) line += (i + 1 < taken.size() ? ", " : " and ") + taken[i];
  out.printf("  %s taken from the file headers.\n", line.c_str());
}

void printDisagreeing(RunContext& rc, const LayoutKey& k, uint32_t taken, const std::vector<FileLayout>& found) {
  for (uint32_t i = 0; i < rc.registry.count; i++) {
    if (!found[i].found || k.of(found[i]) == taken) continue;
    const std::string says = valueText(k, k.of(found[i]));
    rc.out.printf("  %s has %s %s, not %s: SET %s %s and OPEN it apart to read it.\n", rc.registry.slots[i].path,
                  k.name, says.c_str(), valueText(k, taken).c_str(), k.name, says.c_str());
  }
}

}  // namespace

void learnFileLayout(RunContext& rc) {
  DataFileRegistry& reg = rc.registry;
  std::vector<FileLayout> found(reg.count);
  bool any = false;
  for (uint32_t i = 0; i < reg.count; i++) {
    const LayoutFixed fixed = fixedBy(rc, reg.slots[i]);
    if (!reg.slots[i].usable() || allFixed(fixed)) continue;
    found[i] = probeFileLayout(*reg.slots[i].source, fixed);
    any |= found[i].found;
  }
  if (!any) return;
  std::vector<std::string> taken;
  std::vector<uint32_t> values;
  for (const LayoutKey& k : kLayoutKeys) {
    values.push_back(rc.settings.*k.set ? k.current(rc) : mostSaid(k, found));
    if (rc.settings.*k.set || values.back() == k.current(rc)) continue;
    k.take(rc, values.back());
    taken.push_back(std::string(k.name) + " " + valueText(k, values.back()));
  }
  const std::string headerSizes = takeHeaderSizes(reg, found);
  if (!headerSizes.empty()) taken.push_back(headerSizes);
  printTaken(rc.out, taken);
  for (size_t i = 0; i < std::size(kLayoutKeys); i++)
    if (!(rc.settings.*kLayoutKeys[i].set)) printDisagreeing(rc, kLayoutKeys[i], values[i], found);
}

}  // namespace bex
