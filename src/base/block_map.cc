#include "base/block_map.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace bex {

// A range continuing the last run of its class joins it, as blocks noted
// one by one do: a walk may read empty blocks or step over them as a hole.
void BlockMap::noteRange(uint32_t rfn, uint32_t first, uint32_t count, BlockClass cls) {
  if (!count) return;
  if (!runs_.empty()) {
    BlockRun& r = runs_.back();
    if (r.rfn == rfn && r.cls == cls && r.objd == 0 && r.first + r.count == first) {
      r.count += count;
      return;
    }
  }
  runs_.push_back(BlockRun{rfn, first, count, 0, cls});
}

void BlockMap::take(BlockMap& other) {
  runs_.insert(runs_.end(), other.runs_.begin(), other.runs_.end());
  other.runs_.clear();
}

void BlockMap::follow(BlockMap& next) {
  auto from = next.runs_.begin();
  if (from != next.runs_.end() && !runs_.empty()) {
    BlockRun& r = runs_.back();
    if (r.rfn == from->rfn && r.cls == from->cls && r.objd == from->objd && r.first + r.count == from->first) {
      r.count += from->count;
      ++from;
    }
  }
  runs_.insert(runs_.end(), from, next.runs_.end());
  next.runs_.clear();
}

bool BlockMap::write(const std::string& path) {
  std::stable_sort(runs_.begin(), runs_.end(), [](const BlockRun& a, const BlockRun& b) {
    return a.rfn != b.rfn ? a.rfn < b.rfn : a.first < b.first;
  });
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = true;
  for (const BlockRun& r : runs_)
    ok = fprintf(f, "%u,%u,%u,%c,%u,\n", r.rfn, r.first, r.count, static_cast<char>(r.cls), r.objd) > 0 && ok;
  return fclose(f) == 0 && ok;
}

bool readBlockMap(const std::string& path, std::vector<BlockRun>& runs) {
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return false;
  char line[128];
  while (fgets(line, sizeof line, f)) {
    BlockRun r;
    char cls = 0;
    if (sscanf(line, "%" SCNu32 ",%" SCNu32 ",%" SCNu32 ",%c,%" SCNu32 ",", &r.rfn, &r.first, &r.count, &cls,
               &r.objd) != 5)
      continue;
    static const char kClasses[] = "TILHECUO";
    bool known = false;
    for (const char* c = kClasses; *c; c++) known = known || *c == cls;
    if (!known || r.count == 0) continue;
    r.cls = static_cast<BlockClass>(cls);
    runs.push_back(r);
  }
  fclose(f);
  return true;
}

bool ChecksumRuns::refresh(const std::string& path) {
  FileStamp now;
  const bool known = FileStamp::of(path, now);
  if (known && !path_.empty() && path == path_ && now == stamp_) return true;
  forget();
  std::vector<BlockRun> all;
  if (!readBlockMap(path, all)) return false;
  stamp_ = known ? now : FileStamp{};
  for (const BlockRun& r : all)
    if (r.cls == BlockClass::kChecksum) runs_.push_back(r);
  std::stable_sort(runs_.begin(), runs_.end(), [](const BlockRun& a, const BlockRun& b) { return a.objd < b.objd; });
  path_ = known ? path : std::string();
  return true;
}

std::span<const BlockRun> ChecksumRuns::of(uint32_t objd) const {
  const auto [from, to] = std::equal_range(runs_.begin(), runs_.end(), BlockRun{0, 0, 0, objd},
                                           [](const BlockRun& a, const BlockRun& b) { return a.objd < b.objd; });
  return {from, to};
}

}  // namespace bex
