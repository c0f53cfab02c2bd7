#include "unload/row_walk.h"

#include "block/block_header.h"
#include "block/index_block.h"
#include "block/row_piece.h"
#include "datafile/block_reader.h"
#include "base/recovery_report.h"
#include "base/limits.h"
#include "unload/chain_guard.h"

namespace bex {

namespace {

constexpr uint16_t kItlCommitted = kItlFlagC | kItlFlagU;
constexpr uint8_t kIndexEntryDeleted = 0x01;

BlockView viewOf(const BlockContext& bc, const uint8_t* block) { return BlockView{block, bc.blockSize, bc.byteOrder}; }

// COMMITED_ONLY: a row locked by an ITL entry counts when that entry's flag
// word says committed (C) or upper bound committed (U).
bool committed(const BlockView& v, uint8_t lock) {
  if (lock == 0) return true;
  uint16_t flags = itlFlagLock(v, lock - 1u);
  return (flags & kItlCommitted) != 0;
}

bool rowWanted(const RowWalk& w, const BlockView& v, uint8_t flagDeleted, uint8_t lock) {
  if (w.filters.commitedOnly && !committed(v, lock)) return false;
  if (w.filters.deletedOnly) return flagDeleted != 0;
  return !flagDeleted || w.filters.deletedRow;
}

// Where a row-directory entry o points when the walk can take the piece
// there, else why not.
enum class Entry { kPiece, kFree, kPastData, kInFreeSpace };

// Free: 0xFFFF, or below nrow (a link of the free list). Damaged: past the
// block, or into the directories or the free space.
Entry classifyEntry(const BlockView& v, const DataHeader& h, uint16_t o) {
  if (o == kFreeDirEntry || o < h.nrow) return Entry::kFree;
  if (h.hdsz >= v.size || o >= v.size - h.hdsz) return Entry::kPastData;
  if (o < h.fseo) return Entry::kInFreeSpace;
  return Entry::kPiece;
}

// The block offset of the piece of row slot of the table, or 0 when the
// walk does not take it; damaged entries (and entries past the block) are
// counted.
uint32_t usablePiece(RowWalk& w, const BlockView& v, const DataHeader& h, const TableRows& rows, uint32_t rdba,
                     uint32_t slot) {
  if (slot >= rows.inBlock) {
    noteDamage(w, Damage::kEntryPastData, rdba, slot);
    return 0;
  }
  const uint16_t o = tableRowEntry(v, rows, slot);
  switch (classifyEntry(v, h, o)) {
    case Entry::kPiece: return h.hdsz + o;
    case Entry::kFree: return 0;
    case Entry::kPastData: noteDamage(w, Damage::kEntryPastData, rdba, slot); return 0;
    case Entry::kInFreeSpace: noteDamage(w, Damage::kEntryInFreeSpace, rdba, slot); return 0;
  }
  return 0;
}

// A chained piece must be a row of the walked table in its block.
bool holdsRow(const BlockView& v, const DataHeader& h, uint32_t table, uint32_t slot) {
  return classifyEntry(v, h, rowDirEntry(v, h, table, slot)) == Entry::kPiece;
}

}  // namespace

uint64_t rowsHeld(const RowWalk& w, const BlockView& v, uint32_t clusterTable) {
  if (blockType(v) != BlockType::kTransData) return 0;
  uint64_t rows = 0;
  if (txnTyp(v) == kTypIndex) {
    const IndexHeader ih = readIndexHeader(v);
    if (!ih.leaf()) return 0;
    for (uint32_t e = 0; e < ih.kdxconro; e++) {
      const uint32_t p = ih.hdsz + indexRowDirEntry(v, ih, e);
      if (p + 1 < v.size && rowWanted(w, v, v.u8(p) & kIndexEntryDeleted, v.u8(p + 1))) rows++;
    }
    return rows;
  }
  const DataHeader h = readDataHeader(v);
  const uint32_t table = (h.flag & kDataFlagCompressed) ? 1 : clusterTable;
  if (table >= h.ntab) return 0;
  const uint32_t n = tableRowCount(v, h, table);
  for (uint32_t slot = 0; slot < n; slot++) {
    const uint16_t o = rowDirEntry(v, h, table, slot);
    if (classifyEntry(v, h, o) != Entry::kPiece) continue;
    const uint32_t p = h.hdsz + o;
    if ((v.u8(p) & kRowH) && rowWanted(w, v, v.u8(p) & kRowD, v.u8(p + 1))) rows++;
  }
  return rows;
}

namespace {

// A block the walk passes over, and the rows it holds, into the report.
void notePassedOver(RowWalk& w, ReportEvent::Kind kind, uint32_t rdba, uint32_t clusterTable) {
  if (!reporting(w)) return;
  const uint64_t rows = rowsHeld(w, viewOf(w.bc, w.bc.block), clusterTable);
  if (w.bc.bigfile)
    noteReport(w, ReportEvent{kind, 0, rdba, rows});
  else
    noteReport(w, ReportEvent{kind, rdbaFile(rdba), rdbaBlock(rdba), rows});
}

// The block check and the SKIP list, with their messages; what they pass
// over goes into the recovery report.
bool blockAccepted(RowWalk& w, uint32_t rdba, uint32_t clusterTable) {
  if (IsBadBlock(w.bc)) {
    w.console.printf("Block check failured at RDBA=0x%08x=%u\n", rdba, rdba);
    notePassedOver(w, ReportEvent::kRejected, rdba, clusterTable);
    return false;
  }
  if (isSkippedBlock(w.bc)) {
    w.console.printf("Block skipped at RDBA=0x%08x=%u\n", rdba, rdba);
    notePassedOver(w, ReportEvent::kSkipped, rdba, clusterTable);
    return false;
  }
  return true;
}

// A row whose chain ended before the row did.
void noteChainCut(RowWalk& w) { noteReport(w, ReportEvent{ReportEvent::kChainCut, 0, 0, 0}); }

void parsePieceOf(const BlockView& v, const DataHeader& h, uint32_t table, uint32_t slot, ColumnList& cols) {
  cols.clear();
  if (h.flag & kDataFlagCompressed)
    parseCompressedRow(v, h, table, slot, cols);
  else
    parseRowPiece(v, h, table, slot, cols);
}

uint32_t rowTable(const DataHeader& h, uint32_t clusterTable) {
  return (h.flag & kDataFlagCompressed) ? 1 : clusterTable;
}

// Reads the block of a chained piece into the cursor; false when it cannot
// be read whole.
bool readChained(BlockCursor& cur, RowAddress at) {
  return ReadBlockDirect(cur.bc, rdbaFile(at.rdba), rdbaBlock(at.rdba)) == cur.bc.blockSize;
}

// The guards every chain passes before each hop; false ends the row.
bool chainMayGoOn(RowWalk& w, ChainGuard& guard, RowAddress next, uint64_t hops, uint32_t walkedRdba) {
  if (guard.loops(next)) {
    w.console.printf("Chained row loops back on itself, RDBA=%u ...\n", walkedRdba);
    return false;
  }
  if (guard.tooLong(hops)) {
    w.console.printf("Chained row longer than %llu blocks, RDBA=%u ...\n",
                     static_cast<unsigned long long>(w.chainBound), walkedRdba);
    return false;
  }
  return true;
}

}  // namespace

bool reporting(const RowWalk& w) { return w.reportLog || w.bc.report; }

void noteReport(RowWalk& w, const ReportEvent& ev) {
  if (w.reportLog)
    w.reportLog->push_back(ev);
  else if (w.bc.report)
    applyReportEvent(*w.bc.report, ev);
}

void applyReportEvent(ReportEntry& e, const ReportEvent& ev) {
  switch (ev.kind) {
    case ReportEvent::kRejected:
      e.rejected.add(ev.file, ev.block);
      e.rowsRejected += ev.rows;
      break;
    case ReportEvent::kSkipped:
      e.skipped.add(ev.file, ev.block);
      e.rowsSkipped += ev.rows;
      break;
    case ReportEvent::kChainCut: e.chainsCut++; break;
  }
}

void noteDamage(RowWalk& w, Damage kind, uint32_t rdba, uint32_t detail) {
  w.damage.note(kind, rdba);
  if (w.bc.verbose >= 1) printDamage(w.console, kind, rdba, detail);
}

RowWalk::RowWalk(BlockContext& context, Sink& out, RowWriter& rowWriter, RowFilters rowFilters, uint64_t bound)
    : bc(context),
      console(out),
      writer(rowWriter),
      filters(rowFilters),
      chainBound(bound ? bound : 1),
      cursorBlock(new uint8_t[context.blockSize]()) {}

namespace {

// Hands the piece parsed into w.cols to the writer.
PieceResult handPiece(RowWalk& w, const BlockView& v, uint32_t rdba, uint32_t table, uint32_t slot, uint32_t start) {
  const ColumnList& cols = w.cols;
  const bool continues = (cols.flag & kRowP) && start != 0;
  PieceRef ref;
  ref.v = &v;
  ref.cols = &cols;
  ref.start = continues ? start - 1 : start;
  ref.continues = continues;
  ref.last = (cols.flag & kRowL) != 0;
  ref.lastContinues = (cols.flag & kRowN) != 0;
  ref.rdba = rdba;
  ref.table = table;
  ref.slot = slot;
  w.writer.piece(ref);
  return PieceResult{ref.start + cols.count, cols.next, ref.last};
}

// The piece at block offset p heading row slot of the walked block (rdba).
PieceResult writeHeadPiece(RowWalk& w, const BlockView& v, const DataHeader& h, uint32_t rdba, uint32_t table,
                           uint32_t slot, uint32_t p) {
  if (h.flag & kDataFlagCompressed) return writeRowPiece(w, v, h, table, slot, 0);
  w.cols.clear();
  parseRowPieceAt(v, h, p, w.cols);
  return handPiece(w, v, rdba, table, slot, 0);
}

}  // namespace

PieceResult writeRowPiece(RowWalk& w, const BlockView& v, const DataHeader& h, uint32_t table, uint32_t slot,
                          uint32_t start) {
  parsePieceOf(v, h, table, slot, w.cols);
  return handPiece(w, v, blockRdba(v), table, slot, start);
}

namespace {

// The two kinds of chain differ only in their tests: a table row's chain
// counts its hops against MAXCHAINS, ends quietly at a bad block and takes
// pieces only from blocks of the walked object; the overflow pieces of an
// index-organised row have neither limit nor object test, but a bad block
// ends the row with its message.
struct ChainRules {
  enum Kind : uint8_t { kRowChain, kOverflow } kind;
  uint32_t clusterTable;
  uint32_t objd;  // kRowChain: the object of the walked block
};

bool hopAllowed(RowWalk& w, ChainGuard& guard, RowAddress next, uint64_t hops, uint32_t walkedRdba,
                const ChainRules& rules) {
  if (rules.kind == ChainRules::kRowChain && w.bc.maxChains != kNoChainLimit && hops > w.bc.maxChains) {
    w.console.printf("Max chained block reached, RDBA=%u ...\n", walkedRdba);
    return false;
  }
  return chainMayGoOn(w, guard, next, hops, walkedRdba);
}

// The chained block just read may give the next piece.
bool chainedBlockTaken(RowWalk& w, BlockCursor& cur, RowAddress next, const ChainRules& rules) {
  const BlockView cv = viewOf(cur.bc, cur.bc.block);
  const uint32_t rdba = blockRdba(cv);
  if (w.bc.verbose >= 1) w.console.printf("Recover rows from chained block RDBA=%u ...\n", rdba);
  if (IsBadBlock(cur.bc)) {
    if (rules.kind == ChainRules::kOverflow) w.console.printf("Block check failured at RDBA=0x%08x=%u\n", rdba, rdba);
    return false;
  }
  if (rules.kind == ChainRules::kRowChain && dataObjectNumber(cv) != rules.objd) {
    noteDamage(w, Damage::kForeignChain, next.rdba, next.slot);
    return false;
  }
  return true;
}

// Writes the rest of a row from the piece at next on; walkedRdba is the
// block holding the row's head.
void followChain(RowWalk& w, uint32_t walkedRdba, RowAddress next, uint32_t reached, const ChainRules& rules) {
  BlockCursor cur(w.bc, w.cursorBlock.get());
  ChainGuard guard(w.chainBound);
  const BlockView cv = viewOf(cur.bc, cur.bc.block);
  for (uint64_t hops = 1;; hops++) {
    if (!readChained(cur, next) || !hopAllowed(w, guard, next, hops, walkedRdba, rules) ||
        !chainedBlockTaken(w, cur, next, rules))
      break;
    const DataHeader h = readDataHeader(cv);
    const uint32_t table = rowTable(h, rules.clusterTable);
    const bool held = holdsRow(cv, h, table, next.slot);
    if (!held) noteDamage(w, Damage::kForeignChain, next.rdba, next.slot);
    PieceResult r = writeRowPiece(w, cv, h, table, next.slot, reached);
    if (held && w.cols.cut) noteDamage(w, Damage::kPieceOutside, next.rdba, next.slot);
    reached = r.reached;
    if (r.next.empty()) {
      if (!r.last) w.writer.endRowEarly(reached);
      return;
    }
    next = r.next;
  }
  noteChainCut(w);
  w.writer.endRowEarly(reached);
}

}  // namespace

void unloadTableBlock(RowWalk& w, uint32_t clusterTable) {
  BlockContext& bc = w.bc;
  const BlockView v = viewOf(bc, bc.block);
  const uint32_t rdba = blockRdba(v);
  if (bc.verbose >= 1) w.console.printf("Recover rows from RDBA=%u ...\n", rdba);
  if (!blockAccepted(w, rdba, clusterTable) || blockType(v) != BlockType::kTransData) return;
  const DataHeader h = readDataHeader(v);
  if (h.ntab == 0 || clusterTable >= h.ntab) return;
  const uint32_t table = rowTable(h, clusterTable);
  const TableRows rows = tableRows(v, h, table);
  for (uint32_t slot = 0; slot < rows.count && bc.counters->RowCount < bc.rowLimit; slot++) {
    const uint32_t p = usablePiece(w, v, h, rows, rdba, slot);
    if (p == 0) continue;
    const uint8_t flag = v.u8(p);
    if (!(flag & kRowH) || !rowWanted(w, v, flag & kRowD, v.u8(p + 1))) continue;
    w.writer.rowAddress(rdba, table, slot);
    PieceResult r{0, {}, false};
    if (flag & kRowF) {
      r = writeHeadPiece(w, v, h, rdba, table, slot, p);
      if (w.cols.cut) noteDamage(w, Damage::kPieceOutside, rdba, slot);
    } else if (!(flag & kRowL)) {
      const uint32_t at = p + ((flag & kRowC) ? 4 : 3);
      if (!v.has(at, kRowAddressSize)) noteDamage(w, Damage::kPieceOutside, rdba, slot);
      r.next = readRowAddress(v, at);
    }
    bc.counters->RowCount++;
    if (!r.next.empty())
      followChain(w, rdba, r.next, r.reached, ChainRules{ChainRules::kRowChain, clusterTable, dataObjectNumber(v)});
    else if (!r.last)
      w.writer.endRowEarly(r.reached);  // a damaged row still ends its record
  }
}

void unloadIndexBlock(RowWalk& w) {
  BlockContext& bc = w.bc;
  const BlockView v = viewOf(bc, bc.block);
  const IndexHeader ih = readIndexHeader(v);
  if (!ih.leaf()) return;
  const uint32_t rdba = blockRdba(v);
  if (bc.verbose >= 1) w.console.printf("Recover rows from RDBA=%u ...\n", rdba);
  if (!blockAccepted(w, rdba, 0)) return;
  for (uint32_t e = 0; e < ih.kdxconro && bc.counters->RowCount < bc.rowLimit; e++) {
    const uint16_t off = indexRowDirEntry(v, ih, e);
    const uint32_t p = ih.hdsz + off;
    // An entry lying past the block is damage, as in a table block; only
    // one that reads 0xFFFF is free.
    if (off == kFreeDirEntry && v.has(ih.rowDir() + 2 * e, 2)) continue;
    if (off == kFreeDirEntry || p + 1 >= v.size) {
      noteDamage(w, Damage::kEntryPastData, rdba, e);
      continue;
    }
    if (!rowWanted(w, v, v.u8(p) & kIndexEntryDeleted, v.u8(p + 1))) continue;
    w.writer.rowAddress(rdba, 0, e);
    ColumnList& cols = w.cols;
    cols.clear();
    parseIndexEntry(v, e, cols);
    if (cols.cut) noteDamage(w, Damage::kPieceOutside, rdba, e);
    bc.counters->RowCount++;
    const RowAddress overflow = cols.next;
    PieceRef ref;
    ref.v = &v;
    ref.cols = &cols;
    ref.start = 0;
    ref.continues = false;
    ref.last = overflow.empty();
    ref.lastContinues = !overflow.empty() && (cols.flag & kRowN);
    ref.rdba = rdba;
    ref.table = 0;
    ref.slot = e;
    const uint32_t reached = cols.count;
    w.writer.piece(ref);
    if (!overflow.empty()) followChain(w, rdba, overflow, reached, ChainRules{ChainRules::kOverflow, 0, 0});
  }
}

}  // namespace bex
