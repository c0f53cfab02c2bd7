// How each value of a row reaches the data file. The row writer places the
// field separators and record ends; its field policy frames the values
// between them. Text style (TextFields) writes a value as it is and counts
// the values holding the field or record tag (the file would not load back
// as written); CSV style (CsvFields) encloses a value in double quotes when
// it holds the separator, a quote, CR or LF, and doubles its quotes.
//
// A policy is built on the data sink, the BlockContext, the job (its
// tags) and the LOB file, and offers:
//   Sink& begin(pos, type)  the value of column position pos starts (the row
//                           address is kRowAddressField); its text goes to
//                           the sink returned. A value split over row
//                           pieces is begun once and ended once.
//   void value(out, v, length, col, bc)  the text of a non-NULL value of a
//                           column that is not a LOB
//   void end(present)       the value begun last is complete; present: it
//                           is not NULL
//   bool whole(pos, col, v, length)  the three for a value that begins and
//                           ends in one piece (not a LOB); v null for NULL;
//                           false (nothing written) for a SKIP column
//   void fieldTag(), recordTag()  write the tags between fields and
//                           after a row
//   kFillsRows              rows get a field for every position, also those
//                           a row does not store (text style: only with a
//                           LOB file open)
#pragma once
#include <cstdint>

#include "base/block_context.h"
#include "base/sink.h"
#include "lob/lob_sinks.h"
#include "unload/column_counts.h"
#include "unload/unload_job.h"
#include "value/column_type.h"

namespace bex {

// The position of the row address field, which no column owns.
inline constexpr uint32_t kRowAddressField = UINT32_MAX;

// A tag as the row writer places it between fields and rows.
inline void writeTag(Sink& out, const char* tag, size_t length) {
  if (length == 1)
    out.put(*tag);
  else
    out.write(tag, length);
}

// How many of the n bytes at p are a or b, on the byte sweep in force
// (base/wide_loads.h).
size_t countEither(const char* p, size_t n, char a, char b);

// Values as they are, each checked for the tags once written: the text of
// stored characters and LOB references always, that of numbers, dates and
// hexadecimal only when a tag holds one of their characters.
//
// The check waits until the bytes are about to leave the data sink's
// buffer (or many values are waiting): it counts, in everything written
// since the last check, the bytes that begin a tag. When that is the
// number the tags written there hold, no value can hold a tag; otherwise
// each waiting value is looked at as it would have been when it ended: the
// part of it still in the buffer. The counts are complete once the data
// sink was flushed or the policy is gone.
class TextFields : private SinkWatcher {
 public:
  static constexpr bool kFillsRows = false;

  TextFields(Sink& data, const BlockContext& bc, UnloadJob& job, const LobFile& lob);
  ~TextFields();
  TextFields(const TextFields&) = delete;
  TextFields& operator=(const TextFields&) = delete;

  Sink& begin(uint32_t pos, ColumnTypeCode type) {
    check_ = pos != kRowAddressField && checked_[codeByte(type)];
    if (check_) {
      pos_ = pos;
      // A value up to the window stays in the buffer until it ends.
      data_.reserve(window_);
      start_ = data_.bytesWritten();
    }
    return data_;
  }
  void value(Sink& out, const uint8_t* v, size_t length, const ColumnSpec& col, const BlockContext& bc) {
    writeColumnValue(out, v, length, col, bc);
  }
  void end(bool) {
    if (check_) noteWritten(start_, pos_);
  }
  // begin(), value() when v is not null, and end() in one.
  bool whole(uint32_t pos, const ColumnSpec& col, const uint8_t* v, size_t length) {
    switch (plain_[pos]) {
      case Plain::kSkip:
        return false;
      case Plain::kNumber:
        if (v) writeNumberText(data_, v, length);
        return true;
      case Plain::kDate:
        if (v) writeDateText(data_, v, length);
        return true;
      case Plain::kCheckedBytes:
        checkedBytes(pos, v, length);
        return true;
      case Plain::kOther:
        break;
    }
    if (!checked_[codeByte(col.type)]) {
      if (v) writeColumnValue(data_, v, length, col, bc_);
      return true;
    }
    data_.reserve(window_);
    const uint64_t start = data_.bytesWritten();
    if (v) writeColumnValue(data_, v, length, col, bc_);
    noteWritten(start, pos);
    return true;
  }
  void fieldTag() {
    writeTag(data_, tags_.field.data(), tags_.field.size());
    tagBytes_ += fieldTagBytes_;
  }
  void recordTag() {
    writeTag(data_, tags_.record.data(), tags_.record.size());
    tagBytes_ += recordTagBytes_;
  }

