// The LOB map: the LOB listing of the database scan (base/lob_listing.h)
// sorted on disk by a hash of the LOB id into a map file, with a position
// file of bucket start offsets (lob/lob_map_files.h), so that the runs of
// one LOB id are found by reading a single bucket. Memory stays fixed whatever the listing's size.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "base/dict_directory.h"
#include "base/lob_listing.h"

namespace bex {

inline constexpr uint32_t kLobMapBuckets = 262144;  // 18 bits: L1 (9) * 512 + L2 (9)
inline constexpr uint32_t kLobMapFanout = 512;
inline constexpr uint32_t kLobMaxPages = 524288;
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
  FILE* map = nullptr;       // the map file (lob/lob_map_files.h)
  FILE* pos = nullptr;       // its position file
  // Both tables are allocated when first needed (most runs never read a
  // LOB): offsets by OpenLobMap, pages by LookupLobMap.
  // kLobMapBuckets bucket starts, never changed once read: the maps of a
  // parallel walk's workers share them.
  std::shared_ptr<const uint64_t[]> offsets;
  std::unique_ptr<LobPage[]> pages;     // page table of the last lookup
  uint32_t pagecount = 0;
  // Pages below this are set (absent at the start of a lookup); those
  // above it are untouched memory, set when a lookup first reaches them.
  uint32_t pagesSet = 0;
  size_t inMemoryMax = kLobMapInMemoryMax;

  bool available() const { return map && pos; }
};

// The bucket of a 20-digit LOB id text (hash of its last ten characters).
uint32_t lobBucket(std::string_view lobId);

void BuildLobMap(LobMap& m);
void OpenLobMap(LobMap& m);
// Opens m's own files of the map that from has open, sharing its bucket
// starts (nothing read again); closed when from is not open. False when
// from's is open and m's files could not be opened.
bool OpenLobMapLike(LobMap& m, const LobMap& from);
// Fills the page table for lobId (20 hexadecimal digits).
void LookupLobMap(LobMap& m, std::string_view lobId);
void CloseLobMap(LobMap& m);

}  // namespace bex
