#include "lob/lob_map.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "base/huge_memory.h"
#include "base/lob_listing.h"
#include "lob/lob_map_files.h"

namespace bex {

namespace {

std::string path(const LobMap& m, const char* name) { return m.dir.file(name); }

// The bucket of a line, or kLobMapBuckets when the line is not usable.
uint32_t bucketOf(std::string_view line) {
  const LobLineFields fields(line);
  return fields.usable() ? lobBucket(fields.lobId()) : kLobMapBuckets;
}

void copyFile(FILE* from, FILE* to, uint64_t& written) {
  char buf[65536];
  rewind(from);
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, from)) > 0) written += fwrite(buf, 1, n, to);
}

// The 512 temporary files of one level (null where one cannot be created).
void createSortFiles(const LobMap& m, LobSortLevel level, FILE* (&files)[kLobMapFanout]) {
  for (uint32_t i = 0; i < kLobMapFanout; i++) files[i] = fopen(lobSortFile(m.dir, level, i).c_str(), "wb+");
}

// Distributes one first-level file into its 512 buckets through files.
void distributeOnDisk(LobMap& m, FILE* l1, FILE* out, FILE* pos, uint64_t& written) {
  FILE* l2[kLobMapFanout];
  createSortFiles(m, LobSortLevel::kSecond, l2);
  LobLineBuffer buf;
  std::string_view line;
  rewind(l1);
  while (readCopiedLobLine(l1, buf, line)) {
    const uint32_t bucket = bucketOf(line);
    if (bucket == kLobMapBuckets) continue;
    FILE* to = l2[bucket & 0x1FF];
    if (to) fwrite(line.data(), 1, line.size(), to);
  }
  for (uint32_t i = 0; i < kLobMapFanout; i++) {
    writeBucketOffset(pos, written);
    if (l2[i]) {
      copyFile(l2[i], out, written);
      fclose(l2[i]);
    }
  }
}

// A stable counting sort in memory of the usable lines of `text` (lines
// ended as the first-level files hold them) over the `count` buckets from
// `first` on: writes the lines to out in bucket order and each bucket's
// start offset to pos. Gives the bytes the distribution through files gives.
void sortInMemory(std::string_view text, uint32_t first, uint32_t count, FILE* out, FILE* pos, uint64_t& written) {
  std::vector<std::string_view> lines;
  std::vector<uint32_t> buckets;
  std::vector<uint32_t> firstOf(count + 1, 0);
  for (size_t p = 0; p < text.size();) {
    size_t e = p;
    while (e < text.size() && text[e] != '\n' && e - p < kLobListingLineMax + 1) e++;
    if (e < text.size() && text[e] == '\n') e++;
    std::string_view line = text.substr(p, e - p);
    p = e;
    if (line.size() < kLobListingLineMin) break;
    const uint32_t bucket = bucketOf(line);
    if (bucket == kLobMapBuckets || bucket - first >= count) continue;
    lines.push_back(line);
    buckets.push_back(bucket - first);
    firstOf[bucket - first + 1]++;
  }
  for (uint32_t i = 0; i < count; i++) firstOf[i + 1] += firstOf[i];
  std::vector<std::string_view> sorted(lines.size());
  std::vector<uint32_t> next(firstOf.begin(), firstOf.end() - 1);
  for (size_t i = 0; i < lines.size(); i++) sorted[next[buckets[i]]++] = lines[i];
  size_t k = 0;
  for (uint32_t i = 0; i < count; i++) {
    writeBucketOffset(pos, written);
    for (; k < firstOf[i + 1]; k++) written += fwrite(sorted[k].data(), 1, sorted[k].size(), out);
  }
}

// A first-level file small enough to sort in memory.
void distributeInMemory(FILE* l1, uint32_t firstBucket, long size, FILE* out, FILE* pos, uint64_t& written) {
  std::string text(static_cast<size_t>(size), '\0');
  rewind(l1);
  text.resize(fread(text.data(), 1, text.size(), l1));
  sortInMemory(text, firstBucket, kLobMapFanout, out, pos, written);
}

