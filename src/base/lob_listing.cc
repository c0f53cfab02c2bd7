#include "base/lob_listing.h"

namespace bex {

namespace {

// Reads one line of at most `max` characters; false at end of file or at a
// line too short.
bool readLine(FILE* f, LobLineBuffer& buf, size_t max, std::string_view& line) {
  if (!fgets(buf, static_cast<int>(max + 1), f)) return false;
  line = buf;
  return line.size() >= kLobListingLineMin;
}

// The leading decimal digits of s; false when it does not begin with one.
bool parseNumber(std::string_view s, uint64_t& v) {
  if (s.empty() || s[0] < '0' || s[0] > '9') return false;
  v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') break;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

}  // namespace

void writeLobRun(Sink& out, uint32_t objd, const uint8_t* lobId, const LobRunFields& f) {
  char* p = out.reserve(128);
  int n = snprintf(p, 128, "%u,", objd);
  static const char kHex[] = "0123456789ABCDEF";
  for (size_t i = 0; i < kLobIdDigits / 2; i++) {
    p[n++] = kHex[lobId[i] >> 4];
    p[n++] = kHex[lobId[i] & 15];
  }
  n += snprintf(p + n, 128 - static_cast<size_t>(n), ",%llu,%llu,%llu,%llu,%llu,\n",
                static_cast<unsigned long long>(f.page), static_cast<unsigned long long>(f.version),
                static_cast<unsigned long long>(f.file), static_cast<unsigned long long>(f.first),
                static_cast<unsigned long long>(f.count));
  out.commit(static_cast<size_t>(n));
}

bool readLobListingLine(FILE* f, LobLineBuffer& buf, std::string_view& line) {
  if (!readLine(f, buf, kLobListingLineMax, line)) return false;
  if (line.back() != '\n') {
    buf[line.size()] = '\n';
    buf[line.size() + 1] = 0;
    line = std::string_view(buf, line.size() + 1);
  }
  return true;
}

bool readCopiedLobLine(FILE* f, LobLineBuffer& buf, std::string_view& line) {
  return readLine(f, buf, kLobListingLineMax + 1, line);
}

namespace {

// The first ',' or '\n' of line from start on, or npos: a loop of its own,
// as find_first_of looks each character up in the set with a call.
size_t fieldEnd(std::string_view line, size_t start) {
  for (size_t i = start; i < line.size(); i++)
    if (line[i] == ',' || line[i] == '\n') return i;
  return std::string_view::npos;
}

}  // namespace

LobLineFields::LobLineFields(std::string_view line) {
  size_t start = 0;
  for (int i = 0; i < kCount; i++) {
    const size_t end = fieldEnd(line, start);
    field[i] = line.substr(start, end == std::string_view::npos ? line.size() - start : end - start);
    const size_t comma = end != std::string_view::npos && line[end] == ',' ? end : line.find(',', start);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
}

bool LobLineFields::usable() const { return !field[0].empty() && field[1].size() >= kLobIdDigits; }

std::string_view LobLineFields::lobId() const { return field[1].substr(0, kLobIdDigits); }

bool LobLineFields::parse(LobRunFields& f) const {
  return parseNumber(field[2], f.page) && parseNumber(field[3], f.version) && parseNumber(field[4], f.file) &&
         parseNumber(field[5], f.first) && parseNumber(field[6], f.count);
}

bool usableLobLine(std::string_view line) { return LobLineFields(line).usable(); }

std::string_view lobIdOfLine(std::string_view line) { return LobLineFields(line).lobId(); }

bool parseLobRunFields(std::string_view line, LobRunFields& f) { return LobLineFields(line).parse(f); }

}  // namespace bex
