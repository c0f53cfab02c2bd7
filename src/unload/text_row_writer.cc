#include "unload/text_row_writer.h"

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

TextRowWriter::TextRowWriter(BlockContext& bc, UnloadJob& job, Sink& data, LobFile& lob, Sink& console,
                             uint32_t columnCount, bool rowAddress)
    : bc_(bc),
      job_(job),
      data_(data),
      lob_(lob),
      console_(console),
      columnCount_(columnCount),
      rowAddress_(rowAddress) {}

void TextRowWriter::fieldTag() {
  if (bc_.fieldTagLen == 1)
    data_.put(bc_.fieldTag[0]);
  else
    data_.write(bc_.fieldTag, bc_.fieldTagLen);
  tagOwed_ = true;
}

void TextRowWriter::rowAddress(uint32_t rdba, uint32_t table, uint32_t slot) {
  if (!rowAddress_) return;
  writeDecimal(data_, rdba);
  data_.put('.');
  writeDecimal(data_, table);
  data_.put('.');
  writeDecimal(data_, slot);
  fieldsWritten_ = true;
  fieldTag();
}

void TextRowWriter::prefix(uint32_t pos) {
  data_.put('C');
  writeDecimal(data_, pos + 1);
  data_.put('=');
}

void TextRowWriter::warnUnknown(const PieceRef& p, uint32_t pos, const ColumnRef& c) {
  if (pos >= kMaxSegmentColumns || job_.unknownWarnings[pos] >= kMaxUnknownWarnings) return;
  job_.unknownWarnings[pos]++;
  console_.printf("Warnings : UNKNOWN column type %d at %u.%u.%u value 0x", static_cast<int>(pos + 1), p.rdba, p.table,
                  p.slot);
  writeHexText(console_, p.v->data + c.offset, c.length);
  console_.put('\n');
}

void TextRowWriter::piece(const PieceRef& p) {
  const ColumnList& cols = *p.cols;
  const uint32_t n = cols.count;
  for (uint32_t i = 0; i < n; i++) {
    const uint32_t pos = p.start + i;
    const ColumnSpec& cs = job_.column(pos);
    if (cs.type == ColumnTypeCode::kSkip) continue;
    const ColumnRef c = cols.col[i];
    const bool present = valueInBlock(c.offset, c.length, p.v->size);
    // The second part of a split value is written on without a prefix.
    if (present && !(i == 0 && p.continues) && (job_.indexPrefix || cs.type == ColumnTypeCode::kUnknown)) {
      prefix(pos);
      if (cs.type == ColumnTypeCode::kUnknown) warnUnknown(p, pos, c);
    }
    if (isLobType(cs.type)) {
      // A value split over pieces counts once, at its first part.
      if (!writeColumnText(data_, lob_, bc_, p.v->data, c.offset, c.length, cs) && !(i == 0 && p.continues))
        job_.lobLosses.note(pos);
    } else if (present) {
      writeColumnValue(data_, p.v->data + c.offset, c.length, cs, bc_);
    }
    fieldsWritten_ = true;
    tagOwed_ = false;
    if (i + 1 < n) fieldTag();
  }
  if (p.last) return endRow(p.start + n);
  if (!p.lastContinues && fieldsWritten_ && !tagOwed_) fieldTag();
}

void TextRowWriter::endRowEarly(uint32_t reached) { endRow(reached); }

void TextRowWriter::endRow(uint32_t reached) {
  if (lob_.sink) {
    for (uint32_t pos = reached; pos < columnCount_; pos++) {
      const ColumnSpec& cs = job_.column(pos);
      if (cs.type == ColumnTypeCode::kSkip) continue;
      if (fieldsWritten_ && !tagOwed_) fieldTag();
      if (isLobType(cs.type)) writeNullLobReference(data_, lob_, bc_);
      fieldsWritten_ = true;
      tagOwed_ = false;
    }
  }
  data_.write(bc_.recordTag, bc_.recordTagLen);
  fieldsWritten_ = tagOwed_ = false;
}

}  // namespace bex
