// Export dumps as a correct UNLOAD TABLE writes them in DMP style, built
// from a table's definition and the values its rows store:
//
//   header (2,268 bytes): 03, CHARSET id (big-endian), "EXPORT:V08.01.07\n",
//     "U" and the user name, "\nRTABLES\n2048\n0\n28\n0\n", the CHARSET id
//     twice and the NLSCHARSET id (big-endian), 00 01 00 00 00 00 00 00,
//     00 00 00 0B, 00, 37 blanks, "Tue Mar 22 17:29:25 2005", "wyndo.dmp",
//     zeros up to byte 2,048, then the 220-byte session block, whose
//     database, national and client character sets are the header's;
//   "TABLE \"name\"\n", the single-line CREATE TABLE text and "\n", the
//     INSERT text and "\n", the column count and one descriptor per
//     position (type, length, and for character types the character set
//     and form), four zero bytes;
//   rows: each position's value (16-bit length and bytes, FE FF for NULL,
//     FD FF then pieces then 00 00 for LONG, LONG RAW and LOBs in blocks),
//     then 00 00;
//   FF FF 0A, "EXIT\nEXIT\n", 2,048 zero bytes.
//
// Every 16-bit number is little-endian except the header's character-set
// ids. Beside each dump the forge writes FILE.values: one line per row,
// one word per position, "-" for NULL, else the lower-case hexadecimal of
// the value's bytes (the pieces of a LONG or LOB joined).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "forge/dict_catalog.h"
#include "forge/scenario.h"

namespace bex::forge {

// One position of a row as the dump carries it.
struct DumpCell {
  enum Kind : uint8_t { Null, Value, Pieces } kind = Null;
  std::vector<Bytes> parts;  // Value: the one value; Pieces: each piece in order
};
DumpCell dumpNull();
// The stored column; NULL and empty values are NULL.
DumpCell dumpValue(const Column& c);
DumpCell dumpPieces(std::vector<Bytes> parts);
// The bytes the cell takes in a row.
Bytes encodeDumpCell(const DumpCell& c);
using DumpRow = std::vector<DumpCell>;  // positions a row does not store are NULL

// One position of the table: the column whose SEGCOL# it is.
struct DumpColumn {
  std::string name;
  uint32_t type = 0, length = 0, charsetId = 0, form = 0;
  bool notNull = false;
  bool xmlType = false;   // an XMLTYPE column stored in this one
  std::string typeText;   // as CREATE TABLE spells it
};

// The positions of t by SEGCOL#. A column without storage (SEGCOL# 0, an
// object type) hands its name on to the next column that has storage.
std::vector<DumpColumn> dumpColumns(const TableDef& t);

// The cells of a stored row: LONG and LONG RAW values as one piece each.
DumpRow dumpRowOf(const Row& r, const std::vector<DumpColumn>& cols);

struct ExpectedDump {
  std::string user;    // as stored in USER$
  std::string target;  // the table's name (or its AS name)
  uint32_t objd = 0;
  bool uniqueName = false;  // UNIQUE_TNAME: target_objd in CREATE and INSERT
  std::vector<DumpColumn> columns;
  std::vector<DumpRow> rows;
};

// The dump and its .values file, under dir (ending in "/").
bool writeExpectedDump(const std::string& dir, const std::string& file, const ExpectedDump& d, std::string& error);

// expect/dump/kinds.txt: the statements that write each expected dump.
//
//   setup STATEMENT          run once, before any kind (in order)
//   kind NAME FILE [absent]  a table kind whose dump is FILE (absent: the
//                            statements must leave no FILE behind)
//   run STATEMENT            the statements of the kind above
class DumpKinds {
 public:
  // Starts with the settings of the scenario's layout and OPEN of its
  // configuration file.
  explicit DumpKinds(const ScenarioOut& out);
  void setup(const std::string& statement) { text_ += "setup " + statement + "\n"; }
  void kind(const std::string& name, const std::string& file, const std::vector<std::string>& statements,
            bool absent = false);
  bool write(const std::string& dir, std::string& error) const;

 private:
  std::string text_;
};

}  // namespace bex::forge
