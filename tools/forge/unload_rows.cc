#include "forge/unload_rows.h"

#include <cctype>
#include <cstdio>
#include <memory>

#include "forge/values.h"

namespace bex::forge {

Val vnum(int64_t v) { return Val{col(numberInt(v)), std::to_string(v)}; }
Val vstr(const std::string& s) { return Val{col(s), s}; }

Val vdate(int year, int month, int day, int hour, int minute, int second) {
  Bytes b = {static_cast<uint8_t>(100 + year / 100), static_cast<uint8_t>(100 + year % 100),
             static_cast<uint8_t>(month), static_cast<uint8_t>(day), static_cast<uint8_t>(hour + 1),
             static_cast<uint8_t>(minute + 1), static_cast<uint8_t>(second + 1)};
  return Val{col(b), format("%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second)};
}

Val vnull() { return Val{nullCol(), ""}; }

std::vector<Column> columnsOf(const std::vector<Val>& vals) {
  std::vector<Column> cols;
  for (const Val& v : vals) cols.push_back(v.col);
  return cols;
}

Fields fieldsOf(const std::vector<Val>& vals, size_t count) {
  Fields f;
  for (const Val& v : vals) f.push_back(v.text);
  while (f.size() < count) f.emplace_back();
  return f;
}

Fields unknownFields(const std::vector<Val>& vals) {
  Fields f;
  f.push_back(vals.size() > 0 ? vals[0].text : "");
  f.push_back(vals.size() > 2 ? vals[2].text : "");
  for (size_t i = 3; i < vals.size(); ++i) {
    if (vals[i].col.null || vals[i].col.bytes.empty()) {
      f.emplace_back();
      continue;
    }
    std::string h = hex(vals[i].col.bytes);
    for (char& c : h) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    f.push_back(format("C%zu=%s", i + 1, h.c_str()));
  }
  return f;
}

std::string renderRows(const ExpectedRows& e, const std::string& fieldTag, const std::string& recordTag) {
  std::string out;
  for (const Fields& row : e.rows) {
    for (size_t i = 0; i < row.size(); ++i) {
      if (i) out += fieldTag;
      out += row[i];
    }
    out += recordTag;
  }
  return out;
}

UnloadedFiles renderUnload(const std::vector<Row>& rows, const std::vector<uint8_t>& codes, size_t count,
                           const std::string& lobName) {
  UnloadedFiles u;
  auto isLob = [](uint8_t code) { return code == 112 || code == 113 || code == 255; };
  auto lobRef = [&](const std::string& bytes, bool null) {
    const std::string ref = null ? format("%s.%zu.-1/", lobName.c_str(), u.lob.size() + 1)
                                 : format("%s.%zu.%zu/", lobName.c_str(), u.lob.size() + 1, bytes.size());
    u.lob += bytes + "\r\n";
    return ref;
  };
  auto code = [&](size_t i) -> uint8_t { return i < codes.size() ? codes[i] : 0; };
  for (const Row& r : rows) {
    bool written = false, owed = false;
    for (size_t i = 0; i < r.size(); ++i) {
      if (code(i) == 0) continue;
      const bool empty = r[i].col.null || r[i].col.bytes.empty();
      u.data += isLob(code(i)) ? lobRef(empty ? "" : r[i].text, empty) : r[i].text;
      written = true, owed = false;
      if (i + 1 < r.size()) u.data += "|", owed = true;
    }
    for (size_t i = r.size(); i < count; ++i) {
      if (code(i) == 0) continue;
      if (written && !owed) u.data += "|";
      if (isLob(code(i))) u.data += lobRef("", true);
      written = true, owed = false;
    }
    u.data += "\r\n";
  }
  return u;
}

bool writeTextFile(const std::string& path, const std::string& text, std::string& error) {
  std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "wb"), &std::fclose);
  if (!f || std::fwrite(text.data(), 1, text.size(), f.get()) != text.size()) {
    error = "cannot write " + path;
    return false;
  }
  return true;
}

bool writeExpectedRows(const std::string& dir, const std::vector<ExpectedRows>& all, std::string& error) {
  const std::string prefix = dir.empty() || dir == "." ? "" : dir + "/";
  for (const ExpectedRows& e : all) {
    if (!writeTextFile(prefix + "unload." + e.name + ".txt", renderRows(e, "|", "\r\n"), error) ||
        !writeTextFile(prefix + "unload." + e.name + ".tab.txt", renderRows(e, "\t|", "\n"), error))
      return false;
  }
  return true;
}

std::string extentListing(const ForgeFile& f) {
  std::string out;
  uint32_t runObjd = 0, runFirst = 0, runCount = 0;
  auto close = [&]() {
    if (runObjd && runCount)
      out += format("%u,%u,%u,%u,%llu,\r\n", runObjd, f.layout().rfn, runFirst, runCount, 0ull);
    runObjd = runCount = 0;
  };
  for (uint32_t n = 0; n <= f.lastBlock(); ++n) {
    const ForgeBlock* b = f.block(n);
    const uint32_t objd = b && b->at(0) == 0x06 ? blockObjd(*b) : 0;
    if (objd == 0) {
      close();
      continue;
    }
    if (objd != runObjd) {
      close();
      runObjd = objd;
      runFirst = n;
    }
    ++runCount;
  }
  close();
  return out;
}

CompressedBlockSpec salesCompressedBlock(uint32_t objd) {
  CompressedBlockSpec s;
  s.trans.objd = objd;
  s.fullHeaders = 2;
  s.symbols = {SymbolRow{kRowHeadFirstLast, 0, {cval("SALES")}},
               SymbolRow{kRowHeadFirstLast, 0, {cval(numberInt(100)), cval("EUR")}},
               SymbolRow{kRowHeadFirstLast, 0, {cval("HR")}}};
  auto data = [](std::vector<CEntry> e) {
    CompressedRow r;
    r.entries = std::move(e);
    return r;
  };
  s.rows = {data({symRef(0), symRef(1), cval(numberInt(1))}), data({symRef(2), symRef(1), cval(numberInt(2))}),
            data({cval("IT"), cnull(), cnull(), cval(numberInt(3))}),
            data({symLongRef(0), symRef(1), cval(numberInt(4))})};
  return s;
}

}  // namespace bex::forge
