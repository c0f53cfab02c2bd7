#include "commands/unload/pg_script.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

namespace bex {

namespace {

bool fileExists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A word for the shell ('\'' ends, escapes and reopens).
std::string shellQuoted(std::string_view s) {
  std::string q = "'";
  for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

// ---- the script ---------------------------------------------------------

const char kPrologue[] =
    "-- PostgreSQL load script written by BEX (LOAD SCRIPT) for the tables unloaded in its\n"
    "-- run. Run it with psql in this directory, into a database of encoding UTF8:\n"
    "--   psql -d DATABASE -f %s\n"
    "-- Each table is created and loaded in a transaction of its own; the tables unloaded\n"
    "-- in OUTPUT_STYLE CSV are loaded from their data and LOB files.\n"
    "\n"
    "SET client_min_messages = warning;\n";

// The rows of one data file into the table `name`.
void loadFile(std::string& s, const UnloadedTable& t, const std::string& name) {
  appendFormat(s, "-- %s\n", t.dataFile.c_str());
  if (!fileExists(t.dataFile)) return appendFormat(s, "-- (not there: no rows were unloaded)\n");
  if (t.separator.size() != 1)
    return appendFormat(s, "-- (not loaded: PostgreSQL reads a separator of one byte only)\n");
  std::vector<std::string> fields;
  for (size_t i = 0; i < t.columns.size(); i++) fields.push_back(shortFormat("\"f%zu\"", i + 1));
  s += "CREATE TEMP TABLE bex_rows (";
  if (t.rowAddress) s += "\"bex_rowaddr\" text, ";
  for (size_t i = 0; i < fields.size(); i++) appendFormat(s, "%s text%s", fields[i].c_str(), i + 1 < fields.size() ? ", " : "");
  s += ");\n";
  const std::string source =
      t.textNul ? "PROGRAM " + pgLiteral("tr -d '\\000' < " + shellQuoted(t.dataFile)) : pgLiteral(t.dataFile);
  appendFormat(s, "\\copy bex_rows FROM %s WITH (FORMAT csv, DELIMITER E'\\x%02x', ENCODING 'LATIN1')\n", source.c_str(),
          static_cast<unsigned char>(t.separator[0]));
  const bool lob = pgHasLob(t) && fileExists(t.lobFile);
  if (lob)
    appendFormat(s, "\\lo_import %s\n\\set bex_lob :LASTOID\n", pgLiteral(t.lobFile).c_str());
  else if (pgHasLob(t))
    s += "\\set bex_lob NULL\n";
  const PgEncodings e = pgEncodingsOf(t);
  appendFormat(s, "INSERT INTO %s (", name.c_str());
  for (size_t i = 0; i < t.columns.size(); i++)
    appendFormat(s, "%s%s", pgName(t.columns[i].name).c_str(), i + 1 < t.columns.size() ? ", " : "");
  s += ")\n  SELECT ";
  for (size_t i = 0; i < t.columns.size(); i++)
    appendFormat(s, "%s%s", pgValueOf(t.columns[i], fields[i], e, ":bex_lob").c_str(), i + 1 < t.columns.size() ? ",\n         " : "");
  s += "\n  FROM bex_rows;\n";
  if (lob) s += "\\lo_unlink :bex_lob\n";
  s += "DROP TABLE bex_rows;\n";
}

// Every data file of one table (a table unloaded by partitions has one per
// partition), in the order they were unloaded; those of other styles are
// named only.
void writeTable(std::string& s, const std::vector<const UnloadedTable*>& files) {
  const UnloadedTable& first = *files.front();
  appendFormat(s, "\n-- %s.%s\n", first.owner.c_str(), first.table.c_str());
  const UnloadedTable* csv = nullptr;
  for (const UnloadedTable* f : files) {
    const UnloadedTable& u = *f;
    if (u.style->loadsIntoPostgres && !csv) csv = &u;
    if (!u.style->loadsIntoPostgres)
      appendFormat(s, "-- %s: unloaded in %s style; unload it with OUTPUT_STYLE CSV to load it here\n",
              u.dataFile.c_str(), u.style->name);
  }
  if (!csv) return;
  const std::string name = pgName(csv->owner) + "." + pgName(csv->table);
  appendFormat(s, "BEGIN;\nSET LOCAL client_encoding = '%s';\n", pgEncodingsOf(*csv).database.c_str());
  s += pgCreateTable(*csv, name);
  for (const UnloadedTable* u : files)
    if (u->style->loadsIntoPostgres) loadFile(s, *u, name);
  s += "COMMIT;\n";
}

// The data files of the run by table (owner and name), the tables in the
// order of their first data file.
std::vector<std::vector<const UnloadedTable*>> byTable(const UnloadHistory& h) {
  std::vector<std::vector<const UnloadedTable*>> tables;
  std::unordered_map<std::string, size_t> index;
  for (const UnloadedTable& u : h.tables()) {
    std::string key = u.owner;
    key += '\0';
    key += u.table;
    const auto [at, added] = index.try_emplace(std::move(key), tables.size());
    if (added) tables.emplace_back();
    tables[at->second].push_back(&u);
  }
  return tables;
}

}  // namespace

std::string pgScriptName(const char* batchPath) {
  std::string name(batchPath);
  const size_t slash = name.rfind('/'), dot = name.rfind('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) name.resize(dot);
  return name + "_pg.sql";
}

bool writePgScript(const char* path, const UnloadHistory& h) {
  std::string base(path);
  const size_t slash = base.rfind('/');
  if (slash != std::string::npos) base.erase(0, slash + 1);
  std::string s;
  appendFormat(s, kPrologue, base.c_str());
  s += kPgFunctions;
  for (const std::vector<const UnloadedTable*>& files : byTable(h)) writeTable(s, files);
  FILE* f = fopen(path, "wb");
  if (!f) return false;
  const bool ok = fwrite(s.data(), 1, s.size(), f) == s.size();
  return fclose(f) == 0 && ok;
}

}  // namespace bex
