// The block walkers: the rows of one table block (or the entries of one
// index leaf block) in the block buffer, with their filters, row pieces and
// chains, handed to a RowWriter.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "block/column_list.h"
#include "block/data_block.h"
#include "datafile/slot_reader.h"
#include "base/block_context.h"
#include "base/sink.h"
#include "unload/damage.h"
#include "unload/row_writer.h"

namespace bex {

struct RowFilters {
  bool deletedRow = false;    // DELETED_ROW: deleted rows are written too
  bool commitedOnly = false;  // COMMITED_ONLY: rows of open transactions are not
  bool deletedOnly = false;   // only the rows marked deleted (the dropped-row pass)
};

// A stretch of blocks of one registry slot, walked in one sequential pass:
// a run of an extent or of the extent listing, or a part of a whole-file
// scan. The unit a parallel walk hands to its workers.
struct WalkChunk {
  uint32_t slot = 0, rfn = 0;
  uint32_t first = 0, last = 0;  // block numbers, both walked
  uint32_t objd = 0, clusterTable = 0;
  bool scan = false;        // a whole-file scan: table blocks only
  bool checkFirst = false;  // a run whose blocks failing the block check are passed over quietly
};

// Where the chunks of a parallel walk go: they are walked by worker
// threads and their output committed in the order they were submitted.
class ChunkQueue {
 public:
  virtual ~ChunkQueue() = default;
  virtual void submit(const WalkChunk& c) = 0;
  // Commits every chunk submitted so far (before the walk writes anything
  // itself).
  virtual void drain() = 0;
};

// What the walkers tell the recovery report about one block: rejected by
// the block check, on the SKIP list, or a row whose chain was cut.
struct ReportEvent {
  enum Kind : uint8_t { kRejected, kSkipped, kChainCut } kind;
  uint32_t file, block;
  uint64_t rows;  // rows the block held
};
struct ReportEntry;
void applyReportEvent(ReportEntry& e, const ReportEvent& ev);

// What the walkers of one command share.
struct RowWalk {
  RowWalk(BlockContext& bc, Sink& console, RowWriter& writer, RowFilters filters, uint64_t chainBound);

  BlockContext& bc;  // the walked block is bc.block; counters, settings
  Sink& console;
  RowWriter& writer;
  RowFilters filters;
  uint64_t chainBound;  // most blocks one chain may visit
  std::unique_ptr<uint8_t[]> cursorBlock;  // the BlockCursor's buffer for chained pieces
  ColumnList cols;
  DamageCounts damage;  // what the walk passed over as damaged
  // Set while the blocks are walked by worker threads.
  ChunkQueue* parallel = nullptr;
  // Blocks of one range of a header search by several threads (0: 4 MiB of
  // them).
  uint32_t headerRangeBlocks = 0;
  // A worker's walk: report events kept here for the commit, not applied.
  std::vector<ReportEvent>* reportLog = nullptr;

  // The sequential reader of extents and whole files (made when first used).
  SlotReader& slotReader() {
    if (!reader) reader = std::make_unique<SlotReader>(bc);
    return *reader;
  }

 private:
  std::unique_ptr<SlotReader> reader;
};

// Rows of table clusterTable a block holds by its own row directory that
// the walk's filters would take: entries leading to a row head (the
// entries of an index leaf block). For the recovery report's count of what
// skipped and rejected blocks held.
uint64_t rowsHeld(const RowWalk& w, const BlockView& v, uint32_t clusterTable);

// Tells the recovery report (or the worker's log); reporting() says whether
// anyone listens.
bool reporting(const RowWalk& w);
void noteReport(RowWalk& w, const ReportEvent& ev);

// Counts one structural rejection at rdba (detail: the slot, or an
// extent's length); with VERBOSE its line goes to the console.
void noteDamage(RowWalk& w, Damage kind, uint32_t rdba, uint32_t detail);

// BlockCursor: a private copy of the block context reading into a buffer of
// its own, so that following a chain leaves the walked block alone; what it
// counts goes to the walk's counters.
struct BlockCursor {
  BlockCursor(const BlockContext& from, uint8_t* buffer) : bc(from, buffer) {}
  BlockContext bc;
};

// Rows of table clusterTable (table 1 of a compressed block) of the table
// block in w.bc.block.
void unloadTableBlock(RowWalk& w, uint32_t clusterTable);
// Index-organised rows of the index leaf block in w.bc.block.
void unloadIndexBlock(RowWalk& w);

struct PieceResult {
  uint32_t reached;  // column position after the piece's last column
  RowAddress next;   // next piece, empty at the end of the row
  bool last;         // the piece ended the row
};

// Writes one row piece of block v (data header h) from column position
// start; a compressed block's rows are read through its symbol table.
PieceResult writeRowPiece(RowWalk& w, const BlockView& v, const DataHeader& h, uint32_t table, uint32_t slot,
                          uint32_t start);

}  // namespace bex
