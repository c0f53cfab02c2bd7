#include "lob/lob_reader.h"

#include <cstring>

#include "block/block_header.h"
#include "block/lob_block.h"
#include "datafile/block_reader.h"
#include "lob/lob_map.h"

namespace bex {

namespace {

constexpr uint32_t kMaxPageBlocks = 1024;     // blocks of one page a listing may claim
constexpr uint32_t kMaxChunkEntries = 1024;   // entries checked for repeats

}  // namespace

LobReader::LobReader(BlockContext& bc, Sink& console) : bc_(bc), console_(console) {}

BlockView LobReader::readLobBlock(uint32_t rfn, uint32_t block) {
  return BlockView{ViewBlockLob(*lobBc_, rfn, block), lobBc_->blockSize, lobBc_->byteOrder};
}

void LobReader::lost(uint64_t& errors, const char* what, uint32_t rfn, uint32_t block) {
  errors++;
  if (bc_.verbose) console_.printf("  LOB: %s at RDBA=0x%08x(%u/%u)\n", what, makeRdba(rfn, block), rfn, block);
}

void LobReader::lost(uint64_t& errors, const char* what) {
  errors++;
  if (bc_.verbose) console_.printf("  LOB: %s\n", what);
}

LobPath LobReader::read(const uint8_t* v, size_t len, LobPieceSink& sink, uint64_t& errors) {
  lostWithoutMap_ = false;
  const LobLocator loc = parseLobLocator(v, len);
  if (!loc.valid) {
    errors++;
    return LobPath::kInvalid;
  }
  if (loc.isInline()) {
    if (loc.lastlen > 0) bc_.counters->LobCount++;
    sink.inlineValue(v + loc.dataoff, loc.lastlen);
    return LobPath::kInline;
  }
  if (bc_.blockSize > bufferSize_) {
    buffer_.reset(new uint8_t[bc_.blockSize]);
    bufferSize_ = bc_.blockSize;
  }
  lobBc_.emplace(bc_, buffer_.get());
  LobPath path = loc.chunkList() ? LobPath::kChunkList : loc.offline ? LobPath::kOffline : LobPath::kMapWalk;
  if (loc.chunkList()) {
    chunkListWalk(loc, v, len, sink, errors);
  } else {
    char id[kLobIdTextSize + 1];
    loc.lobIdText(id);
    LookupLobMap(*bc_.lobMap, std::string_view(id, kLobIdTextSize));
    if (bc_.lobMap->pagecount == 0) {
      // No chunk of this LOB id was found: lost unless the locator says empty.
      if (!loc.pagesGiven || loc.pages > 0 || loc.lastlen > 0) {
        lost(errors, "no chunk in the LOB map");
        lostWithoutMap_ = !bc_.lobMap->available();
      }
      path = LobPath::kNoChunks;
    } else {
      mapWalk(loc, sink, errors);
    }
  }
  return path;
}

// The blocks of each entry in turn, payload from byte 128, until the value's
// length is reached.
void LobReader::chunkListWalk(const LobLocator& loc, const uint8_t* v, size_t len, LobPieceSink& sink,
                              uint64_t& errors) {
  const uint32_t payload = payloadLength(lobBc_->blockSize, kChunkPayloadOffset);
  int64_t remaining = static_cast<int64_t>(loc.totalLength);
  LobChunk seen[kMaxChunkEntries];
  uint32_t seenCount = 0;
  LobChunkList list(loc, v, len);
  LobChunk c;
  bool any = false;
  sink.beginBlocks();
  while (remaining > 0 && list.next(c)) {
    const uint32_t rfn = rdbaFile(c.rdba), first = rdbaBlock(c.rdba);
    if (lookupFile(*lobBc_, lobBc_->bigfile ? 0 : rfn) < 0) {
      console_.printf("  LOB chunk list points outside the open files: RDBA=0x%08x\n", c.rdba);
      lost(errors, "chunk list cut", rfn, first);
      remaining = 0;
      break;
    }
    for (uint32_t i = 0; i < seenCount; i++) {
      if (seen[i].rdba <= c.rdba ? c.rdba - seen[i].rdba < seen[i].blocks : seen[i].rdba - c.rdba < c.blocks) {
        console_.printf("  LOB chunk list names a block run twice: RDBA=0x%08x\n", c.rdba);
        lost(errors, "chunk list cut", rfn, first);
        remaining = 0;
        break;
      }
    }
    if (remaining <= 0) break;
    if (seenCount < kMaxChunkEntries) seen[seenCount++] = c;
    for (uint32_t j = 0; j < c.blocks && remaining > 0; j++) {
      const int64_t share = remaining < payload ? remaining : payload;
      if (const BlockView block = readLobBlock(rfn, first + j); block.data) {
        sink.blockPiece(block.data + kChunkPayloadOffset, static_cast<size_t>(share), blockRdba(block));
        any = true;
      } else {
        lost(errors, "LOB block not read", rfn, first + j);
      }
      remaining -= payload;
    }
  }
  if (remaining > 0) lost(errors, "chunk list ends before the value's length");
  if (any && loc.totalLength > 0) bc_.counters->LobCount++;
  sink.endBlocks();
}

// Pages in page order, blocks of each page in block order; full payloads
// until the last block the locator counts, which holds lastlen bytes.
// Every LOB kind advances over an absent page alike, so the last block keeps
// its place. Pages at or past the blocks the locator counts are stale (left
// behind when the value shrank) and passed over.
void LobReader::mapWalk(const LobLocator& loc, LobPieceSink& sink, uint64_t& errors) {
  const uint32_t payload = payloadLength(lobBc_->blockSize, kLobPayloadOffset);
  const LobMap& m = *bc_.lobMap;
  const uint32_t maxBlocks = kMaxPageBlocks;
  const bool full = loc.offline || !loc.pagesGiven;
  const uint64_t blocks = uint64_t{loc.pages} + (loc.lastlen > 0 ? 1 : 0);
  uint64_t k = 0;
  bool any = false;
  sink.beginBlocks();
  for (uint32_t p = 0; p < m.pagecount && (full || k < blocks); p++) {
    const LobPage& page = m.pages[p];
    if (page.absent()) {
      errors++;
      if (bc_.verbose) console_.printf("  LOB: LOB page %u absent\n", p);
      k++;
      continue;
    }
    const uint32_t count = page.count < maxBlocks ? page.count : maxBlocks;
    if (page.count > maxBlocks) lost(errors, "LOB page run cut to 1024 blocks", page.file, page.block);
    for (uint32_t j = 0; j < count && (full || k < blocks); j++, k++) {
      const BlockView block = readLobBlock(page.file, page.block + j);
      if (!block.data || !isLobBlock(blockType(block))) {
        lost(errors, "LOB block not read", page.file, page.block + j);
        continue;
      }
      uint32_t n = full || k < loc.pages ? payload : (loc.lastlen < payload ? loc.lastlen : payload);
      sink.blockPiece(block.data + kLobPayloadOffset, n, blockRdba(block));
      any = true;
    }
  }
  // Pages lost at the end leave no gap to count: the walk is short.
  if (!full && k < blocks) {
    console_.printf("  LOB value shorter than its locator says: %llu of %llu blocks\n",
                    static_cast<unsigned long long>(k), static_cast<unsigned long long>(blocks));
    lost(errors, "LOB walk short");
  }
  if (any) bc_.counters->LobCount++;
  sink.endBlocks();
}

}  // namespace bex
