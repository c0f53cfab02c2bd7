// Column type codes and the column value writer they select. A code is
// Oracle's type number, or one of the tool's own: 0 SKIP, 108 NARRAY,
// 109 VARRAY, 253 UNKNOWN, 254 NCHAR, 255 NCLOB. Every code has one text
// decoder; codes without one of their own are written in hexadecimal.
#pragma once
#include <cstddef>
#include <cstdint>

#include "base/sink.h"

namespace bex {

struct BlockContext;

enum ColumnTypeCode : uint8_t {
  kTypeSkip = 0,
  kTypeVarchar2 = 1,
  kTypeNumber = 2,
  kTypeLong = 8,
  kTypeVarchar = 9,
  kTypeDate = 12,
  kTypeRaw = 23,
  kTypeLongRaw = 24,
  kTypeRowid = 69,
  kTypeChar = 96,
  kTypeBinaryFloat = 100,
  kTypeBinaryDouble = 101,
  kTypeNarray = 108,
  kTypeVarray = 109,
  kTypeClob = 112,
  kTypeBlob = 113,
  kTypeTimestamp = 180,
  kTypeTimestampTz = 181,
  kTypeIntervalYm = 182,
  kTypeIntervalDs = 183,
  kTypeUrowid = 208,
  kTypeTimestampLtz = 231,
  kTypeUnknown = 253,
  kTypeNchar = 254,
  kTypeNclob = 255,
};

// Character-set form of a national-character column (NCHAR, NVARCHAR2,
// NCLOB); any other form is the database character set.
inline constexpr uint16_t kCharsetFormNational = 2;

// One column position of the object being unloaded, as the value writers
// need it.
struct ColumnSpec {
  uint8_t type = kTypeSkip;  // ColumnTypeCode
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

ValueDecoder decoderFor(uint8_t type);
inline bool isLobType(uint8_t type) { return decoderFor(type) == ValueDecoder::kLob; }

// Writes the text of one non-NULL value (length > 0, already bounds-checked
// against its block by the caller). Uses the context's BYTE_ORDER and its
// national-character conversion. LOB and SKIP columns write nothing here.
void writeColumnValue(Sink& out, const uint8_t* v, size_t length, const ColumnSpec& col,
                      const BlockContext& bc);

}  // namespace bex
