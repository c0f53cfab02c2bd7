// The type texts of CREATE TABLE and DESC, from one spelling per TYPE#.
#include "dict/ddl_text.h"

#include <cstdio>

namespace bex {

namespace {

using C = ColumnTypeCode;

// Which of the column's numbers a spelling takes.
enum class Args : uint8_t {
  kNone,            // "DATE"
  kLength,          // "VARCHAR2(%d)": LENGTH, or half of it in the national spelling
  kScale,           // "TIMESTAMP(%d)" when SCALE is not 0, else the bare spelling
  kPrecision,       // "INTERVAL YEAR(%d) TO MONTH" when PRECISION# is not 0, else bare
  kPrecisionScale,  // "INTERVAL DAY(%d) TO SECOND(%d)" when PRECISION# is not 0, else bare
  kNumber,          // NUMBER and FLOAT by PRECISION# and SCALE
  kNamedType,       // the type's owner and name; an unresolved type counts as unknown
};

// What a type's text carries besides its spelling.
constexpr uint8_t kNotNull = 1;      // the not-null text follows
constexpr uint8_t kLobIndex = 2;     // DESC names the LOB index after it
constexpr uint8_t kNamedCreate = 4;  // CREATE TABLE writes the named type stored in it, when resolved

struct TypeSpelling {
  C type;
  Args args;
  const char* text;      // with the numbers (kNone: the only spelling)
  const char* bare;      // without them
  const char* national;  // CHARSETFORM 2, or nullptr
  uint8_t traits;
};

constexpr TypeSpelling kSpellings[] = {
    {C::kVarchar2, Args::kLength, "VARCHAR2(%d)", nullptr, "NVARCHAR2(%d)", kNotNull},
    {C::kNumber, Args::kNumber, nullptr, nullptr, nullptr, kNotNull},
    {C::kLong, Args::kNone, "LONG", nullptr, nullptr, kNotNull},
    {C::kVarchar, Args::kLength, "VARCHAR(%d)", nullptr, "NCHAR VARYING(%d)", kNotNull},
    {C::kDate, Args::kNone, "DATE", nullptr, nullptr, kNotNull},
    {C::kRaw, Args::kLength, "RAW(%d)", nullptr, nullptr, kNotNull},
    {C::kLongRaw, Args::kNone, "LONG RAW", nullptr, nullptr, kNotNull},
    {C::kOpaqueType, Args::kNamedType, nullptr, nullptr, nullptr, 0},
    {C::kRefType, Args::kNamedType, nullptr, nullptr, nullptr, 0},
    {C::kObjectType, Args::kNamedType, nullptr, nullptr, nullptr, 0},
    {C::kNestedTableType, Args::kNamedType, nullptr, nullptr, nullptr, 0},
    {C::kVarrayType, Args::kNamedType, nullptr, nullptr, nullptr, 0},
    {C::kRowid, Args::kNone, "ROWID", nullptr, nullptr, 0},
    {C::kChar, Args::kLength, "CHAR(%d)", nullptr, "NCHAR(%d)", kNotNull},
    {C::kBinaryFloat, Args::kNone, "BINARY_FLOAT", nullptr, nullptr, kNotNull},
    {C::kBinaryDouble, Args::kNone, "BINARY_DOUBLE", nullptr, nullptr, kNotNull},
    {C::kMlslabel, Args::kNone, "MLSLABEL", nullptr, nullptr, 0},
    {C::kOsMlslabel, Args::kNone, "MLSLABEL", nullptr, nullptr, 0},
    {C::kClob, Args::kNone, "CLOB", nullptr, "NCLOB", kNotNull | kLobIndex},
    {C::kBlob, Args::kNone, "BLOB", nullptr, nullptr, kNotNull | kLobIndex | kNamedCreate},
    {C::kBfile, Args::kNone, "BFILE", nullptr, nullptr, 0},
    {C::kCfile, Args::kNone, "CFILE", nullptr, nullptr, 0},
    {C::kTimestamp, Args::kScale, "TIMESTAMP(%d)", "TIMESTAMP", nullptr, kNotNull},
    {C::kTimestampTz, Args::kScale, "TIMESTAMP(%d) WITH TIME ZONE", "TIMESTAMP WITH TIME ZONE", nullptr, kNotNull},
    {C::kIntervalYm, Args::kPrecision, "INTERVAL YEAR(%d) TO MONTH", "INTERVAL YEAR TO MONTH", nullptr, kNotNull},
    {C::kIntervalDs, Args::kPrecisionScale, "INTERVAL DAY(%d) TO SECOND(%d)", "INTERVAL DAY TO SECOND", nullptr,
     kNotNull},
    {C::kUrowid, Args::kNone, "UROWID", nullptr, nullptr, 0},
    {C::kTimestampLtz, Args::kScale, "TIMESTAMP(%d) WITH LOCAL TIME ZONE", "TIMESTAMP WITH LOCAL TIME ZONE", nullptr,
     kNotNull},
};

// Room for the longest spelling: a named type's owner and name.
constexpr size_t kTypeTextSize = 2 * kDictNameMax + 8;

int asInt(uint32_t v) { return static_cast<int>(static_cast<int32_t>(v)); }

// The spelling of the column's TYPE#; nullptr for an unknown TYPE# and for
// a named type that could not be resolved.
const TypeSpelling* spellingOf(const ColumnRecord& c) {
  const C code = columnTypeOf(c.type);
  for (const TypeSpelling& t : kSpellings)
    if (t.type == code) return t.args == Args::kNamedType && c.typeKind == kKindNone ? nullptr : &t;
  return nullptr;
}

void spellNumber(const ColumnRecord& c, char* out) {
  const int scale = asInt(c.scale), prec = asInt(c.precision);
  if (c.precision == 0)
    snprintf(out, kTypeTextSize, "NUMBER");
  else if (scale == kFloatScale && c.precision == kFloatDefaultPrecision)
    snprintf(out, kTypeTextSize, "FLOAT");
  else if (scale == kFloatScale)
    snprintf(out, kTypeTextSize, "FLOAT(%d)", prec);
  else if (c.precision <= kNumberPrecisionMax && scale != 0)
    snprintf(out, kTypeTextSize, "NUMBER(%d,%d)", prec, scale);
  else if (c.precision <= kNumberPrecisionMax)
    snprintf(out, kTypeTextSize, "NUMBER(%d)", prec);
  else if (scale != 0)
    snprintf(out, kTypeTextSize, "NUMBER(*,%d)", scale);
  else
    snprintf(out, kTypeTextSize, "FLOAT");
}

// The type as both forms spell it, without blanks or the not-null text.
void spell(const TypeSpelling& t, const ColumnRecord& c, char* out) {
  const int prec = asInt(c.precision), scale = asInt(c.scale);
  const bool national = t.national && c.charsetForm == kCharsetFormNational;
  switch (t.args) {
    case Args::kNone:
      snprintf(out, kTypeTextSize, "%s", national ? t.national : t.text);
      break;
    case Args::kLength:
      if (national)
        snprintf(out, kTypeTextSize, t.national, asInt(c.length / 2));
      else
        snprintf(out, kTypeTextSize, t.text, asInt(c.length));
      break;
    case Args::kScale:
      if (scale)
        snprintf(out, kTypeTextSize, t.text, scale);
      else
        snprintf(out, kTypeTextSize, "%s", t.bare);
      break;
    case Args::kPrecision:
      if (prec)
        snprintf(out, kTypeTextSize, t.text, prec);
      else
        snprintf(out, kTypeTextSize, "%s", t.bare);
      break;
    case Args::kPrecisionScale:
      if (prec)
        snprintf(out, kTypeTextSize, t.text, prec, scale);
      else
        snprintf(out, kTypeTextSize, "%s", t.bare);
      break;
    case Args::kNumber:
      spellNumber(c, out);
      break;
    case Args::kNamedType:
      snprintf(out, kTypeTextSize, "%s.%s", c.typeOwner, c.typeName);
      break;
  }
}

}  // namespace

void appendCreateType(std::string& out, const ColumnRecord& c, bool commentNotNull) {
  const char* nn = c.nullFlag == 0 ? "" : commentNotNull ? " /* NOT NULL */" : " NOT NULL ";
  const TypeSpelling* t = spellingOf(c);
  char text[kTypeTextSize];
  if (!t) {
    // An unknown or unresolved type has no name to write; its number is all there is.
    snprintf(text, sizeof text, " %u", c.type);
    out += text;
    return;
  }
  if ((t->traits & kNamedCreate) && c.typeKind != kKindNone)
    snprintf(text, sizeof text, "%s.%s", c.typeOwner, c.typeName);
  else
    spell(*t, c, text);
  out += ' ';
  out += text;
  if (t->traits & kNotNull) out += nn;
}

void printDescType(Sink& out, const ColumnRecord& c, uint32_t tableObjNo) {
  const TypeSpelling* t = spellingOf(c);
  if (!t) {
    out.printf("UNKNOWN_%u\n", c.type);
    return;
  }
  char text[kTypeTextSize];
  spell(*t, c, text);
  out.write(text);
  if (t->traits & kNotNull) out.printf(" %s", c.nullFlag ? "NOT NULL" : "");
  if (t->traits & kLobIndex) out.printf(" (SYS_IL%010dC%05d$$)", asInt(tableObjNo), asInt(c.intColNo));
  out.write("\n");
}

}  // namespace bex
