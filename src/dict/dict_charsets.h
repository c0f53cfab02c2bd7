// The character sets a database's own columns were written in, read from
// the column dictionary: COL$ names the set of every character column by
// CHARSETID and CHARSETFORM (1 the database set, 2 the national set).
#pragma once
#include <cstdint>

namespace bex {

class DictFiles;

// The most common CHARSETID of each form; 0 where the dictionary holds no
// column of that form (or no BEXCOL.TXT).
struct DictCharsets {
  uint16_t database = 0;
  uint16_t national = 0;
};

DictCharsets dictionaryCharsets(const DictFiles& dir);

}  // namespace bex
