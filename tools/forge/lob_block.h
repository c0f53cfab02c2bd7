// LOB data blocks (type 0x1B for BLOB chunks, 0x28 for CLOB chunks): one
// block of one page of one LOB value.
//
//   20 objd  24 LOB id (10 bytes, as stored)  40 version  44 page
//   56 .. size - 4  payload
//
// objd, version and page are in the file's byte order. A page written
// again by a later change keeps its page number and gets a higher version;
// a page longer than one block is held by consecutive blocks that all carry
// the same page number and version.
//
// Chunk blocks, the blocks a chunk-list locator names by address, carry
// their payload from byte 128 to the tail; the reader does not look at
// their type or at bytes 20 to 127, which the forge leaves zero. Their
// type byte is 0x00 unless given, so that a database scan takes them for
// neither table nor LOB blocks.
#pragma once
#include <array>
#include <cstdint>

#include "forge/block_header.h"
#include "forge/expect.h"

namespace bex::forge {

inline constexpr uint8_t kLobBlob = 0x1b, kLobClob = 0x28;
inline constexpr uint32_t kLobObjdOffset = 20, kLobIdOffset = 24, kLobIdSize = 10;
inline constexpr uint32_t kLobVersionOffset = 40, kLobPageOffset = 44, kLobPayloadOffset = 56;
inline constexpr uint32_t kLobChunkPayloadOffset = 128;

// Payload bytes of one LOB block and of one chunk block.
inline uint32_t lobPayloadSize(uint32_t blockSize) { return blockSize - kLobPayloadOffset - kBlockTailSize; }
inline uint32_t lobChunkPayloadSize(uint32_t blockSize) { return blockSize - kLobChunkPayloadOffset - kBlockTailSize; }

using LobId = std::array<uint8_t, kLobIdSize>;

// A LOB id whose first four bytes are 0x00000001 and whose last six hold n
// (most significant byte first), the shape Oracle's ids have.
LobId lobIdOf(uint64_t n);
// The id as the scan listings print it: 20 upper-case hexadecimal digits.
std::string lobIdText(const LobId& id);

struct LobBlockSpec {
  BlockHeader hdr;  // type 0x1B (BLOB, the default) or 0x28 (CLOB)
  uint32_t objd = 0;
  LobId lobId{};
  uint32_t version = 0;
  uint32_t page = 0;
  Bytes payload;  // cut to the block; the rest of the payload area is zero
};

// Adds the fact "lob R/B objd=N lobid=HEX page=N version=N".
ForgeBlock buildLobBlock(const LobBlockSpec& s, uint32_t blockSize, ByteOrder order, Facts& facts);

struct LobChunkSpec {
  BlockHeader hdr;  // type 0x00 unless set
  Bytes payload;    // cut to the block
};

// Adds the fact "chunk R/B bytes=N" (payload bytes written).
ForgeBlock buildLobChunkBlock(const LobChunkSpec& s, uint32_t blockSize, ByteOrder order, Facts& facts);

}  // namespace bex::forge
