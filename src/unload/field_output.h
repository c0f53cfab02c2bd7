// How each value of a row reaches the data file. The row writer places the
// field separators and record ends; a FieldOutput frames the values between
// them. Text style writes a value as it is and counts the values holding the
// field or record tag (the file would not load back as written); CSV style
// encloses a value in double quotes when it holds the separator, a quote,
// CR or LF, and doubles its quotes.
#pragma once
#include <cstdint>

#include "base/block_context.h"
#include "base/sink.h"
#include "unload/column_counts.h"
#include "value/column_type.h"

namespace bex {

// The position of the row address field, which no column owns.
inline constexpr uint32_t kRowAddressField = UINT32_MAX;

class FieldOutput {
 public:
  virtual ~FieldOutput() = default;
  // Starts the value of column position pos (kRowAddressField for the row
  // address) and returns where its text goes. A value split over row
  // pieces is begun once and ended once.
  virtual Sink& begin(uint32_t pos, ColumnTypeCode type) = 0;
  // The text of a non-NULL value of a column that is not a LOB.
  virtual void value(Sink& out, const uint8_t* v, size_t length, const ColumnSpec& col, const BlockContext& bc) = 0;
  // Ends the value begun last; present: it is not NULL.
  virtual void end(bool present) = 0;
  // Rows that stop before the last column get empty fields up to it, so
  // that every row has the same fields.
  virtual bool fillsShortRows() const = 0;
};

// Values as they are, each checked for the tags once written.
class TextFields : public FieldOutput {
 public:
  TextFields(Sink& data, const BlockContext& bc, ColumnCounts& tagged);
  Sink& begin(uint32_t pos, ColumnTypeCode type) override;
  void value(Sink& out, const uint8_t* v, size_t length, const ColumnSpec& col, const BlockContext& bc) override;
  void end(bool present) override;
  bool fillsShortRows() const override { return false; }

 private:
  Sink& data_;
  const BlockContext& bc_;
  ColumnCounts& tagged_;
  size_t window_;  // room kept in the data sink's buffer before every value
  uint32_t pos_ = kRowAddressField;
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

  void open();
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
  bool quoteByte_[256] = {};  // bytes that may call for the quotes
  bool quoted_ = false;       // the opening quote is written
  bool closing_ = false;      // the pending bytes are the end of the text
  bool nul_ = false;
  uint64_t start_ = 0;
};

// RFC 4180 fields; BINARY_FLOAT, BINARY_DOUBLE and the fractions of
// TIMESTAMPs in a text that reads back exactly.
class CsvFields : public FieldOutput {
 public:
  CsvFields(Sink& data, const BlockContext& bc, ColumnCounts& nulValues);
  Sink& begin(uint32_t pos, ColumnTypeCode type) override;
  void value(Sink& out, const uint8_t* v, size_t length, const ColumnSpec& col, const BlockContext& bc) override;
  void end(bool present) override;
  bool fillsShortRows() const override { return true; }

 private:
  CsvField field_;
  ColumnCounts& nulValues_;
  uint32_t pos_ = kRowAddressField;
  bool text_ = false;  // the column holds character text: an empty value is ""
};

}  // namespace bex
