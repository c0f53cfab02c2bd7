#include "lob/lob_map.h"

#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <vector>

namespace bex {

namespace {

std::string path(const LobMap& m, const char* name) { return m.dir.file(name); }

std::string tempName(const LobMap& m, const char* ext, uint32_t n) {
  char name[32];
  snprintf(name, sizeof name, "BEXLOBMAP%03u.%s", n, ext);
  return path(m, name);
}

// Field i (0-based) of a comma-separated line, without the comma.
std::string_view field(std::string_view line, int i) {
  size_t start = 0;
  for (; i > 0; i--) {
    size_t c = line.find(',', start);
    if (c == std::string_view::npos) return {};
    start = c + 1;
  }
  size_t end = line.find_first_of(",\n", start);
  return line.substr(start, end == std::string_view::npos ? line.size() - start : end - start);
}

bool usable(std::string_view line) { return !field(line, 0).empty() && field(line, 1).size() >= kLobIdDigits; }

uint32_t bucketOf(std::string_view line) { return lobBucket(field(line, 1).substr(0, kLobIdDigits)); }

// A listing line is read with at most kLobListingLineMax characters; one
// that lacks its line feed (the last line of an edited listing, or a line
// cut at that length) gets one, or it would run into whatever line follows
// it in the temporary and map files. Those files therefore hold lines of at
// most kLobListingLineMax + 1 characters, all ended.
using LineBuffer = char[kLobListingLineMax + 2];

// Reads one line of at most `max` characters; false at end of file or at a
// line too short.
bool readLine(FILE* f, LineBuffer& buf, size_t max, std::string_view& line) {
  if (!fgets(buf, static_cast<int>(max + 1), f)) return false;
  line = buf;
  return line.size() >= kLobListingLineMin;
}

bool readListingLine(FILE* f, LineBuffer& buf, std::string_view& line) {
  if (!readLine(f, buf, kLobListingLineMax, line)) return false;
  if (line.back() != '\n') {
    buf[line.size()] = '\n';
    buf[line.size() + 1] = 0;
    line = std::string_view(buf, line.size() + 1);
  }
  return true;
}

// A line of a temporary or map file.
bool readMapLine(FILE* f, LineBuffer& buf, std::string_view& line) {
  return readLine(f, buf, kLobListingLineMax + 1, line);
}

bool parseNumber(std::string_view s, uint64_t& v) {
  if (s.empty() || s[0] < '0' || s[0] > '9') return false;
  v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

void copyFile(FILE* from, FILE* to, uint64_t& written) {
  char buf[65536];
  rewind(from);
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, from)) > 0) written += fwrite(buf, 1, n, to);
}

// "%llu,\n" without printf: every build writes 262144 of these lines.
void writeOffset(FILE* pos, uint64_t offset) {
  char text[24];
  char* p = text + sizeof text;
  *--p = '\n';
  *--p = ',';
  do {
    *--p = static_cast<char>('0' + offset % 10);
    offset /= 10;
  } while (offset);
  fwrite(p, 1, static_cast<size_t>(text + sizeof text - p), pos);
}

