#include "unload/field_output.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "value/datetime.h"
#include "value/float.h"

namespace bex {

namespace {

// Big enough for any value that is not a long run of LOB-free text; a
// longer field is simply enclosed.
constexpr size_t kCsvFieldBuffer = 65536;

// Whether the text holds the tag.
bool holds(const char* p, size_t n, const char* tag, size_t tagLength) {
  if (tagLength == 0 || n < tagLength) return false;
  const char* last = p + n - tagLength;
  for (const char* q = p; q <= last; q++) {
    q = static_cast<const char*>(memchr(q, tag[0], static_cast<size_t>(last - q) + 1));
    if (!q) return false;
    if (memcmp(q, tag, tagLength) == 0) return true;
  }
  return false;
}

// Every character the decoders of numbers, dates, times, floats, number
// collections and hexadecimal (with the "C%d=" prefix) ever write; text of
// stored characters and LOB references may hold any.
constexpr std::string_view kCodedAlphabet = "0123456789ABCDEFILNUaefn+-.:=, ";

bool isCodedText(ColumnTypeCode type) {
  switch (decoderFor(type)) {
    case ValueDecoder::kNone:
    case ValueDecoder::kNumber:
    case ValueDecoder::kDate:
    case ValueDecoder::kTimestamp:
    case ValueDecoder::kTimestampTz:
    case ValueDecoder::kFloat:
    case ValueDecoder::kNumberCollection:
    case ValueDecoder::kHex:
      return true;
    default:
      return false;
  }
}

// Whether coded text can hold a byte of the tag.
bool meetsCodedText(const char* tag, size_t length) {
  return std::string_view(tag, length).find_first_of(kCodedAlphabet) != std::string_view::npos;
}

// Columns whose text may be empty while the value is not NULL: CHAR of
// blanks, text converted to nothing, a VARRAY without elements.
bool isCharacterText(ColumnTypeCode type) {
  switch (decoderFor(type)) {
    case ValueDecoder::kStoredBytes:
    case ValueDecoder::kChar:
    case ValueDecoder::kNational:
    case ValueDecoder::kStringCollection:
      return true;
    default:
      return false;
  }
}

}  // namespace

// ---- text style -----------------------------------------------------

TextFields::TextFields(Sink& data, const BlockContext& bc, UnloadJob& job)
    : data_(data), bc_(bc), tagged_(job.taggedValues), window_(data.capacity() / 4) {
  const bool codedToo = meetsCodedText(bc.fieldTag, bc.fieldTagLen) || meetsCodedText(bc.recordTag, bc.recordTagLen);
  for (unsigned code = 0; code < 256; code++)
    checked_[code] = codedToo || !isCodedText(static_cast<ColumnTypeCode>(code));
}

void TextFields::checkWritten() {
  const size_t n = static_cast<size_t>(std::min<uint64_t>(data_.bytesWritten() - start_, data_.buffered()));
  const char* text = data_.recent(n);
  if (holds(text, n, bc_.fieldTag, bc_.fieldTagLen) || holds(text, n, bc_.recordTag, bc_.recordTagLen))
    tagged_.note(pos_);
}

// ---- CSV ------------------------------------------------------------

CsvField::CsvField(Sink& data, const char* separator, size_t separatorLength)
    : Sink(static_cast<char*>(malloc(kCsvFieldBuffer)), kCsvFieldBuffer),
      data_(data),
      separator_(separator),
      separatorLength_(separatorLength) {
}

CsvField::~CsvField() { free(buffer()); }

bool CsvField::close(bool emptyAsQuotes) {
  const bool empty = bytesWritten() == start_;
  closing_ = true;
  flush();
  closing_ = false;
  if (quoted_)
    data_.put('"');
  else if (empty && emptyAsQuotes)
    data_.write("\"\"", 2);
  return nul_;
}

bool CsvField::needsQuotes(const char* p, size_t n) const {
  for (char c : {'"', '\n', '\r'})
    if (memchr(p, c, n)) return true;
  return holds(p, n, separator_, separatorLength_);
}

void CsvField::writeQuoted(const char* p, size_t n) {
  while (n) {
    const char* q = static_cast<const char*>(memchr(p, '"', n));
    const size_t run = q ? static_cast<size_t>(q - p) + 1 : n;
    data_.write(p, run);
    if (q) data_.put('"');
    p += run;
    n -= run;
  }
}

// The whole text when closing; a first part of a long text otherwise,
// which is then enclosed whatever follows.
bool CsvField::emit(const char* p, size_t n) {
  nul_ = nul_ || memchr(p, 0, n) != nullptr;
  if (!quoted_) {
    if (closing_ && !needsQuotes(p, n)) {
      data_.write(p, n);
      return true;
    }
    data_.put('"');
    quoted_ = true;
  }
  writeQuoted(p, n);
  return true;
}

CsvFields::CsvFields(Sink& data, const BlockContext& bc, UnloadJob& job)
    : data_(data), field_(data, bc.fieldTag, bc.fieldTagLen), nulValues_(job.nulValues) {
  const bool separatorInCoded = meetsCodedText(bc.fieldTag, bc.fieldTagLen);
  for (unsigned code = 0; code < 256; code++) {
    const ColumnTypeCode type = static_cast<ColumnTypeCode>(code);
    straight_[code] = !separatorInCoded && isCodedText(type);
    emptyText_[code] = isCharacterText(type);
  }
}

// Values whose text form drops digits are written in full.
void CsvFields::value(Sink& out, const uint8_t* v, size_t length, const ColumnSpec& col, const BlockContext& bc) {
  switch (decoderFor(col.type)) {
    case ValueDecoder::kFloat: return writeFloatExactText(out, v, length);
    case ValueDecoder::kTimestamp: return writeTimestampExactText(out, v, length);
    case ValueDecoder::kTimestampTz: return writeTimestampTzExactText(out, v, length);
    default: return writeColumnValue(out, v, length, col, bc);
  }
}

}  // namespace bex
