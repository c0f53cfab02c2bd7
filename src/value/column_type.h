// Column type codes and the column value writer they select. A code is
// Oracle's type number, or one of the tool's own: 0 SKIP, 108 NARRAY,
// 109 VARRAY, 253 UNKNOWN, 254 NCHAR, 255 NCLOB. Every code has one text
// decoder; codes without one of their own (any byte is a valid code, named
// here or not) are written in hexadecimal.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "base/sink.h"
#include "value/datetime.h"
#include "value/number.h"

namespace bex {

struct BlockContext;

enum class ColumnTypeCode : uint8_t {
  kSkip = 0,
  kVarchar2 = 1,
  kNumber = 2,
  kLong = 8,
  kVarchar = 9,
  kDate = 12,
  kRaw = 23,
  kLongRaw = 24,
  kOpaqueType = 58,
  kRowid = 69,
  kChar = 96,
  kBinaryFloat = 100,
  kBinaryDouble = 101,
  kMlslabel = 105,
  kOsMlslabel = 106,
  kNarray = 108,
  kVarray = 109,
  kRefType = 111,
  kClob = 112,
  kBlob = 113,
  kBfile = 114,
  kCfile = 115,
  kObjectType = 121,
  kNestedTableType = 122,
  kVarrayType = 123,
  kTimestamp = 180,
  kTimestampTz = 181,
  kIntervalYm = 182,
  kIntervalDs = 183,
  kUrowid = 208,
  kTimestampLtz = 231,
  kUnknown = 253,
  kNchar = 254,
  kNclob = 255,
};

inline constexpr uint8_t codeByte(ColumnTypeCode t) { return static_cast<uint8_t>(t); }

// The code of a dictionary TYPE#: the number itself, UNKNOWN beyond a byte.
inline constexpr ColumnTypeCode columnTypeOf(uint32_t typeNo) {
  return typeNo <= 0xFF ? static_cast<ColumnTypeCode>(typeNo) : ColumnTypeCode::kUnknown;
}

// Columns of a named type (object, REF, nested table, VARRAY, opaque): the
// dictionary names the type in COLTYPE$.
inline constexpr bool isObjectType(ColumnTypeCode t) {
  return t == ColumnTypeCode::kOpaqueType || t == ColumnTypeCode::kRefType || t == ColumnTypeCode::kObjectType ||
         t == ColumnTypeCode::kNestedTableType || t == ColumnTypeCode::kVarrayType;
}

// Character-set form of a national-character column (NCHAR, NVARCHAR2,
// NCLOB); any other form is the database character set.
inline constexpr uint16_t kCharsetFormNational = 2;

// One column position of the object being unloaded, as the value writers
// need it.
struct ColumnSpec {
  ColumnTypeCode type = ColumnTypeCode::kSkip;
  uint16_t charsetForm = 0;  // kCharsetFormNational or other
  uint16_t charsetId = 0;    // Oracle character-set id (export dumps)
  uint16_t lobIndexFile = 0;   // LOB columns: segment header of the LOB index,
  uint32_t lobIndexBlock = 0;  // relative file number and block number
};

// What a code's value turns into.
enum class ValueDecoder : uint8_t {
  kNone,              // SKIP: nothing
  kStoredBytes,       // VARCHAR2, VARCHAR, LONG; form 2 converted
  kChar,              // CHAR: trailing blanks dropped; form 2 converted
  kNational,          // NCHAR: always converted
  kNumber,
  kDate,
  kTimestamp,         // TIMESTAMP, WITH LOCAL TIME ZONE
  kTimestampTz,       // WITH TIME ZONE: local time and offset
  kFloat,             // BINARY_FLOAT, BINARY_DOUBLE (by length)
  kNumberCollection,  // NARRAY
  kStringCollection,  // VARRAY
  kLob,               // CLOB, BLOB, NCLOB: written by the LOB readers
  kHex,               // everything else
};

// The decoder of every code byte.
namespace decoder_table {

constexpr std::array<ValueDecoder, 256> makeDecoderTable() {
  std::array<ValueDecoder, 256> t{};
  for (auto& d : t) d = ValueDecoder::kHex;  // ROWID, INTERVAL, UROWID, RAW, unknown...
  auto set = [&t](ColumnTypeCode code, ValueDecoder d) { t[codeByte(code)] = d; };
  set(ColumnTypeCode::kSkip, ValueDecoder::kNone);
  set(ColumnTypeCode::kVarchar2, ValueDecoder::kStoredBytes);
  set(ColumnTypeCode::kVarchar, ValueDecoder::kStoredBytes);
  set(ColumnTypeCode::kLong, ValueDecoder::kStoredBytes);
  set(ColumnTypeCode::kChar, ValueDecoder::kChar);
  set(ColumnTypeCode::kNchar, ValueDecoder::kNational);
  set(ColumnTypeCode::kNumber, ValueDecoder::kNumber);
  set(ColumnTypeCode::kDate, ValueDecoder::kDate);
  set(ColumnTypeCode::kTimestamp, ValueDecoder::kTimestamp);
  set(ColumnTypeCode::kTimestampTz, ValueDecoder::kTimestampTz);
  set(ColumnTypeCode::kTimestampLtz, ValueDecoder::kTimestamp);
  set(ColumnTypeCode::kBinaryFloat, ValueDecoder::kFloat);
  set(ColumnTypeCode::kBinaryDouble, ValueDecoder::kFloat);
  set(ColumnTypeCode::kNarray, ValueDecoder::kNumberCollection);
  set(ColumnTypeCode::kVarray, ValueDecoder::kStringCollection);
  set(ColumnTypeCode::kClob, ValueDecoder::kLob);
  set(ColumnTypeCode::kBlob, ValueDecoder::kLob);
  set(ColumnTypeCode::kNclob, ValueDecoder::kLob);
  return t;
}

inline constexpr std::array<ValueDecoder, 256> kDecoderTable = makeDecoderTable();

}  // namespace decoder_table

inline ValueDecoder decoderFor(ColumnTypeCode type) { return decoder_table::kDecoderTable[codeByte(type)]; }
inline bool isLobType(ColumnTypeCode type) { return decoderFor(type) == ValueDecoder::kLob; }

// Writes the text of one non-NULL value (length > 0, already bounds-checked
// against its block by the caller). Uses the context's BYTE_ORDER and its
// national-character conversion. LOB and SKIP columns write nothing here.
void writeOtherColumnValue(Sink& out, const uint8_t* v, size_t length, const ColumnSpec& col,
                           const BlockContext& bc);

// The same, with the most common values written in place.
inline void writeColumnValue(Sink& out, const uint8_t* v, size_t length, const ColumnSpec& col,
                             const BlockContext& bc) {
  switch (decoderFor(col.type)) {
    case ValueDecoder::kStoredBytes:
      if (col.charsetForm != kCharsetFormNational) return out.write(v, length);
      break;
    case ValueDecoder::kNumber:
      return writeNumberText(out, v, length);
    case ValueDecoder::kDate:
      return writeDateText(out, v, length);
    default:
      break;
  }
  writeOtherColumnValue(out, v, length, col, bc);
}

}  // namespace bex
