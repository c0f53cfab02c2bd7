// UNLOAD: TABLE owner.table (through the dictionary), OBJECT objd (column
// types from COLUMN words), or TABLE DICT$ (the dictionary bootstrap).
#pragma once

namespace bex {

struct RunContext;

void cmdUnload(RunContext& rc);

}  // namespace bex
