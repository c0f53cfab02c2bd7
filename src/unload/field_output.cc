#include "unload/field_output.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "base/wide_loads.h"
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

size_t countEitherWords(const char* p, size_t n, char a, char b) {
  size_t count = 0;
  for (size_t i = 0; i < n; i++) count += p[i] == a || p[i] == b;
  return count;
}

#if defined(__SSE2__)
// Counts per byte lane, summed before any of them can pass 255.
size_t countEitherSse2(const char* p, size_t n, char a, char b) {
  size_t count = 0, i = 0;
  const __m128i wa = _mm_set1_epi8(a), wb = _mm_set1_epi8(b), zero = _mm_setzero_si128();
  while (n - i >= 16) {
    const size_t blocks = std::min<size_t>((n - i) / 16, 255);
    __m128i sums = zero;
    for (size_t k = 0; k < blocks; k++, i += 16) {
      const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
      sums = _mm_sub_epi8(sums, _mm_or_si128(_mm_cmpeq_epi8(x, wa), _mm_cmpeq_epi8(x, wb)));
    }
    sums = _mm_sad_epu8(sums, zero);
    count += static_cast<size_t>(_mm_cvtsi128_si32(sums)) + static_cast<size_t>(_mm_extract_epi16(sums, 4));
  }
  return count + countEitherWords(p + i, n - i, a, b);
}
#endif

#if defined(BEX_WIDE_LOADS)
// 32 bytes at a time, on processors that have AVX2.
__attribute__((target("avx2"))) size_t countEitherWide(const char* p, size_t n, char a, char b) {
  size_t count = 0, i = 0;
  const __m256i wa = _mm256_set1_epi8(a), wb = _mm256_set1_epi8(b), zero = _mm256_setzero_si256();
  while (n - i >= 32) {
    const size_t blocks = std::min<size_t>((n - i) / 32, 255);
    __m256i sums = zero;
    for (size_t k = 0; k < blocks; k++, i += 32) {
      const __m256i x = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
      sums = _mm256_sub_epi8(sums, _mm256_or_si256(_mm256_cmpeq_epi8(x, wa), _mm256_cmpeq_epi8(x, wb)));
    }
    sums = _mm256_sad_epu8(sums, zero);
    count += static_cast<size_t>(_mm256_extract_epi64(sums, 0) + _mm256_extract_epi64(sums, 1) +
                                 _mm256_extract_epi64(sums, 2) + _mm256_extract_epi64(sums, 3));
  }
  return count + countEitherWords(p + i, n - i, a, b);
}
#endif

// How many bytes of the tag are one of the two.
uint32_t countOf(const char* tag, size_t length, const char two[2]) {
  return static_cast<uint32_t>(countEitherWords(tag, length, two[0], two[1]));
}

}  // namespace

size_t countEither(const char* p, size_t n, char a, char b) {
  switch (byteSweep()) {
#if defined(BEX_WIDE_LOADS)
    case ByteSweep::kAvx2: return countEitherWide(p, n, a, b);
#endif
#if defined(__SSE2__)
    case ByteSweep::kSse2: return countEitherSse2(p, n, a, b);
#endif
    default: return countEitherWords(p, n, a, b);
  }
}

// ---- text style -----------------------------------------------------

TextFields::TextFields(Sink& data, const BlockContext& bc, UnloadJob& job, const LobFile&)
    : data_(data),
      bc_(bc),
      tags_(job.tags),
      tagged_(job.taggedValues),
      watchedBefore_(data.watch(this)),
      window_(data.capacity() / 4),
      since_(data.bytesWritten()) {
  // A text can hold a tag only where it holds the tag's first byte.
  const std::string_view fieldTag = tags_.field, recordTag = tags_.record;
  const bool field = !fieldTag.empty(), record = !recordTag.empty();
  tagStart_[0] = field ? fieldTag[0] : record ? recordTag[0] : '\0';
  tagStart_[1] = record ? recordTag[0] : tagStart_[0];
  fieldTagBytes_ = countOf(fieldTag.data(), fieldTag.size(), tagStart_);
  recordTagBytes_ = countOf(recordTag.data(), recordTag.size(), tagStart_);
  const bool codedToo =
      meetsCodedText(fieldTag.data(), fieldTag.size()) || meetsCodedText(recordTag.data(), recordTag.size());
  for (unsigned code = 0; code < 256; code++)
    checked_[code] = (field || record) && (codedToo || !isCodedText(static_cast<ColumnTypeCode>(code)));
  for (uint32_t pos = 0; pos < kMaxSegmentColumns; pos++) plain_[pos] = plainOf(job.columns.column[pos]);
}

