// The LOB listing of the database scan (BEXLOB.TXT, and BEXLOB.NN.TXT of
// scan worker NN): one line per run of LOB blocks of one LOB id, page and
// version, "objd,LOB id,page,version,file,first block,count,\n", the LOB id
// as 20 upper-case hexadecimal digits. SCAN DATABASE writes it; the LOB map
// (lob/lob_map.h) files its lines, unchanged, by a hash of the LOB id.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "base/dict_directory.h"
#include "base/sink.h"

namespace bex {

inline constexpr const char* kLobListing = "BEXLOB";
inline constexpr size_t kLobIdDigits = 20;  // two for each byte of the LOB id
inline constexpr size_t kLobListingLineMax = 511;
inline constexpr size_t kLobListingLineMin = 10;

// dir/BEXLOB.TXT, or the listing of scan worker `worker`.
inline std::string lobListingFile(const DictDirectory& dir, int worker = -1) {
  return dir.listingFile(kLobListing, worker);
}

// The numbers after the LOB id.
struct LobRunFields {
  uint64_t page = 0, version = 0, file = 0, first = 0, count = 0;
};

// lobId: its kLobIdDigits / 2 bytes.
void writeLobRun(Sink& out, uint32_t objd, const uint8_t* lobId, const LobRunFields& f);

// A line is read with at most kLobListingLineMax characters; one that lacks
// its line feed (the last line of an edited listing, or a line cut at that
// length) gets one, so that it never runs into a line copied after it.
// Copies of listing lines therefore hold at most kLobListingLineMax + 1
// characters, all ended.
using LobLineBuffer = char[kLobListingLineMax + 2];
// The next line of a listing; false at the end of the file or at a line
// shorter than kLobListingLineMin.
bool readLobListingLine(FILE* f, LobLineBuffer& buf, std::string_view& line);
// The next line of a file of copied (ended) listing lines, as readLobListingLine.
bool readCopiedLobLine(FILE* f, LobLineBuffer& buf, std::string_view& line);

// The seven fields of a line, found in one pass (a missing one is empty),
// so that a line read is split once however many of its fields are asked.
struct LobLineFields {
  static constexpr int kCount = 7;
  std::string_view field[kCount];
  explicit LobLineFields(std::string_view line);
  bool usable() const;               // usableLobLine
  std::string_view lobId() const;    // lobIdOfLine
  bool parse(LobRunFields& f) const;  // parseLobRunFields
};

// A line naming an object and a whole LOB id.
bool usableLobLine(std::string_view line);
// The LOB id of a usable line (its first kLobIdDigits characters).
std::string_view lobIdOfLine(std::string_view line);
// False when a number after the LOB id is missing.
bool parseLobRunFields(std::string_view line, LobRunFields& f);

}  // namespace bex
