#include "sql/sql_table.h"

#include <algorithm>
#include <cstring>

#include "base/extent_listing.h"
#include "base/rdba.h"
#include "sql/sql_rows.h"
#include "sql/sql_values.h"
#include "unload/block_walk.h"

namespace bex {

namespace {

constexpr uint32_t kHiddenColumns = 3;  // BEX_FILE, BEX_BLOCK, BEX_SLOT
constexpr uint32_t kLongestStretch = 1024;  // blocks walked at once, reached by doubling from one

void quoteName(std::string& out, const char* name) {
  out += '"';
  for (const char* p = name; *p; p++) {
    if (*p == '"') out += '"';
    out += *p;
  }
  out += '"';
}

}  // namespace

std::string sqlTableDeclaration(const SqlTableSource& s) {
  std::string text = "CREATE TABLE x(";
  for (uint32_t pos : s.positions) {
    quoteName(text, s.columns.desc[pos].name);
    text += ' ';
    text += sqlDeclaredType(s.columns.column[pos].type);
    text += ", ";
  }
  text += "BEX_FILE INTEGER HIDDEN, BEX_BLOCK INTEGER HIDDEN, BEX_SLOT INTEGER HIDDEN)";
  return text;
}

namespace {

// One pass of a cursor over the table's blocks.
class TableWalk {
 public:
  TableWalk(SqlTables& tables, const SqlTableSource& src, bool keepValues)
      : tables_(tables),
        src_(src),
        buffer_(new uint8_t[std::max<uint32_t>(tables.env().bc.blockSize, 1)]),
        bc(tables.env().bc, buffer_.get()),
        rows(keepValues),
        walk_(bc, messages_, rows, tables.env().filters, openBlockCount(bc)) {
    bc.report = nullptr;
    bc.progress = nullptr;
    bc.rowLimit = kNoRowLimit;
    bc.conversions = &tables.env().conversions.lobs;
    walk_.reportLog = &events_;
    if (bc.blockSize) findBlocks();
  }
  ~TableWalk() { leaveNotes(); }
  TableWalk(const TableWalk&) = delete;
  TableWalk& operator=(const TableWalk&) = delete;

  // Walks on until a row is at hand; false at the end of the blocks.
  bool fill();
  bool next() {
    at++;
    return fill();
  }

 private:
  SqlTables& tables_;
  const SqlTableSource& src_;
  std::unique_ptr<uint8_t[]> buffer_;

 public:
  BlockContext bc;
  SqlRowWriter rows;
  size_t at = 0;
  StringSink scratch;

 private:
  void findBlocks();
  void leaveNotes();

