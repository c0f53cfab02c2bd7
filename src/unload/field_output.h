// How each value of a row reaches the data file. The row writer places the
// field separators and record ends; its field policy frames the values
// between them. Text style (TextFields) writes a value as it is and counts
// the values holding the field or record tag (the file would not load back
// as written); CSV style (CsvFields) encloses a value in double quotes when
// it holds the separator, a quote, CR or LF, and doubles its quotes.
//
// A policy is built on the data sink, the BlockContext (its tags) and the
// job, and offers:
//   Sink& begin(pos, type)  the value of column position pos starts (the row
//                           address is kRowAddressField); its text goes to
//                           the sink returned. A value split over row
//                           pieces is begun once and ended once.
//   void value(out, v, length, col, bc)  the text of a non-NULL value of a
//                           column that is not a LOB
//   void end(present)       the value begun last is complete; present: it
//                           is not NULL
//   kFillsRows              rows get a field for every position, also those
//                           a row does not store (text style: only with a
//                           LOB file open)
#pragma once
#include <cstdint>

#include "base/block_context.h"
#include "base/sink.h"
#include "unload/column_counts.h"
#include "unload/unload_job.h"
#include "value/column_type.h"

namespace bex {

// The position of the row address field, which no column owns.
inline constexpr uint32_t kRowAddressField = UINT32_MAX;

// Values as they are, each checked for the tags once written: the text of
// stored characters and LOB references always, that of numbers, dates and
// hexadecimal only when a tag holds one of their characters.
class TextFields {
 public:
  static constexpr bool kFillsRows = false;

  TextFields(Sink& data, const BlockContext& bc, UnloadJob& job);

  Sink& begin(uint32_t pos, ColumnTypeCode type) {
    check_ = pos != kRowAddressField && checked_[codeByte(type)];
    if (check_) {
      pos_ = pos;
      // A value up to the window stays in the buffer until end() sees it.
      data_.reserve(window_);
      start_ = data_.bytesWritten();
    }
    return data_;
  }
  void value(Sink& out, const uint8_t* v, size_t length, const ColumnSpec& col, const BlockContext& bc) {
    writeColumnValue(out, v, length, col, bc);
  }
  void end(bool) {
    if (check_) checkWritten();
  }

 private:
  void checkWritten();

  Sink& data_;
  const BlockContext& bc_;
  ColumnCounts& tagged_;
  size_t window_;          // room kept in the data sink's buffer before every value
  bool checked_[256];      // by type code: the text may hold a tag
  bool check_ = false;     // the value begun last is checked
  uint32_t pos_ = 0;
  uint64_t start_ = 0;
};

// One CSV field on its way to the data file: its text is gathered first
// and written when it ends, as it is or enclosed in quotes. A text longer
// than the buffer is enclosed from the start and streamed.
class CsvField : public Sink {
 public:
  CsvField(Sink& data, const char* separator, size_t separatorLength);
  ~CsvField() override;
  CsvField(const CsvField&) = delete;
  CsvField& operator=(const CsvField&) = delete;

  void open() {
    quoted_ = closing_ = nul_ = false;
    start_ = bytesWritten();
  }
  // Writes what is left of the field; an empty text as "" when
  // emptyAsQuotes (an empty string rather than NULL). True when the text
  // held a NUL byte.
  bool close(bool emptyAsQuotes);

 protected:
  bool emit(const char* p, size_t n) override;

 private:
  bool needsQuotes(const char* p, size_t n) const;
  void writeQuoted(const char* p, size_t n);

  Sink& data_;
  const char* separator_;
  size_t separatorLength_;
  bool quoted_ = false;       // the opening quote is written
  bool closing_ = false;      // the pending bytes are the end of the text
  bool nul_ = false;
  uint64_t start_ = 0;
};

// RFC 4180 fields; BINARY_FLOAT, BINARY_DOUBLE and the fractions of
// TIMESTAMPs in a text that reads back exactly. Numbers, dates and
// hexadecimal go straight to the data file when the separator holds none
// of their characters: they never need the quotes then.
class CsvFields {
 public:
  static constexpr bool kFillsRows = true;

  CsvFields(Sink& data, const BlockContext& bc, UnloadJob& job);

  Sink& begin(uint32_t pos, ColumnTypeCode type) {
    direct_ = pos != kRowAddressField && straight_[codeByte(type)];
    if (direct_) return data_;
    pos_ = pos;
    text_ = emptyText_[codeByte(type)];
    field_.open();
    return field_;
  }
  void value(Sink& out, const uint8_t* v, size_t length, const ColumnSpec& col, const BlockContext& bc);
  void end(bool present) {
    if (!direct_ && field_.close(present && text_) && pos_ != kRowAddressField) nulValues_.note(pos_);
  }

 private:
  Sink& data_;
  CsvField field_;
  ColumnCounts& nulValues_;
  bool straight_[256];   // by type code: written straight to the data file
  bool emptyText_[256];  // by type code: character text, an empty value is ""
  bool direct_ = false;  // the value begun last goes straight to the data file
  bool text_ = false;
  uint32_t pos_ = 0;
};

}  // namespace bex
