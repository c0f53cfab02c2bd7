#include "forge/export_dump.h"

#include "forge/dict_system.h"
#include "forge/unload_rows.h"
#include "forge/values.h"

namespace bex::forge {

namespace {

constexpr uint16_t kNullMark = 0xFFFE, kPiecesMark = 0xFFFD;
constexpr uint32_t kSessionBlockAt = 2048;
constexpr uint32_t kLongType = 8, kLongRawType = 24, kClobType = 112, kBlobType = 113;

// The session block: database and national character sets at 57, the
// client's twice at 159, the time zone "+00:00" and the version "8.1.6".
const uint8_t kSessionBlock[220] = {
    0x64, 0x00, 0x00, 0x00, 0x00, 0x60, 0x01, 0x21, 0x0f, 0x05, 0x0b, 0x0c, 0x03, 0x0c, 0x0c, 0x05,
    0x04, 0x05, 0x0d, 0x06, 0x09, 0x07, 0x08, 0x05, 0x0f, 0x05, 0x05, 0x05, 0x0f, 0x05, 0x05, 0x05,
    0x05, 0x05, 0x0a, 0x05, 0x05, 0x05, 0x05, 0x05, 0x04, 0x05, 0x08, 0x23, 0x47, 0x23, 0x23, 0x08,
    0x11, 0x23, 0x08, 0x11, 0x41, 0xb0, 0x23, 0x00, 0x83, 0x03, 0x67, 0x03, 0x67, 0x03, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x60, 0x01, 0x21, 0x0f, 0x05,
    0x0b, 0x0c, 0x03, 0x0c, 0x0c, 0x05, 0x04, 0x05, 0x0d, 0x06, 0x09, 0x07, 0x08, 0x05, 0x0f, 0x05,
    0x05, 0x05, 0x0f, 0x05, 0x05, 0x05, 0x05, 0x05, 0x0a, 0x05, 0x05, 0x05, 0x05, 0x05, 0x04, 0x05,
    0x08, 0x23, 0x47, 0x23, 0x23, 0x08, 0x11, 0x23, 0x08, 0x11, 0x41, 0xb0, 0x23, 0x00, 0x83, 0x03,
    0x67, 0x01, 0x59, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x00, 0x2b, 0x30,
    0x30, 0x3a, 0x30, 0x30, 0x05, 0x00, 0x38, 0x2e, 0x31, 0x2e, 0x36, 0x0a};
constexpr uint32_t kDatabaseSetsAt = 57, kClientSetsAt = 159;

void le16(Bytes& b, uint32_t v) {
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}
void appendText(Bytes& b, const std::string& s) { b.insert(b.end(), s.begin(), s.end()); }

bool hasCharacterSet(uint32_t type) { return type == 1 || type == 9 || type == 96; }
bool isLong(uint32_t type) { return type == kLongType || type == kLongRawType; }

std::string numberText(const ColDef& c) {
  const int p = c.precision.value_or(0), s = c.scale.value_or(0);
  if (p == 0) return "NUMBER";
  if (s == -127) return p == 126 ? "FLOAT" : format("FLOAT(%d)", p);
  if (p <= 38) return s ? format("NUMBER(%d,%d)", p, s) : format("NUMBER(%d)", p);
  return s ? format("NUMBER(*,%d)", s) : "FLOAT";
}

// Spellings with an optional number: "TIMESTAMP(6)", or "TIMESTAMP" when n
// is 0.
std::string withNumber(const char* head, int n, const char* tail) {
  return n ? format("%s(%d)%s", head, n, tail) : format("%s%s", head, tail);
}

// The CREATE TABLE spelling of the column's type, without blanks.
std::string typeText(const ColDef& c, bool xmlType) {
  const bool national = c.form == 2;
  const int len = static_cast<int>(c.length), p = c.precision.value_or(0), s = c.scale.value_or(0);
  switch (c.type) {
    case 1: return national ? format("NVARCHAR2(%d)", len / 2) : format("VARCHAR2(%d)", len);
    case 2: return numberText(c);
    case 8: return "LONG";
    case 9: return national ? format("NCHAR VARYING(%d)", len / 2) : format("VARCHAR(%d)", len);
    case 12: return "DATE";
    case 23: return format("RAW(%d)", len);
    case 24: return "LONG RAW";
    case 69: return "ROWID";
    case 96: return national ? format("NCHAR(%d)", len / 2) : format("CHAR(%d)", len);
    case 100: return "BINARY_FLOAT";
    case 101: return "BINARY_DOUBLE";
    case 105:
    case 106: return "MLSLABEL";
    case 112: return national ? "NCLOB" : "CLOB";
    case 113: return xmlType ? "SYS.XMLTYPE" : "BLOB";
    case 114: return "BFILE";
    case 115: return "CFILE";
    case 180: return withNumber("TIMESTAMP", s, "");
    case 181: return withNumber("TIMESTAMP", s, " WITH TIME ZONE");
    case 182: return withNumber("INTERVAL YEAR", p, " TO MONTH");
    case 183: return p ? format("INTERVAL DAY(%d) TO SECOND(%d)", p, s) : "INTERVAL DAY TO SECOND";
    case 208: return "UROWID";
    case 231: return withNumber("TIMESTAMP", s, " WITH LOCAL TIME ZONE");
    default: return std::to_string(c.type);
  }
}

std::string tableName(const ExpectedDump& d) {
  return d.uniqueName ? format("%s_%u", d.target.c_str(), d.objd) : d.target;
}

std::string createText(const ExpectedDump& d) {
  std::string s = "CREATE TABLE \"" + tableName(d) + "\" (";
  for (size_t i = 0; i < d.columns.size(); ++i) {
    const DumpColumn& c = d.columns[i];
    s += " \"" + c.name + "\"  " + c.typeText + (c.notNull ? " NOT NULL " : "");
    if (i + 1 < d.columns.size()) s += ',';
  }
  return s + ")";
}

std::string insertText(const ExpectedDump& d) {
  std::string names, binds;
  for (size_t i = 0; i < d.columns.size(); ++i) {
    const DumpColumn& c = d.columns[i];
    const char* sep = i ? "," : "";
    names += format("%s\"%s\"", sep, c.name.c_str());
    const char* bind = !c.xmlType ? ":%zu" : c.type == kBlobType ? "SYS.XMLTYPE.CREATEXMLFROMBINARY(:%zu)"
                                                                 : "SYS.XMLTYPE.CREATEXML(:%zu)";
    binds += sep + format(bind, i + 1);
  }
  return "INSERT INTO \"" + tableName(d) + "\" (" + names + ") VALUES (" + binds + ")";
}

void header(Bytes& b, const std::string& user) {
  const uint16_t cs = kCsDb, ncs = kCsNational;
  b.push_back(0x03);
  appendBE16(b, cs);
  appendText(b, "EXPORT:V08.01.07\nU" + user + "\nRTABLES\n2048\n0\n28\n0\n");
  for (uint16_t id : {cs, cs, ncs}) appendBE16(b, id);
  appendBytes(b, {0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x0B, 0});
  appendText(b, std::string(37, ' ') + "Tue Mar 22 17:29:25 2005wyndo.dmp");
  b.resize(kSessionBlockAt, 0);
  Bytes block(kSessionBlock, kSessionBlock + sizeof kSessionBlock);
  putBE16(&block[kDatabaseSetsAt], cs);
  putBE16(&block[kDatabaseSetsAt + 2], ncs);
  putBE16(&block[kClientSetsAt], cs);
  putBE16(&block[kClientSetsAt + 2], cs);
  appendBytes(b, block);
}

void descriptors(Bytes& b, const std::vector<DumpColumn>& cols) {
  le16(b, static_cast<uint32_t>(cols.size()));
  for (const DumpColumn& c : cols) {
    const uint32_t type = c.type == kClobType ? kLongType : c.type == kBlobType ? kLongRawType : c.type;
    le16(b, type);
    le16(b, isLong(type) ? 0x4000 : c.length);
    if (!hasCharacterSet(type)) continue;
    const bool own = c.form != 0 && c.charsetId != 0;
    le16(b, own ? c.charsetId : kCsDb);
    b.push_back(static_cast<uint8_t>(own ? c.form : 1));
    b.push_back(0);
  }
  appendBytes(b, {0, 0, 0, 0});
}

void piece(Bytes& b, const Bytes& p) {
  if (p.empty()) return le16(b, kNullMark);
  le16(b, static_cast<uint32_t>(p.size()));
  appendBytes(b, p);
}

void cell(Bytes& b, const DumpCell& c) {
  switch (c.kind) {
    case DumpCell::Null: return le16(b, kNullMark);
    case DumpCell::Value: return piece(b, c.parts.at(0));
    case DumpCell::Pieces:
      le16(b, kPiecesMark);
      for (const Bytes& p : c.parts) piece(b, p);
      return le16(b, 0);
  }
}

Bytes render(const ExpectedDump& d) {
  Bytes b;
  header(b, d.user);
  std::string name = d.target;
  for (char& ch : name)
    if (ch == '\t' || ch == '\n' || ch == '\r') ch = ' ';
  appendText(b, "TABLE \"" + name + "\"\n" + createText(d) + "\n" + insertText(d) + "\n");
  descriptors(b, d.columns);
  for (const DumpRow& r : d.rows) {
    for (size_t i = 0; i < d.columns.size(); ++i) cell(b, i < r.size() ? r[i] : dumpNull());
    le16(b, 0);
  }
  appendBytes(b, {0xFF, 0xFF, 0x0A});
  appendText(b, "EXIT\nEXIT\n");
  b.resize(b.size() + 2048, 0);
  return b;
}

std::string values(const ExpectedDump& d) {
  std::string s;
  for (const DumpRow& r : d.rows) {
    for (size_t i = 0; i < d.columns.size(); ++i) {
      const DumpCell c = i < r.size() ? r[i] : dumpNull();
      Bytes joined;
      for (const Bytes& p : c.parts) appendBytes(joined, p);
      s += (i ? " " : "") + (c.kind == DumpCell::Null ? std::string("-") : hex(joined));
    }
    s += "\n";
  }
  return s;
}

}  // namespace

DumpCell dumpNull() { return DumpCell{}; }

Bytes encodeDumpCell(const DumpCell& c) {
  Bytes b;
  cell(b, c);
  return b;
}

DumpCell dumpValue(const Column& c) {
  if (c.null || c.bytes.empty()) return dumpNull();
  return DumpCell{DumpCell::Value, {c.bytes}};
}

DumpCell dumpPieces(std::vector<Bytes> parts) { return DumpCell{DumpCell::Pieces, std::move(parts)}; }

std::vector<DumpColumn> dumpColumns(const TableDef& t) {
  std::vector<DumpColumn> cols;
  const ColDef* held = nullptr;
  for (size_t i = 0; i < t.cols.size(); ++i) {
    const ColDef& c = t.cols[i];
    const uint32_t seg = c.segColNo ? *c.segColNo : static_cast<uint32_t>(i + 1);
    if (seg == 0) {
      held = &c;
      continue;
    }
    DumpColumn d;
    d.xmlType = held && held->typeOid == kXmlTypeOid;
    d.name = held ? held->name : c.name;
    d.type = c.type, d.length = c.length, d.charsetId = c.charsetId, d.form = c.form, d.notNull = c.notNull;
    d.typeText = typeText(c, d.xmlType);
    held = nullptr;
    if (cols.size() < seg) cols.resize(seg);
    cols[seg - 1] = d;
  }
  return cols;
}

DumpRow dumpRowOf(const Row& r, const std::vector<DumpColumn>& cols) {
  DumpRow row;
  for (size_t i = 0; i < r.size() && i < cols.size(); ++i) {
    const Column& c = r[i].col;
    const bool stored = !c.null && !c.bytes.empty();
    row.push_back(isLong(cols[i].type) && stored ? dumpPieces({c.bytes}) : dumpValue(c));
  }
  return row;
}

bool writeExpectedDump(const std::string& dir, const std::string& file, const ExpectedDump& d, std::string& error) {
  const Bytes b = render(d);
  return writeTextFile(dir + file, std::string(b.begin(), b.end()), error) &&
         writeTextFile(dir + file + ".values", values(d), error);
}

DumpKinds::DumpKinds(const ScenarioOut& out) {
  const ScenarioOptions& o = out.options();
  if (o.order == ByteOrder::Big) setup("SET BYTE_ORDER BIG");
  if (o.blockSize != 8192) setup(format("SET BLOCK_SIZE %u", o.blockSize));
  setup("OPEN " + out.name() + ".cfg");
}

void DumpKinds::kind(const std::string& name, const std::string& file, const std::vector<std::string>& statements,
                     bool absent) {
  text_ += "kind " + name + " " + file + (absent ? " absent" : "") + "\n";
  for (const std::string& s : statements) text_ += "run " + s + "\n";
}

bool DumpKinds::write(const std::string& dir, std::string& error) const {
  const std::string head =
      "# The export dumps of this scenario's tables. \"setup\" statements run once, first;\n"
      "# each \"kind NAME FILE [absent]\" is followed by the \"run\" statements that write FILE,\n"
      "# which must then equal FILE here (absent: no FILE may be left behind); FILE.values\n"
      "# holds its rows, one word per position: - for NULL, else the value's bytes in hex.\n";
  return writeTextFile(dir + "kinds.txt", head + text_, error);
}

}  // namespace bex::forge
