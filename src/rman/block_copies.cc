#include "rman/block_copies.h"

#include <algorithm>
#include <memory>

#include "base/block_check.h"
#include "block/block_header.h"

namespace bex {

namespace {

// Adds count blocks from first at slot/position, joined to the stretch
// before when they continue it in the same piece.
void append(FileCopies& c, uint64_t first, uint64_t count, uint32_t slot, uint64_t position) {
  if (!c.stretches.empty()) {
    BlockStretch& last = c.stretches.back();
    if (uint64_t{last.first} + last.count == first && last.slot == slot &&
        uint64_t{last.position} + last.count == position) {
      last.count += static_cast<uint32_t>(count);
      return;
    }
  }
  c.stretches.push_back({static_cast<uint32_t>(first), static_cast<uint32_t>(count), slot,
                         static_cast<uint32_t>(position)});
}

uint64_t positionOf(const PieceRun& r, uint64_t block) { return r.position + (block - r.first); }

class Chooser {
 public:
  Chooser(const std::vector<PieceRun>& runs, const CopyRules& rules, const PieceBlockRead& read)
      : runs_(runs), rules_(rules), read_(read), buf_(new uint8_t[rules.blockSize]) {}

  // The run (index into runs, ascending = listing order) whose copy of
  // block wins among candidates.
  size_t choose(const std::vector<size_t>& candidates, uint64_t block) {
    bool any = false, bestSound = false;
    uint64_t bestScn = 0;
    size_t best = candidates.back();
    for (size_t i : candidates) {
      const PieceRun& r = runs_[i];
      if (!read_(r.slot, static_cast<uint32_t>(positionOf(r, block)), buf_.get())) continue;
      const BlockView v{buf_.get(), rules_.blockSize, rules_.order};
      bool sound = !rules_.blockCheck || BlockChecksumTest(buf_.get(), rules_.blockSize) == 0;
      uint64_t scn = blockScn(v);
      if (!any || sound > bestSound || (sound == bestSound && scn >= bestScn)) {
        any = true, bestSound = sound, bestScn = scn, best = i;
      }
    }
    return best;
  }

 private:
  const std::vector<PieceRun>& runs_;
  const CopyRules& rules_;
  const PieceBlockRead& read_;
  std::unique_ptr<uint8_t[]> buf_;
};

}  // namespace

FileCopies chooseCopies(const std::vector<PieceRun>& runs, const CopyRules& rules, const PieceBlockRead& read) {
  FileCopies c;
  std::vector<uint64_t> bounds;
  std::vector<size_t> byFirst(runs.size());
  for (size_t i = 0; i < runs.size(); i++) {
    bounds.push_back(runs[i].first);
    bounds.push_back(uint64_t{runs[i].first} + runs[i].count);
    byFirst[i] = i;
  }
  std::sort(bounds.begin(), bounds.end());
  bounds.erase(std::unique(bounds.begin(), bounds.end()), bounds.end());
  std::stable_sort(byFirst.begin(), byFirst.end(), [&](size_t a, size_t b) { return runs[a].first < runs[b].first; });
  Chooser chooser(runs, rules, read);
  std::vector<size_t> active;  // runs holding the current stretch, in listing order
  size_t next = 0;
  for (size_t k = 0; k + 1 < bounds.size(); k++) {
    const uint64_t from = bounds[k], to = bounds[k + 1];
    active.erase(std::remove_if(active.begin(), active.end(),
                                [&](size_t i) { return uint64_t{runs[i].first} + runs[i].count <= from; }),
                 active.end());
    for (; next < byFirst.size() && runs[byFirst[next]].first == from; next++)
      active.insert(std::upper_bound(active.begin(), active.end(), byFirst[next]), byFirst[next]);
    if (active.empty()) continue;
    if (active.size() == 1) {
      const PieceRun& r = runs[active[0]];
      append(c, from, to - from, r.slot, positionOf(r, from));
      continue;
    }
    for (uint64_t b = from; b < to; b++) {
      size_t i = chooser.choose(active, b);
      c.severalCopies++;
      if (i != active.back()) c.newerKept++;
      append(c, b, 1, runs[i].slot, positionOf(runs[i], b));
    }
  }
  return c;
}

}  // namespace bex
