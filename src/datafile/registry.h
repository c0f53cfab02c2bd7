// DataFileRegistry: the data files of the run, loaded by OPEN from a
// configuration file, probed for their relative file number, tablespace,
// block size and length, and hashed by relative file number for the reader.
#pragma once
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string_view>

#include "base/byte_source.h"
#include "base/sink.h"

namespace bex {

struct BlockContext;

inline constexpr uint32_t kMaxDataFiles = 1023;
inline constexpr uint32_t kRegistryBuckets = 1024;
inline constexpr uint32_t kDataFilePathMax = 512;
inline constexpr uint32_t kNoNode = 0xFFFFFFFF;

// One configuration line. A value-initialised DataFile (DataFile{}) is an
// empty slot.
struct DataFile {
  char path[kDataFilePathMax + 1];
  uint32_t headerSize;  // bytes before block 0, added to every offset
  bool headerSizeGiven;  // the configuration line gave it (else OPEN may find it)
  std::unique_ptr<ByteSource> source;  // the file's bytes, or none when it could not be opened
  uint32_t ts;          // tablespace number from the file header
  uint16_t rfn;         // relative file number; line position until probed
  uint8_t ver;          // format byte of the block the probe accepted
  uint16_t bsize;
  uint32_t blocks;      // highest block number: of the length the source states, else the highest read whole
  uint32_t sizemb;
  uint32_t headerBlocks;  // the size the file header gives (0: none); more than blocks for a cut file
  bool usable() const { return source != nullptr; }
};

struct FileNode {
  uint16_t rfn;
  uint32_t ts;
  uint16_t slot;
  uint32_t next;  // index of the next node in the bucket chain, or kNoNode
};

struct DataFileRegistry {
  DataFileRegistry();
  ~DataFileRegistry();
  DataFileRegistry(const DataFileRegistry&) = delete;
  DataFileRegistry& operator=(const DataFileRegistry&) = delete;

  uint32_t count = 0;
  uint32_t memo = kNoNode;  // the node found by the last lookup
  uint32_t buckets[kRegistryBuckets];
  FileNode nodes[kMaxDataFiles];  // node i belongs to slot i
  DataFile slots[kMaxDataFiles];

  // Closes every source, forgets every slot and node.
  void clear();
  // Slot holding rfn (later slots win), or -1. Remembers the node found.
  int lookup(uint32_t rfn);
  // The same without the memo: safe beside other threads' finds.
  int find(uint32_t rfn) const;
  // Frees every node, then hashes every slot by its (probed) rfn.
  void rebuildHash();
};

// The first stretch of blocks [first, end) at or after block that f's
// source holds bytes of (ByteSource::nextHeld): blocks block to first - 1
// lie in a hole. For a source without holes [block, kNoBlockHeld); first is
// kNoBlockHeld when the source holds none from block on. Walks over a file
// go from one held stretch to the next with it, never through a hole.
inline constexpr uint64_t kNoBlockHeld = UINT64_MAX;
struct HeldBlocks {
  uint64_t first = 0;
  uint64_t end = kNoBlockHeld;
};
HeldBlocks nextHeldBlocks(const DataFile& f, uint64_t block, uint32_t blockSize);

// Appends a slot for path (cut to kDataFilePathMax), not yet open; false
// when the registry is full.
bool addSlot(DataFileRegistry& reg, std::string_view path, uint32_t headerSize);
// Parses one configuration line into the next slot; false when the line is
// ignored (blank or comment) or the registry is full.
bool parseConfigLine(DataFileRegistry& reg, const char* line);
// Opens every slot through storage, the storages of the run: it tells
// what each path names.
void openSlots(DataFileRegistry& reg, Storage& storage, Sink& out);
// True when every open slot may be read by several threads at once.
bool slotsReadInParallel(const DataFileRegistry& reg);
// Probes one slot with the current BLOCK_SIZE, BYTE_ORDER and BIGFILE.
void FileProbe(BlockContext& bc, uint32_t slot);
// Probes every slot, prints the file list and rebuilds the hash.
void listDataFiles(BlockContext& bc, Sink& out);

}  // namespace bex
