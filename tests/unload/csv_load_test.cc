// CSV style end to end on the forged schema APP (bexforge csv): the road of
// the scenario unloads every table; each control file, read by a reader of
// the control-file syntax (control_reader.h), loads from the data and LOB
// files every row and value the forge stored (expect/load/).
#include <dirent.h>
#include <gtest/gtest.h>
#include <iconv.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "control_reader.h"
#include "unload_test_util.h"

using namespace bex;
using namespace bex::testing;

namespace {

// The road writes the data files' text in GBK (the database character set
// and the national one's default target) and CLOB and NCLOB values in UTF-8.
std::string utf8OfGbk(const std::string& s) {
  iconv_t cd = iconv_open("UTF-8", "GBK");
  std::string in = s, out(s.size() * 3 + 1, '\0');
  char* ip = in.data();
  char* op = out.data();
  size_t il = in.size(), ol = out.size();
  const size_t r = iconv(cd, &ip, &il, &op, &ol);
  iconv_close(cd);
  if (r == static_cast<size_t>(-1)) return "(not GBK) " + s;
  out.resize(out.size() - ol);
  return out;
}

std::string fromHex(const std::string& h) {
  std::string b;
  for (size_t i = 0; i + 1 < h.size(); i += 2) b += static_cast<char>(std::stoi(h.substr(i, 2), nullptr, 16));
  return b;
}

// The type of each column of the table, from the CREATE TABLE of its
// syntax script: ' "NAME"  TYPE...'.
std::vector<std::string> columnTypes(const std::string& syntax) {
  std::vector<std::string> types;
  std::istringstream in(syntax);
  std::string line;
  while (std::getline(in, line)) {
    const size_t q = line.find('"', 2);
    if (line.rfind(" \"", 0) != 0 || q == std::string::npos) continue;
    std::istringstream rest(line.substr(q + 1));
    std::string type, next;
    rest >> type >> next;
    type = type.substr(0, type.find('('));
    types.push_back(type == "LONG" && next.rfind("RAW", 0) == 0 ? "LONG RAW" : type);
  }
  return types;
}

// Oracle keeps no empty strings, but empty LOBs.
LoaderValue inOracle(const LoaderValue& v, const std::string& type) {
  const bool lob = type == "CLOB" || type == "NCLOB" || type == "BLOB";
  return v && v->empty() && !lob ? LoaderValue() : v;
}

// A value as the loading database holds it, in the forge's terms: text in
// UTF-8, RAW as its bytes.
LoaderValue asLoaded(const LoaderValue& v, const std::string& type) {
  if (!v) return v;
  LoaderValue out = *v;
  if (type == "RAW" || type == "LONG RAW") out = fromHex(*v);
  for (const char* text : {"VARCHAR2", "NVARCHAR2", "CHAR", "NCHAR", "VARCHAR", "LONG"})
    if (type == text) out = utf8OfGbk(*v);
  return out;
}

std::vector<LoaderRow> forgedRows(const std::string& path) {
  std::vector<LoaderRow> rows;
  std::istringstream in(readWhole(path));
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("row", 0) != 0) continue;
    std::istringstream values(line.substr(3));
    LoaderRow row;
    for (std::string v; values >> v;) row.push_back(v == "-" ? LoaderValue() : fromHex(v.substr(1)));
    rows.push_back(row);
  }
  return rows;
}

std::vector<std::string> filesEndingIn(const std::string& dir, const std::string& suffix) {
  std::vector<std::string> names;
  DIR* d = opendir(dir.c_str());
  while (dirent* e = d ? readdir(d) : nullptr) {
    const std::string n = e->d_name;
    if (n[0] != '.' && n.size() > suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0) names.push_back(n);
  }
  if (d) closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

// The statements of expect/road.sql, with the UNLOAD lines of @ scripts.
void runRoad(UnloadShell& sh) {
  std::istringstream road(readWhole("expect/road.sql"));
  for (std::string line; std::getline(road, line);) {
    if (line.rfind("REM", 0) == 0 || line[0] == '!' || line == "EXIT") continue;
    if (line[0] != '@') {
      if (line.back() == ';') line.pop_back();
      sh.statement(line);
      continue;
    }
    std::istringstream script(readWhole(line.substr(1)));
    for (std::string u; std::getline(script, u);) {
      if (u.back() == ';') u.pop_back();
      const std::string out = sh.statement(u);
      EXPECT_NE(out.find("Sucessfully unload"), std::string::npos) << u << "\n" << out;
    }
  }
}

}  // namespace

TEST(CsvLoad, ControlFilesLoadEveryForgedValue) {
  ScratchDir dir;
  ASSERT_TRUE(forgeScenario("csv", dir.path));
  ASSERT_EQ(chdir(dir.path.c_str()), 0);
  mkdir("BEXDICT", 0755);
  {
    UnloadShell sh;
    runRoad(sh);
  }
  std::map<std::string, std::vector<LoaderRow>> loaded;  // by table, every partition's rows together
  std::map<std::string, std::vector<std::string>> types;
  for (const std::string& ctl : filesEndingIn(".", "_sqlldr.ctl")) {
    SCOPED_TRACE(ctl);
    LoaderControl c;
    std::string error;
    ASSERT_TRUE(parseControl(readWhole(ctl), c, error)) << error;
    EXPECT_TRUE(c.embedded && c.enclosed && c.preserveBlanks && c.separator == "," && c.recordEnd == "\n");
    std::vector<LoaderRow> rows;
    ASSERT_TRUE(loadRows(c, ".", rows, error)) << error;
    const std::vector<std::string>& t = types[c.table] =
        columnTypes(readWhole(ctl.substr(0, ctl.size() - 11) + "_syntax.sql"));
    for (LoaderRow& r : rows) {
      ASSERT_EQ(r.size(), t.size());
      for (size_t i = 0; i < r.size(); i++) r[i] = inOracle(asLoaded(r[i], t[i]), t[i]);
      loaded[c.table].push_back(r);
    }
  }
  const std::vector<std::string> tables = filesEndingIn("expect/load", "");
  ASSERT_EQ(loaded.size(), tables.size());
  for (const std::string& name : tables) {
    SCOPED_TRACE(name);
    const std::string table = name.substr(name.find('.') + 1);
    std::vector<LoaderRow> want = forgedRows("expect/load/" + name), got = loaded[table];
    for (LoaderRow& r : want)
      for (size_t i = 0; i < r.size() && i < types[table].size(); i++) r[i] = inOracle(r[i], types[table][i]);
    std::sort(want.begin(), want.end());
    std::sort(got.begin(), got.end());
    EXPECT_EQ(got, want);
  }
  ASSERT_EQ(chdir("/"), 0);
}
