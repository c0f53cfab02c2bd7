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

bool holds(const char* p, size_t n, const char* tag, size_t tagLength) {
  if (tagLength == 0 || n < tagLength) return false;
  if (tagLength == 1) return memchr(p, tag[0], n) != nullptr;
  return std::string_view(p, n).find(std::string_view(tag, tagLength)) != std::string_view::npos;
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

TextFields::TextFields(Sink& data, const BlockContext& bc, ColumnCounts& tagged)
    : data_(data), bc_(bc), tagged_(tagged), window_(data.capacity() / 4) {}

Sink& TextFields::begin(uint32_t pos, ColumnTypeCode) {
  pos_ = pos;
  // Values up to the window stay in the buffer until end() has seen them.
  if (window_) data_.reserve(window_);
  start_ = data_.bytesWritten();
  return data_;
}

void TextFields::value(Sink& out, const uint8_t* v, size_t length, const ColumnSpec& col, const BlockContext& bc) {
  writeColumnValue(out, v, length, col, bc);
}

void TextFields::end(bool) {
  if (pos_ == kRowAddressField) return;
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
  for (unsigned char c : {'"', '\r', '\n'}) quoteByte_[c] = true;
  if (separatorLength) quoteByte_[static_cast<unsigned char>(separator[0])] = true;
}

CsvField::~CsvField() { free(buffer()); }

void CsvField::open() {
  quoted_ = closing_ = nul_ = false;
  start_ = bytesWritten();
}

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
  for (size_t i = 0; i < n; i++) {
    const unsigned char c = static_cast<unsigned char>(p[i]);
    if (!quoteByte_[c]) continue;
    if (c == '"' || c == '\r' || c == '\n') return true;
    if (separatorLength_ <= n - i && memcmp(p + i, separator_, separatorLength_) == 0) return true;
  }
  return false;
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

CsvFields::CsvFields(Sink& data, const BlockContext& bc, ColumnCounts& nulValues)
    : field_(data, bc.fieldTag, bc.fieldTagLen), nulValues_(nulValues) {}

Sink& CsvFields::begin(uint32_t pos, ColumnTypeCode type) {
  pos_ = pos;
  text_ = isCharacterText(type);
  field_.open();
  return field_;
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

void CsvFields::end(bool present) {
  if (field_.close(present && text_) && pos_ != kRowAddressField) nulValues_.note(pos_);
}

}  // namespace bex
