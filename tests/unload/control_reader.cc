#include "control_reader.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "unload_test_util.h"

namespace bex::testing {

namespace {

// Words, 'strings' and "strings" (quotes kept), one character each of
// ( ) , = elsewhere.
std::vector<std::string> tokens(const std::string& line) {
  std::vector<std::string> out;
  for (size_t i = 0; i < line.size();) {
    const char c = line[i];
    if (isspace(static_cast<unsigned char>(c))) {
      i++;
    } else if (c == '\'' || c == '"') {
      const size_t end = line.find(c, i + 1);
      const size_t stop = end == std::string::npos ? line.size() : end + 1;
      out.push_back(line.substr(i, stop - i));
      i = stop;
    } else if (c == '(' || c == ')' || c == ',' || c == '=') {
      out.emplace_back(1, c);
      i++;
    } else {
      size_t j = i;
      while (j < line.size() && !isspace(static_cast<unsigned char>(line[j])) && !strchr("()=,'\"", line[j])) j++;
      // X'7c' is one word.
      if (j < line.size() && line[j] == '\'' && j == i + 1 && toupper(c) == 'X') j = line.find('\'', j + 1) + 1;
      out.push_back(line.substr(i, j - i));
      i = j;
    }
  }
  return out;
}

std::string unquoted(const std::string& t) { return t.size() >= 2 ? t.substr(1, t.size() - 2) : t; }

bool hexBytes(const std::string& t, std::string& out) {  // X'0d0a'
  if (t.size() < 3 || toupper(t[0]) != 'X' || t[1] != '\'' || t.back() != '\'') return false;
  const std::string h = t.substr(2, t.size() - 3);
  if (h.size() % 2) return false;
  out.clear();
  for (size_t i = 0; i < h.size(); i += 2) out += static_cast<char>(strtol(h.substr(i, 2).c_str(), nullptr, 16));
  return true;
}

bool word(const std::vector<std::string>& t, size_t i, const char* w) {
  if (i >= t.size() || t[i].size() != strlen(w)) return false;
  for (size_t k = 0; k < t[i].size(); k++)
    if (toupper(static_cast<unsigned char>(t[i][k])) != w[k]) return false;
  return true;
}

bool parseField(const std::vector<std::string>& t, LoaderField& f, std::string& error) {
  size_t i = 0;
  f.name = t[i][0] == '"' ? unquoted(t[i]) : t[i];
  i++;
  if (word(t, i, "FILLER")) f.filler = true, i++;
  if (word(t, i, "CHAR")) {
    i++;
    if (i + 2 < t.size() && t[i] == "(") f.maxLength = strtoul(t[i + 1].c_str(), nullptr, 10), i += 3;
  } else if (word(t, i, "DATE") || word(t, i, "TIMESTAMP")) {
    while (i < t.size() && t[i][0] != '"') i++;  // WITH [LOCAL] TIME ZONE
    if (i == t.size()) return error = "no mask for " + f.name, false;
    f.mask = unquoted(t[i++]);
  }
  if (word(t, i, "NULLIF")) {
    if (i + 3 >= t.size() || unquoted(t[i + 1]) != f.name || t[i + 2] != "=" || !word(t, i + 3, "BLANKS"))
      return error = "NULLIF of " + f.name, false;
    f.nullifBlanks = true;
    i += 4;
  }
  if (word(t, i, "LLS")) f.lls = true, i++;
  if (i != t.size()) return error = "field " + f.name + ": unknown " + t[i], false;
  return true;
}

// A mask of YYYY MM DD HH24 MI SS FF TZH TZM and the separators between:
// the text must have digits where the mask has them.
bool fitsMask(const std::string& v, const std::string& mask) {
  static const char* const kParts[] = {"YYYY", "HH24", "TZH", "TZM", "MM", "DD", "MI", "SS", "FF"};
  size_t p = 0, m = 0;
  if (p < v.size() && v[p] == '-') p++;  // years before 1
  while (m < mask.size()) {
    const char* part = nullptr;
    for (const char* k : kParts)
      if (mask.compare(m, strlen(k), k) == 0) part = k;
    if (!part) {
      if (p >= v.size() || v[p] != mask[m]) return false;
      p++, m++;
      continue;
    }
    m += strlen(part);
    if (!strcmp(part, "TZH") && p < v.size() && (v[p] == '+' || v[p] == '-')) p++;
    const size_t start = p;
    while (p < v.size() && isdigit(static_cast<unsigned char>(v[p]))) p++;
    const size_t n = p - start;
    if (n == 0 || (strcmp(part, "FF") && n != (part[0] == 'Y' ? 4u : 2u)) || (!strcmp(part, "FF") && n > 9)) return false;
  }
  return p == v.size();
}

bool allBlanks(const std::string& v) { return v.find_first_not_of(' ') == std::string::npos; }

// "file.offset.length/": length bytes from the 1-based offset; -1 is NULL.
bool readLob(const std::string& dir, const std::string& ref, LoaderValue& out, std::string& error) {
  const size_t lenDot = ref.rfind('.'), offDot = lenDot == std::string::npos ? lenDot : ref.rfind('.', lenDot - 1);
  if (offDot == std::string::npos || ref.back() != '/') return error = "LOB reference " + ref, false;
  const long long off = atoll(ref.substr(offDot + 1, lenDot - offDot - 1).c_str());
  const long long len = atoll(ref.substr(lenDot + 1).c_str());
  if (len < 0) return out.reset(), true;
  const std::string lob = readWhole(dir + "/" + ref.substr(0, offDot));
  if (off < 1 || static_cast<size_t>(off - 1 + len) > lob.size()) return error = "LOB reference past its file " + ref, false;
  out = lob.substr(static_cast<size_t>(off - 1), static_cast<size_t>(len));
  return true;
}

// One field starting at data[p]; p is left on its separator or record end.
bool readField(const LoaderControl& c, const std::string& data, size_t& p, std::string& v, bool& enclosed,
               std::string& error) {
  enclosed = c.enclosed && p < data.size() && data[p] == '"';
  v.clear();
  if (!enclosed) {
    size_t end = p;
    while (end < data.size() && data.compare(end, c.separator.size(), c.separator) != 0 &&
           data.compare(end, c.recordEnd.size(), c.recordEnd) != 0)
      end++;
    v = data.substr(p, end - p);
    p = end;
    return true;
  }
  for (p++;; p++) {
    if (p >= data.size()) return error = "no closing quote", false;
    if (data[p] != '"') {
      if (!c.embedded && data.compare(p, c.recordEnd.size(), c.recordEnd) == 0)
        return error = "record end inside quotes", false;
      v += data[p];
    } else if (p + 1 < data.size() && data[p + 1] == '"') {
      v += '"';
      p++;
    } else {
      p++;
      break;
    }
  }
  if (p < data.size() && data.compare(p, c.separator.size(), c.separator) != 0 &&
      data.compare(p, c.recordEnd.size(), c.recordEnd) != 0)
    return error = "text after a closing quote", false;
  return true;
}

}  // namespace

bool parseControl(const std::string& text, LoaderControl& c, std::string& error) {
  std::istringstream in(text);
  std::string line;
  bool inFields = false;
  while (std::getline(in, line)) {
    if (line.rfind("--", 0) == 0) continue;
    const std::vector<std::string> t = tokens(line);
    if (t.empty()) continue;
    if (inFields) {
      if (t[0] == ")") return true;
      std::vector<std::string> f = t;
      if (f.back() == ",") f.pop_back();
      LoaderField field;
      if (!parseField(f, field, error)) return false;
      c.fields.push_back(field);
    } else if (word(t, 0, "OPTIONS") || (word(t, 0, "LOAD") && word(t, 1, "DATA"))) {
    } else if (word(t, 0, "INFILE")) {
      c.infile = unquoted(t[1]);
      if (t.size() > 2) {
        const std::vector<std::string> str = tokens(unquoted(t[2]));
        if (str.size() != 2 || !word(str, 0, "STR") || !hexBytes(str[1], c.recordEnd)) return error = line, false;
      }
    } else if (word(t, 0, "PRESERVE") && word(t, 1, "BLANKS")) {
      c.preserveBlanks = true;
    } else if (word(t, 0, "APPEND") && word(t, 1, "INTO") && word(t, 2, "TABLE")) {
      c.table = t[3];
    } else if (word(t, 0, "FIELDS")) {
      size_t i = 1;
      if (word(t, 1, "CSV") && word(t, 2, "WITH") && word(t, 3, "EMBEDDED")) c.embedded = true, i = 4;
      if (!word(t, i, "TERMINATED") || !word(t, i + 1, "BY") || !hexBytes(t[i + 2], c.separator))
        return error = line, false;
      i += 3;
      if (word(t, i, "OPTIONALLY")) {
        if (!word(t, i + 1, "ENCLOSED") || !word(t, i + 2, "BY") || t[i + 3] != "'\"'") return error = line, false;
        c.enclosed = true;
        i += 4;
      }
      c.trailingNullcols = word(t, i, "TRAILING") && word(t, i + 1, "NULLCOLS");
    } else if (t[0] == "(") {
      inFields = true;
    } else {
      return error = "unknown line: " + line, false;
    }
  }
  return error = "no field list", false;
}

bool loadRows(const LoaderControl& c, const std::string& dir, std::vector<LoaderRow>& rows, std::string& error) {
  const std::string data = readWhole(dir + "/" + c.infile);
  for (size_t p = 0; p < data.size();) {
    const size_t start = p;
    LoaderRow row;
    size_t f = 0;
    for (bool more = true; more; f++) {
      std::string v;
      bool enclosed;
      if (!readField(c, data, p, v, enclosed, error)) return error += " in the record at byte " + std::to_string(start), false;
      more = data.compare(p, c.separator.size(), c.separator) == 0;
      p += more ? c.separator.size() : c.recordEnd.size();
      if (f >= c.fields.size()) return error = "too many fields in the record at byte " + std::to_string(start), false;
      const LoaderField& field = c.fields[f];
      if (field.filler) continue;
      if (!enclosed && !c.preserveBlanks && c.enclosed) {  // unenclosed values lose their blanks
        const size_t a = v.find_first_not_of(" \t"), b = v.find_last_not_of(" \t");
        v = a == std::string::npos ? "" : v.substr(a, b - a + 1);
      }
      LoaderValue value = v;
      if (v.empty() || (field.nullifBlanks && allBlanks(v))) value.reset();
      if (value && field.lls && !readLob(dir, v, value, error)) return false;
      if (value && !field.lls && v.size() > field.maxLength)
        return error = field.name + " longer than its CHAR(" + std::to_string(field.maxLength) + ")", false;
      if (value && !field.mask.empty() && !fitsMask(v, field.mask))
        return error = field.name + " does not fit \"" + field.mask + "\": " + v, false;
      row.push_back(value);
    }
    if (f < c.fields.size() && !c.trailingNullcols) return error = "short record at byte " + std::to_string(start), false;
    for (; f < c.fields.size(); f++)
      if (!c.fields[f].filler) row.emplace_back();
    rows.push_back(row);
  }
  return true;
}

}  // namespace bex::testing
