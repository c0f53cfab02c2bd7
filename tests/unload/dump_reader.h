// A reader of classic export dumps of its own, for the tests: it reads the
// dumps BEX writes and the real exp dumps alike, and shares no code with
// the writer.
//
//   header: 03, export character set (big-endian), "EXPORT:Vnn.nn.nn\n",
//     "U" or "D" and the user, the mode ("RTABLES", "RUSERS"), the record
//     length, three more lines, then the export, database and national
//     character sets (big-endian); at the record length the session block,
//     twice: ... 41 B0 xx 00 83, then two character sets (big-endian): the
//     database and national sets in the first copy, the client's in the
//     second;
//   table: "TABLE \"name\"", the CREATE TABLE line, (exp: ALTER TABLE lines),
//     the INSERT line, the column count and the descriptors (type, length,
//     and for types 1, 9 and 96 the character set, form and a reserved
//     byte), (exp, for LOB columns: a section naming them), 00 00 00 00;
//   rows: per position a length and bytes, FE FF (NULL) or FD FF, pieces,
//     00 00; each row then 00 00; FF FF after the last row.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace bex::testing::dump {

using Value = std::optional<std::string>;  // nullopt: NULL; pieces joined
using Row = std::vector<Value>;

struct Column {
  unsigned type = 0, length = 0, charset = 0, form = 0;
};

struct Header {
  unsigned exportCharset = 0;
  std::string version;  // "EXPORT:V08.01.07"
  char kind = 0;        // 'U' or 'D'
  std::string user, mode;
  unsigned recordLength = 0;
  unsigned charsets[3] = {0, 0, 0};  // export, database, national
  unsigned blockDatabase = 0, blockNational = 0, blockClient[2] = {0, 0};
  bool ok = false;
};

struct Table {
  std::string tableLine, createLine, insertLine;
  std::vector<std::string> otherLines;  // between CREATE and INSERT
  std::vector<Column> columns;
  bool lobSection = false;  // a section naming LOB columns after the descriptors
  std::vector<Row> rows;
  bool closed = false;  // FF FF after the last row
  size_t end = 0;       // the offset after FF FF
};

class Cursor {
 public:
  Cursor(const std::string& s, size_t at) : s_(s), at_(at) {}
  bool ok() const { return ok_; }
  size_t at() const { return at_; }
  unsigned u16() {
    if (!has(2)) return 0;
    const unsigned v = static_cast<uint8_t>(s_[at_]) | static_cast<uint8_t>(s_[at_ + 1]) << 8;
    at_ += 2;
    return v;
  }
  unsigned be16() {
    const unsigned le = u16();
    return (le >> 8) | (le & 0xFF) << 8;
  }
  unsigned u8() { return has(1) ? static_cast<uint8_t>(s_[at_++]) : 0; }
  std::string line() {
    const size_t e = s_.find('\n', at_);
    if (e == std::string::npos) return ok_ = false, "";
    std::string l = s_.substr(at_, e - at_);
    at_ = e + 1;
    return l;
  }
  std::string take(size_t n) {
    if (!has(n)) return "";
    std::string b = s_.substr(at_, n);
    at_ += n;
    return b;
  }
  bool skipTo(const std::string& what) {
    const size_t p = s_.find(what, at_);
    if (p == std::string::npos) return ok_ = false;
    at_ = p + what.size();
    return true;
  }

 private:
  bool has(size_t n) {
    if (at_ + n > s_.size()) ok_ = false;
    return ok_;
  }
  const std::string& s_;
  size_t at_;
  bool ok_ = true;
};

inline bool hasCharsetFields(unsigned type) { return type == 1 || type == 9 || type == 96; }
inline bool isLob(unsigned type) { return type == 112 || type == 113; }

// The character sets that follow 41 B0 xx 00 83 in the session block copy
// starting at `from`.
inline bool sessionCharsets(const std::string& s, size_t from, unsigned& first, unsigned& second) {
  Cursor c(s, from);
  if (!c.skipTo("\x41\xB0")) return false;
  c.take(2);
  if (c.u8() != 0x83) return false;
  first = c.be16();
  second = c.be16();
  return c.ok();
}

