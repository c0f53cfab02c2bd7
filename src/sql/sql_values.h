// Stored column values as SQLite values: NUMBER as an integer when it fits
// 64 bits, else its exact decimal text; DATE and TIMESTAMP as ISO-8601
// text; RAW, LONG RAW and BLOB as blobs; character types and CLOB as text
// through the run's conversions; BINARY_FLOAT and BINARY_DOUBLE as reals;
// any other type as the hexadecimal text UNLOAD writes.
#pragma once
#include <sqlite3.h>

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "base/block_context.h"
#include "base/sink.h"
#include "value/charset.h"
#include "value/column_type.h"

namespace bex {

// The SQLite column type a column is declared with: its affinity decides
// how the values compare with literals.
const char* sqlDeclaredType(ColumnTypeCode t);

// The run's conversions turned to UTF-8, the text SQLite holds: national
// text, NCLOB and CLOB from the sources the run reads them in, and CHAR and
// VARCHAR2 from the database character set (no conversion when that is
// UTF-8 already or iconv does not know it: the stored bytes go through).
struct SqlConversions {
  SqlConversions(const Conversions& run, uint16_t databaseCharset);
  ~SqlConversions();
  SqlConversions(const SqlConversions&) = delete;
  SqlConversions& operator=(const SqlConversions&) = delete;
  Conversions lobs;  // for the BlockContext of the walks
  Conversion text;
};

// The value of v[0, length) (length > 0) as the query's result; rowRdba:
// the block of the row (LOB locators); text: CHAR and VARCHAR2 to UTF-8.
void resultValue(sqlite3_context* ctx, const ColumnSpec& col, const uint8_t* v, uint32_t length, uint32_t rowRdba,
                 BlockContext& bc, Conversion& text, StringSink& scratch);

// The key bex_number() gives a decimal text: the number in Oracle's stored
// form, whose bytes sort as the numbers do. Its length (at most 22); 0
// when text is no number.
size_t numberKey(std::string_view text, uint8_t* key);

// bex_number(x): the key of a number, text or integer; NULL for NULL or
// for what is no number.
void sqlNumberFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv);

// bex_sum(x): the exact sum of numbers given as integers or decimal text
// (what NUMBER columns hold); an integer when the sum is one that fits 64
// bits, else its exact decimal text; NULL when every value was NULL.
void sqlExactSumStep(sqlite3_context* ctx, int argc, sqlite3_value** argv);
void sqlExactSumFinal(sqlite3_context* ctx);

}  // namespace bex