// The usable lines of a listing no larger than max, as the first pass hands
// them on; false for a larger listing.
bool readSmallListing(FILE* listing, size_t max, std::string& text) {
  if (fseeko(listing, 0, SEEK_END) != 0) return false;
  off_t size = ftello(listing);
  if (size < 0 || static_cast<uint64_t>(size) > max) return false;
  rewind(listing);
  text.reserve(static_cast<size_t>(size) + 1);
  LobLineBuffer buf;
  std::string_view line;
  while (readLobListingLine(listing, buf, line))
    if (usableLobLine(line)) text.append(line);
  return true;
}

// The two passes through the 512 first-level and, for first-level files
// too large to sort in memory, the 512 second-level temporary files.
void distributeThroughFiles(LobMap& m, FILE* listing, FILE* out, FILE* pos, uint64_t& written) {
  FILE* l1[kLobMapFanout];
  createSortFiles(m, LobSortLevel::kFirst, l1);
  rewind(listing);
  LobLineBuffer buf;
  std::string_view line;
  while (readLobListingLine(listing, buf, line)) {
    const uint32_t bucket = bucketOf(line);
    if (bucket == kLobMapBuckets) continue;
    FILE* to = l1[bucket >> 9];
    if (to) fwrite(line.data(), 1, line.size(), to);
  }
  for (uint32_t i = 0; i < kLobMapFanout; i++) {
    long size = 0;
    if (l1[i] && fseek(l1[i], 0, SEEK_END) == 0) size = ftell(l1[i]);
    if (!l1[i] || !out) {
      for (uint32_t k = 0; k < kLobMapFanout; k++) writeBucketOffset(pos, written);
    } else if (static_cast<size_t>(size) <= m.inMemoryMax) {
      distributeInMemory(l1[i], i * kLobMapFanout, size, out, pos, written);
    } else {
      distributeOnDisk(m, l1[i], out, pos, written);
    }
    if (out) fflush(out);
    fflush(pos);
    if (l1[i]) fclose(l1[i]);
  }
}

}  // namespace

LobMap::LobMap(const DictDirectory& d) : dir(d) {}

LobMap::~LobMap() { CloseLobMap(*this); }

uint32_t lobBucket(std::string_view lobId) {
  // Characters 10 to 19 of the id, each a signed byte, arithmetic modulo 2^32.
  const signed char* c = reinterpret_cast<const signed char*>(lobId.data()) + 10;
  size_t len = lobId.size() > 10 ? lobId.size() - 10 : 0;
  if (len > 10) len = 10;
  uint32_t h = static_cast<uint32_t>(len);
  auto u = [](signed char x) { return static_cast<uint32_t>(static_cast<int32_t>(x)); };
  for (; len >= 4; len -= 4, c += 4) {
    h += (u(c[0]) << 8) + u(c[1]);
    uint32_t t = ((u(c[0]) + 2) << 19) + (u(c[3]) << 11);
    h ^= (h << 16) ^ t;
    h += h >> 11;
  }
  switch (len) {
    case 3:
      h += (u(c[0]) << 8) + u(c[1]);
      h ^= (h << 16) ^ (u(c[2]) << 18);
      h += h >> 11;
      break;
    case 2:
      h += (u(c[0]) << 8) + u(c[1]);
      h ^= h << 11;
      h += h >> 17;
      break;
    case 1:
      h += u(c[0]);
      h ^= h << 10;
      h += h >> 1;
      break;
  }
  h ^= h << 3;
  h += h >> 5;
  h ^= h << 4;
  h += h >> 17;
  h ^= h << 25;
  h += h >> 6;
  return h & (kLobMapBuckets - 1);
}