inline Header readHeader(const std::string& s) {
  Header h;
  Cursor c(s, 0);
  if (c.u8() != 0x03) return h;
  h.exportCharset = c.be16();
  h.version = c.line();
  const std::string who = c.line();
  h.kind = who.empty() ? 0 : who[0];
  h.user = who.empty() ? "" : who.substr(1);
  h.mode = c.line();
  h.recordLength = static_cast<unsigned>(atoi(c.line().c_str()));
  for (int i = 0; i < 3; i++) c.line();
  for (unsigned& id : h.charsets) id = c.be16();
  const std::string block("\x64\0\0\0\0\x60\x01", 7);
  if (!c.ok() || s.compare(h.recordLength, block.size(), block) != 0) return h;
  const size_t second = s.find(block, h.recordLength + block.size());
  h.ok = sessionCharsets(s, h.recordLength, h.blockDatabase, h.blockNational) && second != std::string::npos &&
         sessionCharsets(s, second, h.blockClient[0], h.blockClient[1]);
  return h;
}

inline Value readValue(Cursor& c, unsigned len) {
  if (len == 0xFFFE) return std::nullopt;
  if (len != 0xFFFD) return c.take(len);
  std::string whole;  // pieces up to 00 00
  for (unsigned k; c.ok() && (k = c.u16()) != 0;)
    if (k != 0xFFFE) whole += c.take(k);
  return whole;
}

// The column names of an INSERT line, in order.
inline std::vector<std::string> insertNames(const std::string& insert) {
  std::vector<std::string> names;
  const size_t end = insert.find(") VALUES (");
  for (size_t at = insert.find('"', insert.find('(')); at < end;) {
    const size_t close = insert.find('"', at + 1);
    if (close == std::string::npos) break;
    names.push_back(insert.substr(at + 1, close - at - 1));
    at = insert.find('"', close + 1);
  }
  return names;
}

// The table whose TABLE line starts at `from`.
inline Table readTable(const std::string& s, size_t from) {
  Table t;
  Cursor c(s, from);
  t.tableLine = c.line();
  t.createLine = c.line();
  std::string l = c.line();
  for (; c.ok() && l.rfind("INSERT INTO ", 0) != 0; l = c.line()) t.otherLines.push_back(l);
  if (!c.ok()) return t;
  t.insertLine = l;
  const std::vector<std::string> names = insertNames(l);
  const unsigned n = c.u16();
  std::vector<unsigned> lobs;
  for (unsigned i = 0; i < n && c.ok(); i++) {
    Column col;
    col.type = c.u16();
    col.length = c.u16();
    if (hasCharsetFields(col.type)) {
      col.charset = c.u16();
      col.form = c.u8();
      c.u8();
    }
    if (isLob(col.type)) lobs.push_back(i);
    t.columns.push_back(col);
  }
  // exp: each LOB column's name, a length byte before it, a zero byte after
  // the last one.
  for (unsigned i : lobs) {
    const std::string name = i < names.size() ? names[i] : "";
    t.lobSection = c.skipTo(std::string(1, static_cast<char>(name.size())) + name);
  }
  if (t.lobSection) c.u8();
  if (c.u16() != 0 || c.u16() != 0) return t;
  while (c.ok()) {
    Row row;
    row.reserve(n);
    for (unsigned i = 0; i < n && c.ok(); i++) {
      const unsigned len = c.u16();
      if (i == 0 && len == 0xFFFF) {
        t.closed = c.ok();
        t.end = c.at();
        return t;
      }
      row.push_back(readValue(c, len));
    }
    if (c.u16() != 0 || !c.ok()) break;  // every row ends with 00 00
    t.rows.push_back(row);
  }
  return t;
}

// The rows one word per value: "-" for NULL, else lower-case hexadecimal.
inline std::string valuesText(const std::vector<Row>& rows) {
  std::string out;
  for (const Row& r : rows) {
    for (size_t i = 0; i < r.size(); i++) {
      if (i) out += ' ';
      if (!r[i]) {
        out += '-';
        continue;
      }
      for (const char ch : *r[i]) {
        char d[3];
        snprintf(d, sizeof d, "%02x", static_cast<uint8_t>(ch));
        out += d;
      }
    }
    out += '\n';
  }
  return out;
}

// A dump as BEX writes it, read whole: the 2,268-byte header, one table,
// then exactly FF FF 0A, "EXIT\nEXIT\n" and 2,048 zero bytes.
struct BexDump {
  Header header;
  Table table;
  bool whole = false;
};

inline BexDump readBexDump(const std::string& s) {
  BexDump d;
  d.header = readHeader(s);
  constexpr size_t kHeaderSize = 2268;
  if (!d.header.ok || s.size() < kHeaderSize) return d;
  d.table = readTable(s, kHeaderSize);
  const std::string tail = "\nEXIT\nEXIT\n" + std::string(2048, '\0');
  d.whole = d.table.closed && s.size() == d.table.end + tail.size() && s.compare(d.table.end, tail.size(), tail) == 0;
  return d;
}

}  // namespace bex::testing::dump
