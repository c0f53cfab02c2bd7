#include "value/column_type.h"

#include "base/block_context.h"
#include "value/charset.h"
#include "value/collection.h"
#include "value/datetime.h"
#include "value/float.h"
#include "value/hex.h"
#include "value/number.h"

namespace bex {
namespace {

using D = ValueDecoder;

// National-character text through the context's conversion; stored bytes
// when the run has no conversions.
void writeNational(Sink& out, const uint8_t* v, size_t length, const BlockContext& bc) {
  if (bc.conversions == nullptr) return out.write(v, length);
  convertValue(out, bc.conversions->nchar, v, length);
}

// CHAR values are blank-padded to their declared length.
void writeCharText(Sink& out, const uint8_t* v, size_t length) {
  while (length > 0 && v[length - 1] == ' ') length--;
  out.write(v, length);
}

}  // namespace

void writeOtherColumnValue(Sink& out, const uint8_t* v, size_t length, const ColumnSpec& col,
                           const BlockContext& bc) {
  const bool national = col.charsetForm == kCharsetFormNational;
  switch (decoderFor(col.type)) {
    case D::kNone:
    case D::kLob:
      return;
    case D::kStoredBytes:
      // LONG has no national form; only VARCHAR2 and VARCHAR are converted.
      if (national && col.type != ColumnTypeCode::kLong) return writeNational(out, v, length, bc);
      return out.write(v, length);
    case D::kChar:
      if (national) return writeNational(out, v, length, bc);
      return writeCharText(out, v, length);
    case D::kNational:
      return writeNational(out, v, length, bc);
    case D::kNumber:
      return writeNumberText(out, v, length);
    case D::kDate:
      return writeDateText(out, v, length);
    case D::kTimestamp:
      return writeTimestampText(out, v, length);
    case D::kTimestampTz:
      return writeTimestampTzText(out, v, length);
    case D::kFloat:
      return writeFloatText(out, v, length);
    case D::kNumberCollection:
      return writeNumberCollectionText(out, v, length, bc.byteOrder);
    case D::kStringCollection:
      return writeStringCollectionText(out, v, length, bc.byteOrder);
    case D::kHex:
      return writeHexText(out, v, length);
  }
}

}  // namespace bex
