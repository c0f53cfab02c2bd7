// The commands answered from the dictionary files: LIST (every kind, the
// character-set table included) and DESC / DESCRIBE.
#pragma once

namespace bex {

struct RunContext;

// LIST { TABLE | VIEW | PROCEDURE | FUNCTION | INDEX | PACKAGE | DDL } user [TO file]
// LIST { USER | CHARSET }
void cmdListDictionary(RunContext& rc);

// DESC owner.table [partition]
void cmdDesc(RunContext& rc);

}  // namespace bex
