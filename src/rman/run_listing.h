// The RMAN listing (BEXRMAN.TXT): one line per run of data-file blocks found
// in a backup piece, "file,first block,piece slot,position,count,\r\n", the
// position counted in blocks from the piece's start.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "base/sink.h"

namespace bex {

inline constexpr const char* kRmanListing = "BEXRMAN.TXT";
inline constexpr size_t kRunLineMax = 1023;  // characters of one listing line read

struct PieceRun {
  uint32_t file = 0;      // relative file number of the blocks (0 with BIGFILE)
  uint32_t first = 0;     // block number of the run's first block
  uint32_t slot = 0;      // registry slot of the piece
  uint32_t position = 0;  // of the first block, in blocks from the piece's start
  uint32_t count = 0;
};

void writeRunLine(Sink& out, const PieceRun& r);
// Five decimal fields, each followed by a comma, then nothing but white
// space. False for anything else, a count of 0 or a run past block 2^32.
bool parseRunLine(const char* line, PieceRun& r);

// Whole blocks piece slot holds after position 0, or -1 when the slot is
// not open.
using PieceBlocks = std::function<int64_t(uint32_t slot)>;

// The lines of one file (all files when file is negative), by file number,
// in listing order. A malformed line, or one that names a slot that is not
// open, is skipped with a message on out; a run reaching past the end of
// its piece is cut there, and the blocks cut off are added to cutBlocks.
// False when the listing cannot be opened.
bool readRunListing(const char* path, int64_t file, const PieceBlocks& pieceBlocks, Sink& out,
                    std::map<uint32_t, std::vector<PieceRun>>& runs, uint64_t& cutBlocks);

}  // namespace bex
