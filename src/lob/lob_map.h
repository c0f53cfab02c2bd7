// The LOB map: the LOB listing of the database scan (BEXLOB.TXT) sorted on
// disk by a hash of the LOB id (BEXLOBMAP.TXT) with a table of bucket start
// offsets (BEXLOBPOS.TXT), so that the runs of one LOB id are found by
// reading a single bucket. Memory stays fixed whatever the listing's size.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "base/dict_directory.h"

namespace bex {

inline constexpr uint32_t kLobMapBuckets = 262144;  // 18 bits: L1 (9) * 512 + L2 (9)
inline constexpr uint32_t kLobMapFanout = 512;
inline constexpr uint32_t kLobMaxPages = 524288;
inline constexpr size_t kLobIdDigits = 20;
inline constexpr size_t kLobListingLineMax = 511;
inline constexpr size_t kLobListingLineMin = 10;
// A first-level file at most this large is distributed in memory; larger
// ones go through the 512 second-level files on disk. Either way the map
// file gets the same bytes.
inline constexpr size_t kLobMapInMemoryMax = 64u << 20;

// One run of blocks holding one page; absent while file and block are all ones.
struct LobPage {
  uint16_t file;
  uint32_t block;
  uint32_t count;
  uint32_t version;
  bool absent() const { return file == 0xFFFF && block == 0xFFFFFFFF; }
};

struct LobMap {
  explicit LobMap(const DictDirectory& dir);
  ~LobMap();
  LobMap(const LobMap&) = delete;
  LobMap& operator=(const LobMap&) = delete;

  const DictDirectory& dir;  // where the listing and the map files live
  FILE* map = nullptr;       // BEXLOBMAP.TXT
  FILE* pos = nullptr;       // BEXLOBPOS.TXT
  // Both tables are allocated when first needed (most runs never read a
  // LOB): offsets by OpenLobMap, pages by LookupLobMap.
  std::unique_ptr<uint64_t[]> offsets;  // kLobMapBuckets bucket starts
  std::unique_ptr<LobPage[]> pages;     // page table of the last lookup
  uint32_t pagecount = 0;
  size_t inMemoryMax = kLobMapInMemoryMax;

  bool available() const { return map && pos; }
};

// The bucket of a 20-digit LOB id text (hash of its last ten characters).
uint32_t lobBucket(std::string_view lobId);

void BuildLobMap(LobMap& m);
void OpenLobMap(LobMap& m);
// Fills the page table for lobId (20 hexadecimal digits).
void LookupLobMap(LobMap& m, std::string_view lobId);
void CloseLobMap(LobMap& m);

}  // namespace bex
