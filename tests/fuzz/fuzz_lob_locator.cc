// Arbitrary bytes as a LOB column value: the locator parser and the walk of
// a chunk list read only inside the value whatever it holds, an inline value
// lies inside the locator, and the walk ends after at most the entries the
// locator announces and the value has room for.
#include <cstdint>
#include <cstdlib>

#include "lob/lob_locator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0xFFFF) return 0;  // a column value's length is 16 bits
  const bex::LobLocator loc = bex::parseLobLocator(data, size);
  char id[bex::kLobIdTextSize + 1];
  loc.lobIdText(id);
  if (!loc.valid) return 0;
  if (loc.isInline() && (loc.dataoff > size || loc.lastlen > size - loc.dataoff)) abort();
  if (!loc.chunkList()) return 0;
  bex::LobChunkList list(loc, data, size);
  bex::LobChunk chunk;
  uint64_t entries = 0;
  while (list.next(chunk))
    if (++entries > uint64_t{loc.entryCount} + 1 || entries * 6 > size) abort();
  return 0;
}
