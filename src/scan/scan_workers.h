// SCAN DATABASE with THREADS above 1: the files are cut into stretches of
// blocks that the workers scan, each through a reader of its own, into
// segments and block notes of the stretch; the calling thread replays the
// stretches in file and block order into the listings, the block map and
// the report, so they come out as a walk by one thread writes them.
#pragma once
#include <cstdint>

#include "base/block_context.h"
#include "base/sink.h"

namespace bex {

// Scans every slot with bc.threads workers; returns the blocks failing the
// checksum.
uint64_t scanWithWorkers(BlockContext& bc, Sink& lobListing, Sink& extentListing);

}  // namespace bex
