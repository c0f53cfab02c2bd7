// The core dictionary in a SYSTEM file, shared by the scenarios that give
// their tables a dictionary. It is kept as Oracle keeps it: USER$ in the
// user cluster C_USER# (data object 10, table 1); OBJ$ (data object 18);
// TAB$, IND$, COL$ and COLTYPE$ in the object cluster C_OBJ# (data object
// 2, tables 1, 3, 5 and 6); TABPART$ (data object 230). Each segment has a
// fixed header block below kSystemBlocks and room after it.
//
// The rows describe every table and object of a Catalog, the dictionary's
// own tables included; the dictionary files a bootstrap writes from them
// (BEXUSR, BEXOBJ, BEXTAB, BEXCOL, the 64 column map files, BEXTYP) are
// written by writeDictionaryFiles.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "forge/dict_catalog.h"
#include "forge/scenario.h"

namespace bex::forge {

inline constexpr uint16_t kSystemRfn = 1;
inline constexpr uint32_t kSystemTs = 0, kSystemBlocks = 99;
inline constexpr uint32_t kSysUser = 0;
inline constexpr uint32_t kCsDb = 852, kCsNational = 2000;  // ZHS16GBK, AL16UTF16
inline constexpr const char* kXmlTypeOid = "00000000000000000000000000020100";  // SYS.XMLTYPE
inline constexpr uint32_t kObjTypeIndex = 1, kObjTypeTable = 2, kObjTypeCluster = 3, kObjTypeLob = 21;

// Column definitions of COL$ rows.
namespace coldef {
ColDef num(const std::string& name, std::optional<int32_t> precision = {}, std::optional<int32_t> scale = {},
           bool notNull = false);
ColDef nn(ColDef c);
ColDef typed(const std::string& name, uint32_t type, uint32_t length, std::optional<int32_t> precision = {},
             std::optional<int32_t> scale = {});
// Character columns: form 1 in the database character set, 2 national.
ColDef text(const std::string& name, uint32_t type, uint32_t length, uint32_t form = 1);
ColDef vc(const std::string& name, uint32_t length);
// COL#, SEGCOL# and INTCOL# (0: the same as COL#) set explicitly.
ColDef at(ColDef c, uint32_t colNo, uint32_t segColNo, uint32_t intColNo = 0);
}  // namespace coldef

ObjectDef objectDef(uint32_t owner, const std::string& name, uint32_t objNo, uint32_t type);

// Column type codes of the COL$ lines in BEXCOL.TXT, by stored position.
const std::vector<uint8_t>& colFileCodes();

// The rows of each dictionary table in the order a block scan meets them.
struct DictScan {
  std::vector<Row> user, obj, tab, ind, col, coltype, tabpart;
};

// The SYSTEM file's layout (tablespace 0, kSystemBlocks blocks).
FileSpec systemFileSpec(const ScenarioOut& out, const std::string& file);
// An application file of tablespace ts named USERS.
FileSpec usersFileSpec(const ScenarioOut& out, const std::string& file, uint16_t rfn, uint32_t ts);

// Adds the dictionary's own tables and its two clusters to c, then places
// the rows that describe all of c in `system`.
bool placeDictionary(ForgeFile& system, Catalog& c, DictScan& scan, std::string& error);

// The rows that describe the tables of `dropped` (OBJ$, TAB$, TABPART$,
// COL$), placed as DROP ... PURGE leaves them: deleted but intact, in the
// first free block after each live dictionary segment's rows. `scan` gets
// them in the order a block scan meets them.
bool placeDroppedDictionary(ForgeFile& system, const Catalog& dropped, DictScan& scan, std::string& error);

// The files of deleted dictionary rows a bootstrap writes beside the live
// ones (BEXOBJDEL, BEXTABDEL, BEXCOLDEL), under dir (ending in "/").
bool writeDroppedDictionaryFiles(const std::string& dir, const DictScan& s, std::string& error);

// The dictionary files a bootstrap writes, under dir (ending in "/").
bool writeDictionaryFiles(const std::string& dir, const DictScan& s, std::string& error);

// Creates a directory unless it exists.
bool makeDir(const std::string& path, std::string& error);

}  // namespace bex::forge
