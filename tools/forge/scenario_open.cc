// Scenario "open": files for OPEN and CHECK. The configuration has a comment
// line, a blank line, a file with a header-size field, a missing file, two
// files with relative file number 4 (the later one wins block reads), and a
// file without header blocks whose first good block is a table block.
#include "forge/scenario.h"
#include "forge/values.h"

namespace bex::forge {

namespace {

// A file with one table block (block 3) of the given object and one row.
bool addFile(ScenarioOut& out, FileSpec fs, uint32_t objd, std::string_view label,
             std::string& error) {
  fs.blocks = 7;
  ForgeFile f(fs);
  TableBlockSpec t;
  t.trans.objd = objd;
  TableRow r;
  r.piece.cols = {col(numberInt(objd)), col(label)};
  t.tables[0] = {r};
  f.addTableBlock(3, t);
  return out.add(f, error);
}

}  // namespace

bool buildOpenScenario(ScenarioOut& out, std::string& error) {
  out.configLine("# OPEN test configuration: one data file per line, optional header size");

  FileSpec system = out.fileSpec("open_system01.dbf", 1);
  system.headerSize = 0;
  system.header.tsNumber = 0;
  system.header.tsName = "SYSTEM";
  if (!addFile(out, system, 1001, "system", error)) return false;
  out.configLine("");

  FileSpec users = out.fileSpec("open_users04.dbf", 4);
  users.headerSize = out.options().headerSizeGiven ? out.options().headerSize : 8192;
  if (!addFile(out, users, 1004, "users", error)) return false;

  out.configLine(out.path("open_missing.dbf"));
  out.note("open_missing.dbf is listed in the configuration but not written");

  FileSpec other = out.fileSpec("open_other04.dbf", 4);
  other.headerSize = 0;
  other.header.dbid = 0x0badcafe;
  other.header.dbName = "OTHERDB";
  other.header.tsNumber = 5;
  other.header.tsName = "OTHER";
  if (!addFile(out, other, 2004, "other", error)) return false;

  FileSpec bare = out.fileSpec("open_bare07.dbf", 7);
  bare.headerSize = 0;
  bare.withHeader = false;
  return addFile(out, bare, 1007, "bare", error);
}

}  // namespace bex::forge
