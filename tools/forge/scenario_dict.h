// The dictionary scenario, for scenarios that add to its database.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "forge/dict_system.h"

namespace bex::forge {

// The files of the dictionary scenario a scenario adds to: the SYSTEM
// file, the USERS file (rfn 4, tablespace 4) and its next free block.
struct DictAddition {
  ForgeFile& system;
  ForgeFile& users;
  uint32_t& nextUsersBlock;
};
using DictAdd = bool (*)(ScenarioOut& out, const DictAddition& a, std::string& error);
// SYS tables a scenario adds to the dictionary itself (given the placed
// application catalog), their segments placed in the SYSTEM file: their
// OBJ$, TAB$ and COL$ rows join the dictionary's and the expectations
// cover them.
using DictExtend = bool (*)(ForgeFile& system, const Catalog& app, std::vector<TableDef>& tables, std::string& error);

// The dictionary scenario with `extend` run (when given) before the
// dictionary rows are placed, and `add` once its own segments and
// expectations are in place, before the files are written.
bool buildDictScenarioWith(ScenarioOut& out, std::string& error, DictAdd add, DictExtend extend = nullptr);

}  // namespace bex::forge
