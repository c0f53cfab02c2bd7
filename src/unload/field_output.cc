#include "unload/field_output.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "value/datetime.h"
#include "value/float.h"

namespace bex {

namespace {

// Big enough for any value that is not a long run of LOB-free text; a
// longer field is simply enclosed.
constexpr size_t kCsvFieldBuffer = 65536;

// The first byte from p on (before end) that is a or b; end when none. Two
// compares a byte in one pass: the tag check of every text value is one
// scan, not one a tag.
const char* findEither(const char* p, const char* end, char a, char b) {
#if defined(__SSE2__)
  const __m128i wantA = _mm_set1_epi8(a), wantB = _mm_set1_epi8(b);
  for (; end - p >= 16; p += 16) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int hits = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, wantA), _mm_cmpeq_epi8(x, wantB)));
    if (hits) return p + __builtin_ctz(static_cast<unsigned>(hits));
  }
#endif
  for (; p < end; p++)
    if (*p == a || *p == b) return p;
  return end;
}

bool startsWith(const char* q, const char* end, const char* tag, size_t length) {
  return length && static_cast<size_t>(end - q) >= length && memcmp(q, tag, length) == 0;
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

bool holdsTag(const char* p, size_t n, const char* tag, size_t tagLength, const char* other, size_t otherLength) {
  if (!tagLength && !otherLength) return false;
  const char a = tagLength ? tag[0] : other[0];
  const char b = otherLength ? other[0] : tag[0];
  const char* end = p + n;
  for (const char* q = findEither(p, end, a, b); q < end; q = findEither(q + 1, end, a, b))
    if (startsWith(q, end, tag, tagLength) || startsWith(q, end, other, otherLength)) return true;
  return false;
}

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
  if (holdsTag(text, n, bc_.fieldTag, bc_.fieldTagLen, bc_.recordTag, bc_.recordTagLen)) tagged_.note(pos_);
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
  if (findEither(p, p + n, '"', '\n') != p + n) return true;
  return holdsTag(p, n, "\r", 1, separator_, separatorLength_);
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
