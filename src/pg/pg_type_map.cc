#include "pg/pg_type_map.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

namespace bex {

namespace {

using C = ColumnTypeCode;

constexpr int32_t kFloatScale = -127;  // SCALE of FLOAT(b): binary precision
constexpr uint32_t kNumericPrecisionMax = 38;
constexpr int32_t kTimePrecisionMax = 6;  // PostgreSQL keeps microseconds
// Text whose character set has no PostgreSQL name is read byte for byte.
constexpr std::string_view kByteForByte = "LATIN1";

struct Alias {
  std::string_view from, to;
};

constexpr Alias kOracleCharsets[] = {
    {"AL32UTF8", "UTF8"},          {"UTF8", "UTF8"},           {"ZHS16GBK", "GBK"},
    {"ZHS32GB18030", "GB18030"},   {"ZHS16CGB231280", "EUC_CN"}, {"ZHT16BIG5", "BIG5"},
    {"ZHT16MSWIN950", "BIG5"},     {"JA16SJIS", "SJIS"},       {"JA16SJISTILDE", "SJIS"},
    {"JA16EUC", "EUC_JP"},         {"JA16EUCTILDE", "EUC_JP"}, {"KO16KSC5601", "EUC_KR"},
    {"KO16MSWIN949", "UHC"},       {"US7ASCII", "LATIN1"},     {"WE8ISO8859P1", "LATIN1"},
    {"WE8ISO8859P15", "LATIN9"},   {"WE8MSWIN1252", "WIN1252"}, {"EE8ISO8859P2", "LATIN2"},
    {"EE8MSWIN1250", "WIN1250"},   {"SE8ISO8859P3", "LATIN3"}, {"NEE8ISO8859P4", "LATIN4"},
    {"CL8ISO8859P5", "ISO_8859_5"}, {"CL8MSWIN1251", "WIN1251"}, {"CL8KOI8R", "KOI8R"},
    {"CL8KOI8U", "KOI8U"},         {"AR8ISO8859P6", "ISO_8859_6"}, {"AR8MSWIN1256", "WIN1256"},
    {"EL8ISO8859P7", "ISO_8859_7"}, {"EL8MSWIN1253", "WIN1253"}, {"IW8ISO8859P8", "ISO_8859_8"},
    {"IW8MSWIN1255", "WIN1255"},   {"WE8ISO8859P9", "LATIN5"}, {"TR8MSWIN1254", "WIN1254"},
    {"BLT8ISO8859P13", "LATIN7"},  {"BLT8MSWIN1257", "WIN1257"}, {"VN8MSWIN1258", "WIN1258"},
    {"TH8TISASCII", "WIN874"},
};

// iconv names without case, "-", "_" and blanks.
constexpr Alias kIconvNames[] = {
    {"UTF8", "UTF8"},         {"GBK", "GBK"},           {"CP936", "GBK"},         {"GB18030", "GB18030"},
    {"GB2312", "EUC_CN"},     {"EUCCN", "EUC_CN"},      {"BIG5", "BIG5"},         {"CP950", "BIG5"},
    {"SJIS", "SJIS"},         {"SHIFTJIS", "SJIS"},     {"CP932", "SJIS"},        {"WINDOWS31J", "SJIS"},
    {"EUCJP", "EUC_JP"},      {"EUCKR", "EUC_KR"},      {"CP949", "UHC"},         {"UHC", "UHC"},
    {"ASCII", "LATIN1"},      {"USASCII", "LATIN1"},    {"LATIN1", "LATIN1"},     {"ISO88591", "LATIN1"},
    {"ISO88592", "LATIN2"},   {"ISO88593", "LATIN3"},   {"ISO88594", "LATIN4"},   {"ISO88595", "ISO_8859_5"},
    {"ISO88596", "ISO_8859_6"}, {"ISO88597", "ISO_8859_7"}, {"ISO88598", "ISO_8859_8"}, {"ISO88599", "LATIN5"},
    {"ISO885910", "LATIN6"},  {"ISO885913", "LATIN7"},  {"ISO885914", "LATIN8"},  {"ISO885915", "LATIN9"},
    {"ISO885916", "LATIN10"}, {"LATIN9", "LATIN9"},     {"KOI8R", "KOI8R"},       {"KOI8U", "KOI8U"},
    {"CP866", "WIN866"},      {"CP874", "WIN874"},      {"CP1250", "WIN1250"},    {"CP1251", "WIN1251"},
    {"CP1252", "WIN1252"},    {"CP1253", "WIN1253"},    {"CP1254", "WIN1254"},    {"CP1255", "WIN1255"},
    {"CP1256", "WIN1256"},    {"CP1257", "WIN1257"},    {"CP1258", "WIN1258"},
};

template <size_t N>
std::string_view lookUp(const Alias (&table)[N], std::string_view name) {
  for (const Alias& a : table)
    if (a.from == name) return a.to;
  return {};
}

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// ---- fields and types ---------------------------------------------------

bool isNational(const UnloadedColumn& c) { return c.national || c.type == C::kNchar || c.type == C::kNclob; }

bool isCharacter(C type) {
  switch (type) {
    case C::kVarchar2:
    case C::kVarchar:
    case C::kChar:
    case C::kNchar:
    case C::kLong:
    case C::kVarray:
      return true;
    default:
      return false;
  }
}


std::string encodingOr(std::string_view pg, std::string_view fallback) {
  return std::string(pg.empty() ? fallback : pg);
}

PgEncodings encodingsOf(const UnloadedTable& t) {
  PgEncodings e;
  e.database = encodingOr(pgEncodingOfOracle(t.charset), kByteForByte);
  // A conversion that is off leaves the data as stored.
  auto target = [&](const std::string& iconvName) {
    return iconvName.empty() ? e.database : encodingOr(pgEncodingOfIconv(iconvName), kByteForByte);
  };
  e.nchar = target(t.ncharTarget);
  e.nclob = target(t.nclobTarget);
  e.clob = target(t.clobTarget);
  return e;
}

std::string valueOf(const UnloadedColumn& c, const std::string& f, const PgEncodings& e, std::string_view lob) {
  const bool national = isNational(c);
  switch (c.type) {
    case C::kNumber: return "NULLIF(" + f + ", '')::numeric";
    case C::kBinaryFloat: return "NULLIF(" + f + ", '')::real";
    case C::kBinaryDouble: return "NULLIF(" + f + ", '')::double precision";
    case C::kDate:
    case C::kTimestamp:
    case C::kTimestampLtz: return "pg_temp.bex_time(" + f + ")::timestamp";
    case C::kTimestampTz: return "pg_temp.bex_time(" + f + ")::timestamptz";
    case C::kRaw:
    case C::kLongRaw: return "decode(" + f + ", 'hex')";
    case C::kBlob: return "pg_temp.bex_blob(" + f + ", " + std::string(lob) + ")";
    case C::kClob:
    case C::kNclob:
      return "pg_temp.bex_clob(" + f + ", " + std::string(lob) + ", '" + (national ? e.nclob : e.clob) + "')";
    default: break;
  }
  if (isCharacter(c.type)) return "pg_temp.bex_text(" + f + ", '" + (national ? e.nchar : e.database) + "')";
  return f;  // hexadecimal and other ASCII texts
}

bool anyLob(const UnloadedTable& t) {
  for (const UnloadedColumn& c : t.columns)
    if (c.type == C::kClob || c.type == C::kBlob || c.type == C::kNclob) return true;
  return false;
}

}  // namespace

std::string pgName(std::string_view oracleName) {
  const bool capitals = std::none_of(oracleName.begin(), oracleName.end(), [](char c) { return c >= 'a' && c <= 'z'; });
  std::string q = "\"";
  for (char c : oracleName) {
    if (c == '"') q += '"';
    q += capitals && c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return q + "\"";
}

std::string pgColumnType(const UnloadedColumn& c) {
  const uint32_t chars = isNational(c) ? c.length / 2 : c.length;
  const int32_t fraction = std::min(std::max(c.scale, 0), kTimePrecisionMax);
  switch (c.type) {
    case C::kNumber:
      if (c.scale == kFloatScale || c.precision > kNumericPrecisionMax) return "numeric";
      if (c.precision == 0) return c.scale ? shortFormat("numeric(%u,%d)", kNumericPrecisionMax, c.scale) : "numeric";
      return c.scale ? shortFormat("numeric(%u,%d)", c.precision, c.scale) : shortFormat("numeric(%u)", c.precision);
    case C::kVarchar2:
    case C::kVarchar:
      return chars ? shortFormat("varchar(%u)", chars) : "varchar";
    case C::kChar:
      return chars ? shortFormat("char(%u)", chars) : "varchar";
    case C::kDate: return "timestamp(0)";
    case C::kTimestamp:
    case C::kTimestampLtz: return shortFormat("timestamp(%d)", fraction);
    case C::kTimestampTz: return shortFormat("timestamptz(%d)", fraction);
    case C::kBinaryFloat: return "real";
    case C::kBinaryDouble: return "double precision";
    case C::kRaw:
    case C::kLongRaw:
    case C::kBlob: return "bytea";
    default: return "text";
  }
}

std::string_view pgEncodingOfOracle(std::string_view charset) {
  std::string name;
  for (char c : charset) name += upper(c);
  return lookUp(kOracleCharsets, name);
}

std::string_view pgEncodingOfIconv(std::string_view encoding) {
  encoding = encoding.substr(0, encoding.find("//"));  // "//TRANSLIT" and the like
  std::string name;
  for (char c : encoding)
    if (c != '-' && c != '_' && c != ' ') name += upper(c);
  if (name.rfind("WINDOWS", 0) == 0) name = "CP" + name.substr(7);
  return lookUp(kIconvNames, name);
}

void appendFormat(std::string& out, const char* fmt, ...) {
  va_list ap, again;
  va_start(ap, fmt);
  va_copy(again, ap);
  const int n = vsnprintf(nullptr, 0, fmt, ap);
  va_end(ap);
  if (n > 0) {
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(n) + 1);
    vsnprintf(out.data() + at, static_cast<size_t>(n) + 1, fmt, again);
    out.resize(at + static_cast<size_t>(n));
  }
  va_end(again);
}

std::string shortFormat(const char* fmt, ...) {
  char buf[64];  // type names and field names
  va_list ap;
  va_start(ap, fmt);
  const int n = vsnprintf(buf, sizeof buf, fmt, ap);
  va_end(ap);
  return std::string(buf, n > 0 ? std::min(static_cast<size_t>(n), sizeof buf - 1) : 0);
}

PgEncodings pgEncodingsOf(const UnloadedTable& t) { return encodingsOf(t); }

std::string pgValueOf(const UnloadedColumn& c, const std::string& field, const PgEncodings& e, std::string_view lob) {
  return valueOf(c, field, e, lob);
}

bool pgHasLob(const UnloadedTable& t) { return anyLob(t); }

std::string pgLiteral(std::string_view s) {
  std::string q = "'";
  for (char c : s) {
    if (c == '\'') q += '\'';
    q += c;
  }
  return q + "'";
}

std::string pgCreateTable(const UnloadedTable& t, const std::string& name) {
  std::string s;
  appendFormat(s, "CREATE SCHEMA IF NOT EXISTS %s;\nCREATE TABLE %s (\n", pgName(t.owner).c_str(), name.c_str());
  for (size_t i = 0; i < t.columns.size(); i++) {
    const UnloadedColumn& c = t.columns[i];
    appendFormat(s, "  %s %s%s%s\n", pgName(c.name).c_str(), pgColumnType(c).c_str(), c.notNull ? " NOT NULL" : "",
            i + 1 < t.columns.size() ? "," : "");
  }
  s += ");\n";
  return s;
}

const char kPgFunctions[] =
    "-- Text as written: fields are copied as LATIN1, which keeps every byte.\n"
    "CREATE FUNCTION pg_temp.bex_text(v text, enc name) RETURNS text LANGUAGE sql IMMUTABLE\n"
    "  AS $$SELECT convert_from(convert_to(v, 'LATIN1'), enc)$$;\n"
    "-- Dates before year 1 are written with a minus sign.\n"
    "CREATE FUNCTION pg_temp.bex_time(v text) RETURNS text LANGUAGE sql IMMUTABLE\n"
    "  AS $$SELECT CASE WHEN v LIKE '-%' THEN substr(v, 2) || ' BC' ELSE NULLIF(v, '') END$$;\n"
    "-- A LOB reference \"file.offset.length/\" (offset from 1, length -1 for NULL).\n"
    "CREATE FUNCTION pg_temp.bex_blob(ref text, lob oid) RETURNS bytea LANGUAGE sql\n"
    "  AS $$SELECT CASE WHEN m[2]::bigint >= 0 THEN lo_get(lob, m[1]::bigint - 1, m[2]::int) END\n"
    "       FROM regexp_match(ref, '\\.([0-9]+)\\.(-?[0-9]+)/$') AS m$$;\n"
    "-- Character LOB values without their NUL bytes, which text cannot hold.\n"
    "CREATE FUNCTION pg_temp.bex_clob(ref text, lob oid, enc name) RETURNS text LANGUAGE plpgsql AS $$\n"
    "DECLARE\n"
    "  b bytea := pg_temp.bex_blob(ref, lob);\n"
    "  r bytea := '';\n"
    "  i int;\n"
    "BEGIN\n"
    "  IF b IS NULL THEN RETURN NULL; END IF;\n"
    "  LOOP\n"
    "    i := position('\\x00'::bytea IN b);\n"
    "    EXIT WHEN i = 0;\n"
    "    r := r || substr(b, 1, i - 1);\n"
    "    WHILE i <= length(b) AND get_byte(b, i - 1) = 0 LOOP i := i + 1; END LOOP;\n"
    "    b := substr(b, i);\n"
    "  END LOOP;\n"
    "  RETURN convert_from(r || b, enc);\n"
    "END $$;\n";

}  // namespace bex
