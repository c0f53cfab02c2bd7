// The SYSTEM file (rfn 1) of a benchmark's forged database: a dictionary
// that names one table of the user BENCH and its columns, for the roads
// that need names (UNLOAD TABLE, export dumps, PostgreSQL).
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>

#include "forge/dict_system.h"

namespace bex::forge {

inline constexpr uint32_t kBenchUser = 100;

// Writes the file at path in blocks of blockSize with table t (its owner
// becomes BENCH); false, with a line on standard error naming tool, when
// it cannot.
inline bool writeBenchSystem(const std::string& path, uint32_t blockSize, TableDef t, const char* tool) {
  FileSpec file;
  file.name = path;
  file.rfn = kSystemRfn;
  file.blockSize = blockSize;
  file.blocks = kSystemBlocks;
  file.header.tsNumber = kSystemTs;
  file.header.tsName = "SYSTEM";
  ForgeFile system(file);
  Catalog c;
  c.users = {{kSysUser, "SYS", 1, ""}, {kBenchUser, "BENCH", 1, ""}};
  t.owner = kBenchUser;
  c.tables.push_back(t);
  DictScan scan;
  std::string error, expect;
  if (placeDictionary(system, c, scan, error) && system.write(path, expect, error)) return true;
  fprintf(stderr, "%s: %s\n", tool, error.c_str());
  return false;
}

}  // namespace bex::forge