  StringSink messages_;
  std::vector<ReportEvent> events_;
  ChunkList chunks_;
  size_t chunkAt_ = 0;
  bool inChunk_ = false;
  uint32_t nextBlock_ = 0;
  uint32_t stretch_ = 1;
  RowWalk walk_;
};

// The segment's blocks as UNLOAD TABLE finds them, gathered as chunks.
void TableWalk::findBlocks() {
  walk_.parallel = &chunks_;
  ExtentIndex listing;
  const bool listed = listing.refresh(tables_.env().extentListing);
  for (const SqlSegment& s : src_.segments) {
    if (listed) {
      walkExtentListing(walk_, listing.of(s.objd), s.objd, s.cluster);
    } else if (s.headerFile != 0) {
      if (findSegmentHeader(walk_, s.objd, s.headerFile, s.headerBlock))
        walkExtentMap(walk_, s.objd, s.cluster);
      else
        scanObjectBlocks(walk_, s.objd, s.cluster, 0, 0);
    }
  }
  walk_.parallel = nullptr;
}

bool TableWalk::fill() {
  while (at >= rows.rows()) {
    if (chunkAt_ >= chunks_.chunks.size()) return false;
    rows.clear();
    at = 0;
    const WalkChunk& c = chunks_.chunks[chunkAt_];
    WalkChunk part = c;
    part.first = inChunk_ ? nextBlock_ : c.first;
    part.last = c.last - part.first < stretch_ ? c.last : part.first + stretch_ - 1;
    walkChunk(walk_, part);
    inChunk_ = part.last != c.last;
    if (inChunk_)
      nextBlock_ = part.last + 1;
    else
      chunkAt_++;
    stretch_ = std::min(stretch_ * 2, kLongestStretch);
  }
  return true;
}

const char* eventKind(ReportEvent::Kind k) {
  switch (k) {
    case ReportEvent::kRejected: return "rejected";
    case ReportEvent::kSkipped: return "skipped";
    default: return "chain cut";
  }
}

void addBlock(SqlWalkNotes& notes, const SqlDamageBlock& b) {
  for (const SqlDamageBlock& have : notes.blocks)
    if (have.label == b.label && have.file == b.file && have.block == b.block && !strcmp(have.kind, b.kind)) return;
  notes.blocks.push_back(b);
}

// What the walk met, for the lines after the result and for bex_damage. A
// table walked again (the inner table of a join) keeps one note.
void TableWalk::leaveNotes() {
  SqlWalkNotes& notes = tables_.notes();
  SqlWalkNote note{src_.label, messages_.str(), walk_.damage};
  auto same = std::find_if(notes.pending.begin(), notes.pending.end(),
                           [&](const SqlWalkNote& n) { return n.label == src_.label; });
  if (same != notes.pending.end())
    *same = std::move(note);
  else
    notes.pending.push_back(std::move(note));
  for (const ReportEvent& e : events_) addBlock(notes, SqlDamageBlock{src_.label, eventKind(e.kind), e.file, e.block});
  const DamageCounts& d = walk_.damage;
  for (uint32_t i = 0; i < d.addresses; i++) {
    const uint32_t rdba = d.address[i];
    addBlock(notes, SqlDamageBlock{src_.label, "damaged", bc.bigfile ? 0 : rdbaFile(rdba),
                                   bc.bigfile ? rdba : rdbaBlock(rdba)});
  }
}

struct BexVtab : sqlite3_vtab {
  SqlTables* tables;
  const SqlTableSource* src;
};

struct BexCursor : sqlite3_vtab_cursor {
  std::unique_ptr<TableWalk> walk;
  bool eof = true;
};

int bexConnect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** err) {
  auto* tables = static_cast<SqlTables*>(aux);
  const SqlTableSource* src = argc > 3 ? tables->source(strtoul(argv[3], nullptr, 10)) : nullptr;
  if (!src) {
    *err = sqlite3_mprintf("no such BEX table");
    return SQLITE_ERROR;
  }
  const int rc = sqlite3_declare_vtab(db, sqlTableDeclaration(*src).c_str());
  if (rc != SQLITE_OK) return rc;
  auto* v = new BexVtab{};
  v->tables = tables;
  v->src = src;
  *out = v;
  return SQLITE_OK;
}

int bexDisconnect(sqlite3_vtab* v) {
  delete static_cast<BexVtab*>(v);
  return SQLITE_OK;
}

// idxNum 1: the query reads some stored column, so the walk keeps values.
int bexBestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
  const auto* v = static_cast<BexVtab*>(vtab);
  const size_t n = v->src->positions.size();
  const sqlite3_uint64 stored = n >= 63 ? ~0ull : ((1ull << n) - 1);
  info->idxNum = (info->colUsed & stored) ? 1 : 0;
  info->estimatedCost = 1e6;
  return SQLITE_OK;
}

int bexOpen(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
  *out = new BexCursor{};
  return SQLITE_OK;
}

int bexClose(sqlite3_vtab_cursor* c) {
  delete static_cast<BexCursor*>(c);
  return SQLITE_OK;
}

int bexFilter(sqlite3_vtab_cursor* cur, int idxNum, const char*, int, sqlite3_value**) {
  auto* c = static_cast<BexCursor*>(cur);
  const auto* v = static_cast<BexVtab*>(cur->pVtab);
  c->walk.reset();
  c->walk = std::make_unique<TableWalk>(*v->tables, *v->src, idxNum != 0);
  c->eof = !c->walk->fill();
  return SQLITE_OK;
}

int bexNext(sqlite3_vtab_cursor* cur) {
  auto* c = static_cast<BexCursor*>(cur);
  c->eof = !c->walk->next();
  return SQLITE_OK;
}

int bexEof(sqlite3_vtab_cursor* cur) { return static_cast<BexCursor*>(cur)->eof; }

void resultHidden(sqlite3_context* ctx, const TableWalk& w, const SqlRow& r, uint32_t which) {
  const bool big = w.bc.bigfile;
  const uint32_t value = which == 0 ? (big ? 0 : rdbaFile(r.rdba)) : which == 1 ? (big ? r.rdba : rdbaBlock(r.rdba)) : r.slot;
  sqlite3_result_int64(ctx, value);
}

int bexColumn(sqlite3_vtab_cursor* cur, sqlite3_context* ctx, int i) {
  auto* c = static_cast<BexCursor*>(cur);
  const auto* v = static_cast<BexVtab*>(cur->pVtab);
  TableWalk& w = *c->walk;
  const SqlRow& r = w.rows.row(w.at);
  const size_t n = v->src->positions.size();
  if (static_cast<size_t>(i) >= n) {
    resultHidden(ctx, w, r, static_cast<uint32_t>(i - n));
    return SQLITE_OK;
  }
  const uint32_t pos = v->src->positions[i];
  const uint8_t* bytes;
  uint32_t length;
  if (w.rows.value(w.at, pos, bytes, length))
    resultValue(ctx, v->src->columns.column[pos], bytes, length, r.rdba, w.bc, v->tables->env().conversions.text,
                w.scratch);
  return SQLITE_OK;
}

