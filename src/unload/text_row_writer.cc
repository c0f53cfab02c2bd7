#include "unload/text_row_writer.h"

#include "lob/lob_reader.h"
#include "unload/column_text.h"
#include "value/hex.h"

namespace bex {

void writeDecimal(Sink& out, uint64_t v) {
  char buf[20];
  int n = 0;
  do {
    buf[sizeof buf - ++n] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  out.write(buf + sizeof buf - n, n);
}

template <class Fields>
DelimitedRowWriter<Fields>::DelimitedRowWriter(BlockContext& bc, UnloadJob& job, Sink& data, LobFile& lob,
                                               Sink& console, uint32_t columnCount, bool rowAddress)
    : bc_(bc),
      job_(job),
      data_(data),
      lob_(lob),
      console_(console),
      columnCount_(columnCount),
      rowAddress_(rowAddress),
      fields_(data, bc, job, lob),
      fillShortRows_(lob.sink || Fields::kFillsRows),
      plainPositions_(plainPositionsOf(job)),
      lobJoin_(bc.blockSize) {
  lob.recordTag = job.tags.record;
}

// The leading positions whose values are written without a prefix, a
// warning or the LOB readers.
template <class Fields>
uint32_t DelimitedRowWriter<Fields>::plainPositionsOf(const UnloadJob& job) {
  if (job.indexPrefix) return 0;
  uint32_t pos = 0;
  while (pos < kMaxSegmentColumns && job.columns.column[pos].type != ColumnTypeCode::kUnknown &&
         !isLobType(job.columns.column[pos].type))
    pos++;
  return pos;
}

template <class Fields>
void DelimitedRowWriter<Fields>::rowAddress(uint32_t rdba, uint32_t table, uint32_t slot) {
  if (!rowAddress_) return;
  Sink& out = fields_.begin(kRowAddressField, ColumnTypeCode::kSkip);
  writeDecimal(out, rdba);
  out.put('.');
  writeDecimal(out, table);
  out.put('.');
  writeDecimal(out, slot);
  fields_.end(true);
  fieldsWritten_ = true;
  fieldTag();
}

namespace {

void prefix(Sink& out, uint32_t pos) {
  out.put('C');
  writeDecimal(out, pos + 1);
  out.put('=');
}

}  // namespace

template <class Fields>
void DelimitedRowWriter<Fields>::warnUnknown(const PieceRef& p, uint32_t pos, const ColumnRef& c) {
  if (pos >= kMaxSegmentColumns || job_.unknownWarnings[pos] >= kMaxUnknownWarnings) return;
  job_.unknownWarnings[pos]++;
  console_.printf("Warnings : UNKNOWN column type %d at %u.%u.%u value 0x", static_cast<int>(pos + 1), p.rdba, p.table,
                  p.slot);
  writeHexText(console_, p.v->data + c.offset, c.length);
  console_.put('\n');
}

template <class Fields>
void DelimitedRowWriter<Fields>::piece(const PieceRef& p) {
  const uint32_t n = p.cols->count;
  if (Fields::kFillsRows && p.start > reached_ && !open_) {
    emptyFields(reached_, p.start);
    if (fieldsWritten_ && !tagOwed_) fieldTag();
  }
  reached_ = p.start + n;
  if (!open_ && !p.continues && !p.lastContinues && p.start + n <= plainPositions_)
    plainColumns(p);
  else
    columns(p);
  if (p.last) return endRow(p.start + n);
  if (!p.lastContinues && fieldsWritten_ && !tagOwed_) fieldTag();
}

// Every value of the piece begins and ends in it.
template <class Fields>
void DelimitedRowWriter<Fields>::plainColumns(const PieceRef& p) {
  const ColumnRef* col = p.cols->col;
  const uint32_t n = p.cols->count;
  const uint8_t* block = p.v->data;
  // Values end at least four bytes before the block end (valueInBlock).
  const uint32_t limit = p.v->size >= 4 ? p.v->size - 4 : 0;
  // The row's state is kept here and stored once: the values' writers
  // cannot see it.
  bool written = false, owed = tagOwed_;
  for (uint32_t i = 0; i < n; i++) {
    const uint32_t pos = p.start + i;
    const ColumnRef c = col[i];
    const bool present = c.length != 0 && c.offset + c.length <= limit;
    if (!fields_.whole(pos, job_.columns.column[pos], present ? block + c.offset : nullptr, c.length)) continue;
    written = true;
    owed = i + 1 < n;
    if (owed) fields_.fieldTag();
  }
  if (written) fieldsWritten_ = true;
  tagOwed_ = owed;
}

template <class Fields>
void DelimitedRowWriter<Fields>::columns(const PieceRef& p) {
  const ColumnList& cols = *p.cols;
  const uint32_t n = cols.count;
  for (uint32_t i = 0; i < n; i++) {
    const uint32_t pos = p.start + i;
    const ColumnSpec& cs = job_.column(pos);
    if (cs.type == ColumnTypeCode::kSkip) continue;
    const ColumnRef c = cols.col[i];
    const bool present = valueInBlock(c.offset, c.length, p.v->size);
    const bool continued = i == 0 && p.continues;
    if (!(continued && open_)) endField();
    Sink& out = open_ ? *open_ : fields_.begin(pos, cs.type);
    // The second part of a split value is written on without a prefix.
    if (present && !continued && (job_.indexPrefix || cs.type == ColumnTypeCode::kUnknown)) {
      prefix(out, pos);
      if (cs.type == ColumnTypeCode::kUnknown) warnUnknown(p, pos, c);
    }
    if (isLobType(cs.type)) {
      lobPart(out, p, c, pos, continued, i + 1 == n && p.lastContinues && !p.last);
    } else if (present) {
      fields_.value(out, p.v->data + c.offset, c.length, cs, bc_);
    }
    open_ = &out;
    openPresent_ = openPresent_ || present;
    // The last value goes on in the next piece: it stays open.
    if (i + 1 < n || !p.lastContinues || p.last) endField();
    fieldsWritten_ = true;
    tagOwed_ = false;
    if (i + 1 < n) fieldTag();
  }
}

// One part of a LOB column's locator (carries: it goes on in the next
// piece): a whole locator is read at once, the parts of a split one are
// gathered until the last has come.
template <class Fields>
void DelimitedRowWriter<Fields>::lobPart(Sink& out, const PieceRef& p, const ColumnRef& c, uint32_t pos,
                                         bool continued, bool carries) {
  const uint32_t n = valueInBlock(c.offset, c.length, p.v->size) ? c.length : 0;
  if (continued && lobJoin_.carrying()) {
    if (lobJoin_.fits(n))
      lobJoin_.add(p.v->data + c.offset, n);
    else
      joinCut_ = true;
    if (!carries) endJoinedLob(out, true);
    return;
  }
  if (carries) {
    lobJoin_.start(p.v->data + c.offset, n);
    joinPos_ = pos, joinRdba_ = p.rdba, joinCut_ = false;
    return;
  }
  // A value split over pieces counts once, at its first part.
  if (!writeColumnText(out, lob_, bc_, p.v->data, c.offset, c.length, job_.column(pos)) && !continued)
    job_.noteLobLoss(pos, lostWithoutMap());
}

// The gathered locator read; one whose last part never came (or did not
// fit) is lost: the reference of a NULL LOB.
template <class Fields>
void DelimitedRowWriter<Fields>::endJoinedLob(Sink& out, bool whole) {
  lobJoin_.stop();
  const ColumnSpec& cs = job_.column(joinPos_);
  if (whole && !joinCut_) {
    if (!writeJoinedLobText(out, lob_, bc_, lobJoin_.bytes(), lobJoin_.length(), joinRdba_, cs))
      job_.noteLobLoss(joinPos_, lostWithoutMap());
    return;
  }
  writeNullLobReference(out, lob_);
  job_.lobLosses.note(joinPos_);
}

template <class Fields>
bool DelimitedRowWriter<Fields>::lostWithoutMap() const {
  return lob_.sink && bc_.lobReader->lostWithoutMap();
}

template <class Fields>
void DelimitedRowWriter<Fields>::endField() {
  if (!open_) return;
  if (lobJoin_.carrying()) endJoinedLob(*open_, false);
  fields_.end(openPresent_);
  open_ = nullptr;
  openPresent_ = false;
}

template <class Fields>
void DelimitedRowWriter<Fields>::endRowEarly(uint32_t reached) {
  endRow(reached);
}

// The fields of positions a row does not store: empty, or the reference
// of a NULL LOB.
template <class Fields>
void DelimitedRowWriter<Fields>::emptyFields(uint32_t from, uint32_t to) {
  for (uint32_t pos = from; pos < to; pos++) {
    const ColumnSpec& cs = job_.column(pos);
    if (cs.type == ColumnTypeCode::kSkip) continue;
    if (fieldsWritten_ && !tagOwed_) fieldTag();
    Sink& out = fields_.begin(pos, cs.type);
    if (isLobType(cs.type)) writeNullLobReference(out, lob_);
    fields_.end(false);
    fieldsWritten_ = true;
    tagOwed_ = false;
  }
}

template <class Fields>
void DelimitedRowWriter<Fields>::endRow(uint32_t reached) {
  endField();
  if (fillShortRows_ && reached < columnCount_) emptyFields(reached, columnCount_);
  fields_.recordTag();
  fieldsWritten_ = tagOwed_ = false;
  reached_ = 0;
}

template class DelimitedRowWriter<TextFields>;
template class DelimitedRowWriter<CsvFields>;

}  // namespace bex