TextFields::Plain TextFields::plainOf(const ColumnSpec& col) const {
  if (col.type == ColumnTypeCode::kSkip) return Plain::kSkip;
  const bool checked = checked_[codeByte(col.type)];
  switch (decoderFor(col.type)) {
    case ValueDecoder::kNumber: return checked ? Plain::kOther : Plain::kNumber;
    case ValueDecoder::kDate: return checked ? Plain::kOther : Plain::kDate;
    case ValueDecoder::kStoredBytes:
      return checked && col.charsetForm != kCharsetFormNational ? Plain::kCheckedBytes : Plain::kOther;
    default: return Plain::kOther;
  }
}

TextFields::~TextFields() {
  checkWritten();
  data_.watch(watchedBefore_);
}

void TextFields::beforeHandOn() {
  checkWritten();
  if (watchedBefore_) watchedBefore_->beforeHandOn();
}

// Everything written since the last check is still in the buffer: the
// bytes are handed on only after beforeHandOn().
void TextFields::checkWritten() {
  const uint64_t now = data_.bytesWritten();
  if (waitingCount_ != 0) {
    const uint64_t from = std::max(since_, now - data_.buffered());
    const size_t n = static_cast<size_t>(now - from);
    if (countEither(data_.recent(n), n, tagStart_[0], tagStart_[1]) != tagBytes_) checkEach(now, data_.buffered());
  }
  waitingCount_ = 0;
  tagBytes_ = 0;
  since_ = now;
}

// Each waiting value, the part of it still in the buffer.
void TextFields::checkEach(uint64_t now, uint64_t buffered) {
  const uint64_t base = now - buffered;
  for (uint32_t i = 0; i < waitingCount_; i++) {
    const Written& w = waiting_[i];
    const uint64_t start = std::max(w.start, base);
    if (w.end <= start) continue;
    const char* text = data_.recent(static_cast<size_t>(now - start));
    const size_t n = static_cast<size_t>(w.end - start);
    if (holds(text, n, tags_.field.data(), tags_.field.size()) ||
        holds(text, n, tags_.record.data(), tags_.record.size()))
      tagged_.note(w.pos);
  }
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

bool csvLobReferencesInPlace(const LobFile& lob, const UnloadJob& job) {
  const std::string_view separator = job.tags.field, name = lob.name;
  const std::string_view numbers = job.indexPrefix ? "0123456789./-C=" : "0123456789./-";
  return lob.sink && name.find_first_of("\"\r\n") == std::string_view::npos &&
         name.find_first_of(separator) == std::string_view::npos &&
         separator.find_first_of(numbers) == std::string_view::npos;
}

CsvFields::CsvFields(Sink& data, const BlockContext& bc, UnloadJob& job, const LobFile& lob)
    : data_(data),
      bc_(bc),
      tags_(job.tags),
      field_(data, tags_.field.data(), tags_.field.size()),
      nulValues_(job.nulValues) {
  const bool separatorInCoded = meetsCodedText(tags_.field.data(), tags_.field.size());
  const bool referencesInPlace = csvLobReferencesInPlace(lob, job);
  for (unsigned code = 0; code < 256; code++) {
    const ColumnTypeCode type = static_cast<ColumnTypeCode>(code);
    straight_[code] = (!separatorInCoded && isCodedText(type)) || (referencesInPlace && isLobType(type));
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