 private:
  // A checked value waiting for the check: where its text is in the data.
  struct Written {
    uint64_t start, end;
    uint32_t pos;
  };
  static constexpr uint32_t kWaitingMax = 512;
  // What whole() does with the values of a column position, decided once:
  // nothing (SKIP), numbers and dates nobody checks, stored bytes that are
  // checked, or the general way.
  enum class Plain : uint8_t { kOther, kSkip, kNumber, kDate, kCheckedBytes };
  Plain plainOf(const ColumnSpec& col) const;

  void checkedBytes(uint32_t pos, const uint8_t* v, size_t length) {
    data_.reserve(window_);
    const uint64_t start = data_.bytesWritten();
    if (v) data_.write(v, length);
    noteWritten(start, pos);
  }

  void noteWritten(uint64_t start, uint32_t pos) {
    const uint64_t end = data_.bytesWritten();
    if (end == start) return;
    waiting_[waitingCount_++] = Written{start, end, pos};
    if (waitingCount_ == kWaitingMax) checkWritten();
  }
  void beforeHandOn() override;
  void checkWritten();
  void checkEach(uint64_t now, uint64_t buffered);

  Sink& data_;
  const BlockContext& bc_;
  const RowTags tags_;
  ColumnCounts& tagged_;
  SinkWatcher* watchedBefore_;
  size_t window_;          // room kept in the data sink's buffer before every value
  bool checked_[256];      // by type code: the text may hold a tag
  char tagStart_[2];       // the first bytes of the two tags
  uint32_t fieldTagBytes_ = 0, recordTagBytes_ = 0;  // bytes of each tag that are tagStart_ bytes
  bool check_ = false;     // the value begun last is checked
  uint32_t pos_ = 0;
  uint64_t start_ = 0;
  uint64_t since_ = 0;     // the data written since the last check begins here
  uint64_t tagBytes_ = 0;  // tagStart_ bytes of the tags written since
  uint32_t waitingCount_ = 0;
  Written waiting_[kWaitingMax];
  Plain plain_[kMaxSegmentColumns];
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

// Whether no LOB field of job in CSV style can need the quotes, so that its
// LOB references go straight to the data file, as they are written: a LOB
// file is open, its name holds no double quote, CR, LF or character of the
// separator, and the separator none of the characters of a reference's
// numbers (nor those of the index prefix "C%d=").
bool csvLobReferencesInPlace(const LobFile& lob, const UnloadJob& job);

// RFC 4180 fields; BINARY_FLOAT, BINARY_DOUBLE and the fractions of
// TIMESTAMPs in a text that reads back exactly. Numbers, dates and
// hexadecimal go straight to the data file when the separator holds none
// of their characters: they never need the quotes then; LOB references
// when csvLobReferencesInPlace.
class CsvFields {
 public:
  static constexpr bool kFillsRows = true;

  CsvFields(Sink& data, const BlockContext& bc, UnloadJob& job, const LobFile& lob);

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
  bool whole(uint32_t pos, const ColumnSpec& col, const uint8_t* v, size_t length) {
    if (col.type == ColumnTypeCode::kSkip) return false;
    Sink& out = begin(pos, col.type);
    if (v) value(out, v, length, col, bc_);
    end(v != nullptr);
    return true;
  }
  void fieldTag() { writeTag(data_, tags_.field.data(), tags_.field.size()); }
  void recordTag() { writeTag(data_, tags_.record.data(), tags_.record.size()); }

 private:
  Sink& data_;
  const BlockContext& bc_;
  const RowTags tags_;
  CsvField field_;
  ColumnCounts& nulValues_;
  bool straight_[256];   // by type code: written straight to the data file
  bool emptyText_[256];  // by type code: character text, an empty value is ""
  bool direct_ = false;  // the value begun last goes straight to the data file
  bool text_ = false;
  uint32_t pos_ = 0;
};

}  // namespace bex
