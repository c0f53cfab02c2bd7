#include "sql/sql_rows.h"

#include "unload/column_text.h"

namespace bex {

void SqlRowWriter::clear() {
  rows_.clear();
  values_.clear();
  bytes_.clear();
}

bool SqlRowWriter::value(size_t i, uint32_t pos, const uint8_t*& v, uint32_t& length) const {
  const SqlRow& r = rows_[i];
  if (pos >= r.values) return false;
  const Stored& s = values_[r.firstValue + pos];
  if (s.length == 0) return false;
  v = bytes_.data() + s.offset;
  length = s.length;
  return true;
}

void SqlRowWriter::rowAddress(uint32_t rdba, uint32_t table, uint32_t slot) {
  rows_.push_back(SqlRow{rdba, table, slot, static_cast<uint32_t>(values_.size()), 0});
}

void SqlRowWriter::append(const uint8_t* p, uint32_t n) { bytes_.insert(bytes_.end(), p, p + n); }

void SqlRowWriter::piece(const PieceRef& p) {
  if (!keep_ || rows_.empty()) return;
  SqlRow& r = rows_.back();
  const ColumnList& cols = *p.cols;
  for (uint32_t i = 0; i < cols.count; i++) {
    const uint32_t pos = p.start + i;
    const ColumnRef c = cols.col[i];
    const uint32_t n = valueInBlock(c.offset, c.length, p.v->size) ? c.length : 0;
    // A value split over pieces: its next part goes on after the last one.
    if (i == 0 && p.continues && r.values == pos + 1) {
      append(p.v->data + c.offset, n);
      values_.back().length += n;
      continue;
    }
    if (pos < r.values) continue;  // a position the row already has
    while (r.values < pos) {
      values_.push_back(Stored{0, 0});
      r.values++;
    }
    values_.push_back(Stored{static_cast<uint32_t>(bytes_.size()), n});
    if (n) append(p.v->data + c.offset, n);
    r.values++;
  }
}

}  // namespace bex
