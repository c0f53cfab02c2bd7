// The dictionary scenario's value encoders against the stored forms Oracle's
// own driver encoders wrote (tests/vectors), and the scenario itself in
// every byte order and block size.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "forge/dict_catalog.h"
#include "forge/dict_values.h"
#include "forge/scenario.h"
#include "forge/values.h"

using namespace bex::forge;

namespace {

std::vector<std::vector<std::string>> vectorLines(const std::string& file) {
  std::ifstream in(std::string(BEX_SOURCE_DIR) + "/tests/vectors/" + file);
  std::vector<std::vector<std::string>> out;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    std::stringstream s(line);
    for (std::string x; std::getline(s, x, '\t');) f.push_back(x);
    out.push_back(f);
  }
  return out;
}

std::string upper(const Bytes& b) {
  std::string h = hex(b);
  for (char& c : h) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return h;
}

// Digits that carry value: no sign, point, leading or trailing zeros.
size_t significantDigits(std::string t) {
  std::string d;
  for (char c : t)
    if (isdigit(static_cast<unsigned char>(c))) d += c;
  const size_t first = d.find_first_not_of('0');
  if (first == std::string::npos) return 0;
  if (t.find('.') != std::string::npos) d.erase(d.find_last_not_of('0') + 1);
  return d.size() - first;
}

}  // namespace

TEST(DictValues, NumbersAsOraclesDriverStoresThem) {
  size_t checked = 0;
  for (const auto& f : vectorLines("number_vectors.tsv")) {
    ASSERT_EQ(f.size(), 2u);
    const std::string& text = f[1];
    if (text.find_first_of("eE") != std::string::npos || significantDigits(text) > 38) continue;
    EXPECT_EQ(upper(numberText(text)), f[0]) << text;
    ++checked;
  }
  EXPECT_GT(checked, 3000u);
}

TEST(DictValues, TimestampsAsOraclesDriverStoresThem) {
  size_t checked = 0;
  for (const auto& f : vectorLines("datetime_vectors.tsv")) {
    int y, mo, d, h, mi, s;
    unsigned ns;
    ASSERT_EQ(sscanf(f[2].c_str(), "%d %d %d %d %d %d %u", &y, &mo, &d, &h, &mi, &s, &ns), 7);
    if (y < 1) continue;
    Val v;
    if (f[0] == "TIMESTAMP_TZ")
      v = vtimestampTz(y, mo, d, h, mi, s, ns, 0, 0);
    else if (f[0] == "DATE")
      v = vdate(y, mo, d, h, mi, s);
    else if (f[1].size() == 22)
      v = vtimestamp(y, mo, d, h, mi, s, ns);
    else
      continue;  // a TIMESTAMP without a fraction is stored in 7 bytes
    EXPECT_EQ(upper(v.col.bytes), f[1]) << f[0] << " " << f[2];
    ++checked;
  }
  EXPECT_GT(checked, 1000u);
}

TEST(DictValues, PositiveFloatsAsOraclesDriverStoresThem) {
  size_t checked = 0;
  for (const auto& f : vectorLines("float_vectors.tsv")) {
    if (f[2][0] == '-' || f[2] == "0" || f[2].find_first_of("IiNn") != std::string::npos) continue;
    const Val v = f[0] == "BINARY_FLOAT" ? vfloat(strtof(f[2].c_str(), nullptr)) : vdouble(strtod(f[2].c_str(), nullptr));
    EXPECT_EQ(upper(v.col.bytes), f[1]) << f[0] << " " << f[2];
    ++checked;
  }
  EXPECT_GT(checked, 100u);
}

TEST(DictValues, TextForms) {
  EXPECT_EQ(vchar("ab", 5).text, "ab");
  EXPECT_EQ(vchar("ab", 5).col.bytes.size(), 5u);
  EXPECT_EQ(vnchar("n1", 4).text, "n1  ");
  EXPECT_EQ(hex(vnchar("n1", 4).col.bytes), "006e003100200020");
  EXPECT_EQ(vintervalYm(2, 3).text, "800000023F");
  EXPECT_EQ(vfloat(1.5f).text, "1.500000");
  EXPECT_EQ(vdecimal("-12.5").text, "-12.5");
}

TEST(DictLine, FieldTagAfterEveryColumnButTheLastStored) {
  const Row user = {vnum(54), vstr("SCOTT"), vnum(1), vstr("F894")};
  EXPECT_EQ(dictLine(user, {2, 1}), "54,SCOTT,\n");  // skipped columns follow
  EXPECT_EQ(dictLine({vnum(54), vstr("SCOTT")}, {2, 1}), "54,SCOTT\n");
  EXPECT_EQ(dictLine({vnum(7), vnull(), vnum(9)}, {2, 2, 2}), "7,,9\n");
  EXPECT_EQ(dictLine({vnum(7), vnum(8)}, {0, 2}), "8\n");
}

namespace {

class DictScenario : public ::testing::TestWithParam<std::tuple<bool, uint32_t>> {};

std::string slurp(const std::string& p) {
  std::ifstream f(p, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

}  // namespace

TEST_P(DictScenario, BuildsInEveryByteOrderAndBlockSize) {
  char tmpl[] = "/tmp/bex-dictscen.XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  ScenarioOptions o;
  o.order = std::get<0>(GetParam()) ? ByteOrder::Big : ByteOrder::Little;
  o.blockSize = std::get<1>(GetParam());
  std::string error;
  ASSERT_TRUE(runScenario("dict", dir, o, error)) << error;
  // The expected files do not depend on the layout.
  EXPECT_EQ(slurp(dir + "/expect/BEXDICT/BEXUSR.TXT"), "0,SYS,\n1,PUBLIC,\n5,SYSTEM,\n54,SCOTT,\n55,HR,\n56,SALES,\n");
  EXPECT_NE(slurp(dir + "/expect/list_SCOTT.txt").find(" UNLOAD TABLE SCOTT.SALES_PT OBJECT 73205 TO "),
            std::string::npos);
  EXPECT_EQ(slurp(dir + "/expect/list_SCOTT.txt").find("BIN$"), std::string::npos);
  (void)system(("rm -rf " + dir).c_str());
}

INSTANTIATE_TEST_SUITE_P(Layouts, DictScenario,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(2048u, 8192u, 32768u)));

// check.sh's exit status says whether every file is as stored: the sample
// run relies on it to fail when an unloaded file differs.
TEST(DictScenarioCheck, FailsWhenAFileDiffers) {
  char tmpl[] = "/tmp/bex-dictcheck.XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  std::string error;
  ASSERT_TRUE(runScenario("dict", dir, ScenarioOptions{}, error)) << error;
  auto check = [&](const std::string& what) {
    return system(("sh " + dir + "/expect/check.sh " + what + " >/dev/null").c_str());
  };
  // The stored files where BEX writes them: the dictionary and SCOTT's tables.
  ASSERT_EQ(system(("cp -r " + dir + "/expect/BEXDICT " + dir + "/BEXDICT && cp " + dir + "/expect/rows/SCOTT_* " +
                    dir).c_str()),
            0);
  EXPECT_EQ(check("dict"), 0);
  EXPECT_EQ(check("rows SCOTT"), 0);
  EXPECT_NE(check("rows"), 0);  // the other users' tables are missing
  std::ofstream(dir + "/SCOTT_EMP_73181.txt", std::ios::app) << "1";
  EXPECT_NE(check("rows SCOTT"), 0);
  std::ofstream(dir + "/BEXDICT/BEXUSR.TXT", std::ios::app) << "1";
  EXPECT_NE(check("dict"), 0);
  (void)system(("rm -rf " + dir).c_str());
}
