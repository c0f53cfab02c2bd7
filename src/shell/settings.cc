#include "shell/settings.h"

#include <cstring>
#include <type_traits>

#include "base/limits.h"
#include "pg/pg_target.h"
#include "run/run_context.h"
#include "unload/output_style.h"

namespace bex {

namespace {

// How a key's value is read, checked and shown.
enum class Rule : uint8_t {
  kBlockSize,      // a multiple of the smallest block size up to the largest
  kKeyword,        // one of the key's keywords
  kOutputStyle,    // the word of an output style
  kCharset,        // a character-set name or id
  kNumber,         // the number, cut to the field's width
  kClamped,        // the number as unsigned 32-bit, clamped to the range
  kClampedLow16,   // the number's low 16 bits, clamped to the range
  kOffsetInBlock,  // the number's low 16 bits; one not below BLOCK_SIZE gives 0
  kTag,            // escapes decoded, shown escaped
  kLongTag,        // taken as typed; the key alone empties it
  kCacheSize,      // kilobytes clamped to the range, the key alone the default; nothing shown
  kConversion,     // two iconv names
  kPgTarget,       // a PostgreSQL connection string, shown with its password masked
};

template <class>
struct MemberOf;
template <class T, class C>
struct MemberOf<T C::*> {
  using Type = T;
  using Owner = C;
};

// The field M of the run: in its Settings, its BlockContext (its read
// settings) or its conversions.
template <auto M>
auto& reach(RunContext& rc) {
  using Owner = typename MemberOf<decltype(M)>::Owner;
  if constexpr (std::is_same_v<Owner, Settings>)
    return rc.settings.*M;
  else if constexpr (std::is_same_v<Owner, ReadSettings> || std::is_same_v<Owner, BlockContext>)
    return rc.bc.*M;
  else
    return rc.conversions.*M;
}

// Where a key's value lives. A number sets one of u8, u16 and u32; a tag
// sets text and its length in u16.
struct Field {
  uint8_t& (*u8)(RunContext&) = nullptr;
  uint16_t& (*u16)(RunContext&) = nullptr;
  uint32_t& (*u32)(RunContext&) = nullptr;
  char* (*text)(RunContext&) = nullptr;
  bool& (*given)(RunContext&) = nullptr;  // set once the key was given a value
  Conversion& (*conversion)(RunContext&) = nullptr;
};

// Given: the Settings flag that records a value SET for the key.
template <auto M, auto Given = nullptr>
constexpr Field at() {
  using T = typename MemberOf<decltype(M)>::Type;
  Field f;
  if constexpr (Given != nullptr) f.given = &reach<Given>;
  if constexpr (std::is_same_v<T, uint8_t>)
    f.u8 = &reach<M>;
  else if constexpr (std::is_same_v<T, uint16_t>)
    f.u16 = &reach<M>;
  else if constexpr (std::is_same_v<T, uint32_t>)
    f.u32 = &reach<M>;
  else
    f.conversion = &reach<M>;
  return f;
}

template <auto Text, auto Length, auto Given = nullptr>
constexpr Field tag() {
  Field f = at<Length, Given>();
  f.text = [](RunContext& rc) -> char* { return reach<Text>(rc); };
  return f;
}

struct Keyword {
  const char* word;
  uint8_t value;
};
// A keyword key's words in the order its "can only be" message lists them.
struct Keywords {
  Keyword word[3];
  uint8_t count;
};
constexpr Keywords kTrueFalse{{{"TRUE", 1}, {"FALSE", 0}}, 2};
constexpr Keywords kYesNo{{{"YES", 1}, {"NO", 0}}, 2};
constexpr Keywords kBigLittle{{{"BIG", 1}, {"LITTLE", 0}}, 2};

struct Range {
  uint32_t lo;
  uint32_t hi;
};

struct SettingKey {
  const char* key;
  Rule rule;
  Field field;
  // The usage line after the key; the ends of the range go in as %u.
  const char* usage;
  Range range{0, 0};
  const Keywords* keywords = nullptr;
  // The read caches are keyed by what this key changes: SET empties them.
  bool emptiesCaches = false;
};

// Every key, in the order of the usage text. The keys differ in more than
// case, so the order decides nothing else.
const SettingKey kKeys[] = {
    {"UNIQUE_TNAME", Rule::kKeyword, at<&Settings::uniqueTname>(), "{Yes | NO}", {}, &kYesNo},
    {"EMPTY_FILES", Rule::kKeyword, at<&Settings::emptyFiles>(), "{Yes | NO}", {}, &kYesNo},
    {"IGNORE_NOTNULL", Rule::kKeyword, at<&Settings::ignoreNotnull>(), "{Yes | NO}", {}, &kYesNo},
    {"GUESS_SIZE", Rule::kClamped, at<&ReadSettings::guessSize>(), "{%u - maximum}", {10, UINT16_MAX}},
    {"GUESS_LIMIT", Rule::kClamped, at<&ReadSettings::guessLimit>(), "{%u - %u}", {2, 256}},
    {"GUESS_COLPCT", Rule::kClamped, at<&ReadSettings::guessColpct>(), "{%u - %u}", {5, 85}},
    {"GUESS_SCORE", Rule::kClampedLow16, at<&ReadSettings::guessScore>(), "{%u - %u}", {10, 100}},
    {"GUESS_COLSIZE", Rule::kKeyword, at<&ReadSettings::guessColsize>(), "{TRUE | FALSE}", {}, &kTrueFalse},
    {"BLOCK_SIZE", Rule::kBlockSize, at<&ReadSettings::blockSize, &Settings::blockSizeSet>(), nullptr, {kBlockSizeMin, kBlockSizeMax},
     nullptr, true},
    {"BYTE_ORDER", Rule::kKeyword, at<&ReadSettings::byteOrder, &Settings::byteOrderSet>(), "{BIG | LITTLE}", {}, &kBigLittle, true},
    {"DELETED_ROW", Rule::kKeyword, at<&Settings::deletedRow>(), "{TRUE | FALSE}", {}, &kTrueFalse},
    {"COMMITED_ONLY", Rule::kKeyword, at<&Settings::commitedOnly>(), "{TRUE | FALSE}", {}, &kTrueFalse},
    {"FIELD_TAG", Rule::kTag, tag<&Settings::fieldTag, &Settings::fieldTagLen, &Settings::fieldTagSet>(),
     "field_tag "},
    {"RECORD_TAG", Rule::kTag, tag<&Settings::recordTag, &Settings::recordTagLen>(), "record_tag"},
    {"LONG_TAG", Rule::kLongTag, tag<&Settings::longTag, &Settings::longTagLen>(), "long_tag"},
    {"CACHE_SIZE", Rule::kCacheSize, {}, "kbytes (%u - %u)", {64, 8192}, nullptr, true},
    {"OUTPUT_STYLE", Rule::kOutputStyle, {}, nullptr},
    {"CHARSET", Rule::kCharset, at<&Settings::charset, &Settings::charsetSet>(), "charsetid"},
    {"NLSCHARSET", Rule::kCharset, at<&Settings::nlsCharset, &Settings::nlsCharsetSet>(), "charsetid"},
    {"BLOCK_CHECK", Rule::kNumber, at<&ReadSettings::blockCheck>(), "{0 | 1}"},
    {"TABLESPACE", Rule::kNumber, at<&Settings::tablespace>(), "tablespace number (default 0, every one)"},
    {"VERBOSE", Rule::kNumber, at<&ReadSettings::verbose>(), "{0 | 1}"},
    {"ROW_ADDRESS", Rule::kNumber, at<&ReadSettings::rowAddress>(), "{0 | 1}"},
    {"MAXCHAINS", Rule::kNumber, at<&ReadSettings::maxChains>(), "integer value"},
    {"TRANS_OFFSET", Rule::kOffsetInBlock, at<&ReadSettings::transOffset>(),
     "offset below BLOCK_SIZE (default 0, from the header)"},
    {"TRANS_COUNT", Rule::kNumber, at<&ReadSettings::transCount>(), "entries (default 0, by the block type)"},
    {"BIGFILE", Rule::kKeyword, at<&ReadSettings::bigfile, &Settings::bigfileSet>(), "{Yes | NO}", {}, &kYesNo, true},
    {"ICONV_NCHAR", Rule::kConversion, at<&Conversions::nchar, &Settings::iconvNcharSet>(), "from_iconv_charset to_iconv_charset"},
    {"ICONV_NCLOB", Rule::kConversion, at<&Conversions::nclob, &Settings::iconvNclobSet>(), "from_iconv_charset to_iconv_charset"},
    {"ICONV_CLOB", Rule::kConversion, at<&Conversions::clob, &Settings::iconvClobSet>(), "from_iconv_charset to_iconv_charset"},
    {"PG_TARGET", Rule::kPgTarget, {}, "{'postgresql://...' | 'key=value ...'}"},
    {"THREADS", Rule::kClamped, at<&ReadSettings::threads>(), "{%u - %u}", {1, kMaxThreads}},
};

// The token after the key, if any, and its number.
struct Value {
  bool given;
  std::string_view text;
  int64_t number;
};

const SettingKey* findKey(std::string_view tok) {
  for (const SettingKey& k : kKeys)
    if (keywordMatch(tok, k.key)) return &k;
  return nullptr;
}

uint32_t load(const Field& f, RunContext& rc) { return f.u8 ? f.u8(rc) : f.u16 ? f.u16(rc) : f.u32(rc); }

// Every value SET stores passes here, and is recorded as given.
void store(const Field& f, RunContext& rc, uint32_t v) {
  if (f.given) f.given(rc) = true;
  if (f.u8)
    f.u8(rc) = static_cast<uint8_t>(v);
  else if (f.u16)
    f.u16(rc) = static_cast<uint16_t>(v);
  else
    f.u32(rc) = v;
}

uint32_t clampU32(uint32_t v, Range r) { return v < r.lo ? r.lo : v > r.hi ? r.hi : v; }

void showNumber(RunContext& rc, const SettingKey& k) {
  rc.out.printf("  Current %s is : %u\n", k.key, static_cast<unsigned>(load(k.field, rc)));
}

void listBlockSizes(Sink& out, const char* between) {
  const char* sep = "";
  for (uint16_t size : kStandardBlockSizes) {
    out.printf("%s%u", sep, static_cast<unsigned>(size));
    sep = between;
  }
}

// The size a BLOCK_SIZE value names; 0 keeps the current one (a value that
// is no number at all is told the sizes).
uint32_t blockSizeOf(Sink& out, const SettingKey& k, int64_t n) {
  if (n == 0) {
    out.error("  %s can only be ", k.key);
    listBlockSizes(out, ", ");
    out.put('\n');
  }
  bool fits = n > 0 && n % k.range.lo == 0 && n <= k.range.hi;
  return fits ? static_cast<uint32_t>(n) : 0;
}

void setBlockSize(RunContext& rc, const SettingKey& k, const Value& v) {
  if (v.given) {
    uint32_t size = blockSizeOf(rc.out, k, v.number);
    if (size) k.field.given(rc) = true;
    if (size && size != rc.bc.blockSize) rc.setBlockSize(static_cast<uint16_t>(size));
  }
  showNumber(rc, k);
}

const char* wordFor(const Keywords& w, uint32_t value) {
  for (uint8_t i = 0; i < w.count; i++)
    if (w.word[i].value == value) return w.word[i].word;
  return w.word[0].word;  // a stray value shows as the first word
}

void setKeyword(RunContext& rc, const SettingKey& k, const Value& v) {
  const Keywords& w = *k.keywords;
  if (v.given) {
    uint8_t i = 0;
    while (i < w.count && !keywordMatch(v.text, w.word[i].word)) i++;
    if (i < w.count) {
      store(k.field, rc, w.word[i].value);
    } else {
      rc.out.error("  %s can only be ", k.key);
      for (uint8_t j = 0; j < w.count; j++) rc.out.printf(j ? ", %s" : "%s", w.word[j].word);
      rc.out.put('\n');
    }
  }
  rc.out.printf("  Current %s is : %s\n", k.key, wordFor(w, load(k.field, rc)));
}

void setOutputStyle(RunContext& rc, const SettingKey& k, const Value& v) {
  const OutputStyleSpec* style = v.given ? findOutputStyle(v.text) : nullptr;
  if (style) {
    rc.settings.outputStyle = style;
  } else if (v.given) {
    rc.out.error("  %s can only be ", k.key);
    listOutputStyles(rc.out, ", ");
    rc.out.put('\n');
  }
  rc.out.printf("  Current %s is : %s\n", k.key, rc.settings.outputStyle->name);
}

void setCharset(RunContext& rc, const SettingKey& k, const Value& v) {
  if (v.given) {
    char buf[kCharsetTokenMax + 1];
    size_t n = copyToken(v.text, buf, kCharsetTokenMax);
    store(k.field, rc, findCharsetId({buf, n}));
  }
  const unsigned id = load(k.field, rc);
  rc.out.printf("  Current %s is : 0x%04x (%u)\n", k.key, id, id);
}

// The number a numeric key stores for the value n.
uint32_t numberFor(RunContext& rc, const SettingKey& k, int64_t n) {
  switch (k.rule) {
    case Rule::kClamped: return clampU32(static_cast<uint32_t>(n), k.range);
    case Rule::kClampedLow16: return clampU32(static_cast<uint16_t>(n), k.range);
    case Rule::kOffsetInBlock: {
      uint16_t offset = static_cast<uint16_t>(n);
      return offset < rc.bc.blockSize ? offset : 0;
    }
    default: return static_cast<uint32_t>(n);
  }
}

void setNumber(RunContext& rc, const SettingKey& k, const Value& v) {
  if (v.given) store(k.field, rc, numberFor(rc, k, v.number));
  showNumber(rc, k);
}

void setTag(RunContext& rc, const SettingKey& k, const Value& v) {
  char* text = k.field.text(rc);
  if (v.given) store(k.field, rc, static_cast<uint32_t>(decodeTag(v.text, text)));
  printTag(rc.out, k.key, text);
}

void setLongTag(RunContext& rc, const SettingKey& k, const Value& v) {
  char* text = k.field.text(rc);
  store(k.field, rc, static_cast<uint32_t>(copyToken(v.given ? v.text : std::string_view{}, text, kTagMax)));
  rc.out.printf("  Current %s : %s\n", k.key, text);
}

void setCacheSize(RunContext& rc, const SettingKey& k, const Value& v) {
  uint32_t kb = v.given ? clampU32(static_cast<uint32_t>(v.number), k.range) : kPrimaryCacheDefault / 1024;
  rc.caches[0].allocate(kb * 1024);
}

// The two names follow the key; with fewer the conversion stays.
void setConversion(RunContext& rc, const SettingKey& k) {
  char from[kNameTokenMax + 1];
  char to[kNameTokenMax + 1];
  CommandLine& cl = rc.cmd;
  Conversion& conv = k.field.conversion(rc);
  if (cl.nextToken()) {
    copyToken(cl.token(), from, kNameTokenMax);
    if (cl.nextToken()) {
      copyToken(cl.token(), to, kNameTokenMax);
      conv.open(from, to);
      k.field.given(rc) = true;
    }
  }
  rc.out.printf("  Current %s is : %s\n", k.key, conv.valid() ? "ON" : "OFF");
}

// The rest of the statement (in single quotes when it holds blanks) is the
// connection string; without it the setting is shown.
void setPgTarget(RunContext& rc, const SettingKey& k) {
  CommandLine& cl = rc.cmd;
  std::string& target = rc.settings.pgTarget;
  if (cl.nextToken()) {
    std::string_view v = cl.fromToken();
    while (!v.empty() && isBlank(v.back())) v.remove_suffix(1);
    if (v.size() >= 2 && v.front() == '\'' && v.back() == '\'') v = v.substr(1, v.size() - 2);
    if (isPgTarget(v))
      target = std::string(v);
    else
      rc.out.error("  %s can only be a postgresql:// URI or a key=value connection string\n", k.key);
  }
  rc.out.printf("  Current %s is : %s\n", k.key, target.empty() ? "NONE" : maskPgPasswords(target).c_str());
}

void apply(RunContext& rc, const SettingKey& k, const Value& v) {
  switch (k.rule) {
    case Rule::kBlockSize: return setBlockSize(rc, k, v);
    case Rule::kKeyword: return setKeyword(rc, k, v);
    case Rule::kOutputStyle: return setOutputStyle(rc, k, v);
    case Rule::kCharset: return setCharset(rc, k, v);
    case Rule::kTag: return setTag(rc, k, v);
    case Rule::kLongTag: return setLongTag(rc, k, v);
    case Rule::kCacheSize: return setCacheSize(rc, k, v);
    case Rule::kConversion: return setConversion(rc, k);
    default: return setNumber(rc, k, v);
  }
}

void printUsageLine(Sink& out, const SettingKey& k) {
  out.printf("  SET %-14s ", k.key);
  if (k.rule == Rule::kBlockSize) {
    out.put('{');
    listBlockSizes(out, " | ");
    out.put('}');
  } else if (k.rule == Rule::kOutputStyle) {
    out.put('{');
    listOutputStyles(out, " | ");
    out.put('}');
  } else {
    out.printf(k.usage, static_cast<unsigned>(k.range.lo), static_cast<unsigned>(k.range.hi));
  }
  out.put('\n');
}

}  // namespace

void printSetUsage(Sink& out) {
  out.noteError();
  for (const SettingKey& k : kKeys) printUsageLine(out, k);
}

void cmdSet(RunContext& rc) {
  CommandLine& cl = rc.cmd;
  const SettingKey* k = cl.nextToken() ? findKey(cl.token()) : nullptr;
  if (!k) return printSetUsage(rc.out);
  if (k->rule == Rule::kConversion) return setConversion(rc, *k);
  if (k->rule == Rule::kPgTarget) return setPgTarget(rc, *k);
  const bool given = cl.nextToken() != 0;
  const Value v{given, cl.token(), given ? tokenNumber(cl.token()) : 0};
  if (k->emptiesCaches) rc.emptyReadCaches();
  apply(rc, *k, v);
}

static int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return 0;  // not a hexadecimal digit counts as 0
}

