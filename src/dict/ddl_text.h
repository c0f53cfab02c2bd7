// Type texts of a column record: the CREATE TABLE form and the DESC form.
// Both spell the type from one table by TYPE# and differ only in blanks,
// the not-null text, the LOB index name (DESC) and the text of a type they
// do not know. LENGTH is in bytes; a national-character column (CHARSETFORM
// 2) shows half of it.
#pragma once
#include <string>

#include "dict/dict_records.h"
#include "base/sink.h"

namespace bex {

// SCALE -127 marks a FLOAT of binary precision PRECISION#; 126 is plain FLOAT.
inline constexpr int32_t kFloatScale = -127;
inline constexpr uint32_t kFloatDefaultPrecision = 126;
inline constexpr uint32_t kNumberPrecisionMax = 38;

// " NUMBER(10,2) NOT NULL " and the like: a leading blank, the type, then
// the not-null text (" NOT NULL ", or " /* NOT NULL */" when commented).
void appendCreateType(std::string& out, const ColumnRecord& c, bool commentNotNull);

// "NUMBER(10,2) NOT NULL\n" and the like, for the column listing of DESC;
// tableObjNo names the LOB index of LOB columns.
void printDescType(Sink& out, const ColumnRecord& c, uint32_t tableObjNo);

}  // namespace bex
