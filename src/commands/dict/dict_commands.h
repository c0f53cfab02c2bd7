// The commands answered from the dictionary files: LIST (every kind, the
// character-set table included) and DESC / DESCRIBE.
#pragma once
#include <cstdint>

namespace bex {

struct RunContext;

// LIST { TABLE | VIEW | PROCEDURE | FUNCTION | INDEX | PACKAGE | DDL } user [TO file]
// LIST { USER | CHARSET }
void cmdListDictionary(RunContext& rc);

// LIST DROPPED user [TO file]: the tables of the user a DROP left in the
// files of deleted dictionary rows, each with a ready UNLOAD line (for
// the TO file or the console); user is the name as typed.
class Sink;
void listDroppedTables(RunContext& rc, Sink& out, const char* user, uint32_t userNo);

// DESC owner.table [partition]
void cmdDesc(RunContext& rc);

}  // namespace bex