// A listing no larger than the in-memory limit is sorted in memory at once;
// a larger one is distributed through the temporary files, so that memory
// stays bounded whatever the size of the listing. Both give the same map.
void BuildLobMap(LobMap& m) {
  CloseLobMap(m);
  FILE* listing = fopen(lobListingFile(m.dir).c_str(), "rb");
  std::string text;
  bool small = !listing || readSmallListing(listing, m.inMemoryMax, text);
  FILE* out = fopen(path(m, kLobMapFile).c_str(), "wb+");
  FILE* pos = fopen(path(m, kLobPosFile).c_str(), "wb+");
  uint64_t written = 0;
  if (pos && !out)
    sortInMemory({}, 0, kLobMapBuckets, out, pos, written);  // no map: every bucket starts at 0
  else if (pos && small)
    sortInMemory(text, 0, kLobMapBuckets, out, pos, written);
  else if (pos)
    distributeThroughFiles(m, listing, out, pos, written);
  if (listing) fclose(listing);
  for (uint32_t i = 0; i < kLobMapFanout; i++) {
    remove(lobSortFile(m.dir, LobSortLevel::kFirst, i).c_str());
    remove(lobSortFile(m.dir, LobSortLevel::kSecond, i).c_str());
  }
  if (out) fclose(out);
  if (pos) fclose(pos);
}

void OpenLobMap(LobMap& m) {
  CloseLobMap(m);
  m.pos = fopen(path(m, kLobPosFile).c_str(), "rb");
  m.map = fopen(path(m, kLobMapFile).c_str(), "rb");
  if (!m.available()) {
    CloseLobMap(m);
    return;
  }
  // Buckets past a short position file start at 0, not at a former map's
  // offsets.
  // (Zeroed memory in huge pages: 2 MiB of fresh 4 KiB pages cost more
  // to fault in than the file takes to read.)
  size_t bytes = kLobMapBuckets * sizeof(uint64_t);
  HugeMemory memory = allocateHugeMemory(bytes);
  uint64_t* offsets = reinterpret_cast<uint64_t*>(memory.get());
  readBucketOffsets(m.pos, offsets, kLobMapBuckets);
  m.offsets = std::shared_ptr<const uint64_t[]>(offsets, [free = memory.get_deleter()](const uint64_t* p) {
    free(reinterpret_cast<char*>(const_cast<uint64_t*>(p)));
  });
  memory.release();
}

bool OpenLobMapLike(LobMap& m, const LobMap& from) {
  CloseLobMap(m);
  if (!from.available()) return true;
  m.pos = fopen(path(m, kLobPosFile).c_str(), "rb");
  m.map = fopen(path(m, kLobMapFile).c_str(), "rb");
  if (!m.available()) {
    CloseLobMap(m);
    return false;
  }
  m.offsets = from.offsets;
  return true;
}

void LookupLobMap(LobMap& m, std::string_view lobId) {
  // Only pages below the last pagecount can have been filled.
  if (!m.pages) {
    m.pages.reset(new LobPage[kLobMaxPages]);
    m.pagecount = m.pagesSet = 0;
  }
  memset(m.pages.get(), 0xFF, sizeof(LobPage) * m.pagecount);
  m.pagecount = 0;
  if (!m.available() || lobId.size() < kLobIdDigits) return;
  lobId = lobId.substr(0, kLobIdDigits);
  uint32_t bucket = lobBucket(lobId);
  if (fseeko(m.map, static_cast<off_t>(m.offsets[bucket]), SEEK_SET) != 0) return;
  LobLineBuffer buf;
  std::string_view line;
  while (readCopiedLobLine(m.map, buf, line)) {
    const LobLineFields fields(line);
    if (!fields.usable()) continue;
    if (lobBucket(fields.lobId()) != bucket) break;
    if (fields.lobId() != lobId) continue;
    LobRunFields r;
    if (!fields.parse(r) || r.page >= kLobMaxPages) continue;
    if (r.page >= m.pagesSet) {
      memset(&m.pages[m.pagesSet], 0xFF, sizeof(LobPage) * (r.page + 1 - m.pagesSet));
      m.pagesSet = static_cast<uint32_t>(r.page + 1);
    }
    LobPage& p = m.pages[r.page];
    if (!p.absent() && r.version <= p.version) continue;
    p = {static_cast<uint16_t>(r.file), static_cast<uint32_t>(r.first), static_cast<uint32_t>(r.count),
         static_cast<uint32_t>(r.version)};
    if (m.pagecount < r.page + 1) m.pagecount = static_cast<uint32_t>(r.page + 1);
  }
}

void CloseLobMap(LobMap& m) {
  if (m.map) fclose(m.map);
  if (m.pos) fclose(m.pos);
  m.map = m.pos = nullptr;
}

}  // namespace bex
