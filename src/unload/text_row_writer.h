// Rows as delimited text: values separated by the field tag, rows ended by
// the record tag, LOB values in the LOB file.
//
// The tag placement follows the row pieces: a field tag after every column
// of a piece but its last (SKIP columns write nothing at all), one after the
// piece when the row goes on in another piece (unless its last column does),
// and the record tag after the last piece. With a LOB file open, the
// positions a row does not store up to the column count are written as
// empty fields (null LOB references for LOB columns), so every row has the
// fields of the control file. A field tag is never written twice for one
// field: a row that breaks off after a tag, or that starts with missing
// positions, still gets exactly one tag between fields. Each value is
// framed by the field policy (field_output.h): text style's or CSV's; CSV
// rows always get every field, also for the positions a row skips between
// its pieces. A LOB locator split over pieces is read when its last part
// has come.
#pragma once
#include <cstdint>

#include "base/block_context.h"
#include "base/sink.h"
#include "unload/field_output.h"
#include "unload/lob_column.h"
#include "unload/row_writer.h"
#include "unload/unload_job.h"
#include "unload/value_join.h"

namespace bex {

template <class Fields>
class DelimitedRowWriter : public RowWriter {
 public:
  // columnCount: the positions a row has (the table's column count);
  // rowAddress: rows start with their address column (ROW_ADDRESS). The
  // job's column types are read here, once: they stay as they are while
  // the writer writes.
  DelimitedRowWriter(BlockContext& bc, UnloadJob& job, Sink& data, LobFile& lob, Sink& console,
                     uint32_t columnCount, bool rowAddress);

  void rowAddress(uint32_t rdba, uint32_t table, uint32_t slot) override;
  void piece(const PieceRef& p) override;
  void endRowEarly(uint32_t reached) override;

 private:
  static uint32_t plainPositionsOf(const UnloadJob& job);
  void plainColumns(const PieceRef& p);
  void columns(const PieceRef& p);
  void fieldTag() {
    fields_.fieldTag();
    tagOwed_ = true;
  }
  void lobPart(Sink& out, const PieceRef& p, const ColumnRef& c, uint32_t pos, bool continued, bool carries);
  void endJoinedLob(Sink& out, bool whole);
  // The LOB value just written lost bytes for want of a LOB map (only a LOB
  // file open makes the LOB reader read).
  bool lostWithoutMap() const;
  void endField();
  void emptyFields(uint32_t from, uint32_t to);
  void endRow(uint32_t reached);
  void warnUnknown(const PieceRef& p, uint32_t pos, const ColumnRef& c);

  BlockContext& bc_;
  UnloadJob& job_;
  Sink& data_;
  LobFile& lob_;
  Sink& console_;
  uint32_t columnCount_;
  bool rowAddress_;
  Fields fields_;
  bool fillShortRows_;
  uint32_t plainPositions_;     // positions below this need no prefix, warning or LOB reader
  uint32_t reached_ = 0;        // the position the row has reached
  Sink* open_ = nullptr;        // the value going on in the next piece
  bool openPresent_ = false;    // something of it was not NULL
  bool fieldsWritten_ = false;  // something of this row is written
  bool tagOwed_ = false;        // the last thing written is a field tag
  // The LOB locator of the open value, gathered from its parts.
  ValueJoin lobJoin_;
  uint32_t joinPos_ = 0, joinRdba_ = 0;
  bool joinCut_ = false;  // a part did not fit: the locator is lost
};

using TextRowWriter = DelimitedRowWriter<TextFields>;
using CsvRowWriter = DelimitedRowWriter<CsvFields>;
extern template class DelimitedRowWriter<TextFields>;
extern template class DelimitedRowWriter<CsvFields>;

// Appends the decimal digits of v.
void writeDecimal(Sink& out, uint64_t v);

}  // namespace bex