size_t decodeTag(std::string_view token, char* out) {
  if (token.size() > kTagMax) token = token.substr(0, kTagMax);
  size_t o = 0;
  for (size_t i = 0; i < token.size(); i++) {
    char c = token[i];
    if (c != '\\' || i + 1 == token.size()) {
      out[o++] = c;
      continue;
    }
    char e = token[++i];
    switch (e) {
      case 't': out[o++] = '\t'; break;
      case 'n': out[o++] = '\n'; break;
      case 'r': out[o++] = '\r'; break;
      case 's': out[o++] = ' '; break;
      case 'l': out[o++] = '|'; break;
      case 'x':
      case 'X':
        if (i + 2 < token.size()) {
          out[o++] = static_cast<char>(hexValue(token[i + 1]) * 16 + hexValue(token[i + 2]));
          i += 2;
        } else if (i + 1 < token.size()) {
          out[o++] = token[++i];
        } else {
          out[o++] = 0;
        }
        break;
      default: out[o++] = e; break;
    }
  }
  out[o] = 0;
  return strlen(out);
}

void printTag(Sink& out, const char* key, const char* tag) {
  out.printf("  Current %s :", key);
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(tag); *p; p++) {
    switch (*p) {
      case '\t': out.write("\\t"); break;
      case '\r': out.write("\\r"); break;
      case '\n': out.write("\\n"); break;
      case '\\': out.write("\\\\"); break;
      default:
        if (*p >= 0x20 && *p < 0x7f)
          out.put(static_cast<char>(*p));
        else
          out.printf("\\x%02x", *p);
    }
  }
  out.write("\n");
}


}  // namespace bex
