// The column dictionary (BEXCOL.TXT) split into 64 column map files by OBJ#
// modulo 64, so that looking up one table's columns reads a 64th of it.
#pragma once

namespace bex {

class DictFiles;

inline constexpr unsigned kColumnMapFiles = 64;

// Builds dir/BEXCOLMAP000.TXT .. BEXCOLMAP063.TXT from dir/BEXCOL.TXT;
// nothing happens when BEXCOL.TXT cannot be opened. What the directory's
// index knew of the files is dropped.
void splitColumnFile(const DictFiles& dir);

}  // namespace bex
