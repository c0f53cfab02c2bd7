// The files of the LOB map: BEXLOBMAP.TXT holds the LOB listing's lines
// (base/lob_listing.h) grouped by bucket, BEXLOBPOS.TXT one line "offset,\n"
// per bucket with the offset in BEXLOBMAP.TXT where the bucket begins, and
// BEXLOBMAP%03u.L1T / .L2T are the temporary files of the sort on disk.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/dict_directory.h"

namespace bex {

inline constexpr const char* kLobMapFile = "BEXLOBMAP.TXT";
inline constexpr const char* kLobPosFile = "BEXLOBPOS.TXT";

enum class LobSortLevel { kFirst, kSecond };

// dir/BEXLOBMAP%03u.L1T (first level) or .L2T (second level).
std::string lobSortFile(const DictDirectory& dir, LobSortLevel level, uint32_t n);

void writeBucketOffset(FILE* pos, uint64_t offset);
// Reads up to count lines of the position file into offsets; buckets past
// a short file keep what offsets held.
void readBucketOffsets(FILE* pos, uint64_t* offsets, uint32_t count);

}  // namespace bex
