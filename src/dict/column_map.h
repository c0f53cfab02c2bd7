// The column map files (BEXCOLMAP000.TXT .. BEXCOLMAP063.TXT): the column
// dictionary (BEXCOL.TXT) split by OBJ# modulo 64, its lines unchanged, so
// that looking up one table's columns reads a 64th of it. The queries read
// a map file through the dictionary index (dict/dict_index.h).
#pragma once
#include <cstdint>
#include <string>

namespace bex {

class DictDirectory;
class DictFiles;

inline constexpr unsigned kColumnMapFiles = 64;

// dir/BEXCOLMAP%03u.TXT: the map file holding objNo's columns.
std::string columnMapName(const DictDirectory& dir, uint32_t objNo);

// Builds the 64 map files from dir/BEXCOL.TXT; nothing happens when
// BEXCOL.TXT cannot be opened. What the directory's index knew of the files
// is dropped.
void splitColumnFile(const DictFiles& dir);

}  // namespace bex