// Distributes one first-level file into its 512 buckets through files.
void distributeOnDisk(LobMap& m, FILE* l1, FILE* out, FILE* pos, uint64_t& written) {
  FILE* l2[kLobMapFanout];
  for (uint32_t i = 0; i < kLobMapFanout; i++) l2[i] = fopen(tempName(m, "L2T", i).c_str(), "wb+");
  LineBuffer buf;
  std::string_view line;
  rewind(l1);
  while (readMapLine(l1, buf, line))
    if (usable(line) && l2[bucketOf(line) & 0x1FF]) fwrite(line.data(), 1, line.size(), l2[bucketOf(line) & 0x1FF]);
  for (uint32_t i = 0; i < kLobMapFanout; i++) {
    writeOffset(pos, written);
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
  std::vector<uint32_t> firstOf(count + 1, 0);
  for (size_t p = 0; p < text.size();) {
    size_t e = p;
    while (e < text.size() && text[e] != '\n' && e - p < kLobListingLineMax + 1) e++;
    if (e < text.size() && text[e] == '\n') e++;
    std::string_view line = text.substr(p, e - p);
    p = e;
    if (line.size() < kLobListingLineMin) break;
    if (!usable(line) || bucketOf(line) - first >= count) continue;
    lines.push_back(line);
    firstOf[bucketOf(line) - first + 1]++;
  }
  for (uint32_t i = 0; i < count; i++) firstOf[i + 1] += firstOf[i];
  std::vector<std::string_view> sorted(lines.size());
  std::vector<uint32_t> next(firstOf.begin(), firstOf.end() - 1);
  for (std::string_view line : lines) sorted[next[bucketOf(line) - first]++] = line;
  size_t k = 0;
  for (uint32_t i = 0; i < count; i++) {
    writeOffset(pos, written);
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
  LineBuffer buf;
  std::string_view line;
  while (readListingLine(listing, buf, line))
    if (usable(line)) text.append(line);
  return true;
}

// The two passes through the 512 first-level and, for first-level files
// too large to sort in memory, the 512 second-level temporary files.
void distributeThroughFiles(LobMap& m, FILE* listing, FILE* out, FILE* pos, uint64_t& written) {
  FILE* l1[kLobMapFanout];
  for (uint32_t i = 0; i < kLobMapFanout; i++) l1[i] = fopen(tempName(m, "L1T", i).c_str(), "wb+");
  rewind(listing);
  LineBuffer buf;
  std::string_view line;
  while (readListingLine(listing, buf, line)) {
    if (!usable(line)) continue;
    FILE* to = l1[bucketOf(line) >> 9];
    if (to) fwrite(line.data(), 1, line.size(), to);
  }
  for (uint32_t i = 0; i < kLobMapFanout; i++) {
    long size = 0;
    if (l1[i] && fseek(l1[i], 0, SEEK_END) == 0) size = ftell(l1[i]);
    if (!l1[i] || !out) {
      for (uint32_t k = 0; k < kLobMapFanout; k++) writeOffset(pos, written);
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
  FILE* listing = fopen(path(m, "BEXLOB.TXT").c_str(), "rb");
  std::string text;
  bool small = !listing || readSmallListing(listing, m.inMemoryMax, text);
  FILE* out = fopen(path(m, "BEXLOBMAP.TXT").c_str(), "wb+");
  FILE* pos = fopen(path(m, "BEXLOBPOS.TXT").c_str(), "wb+");
  uint64_t written = 0;
  if (pos && !out)
    sortInMemory({}, 0, kLobMapBuckets, out, pos, written);  // no map: every bucket starts at 0
  else if (pos && small)
    sortInMemory(text, 0, kLobMapBuckets, out, pos, written);
  else if (pos)
    distributeThroughFiles(m, listing, out, pos, written);
  if (listing) fclose(listing);
  for (uint32_t i = 0; i < kLobMapFanout; i++) {
    remove(tempName(m, "L1T", i).c_str());
    remove(tempName(m, "L2T", i).c_str());
  }
  if (out) fclose(out);
  if (pos) fclose(pos);
}

void OpenLobMap(LobMap& m) {
  CloseLobMap(m);
  m.pos = fopen(path(m, "BEXLOBPOS.TXT").c_str(), "rb");
  m.map = fopen(path(m, "BEXLOBMAP.TXT").c_str(), "rb");
  if (!m.available()) {
    CloseLobMap(m);
    return;
  }
  // Buckets past a short position file start at 0, not at a former map's
  // offsets.
  if (!m.offsets) m.offsets.reset(new uint64_t[kLobMapBuckets]);
  std::fill(m.offsets.get(), m.offsets.get() + kLobMapBuckets, 0);
  char line[64];
  for (uint32_t b = 0; b < kLobMapBuckets && fgets(line, sizeof line, m.pos); b++)
    m.offsets[b] = strtoull(line, nullptr, 10);
}

void LookupLobMap(LobMap& m, std::string_view lobId) {
  // Only pages below the last pagecount can have been filled.
  if (!m.pages) {
    m.pages.reset(new LobPage[kLobMaxPages]);
    m.pagecount = kLobMaxPages;
  }
  memset(m.pages.get(), 0xFF, sizeof(LobPage) * m.pagecount);
  m.pagecount = 0;
  if (!m.available() || lobId.size() < kLobIdDigits) return;
  lobId = lobId.substr(0, kLobIdDigits);
  uint32_t bucket = lobBucket(lobId);
  if (fseeko(m.map, static_cast<off_t>(m.offsets[bucket]), SEEK_SET) != 0) return;
  LineBuffer buf;
  std::string_view line;
  while (readMapLine(m.map, buf, line)) {
    if (!usable(line)) continue;
    if (bucketOf(line) != bucket) break;
    if (field(line, 1).substr(0, kLobIdDigits) != lobId) continue;
    uint64_t page, version, file, block, count;
    if (!parseNumber(field(line, 2), page) || !parseNumber(field(line, 3), version) ||
        !parseNumber(field(line, 4), file) || !parseNumber(field(line, 5), block) ||
        !parseNumber(field(line, 6), count))
      continue;
    if (page >= kLobMaxPages) continue;
    LobPage& p = m.pages[page];
    if (!p.absent() && version <= p.version) continue;
    p = {static_cast<uint16_t>(file), static_cast<uint32_t>(block), static_cast<uint32_t>(count),
         static_cast<uint32_t>(version)};
    if (m.pagecount < page + 1) m.pagecount = static_cast<uint32_t>(page + 1);
  }
}

void CloseLobMap(LobMap& m) {
  if (m.map) fclose(m.map);
  if (m.pos) fclose(m.pos);
  m.map = m.pos = nullptr;
}

}  // namespace bex
