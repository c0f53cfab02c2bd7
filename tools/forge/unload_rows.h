// Rows for the unload scenario: stored columns together with the text a
// correct unload writes for them, the expected data files built from those
// texts (for the default tags and for a second tag pair), and the extent
// listing a database scan would write for the forged files.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "forge/forge_file.h"
#include "forge/row_piece.h"

namespace bex::forge {

// One stored column and its text under its own column type.
struct Val {
  Column col;
  std::string text;
};
Val vnum(int64_t v);
Val vstr(const std::string& s);
Val vdate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
Val vnull();

std::vector<Column> columnsOf(const std::vector<Val>& vals);

// A table row: its stored columns in segment column order.
using Row = std::vector<Val>;

// The fields of one output row, in order.
using Fields = std::vector<std::string>;

// The fields written for a row stored as vals when the COLUMN list gives
// every column its own type and has `count` entries: stored values, then
// empty fields up to count (a data file was named, so a LOB file is open).
Fields fieldsOf(const std::vector<Val>& vals, size_t count);

// The fields for COLUMN NUMBER SKIP VARCHAR2 (count 3): column 1 as
// stored text, column 2 nothing, column 3 as stored, every further stored
// column as "C<n>=" and upper-case hexadecimal (nothing for NULL).
Fields unknownFields(const std::vector<Val>& vals);

struct ExpectedRows {
  std::string name;  // file name part: unload.<name>.txt
  std::vector<Fields> rows;
};

// Tag pairs the expected files are written for: "" is FIELD_TAG "|" with
// RECORD_TAG "\r\n" (the defaults); "tab" is FIELD_TAG "\t|" with
// RECORD_TAG "\n".
std::string renderRows(const ExpectedRows& e, const std::string& fieldTag, const std::string& recordTag);

bool writeTextFile(const std::string& path, const std::string& text, std::string& error);

// The data and LOB files of an UNLOAD into a data file (default tags, so a
// LOB file named lobName is open): codes gives each stored position's type
// code (0 SKIP, 112, 113 and 255 LOB columns), count the positions of the
// column list. A LOB column's value goes to the LOB file as its text (the
// bytes the LOB reader writes) with its record tag, the data file getting
// "lobName.start.length/"; an empty one, and every LOB position a row does
// not store, gets "lobName.start.-1/" and the record tag alone.
struct UnloadedFiles {
  std::string data, lob;
};
UnloadedFiles renderUnload(const std::vector<Row>& rows, const std::vector<uint8_t>& codes, size_t count,
                           const std::string& lobName);

// Writes <dir>/unload.<name>.txt and unload.<name>.tab.txt for each.
bool writeExpectedRows(const std::string& dir, const std::vector<ExpectedRows>& all, std::string& error);

// A compressed block of object objd: symbol rows 0 "SALES", 1 (100, "EUR")
// with two columns, 2 "HR"; data rows (columns VARCHAR2 NUMBER VARCHAR2
// NUMBER) SALES 100 EUR 1, HR 100 EUR 2, IT NULL NULL 3 (all stored in the
// row) and SALES 100 EUR 4 (through a two-byte symbol reference).
CompressedBlockSpec salesCompressedBlock(uint32_t objd);

// Runs of consecutive table and index blocks of one object, in the extent
// listing's line format "%u,%u,%u,%u,%llu,\r\n" (row count written as 0).
std::string extentListing(const ForgeFile& f);

}  // namespace bex::forge