int bexRowid(sqlite3_vtab_cursor* cur, sqlite3_int64* out) {
  const TableWalk& w = *static_cast<BexCursor*>(cur)->walk;
  const SqlRow& r = w.rows.row(w.at);
  *out = static_cast<sqlite3_int64>((static_cast<uint64_t>(r.rdba) << 24) | (r.table & 0xFF) << 16 | (r.slot & 0xFFFF));
  return SQLITE_OK;
}

sqlite3_module makeBexModule() {
  sqlite3_module m{};
  m.xCreate = bexConnect;
  m.xConnect = bexConnect;
  m.xBestIndex = bexBestIndex;
  m.xDisconnect = bexDisconnect;
  m.xDestroy = bexDisconnect;
  m.xOpen = bexOpen;
  m.xClose = bexClose;
  m.xFilter = bexFilter;
  m.xNext = bexNext;
  m.xEof = bexEof;
  m.xColumn = bexColumn;
  m.xRowid = bexRowid;
  return m;
}

// bex_damage: the damaged blocks the walks of the session met.
struct DamageVtab : sqlite3_vtab {
  SqlWalkNotes* notes;
};
struct DamageCursor : sqlite3_vtab_cursor {
  size_t at = 0;
};

int damageConnect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char**) {
  const int rc = sqlite3_declare_vtab(db, "CREATE TABLE x(TABLE_NAME TEXT, KIND TEXT, FILE INTEGER, BLOCK INTEGER)");
  if (rc != SQLITE_OK) return rc;
  auto* v = new DamageVtab{};
  v->notes = &static_cast<SqlTables*>(aux)->notes();
  *out = v;
  return SQLITE_OK;
}
int damageDisconnect(sqlite3_vtab* v) {
  delete static_cast<DamageVtab*>(v);
  return SQLITE_OK;
}
int damageBestIndex(sqlite3_vtab*, sqlite3_index_info* info) {
  info->estimatedCost = 100;
  return SQLITE_OK;
}
int damageOpen(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
  *out = new DamageCursor{};
  return SQLITE_OK;
}
int damageClose(sqlite3_vtab_cursor* c) {
  delete static_cast<DamageCursor*>(c);
  return SQLITE_OK;
}
int damageFilter(sqlite3_vtab_cursor* c, int, const char*, int, sqlite3_value**) {
  static_cast<DamageCursor*>(c)->at = 0;
  return SQLITE_OK;
}
int damageNext(sqlite3_vtab_cursor* c) {
  static_cast<DamageCursor*>(c)->at++;
  return SQLITE_OK;
}
const SqlWalkNotes& notesOf(sqlite3_vtab_cursor* c) { return *static_cast<DamageVtab*>(c->pVtab)->notes; }
int damageEof(sqlite3_vtab_cursor* c) { return static_cast<DamageCursor*>(c)->at >= notesOf(c).blocks.size(); }
int damageColumn(sqlite3_vtab_cursor* c, sqlite3_context* ctx, int i) {
  const SqlDamageBlock& b = notesOf(c).blocks[static_cast<DamageCursor*>(c)->at];
  if (i == 0) sqlite3_result_text(ctx, b.label.c_str(), -1, SQLITE_TRANSIENT);
  if (i == 1) sqlite3_result_text(ctx, b.kind, -1, SQLITE_STATIC);
  if (i == 2) sqlite3_result_int64(ctx, b.file);
  if (i == 3) sqlite3_result_int64(ctx, b.block);
  return SQLITE_OK;
}
int damageRowid(sqlite3_vtab_cursor* c, sqlite3_int64* out) {
  *out = static_cast<sqlite3_int64>(static_cast<DamageCursor*>(c)->at);
  return SQLITE_OK;
}

sqlite3_module makeDamageModule() {
  sqlite3_module m{};
  m.xConnect = damageConnect;  // eponymous only: the table is bex_damage
  m.xBestIndex = damageBestIndex;
  m.xDisconnect = damageDisconnect;
  m.xOpen = damageOpen;
  m.xClose = damageClose;
  m.xFilter = damageFilter;
  m.xNext = damageNext;
  m.xEof = damageEof;
  m.xColumn = damageColumn;
  m.xRowid = damageRowid;
  return m;
}

const sqlite3_module kBexModule = makeBexModule();
const sqlite3_module kDamageModule = makeDamageModule();

}  // namespace

bool SqlTables::registerModule(sqlite3* db) {
  return sqlite3_create_module(db, "bex", &kBexModule, this) == SQLITE_OK &&
         sqlite3_create_module(db, "bex_damage", &kDamageModule, this) == SQLITE_OK;
}

size_t SqlTables::addSource(std::unique_ptr<SqlTableSource> s) {
  sources_.push_back(std::move(s));
  return sources_.size() - 1;
}

}  // namespace bex
