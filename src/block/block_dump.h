// The decoded dump of one block (ORADUMP) and its compact form (SCAN
// HEADER, SCAN DATA). Both print what the fields hold and never read
// outside the block: the block is bc.block, bc.blockSize bytes, read in
// bc.byteOrder; undo segment headers also use TRANS_OFFSET / TRANS_COUNT.
#pragma once
#include "block/block_view.h"
#include "base/block_context.h"
#include "base/sink.h"

namespace bex {

void blockDump(Sink& out, const BlockContext& bc);
void blockSummary(Sink& out, const BlockContext& bc);

// The parts, for callers that hold a view of their own.
void blockDump(Sink& out, const BlockView& v, uint16_t transOffset, uint16_t transCount);
void blockSummary(Sink& out, const BlockView& v, uint16_t transOffset, uint16_t transCount);
// "RDBA=0x%08x(%u/%u)," and the type line.
void dumpCommonHeader(Sink& out, const BlockView& v);
void dumpTypeLine(Sink& out, const BlockView& v);
// Type 0x06: transaction header, ITL list, then data or index part.
void dumpTransData(Sink& out, const BlockView& v);

}  // namespace bex
