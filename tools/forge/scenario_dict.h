// The dictionary scenario, for scenarios that add to its database.
#pragma once
#include <cstdint>
#include <string>

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

// The dictionary scenario with `add` run (when given) once its own segments
// and expectations are in place, before the files are written.
bool buildDictScenarioWith(ScenarioOut& out, std::string& error, DictAdd add);

}  // namespace bex::forge
