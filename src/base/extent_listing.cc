#include "base/extent_listing.h"

#include <algorithm>
#include <cstring>

namespace bex {

void writeExtentRecord(Sink& out, const ExtentRecord& r) {
  char* p = out.reserve(80);
  int n = snprintf(p, 80, "%u,%u,%u,%u,%llu,\r\n", r.objd, r.file, r.first, r.count,
                   static_cast<unsigned long long>(r.rows));
  out.commit(static_cast<size_t>(n));
}

bool parseExtentRecord(const char* line, ExtentRecord& out) {
  uint64_t field[5];
  const char* p = line;
  for (uint64_t& f : field) {
    if (*p < '0' || *p > '9') return false;
    f = 0;
    while (*p >= '0' && *p <= '9') {
      if (f > (UINT64_MAX - 9) / 10) return false;
      f = f * 10 + static_cast<uint64_t>(*p++ - '0');
    }
    if (*p++ != ',') return false;
  }
  for (int i = 0; i < 4; i++)
    if (field[i] > UINT32_MAX) return false;
  out = ExtentRecord{static_cast<uint32_t>(field[0]), static_cast<uint32_t>(field[1]),
                     static_cast<uint32_t>(field[2]), static_cast<uint32_t>(field[3]), field[4]};
  return true;
}

bool ExtentListingReader::next(ExtentRecord& r) {
  char line[kLineMax + 1];
  while (fgets(line, sizeof line, f_)) {
    const size_t n = strlen(line);
    // The rest of an over-long line is not a record of its own.
    if (n == kLineMax && line[n - 1] != '\n') {
      int c;
      while ((c = fgetc(f_)) != EOF && c != '\n') {
      }
    }
    if (parseExtentRecord(line, r)) return true;
  }
  return false;
}

bool ExtentIndex::refresh(const std::string& path) {
  FileStamp now;
  const bool known = FileStamp::of(path, now);
  if (known && !path_.empty() && path == path_ && now == stamp_) return true;
  forget();
  ExtentListingReader in(path);
  if (!in.opened()) return false;
  // Stamped before the read: a change while reading is seen next time.
  stamp_ = known ? now : FileStamp{};
  ExtentRecord r;
  while (in.next(r)) byFile_.push_back(r);
  byObject_ = byFile_;
  std::stable_sort(byObject_.begin(), byObject_.end(),
                   [](const ExtentRecord& a, const ExtentRecord& b) { return a.objd < b.objd; });
  path_ = known ? path : std::string();
  return true;
}

std::span<const ExtentRecord> ExtentIndex::of(uint32_t objd) const {
  const auto [from, to] = std::equal_range(
      byObject_.begin(), byObject_.end(), ExtentRecord{objd},
      [](const ExtentRecord& a, const ExtentRecord& b) { return a.objd < b.objd; });
  return {from, to};
}

}  // namespace bex
