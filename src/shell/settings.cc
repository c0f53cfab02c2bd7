#include "shell/settings.h"

#include <cctype>
#include <cstring>

#include "run/run_context.h"

namespace bex {

namespace {

enum Key {
  kBLOCK_SIZE, kBYTE_ORDER, kCHARSET, kNLSCHARSET, kVERBOSE, kROW_ADDRESS, kBLOCK_CHECK, kTABLESPACE, kMAXCHAINS, kGUESS_SIZE, kGUESS_LIMIT, kGUESS_COLPCT, kGUESS_SCORE, kGUESS_COLSIZE, kDELETED_ROW, kOUTPUT_STYLE, kCOMMITED_ONLY, kFIELD_TAG, kLONG_TAG, kRECORD_TAG, kCACHE_SIZE, kTRANS_OFFSET, kTRANS_COUNT, kBIGFILE, kUNIQUE_TNAME, kEMPTY_FILES, kIGNORE_NOTNULL, kICONV_NCHAR, kICONV_NCLOB, kICONV_CLOB, kTHREADS, kKeyCount
};

// Lookup order of the keys.
const char* const kKeyNames[kKeyCount] = {
    "BLOCK_SIZE",  "BYTE_ORDER",   "CHARSET",       "NLSCHARSET",  "VERBOSE",     "ROW_ADDRESS",
    "BLOCK_CHECK", "TABLESPACE",   "MAXCHAINS",     "GUESS_SIZE",  "GUESS_LIMIT", "GUESS_COLPCT",
    "GUESS_SCORE", "GUESS_COLSIZE", "DELETED_ROW",  "OUTPUT_STYLE", "COMMITED_ONLY", "FIELD_TAG",
    "LONG_TAG",    "RECORD_TAG",   "CACHE_SIZE",    "TRANS_OFFSET", "TRANS_COUNT", "BIGFILE",
    "UNIQUE_TNAME", "EMPTY_FILES", "IGNORE_NOTNULL", "ICONV_NCHAR", "ICONV_NCLOB", "ICONV_CLOB",
    "THREADS",
};

const char* const kUsage[] = {
    "  SET UNIQUE_TNAME   {Yes | NO}\n",
    "  SET EMPTY_FILES    {Yes | NO}\n",
    "  SET IGNORE_NOTNULL {Yes | NO}\n",
    "  SET GUESS_SIZE     {10 - maximum}\n",
    "  SET GUESS_LIMIT    {2 - 256}\n",
    "  SET GUESS_COLPCT   {5 - 85}\n",
    "  SET GUESS_SCORE    {10 - 100}\n",
    "  SET GUESS_COLSIZE  {TRUE | FALSE}\n",
    "  SET BLOCK_SIZE     {2048 | 4096 | 8192 | 16384 | 32768}\n",
    "  SET BYTE_ORDER     {BIG | LITTLE}\n",
    "  SET DELETED_ROW    {TRUE | FALSE}\n",
    "  SET COMMITED_ONLY  {TRUE | FALSE}\n",
    "  SET FIELD_TAG      field_tag \n",
    "  SET RECORD_TAG     record_tag\n",
    "  SET CACHE_SIZE     kbytes (64 - 8192)\n",
    "  SET OUTPUT_STYLE   {TXT | DMP | CSV}\n",
    "  SET CHARSET        charsetid\n",
    "  SET NLSCHARSET     charsetid\n",
    "  SET BLOCK_CHECK    {0 | 1}\n",
    "  SET HEAD_SIZE      header size (default 0)\n",
    "  SET VERBOSE        {0 | 1}\n",
    "  SET ROW_ADDRESS    {0 | 1}\n",
    "  SET MAXCHAINS      integer value\n",
    "  SET BIGFILE        {Yes | NO}\n",
    "  SET ICONV_NCHAR    from_iconv_charset to_iconv_charset\n",
    "  SET ICONV_NCLOB    from_iconv_charset to_iconv_charset\n",
    "  SET ICONV_CLOB     from_iconv_charset to_iconv_charset\n",
    "  SET THREADS        {1 - 64}\n",
};

int findKey(std::string_view tok) {
  for (int k = 0; k < kKeyCount; k++)
    if (keywordMatch(tok, kKeyNames[k])) return k;
  return -1;
}

uint32_t clampU32(uint32_t v, uint32_t lo, uint32_t hi) { return v < lo ? lo : v > hi ? hi : v; }

// A two-valued keyword setting: TRUE/FALSE, YES/NO, BIG/LITTLE.
// `on` is the keyword for 1, `off` the keyword for 0.
void setFlag(Sink& out, const char* key, std::string_view value, bool hasValue, uint8_t& flag, const char* on,
             const char* off, const char* choices) {
  if (hasValue) {
    if (keywordMatch(value, on))
      flag = 1;
    else if (keywordMatch(value, off))
      flag = 0;
    else
      out.error("  %s can only be %s\n", key, choices);
  }
  out.printf("  Current %s is : %s\n", key, flag ? on : off);
}

// OUTPUT_STYLE: TXT, DMP or CSV, stored as its OutputStyle.
void setStyle(Sink& out, std::string_view value, bool hasValue, uint8_t& style) {
  static constexpr const char* kStyles[] = {"TXT", "DMP", "CSV"};
  if (hasValue) {
    uint8_t i = 0;
    while (i < 3 && !keywordMatch(value, kStyles[i])) i++;
    if (i < 3)
      style = i;
    else
      out.printf("  %s can only be %s\n", "OUTPUT_STYLE", "TXT, DMP, CSV");
  }
  out.printf("  Current %s is : %s\n", "OUTPUT_STYLE", kStyles[style <= kStyleCsv ? style : uint8_t{kStyleTxt}]);
}

void setBlockSize(RunContext& rc, std::string_view value, bool hasValue) {
  Sink& out = rc.out;
  if (hasValue) {
    static const char* const kSizes[] = {"2048", "4096", "8192", "16384", "32768"};
    int64_t size = -1;
    for (const char* s : kSizes)
      if (value == s) size = tokenNumber(s);
    if (size < 0) {
      int64_t n = tokenNumber(value);
      if (n == 0)
        out.error("  %s can only be %s, %s, %s, %s, %s\n", "BLOCK_SIZE", "2048", "4096", "8192", "16384", "32768");
      else if (n > 0 && n % 2048 == 0 && n <= 32768)
        size = n;
    }
    if (size > 0 && static_cast<uint16_t>(size) != rc.bc.blockSize) rc.setBlockSize(static_cast<uint16_t>(size));
  }
  out.printf("  Current %s is : %u\n", "BLOCK_SIZE", static_cast<unsigned>(rc.bc.blockSize));
}

void setCharset(Sink& out, const char* key, std::string_view value, bool hasValue, uint16_t& id) {
  if (hasValue) {
    char buf[kCharsetTokenMax + 1];
    size_t n = copyToken(value, buf, kCharsetTokenMax);
    id = findCharsetId({buf, n});
  }
  out.printf("  Current %s is : 0x%04x (%u)\n", key, static_cast<unsigned>(id), static_cast<unsigned>(id));
}

void setTag(Sink& out, const char* key, std::string_view value, bool hasValue, char* tag, uint16_t& len) {
  if (hasValue) len = static_cast<uint16_t>(decodeTag(value, tag));
  printTag(out, key, tag);
}

void setIconv(RunContext& rc, const char* key, Conversion& conv) {
  char from[kNameTokenMax + 1];
  char to[kNameTokenMax + 1];
  CommandLine& cl = rc.cmd;
  if (cl.nextToken()) {
    copyToken(cl.token(), from, kNameTokenMax);
    if (cl.nextToken()) {
      copyToken(cl.token(), to, kNameTokenMax);
      conv.open(from, to);
    }
  }
  rc.out.printf("  Current %s is : %s\n", key, conv.valid() ? "ON" : "OFF");
}

}  // namespace

void printSetUsage(Sink& out) {
  out.noteError();
  for (const char* line : kUsage) out.write(line);
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

void cmdSet(RunContext& rc) {
  CommandLine& cl = rc.cmd;
  Sink& out = rc.out;
  BlockContext& bc = rc.bc;
  Settings& s = rc.settings;
  int key = cl.nextToken() ? findKey(cl.token()) : -1;
  if (key < 0) {
    printSetUsage(out);
    return;
  }
  const char* name = kKeyNames[key];
  if (key == kICONV_NCHAR) return setIconv(rc, name, rc.conversions.nchar);
  if (key == kICONV_NCLOB) return setIconv(rc, name, rc.conversions.nclob);
  if (key == kICONV_CLOB) return setIconv(rc, name, rc.conversions.clob);

  bool has = cl.nextToken() != 0;
  std::string_view v = cl.token();
  int64_t num = has ? tokenNumber(v) : 0;
  if (key == kBLOCK_SIZE || key == kBYTE_ORDER || key == kBIGFILE || key == kCACHE_SIZE) rc.emptyReadCaches();
  switch (key) {
    case kBLOCK_SIZE: return setBlockSize(rc, v, has);
    case kBYTE_ORDER: return setFlag(out, name, v, has, bc.byteOrder, "BIG", "LITTLE", "BIG, LITTLE");
    case kCHARSET: return setCharset(out, name, v, has, s.charset);
    case kNLSCHARSET: return setCharset(out, name, v, has, s.nlsCharset);
    case kVERBOSE:
    case kROW_ADDRESS:
    case kBLOCK_CHECK: {
      uint8_t& f = key == kVERBOSE ? bc.verbose : key == kROW_ADDRESS ? bc.rowAddress : bc.blockCheck;
      if (has) f = static_cast<uint8_t>(num);
      out.printf("  Current %s is : %d\n", name, f);
      return;
    }
    case kTABLESPACE:
      if (has) s.tablespace = static_cast<uint16_t>(num);
      out.printf("  Current TABLESPACE is : %u\n", static_cast<unsigned>(s.tablespace));
      return;
    case kMAXCHAINS:
      if (has) bc.maxChains = static_cast<uint32_t>(num);
      out.printf("  Current MAXCHAINS is : %u\n", bc.maxChains);
      return;
    case kGUESS_SIZE:
      if (has) bc.guessSize = static_cast<uint16_t>(clampU32(static_cast<uint32_t>(num), 10, 65535));
      out.printf("  Current GUESS_SIZE is : %u\n", static_cast<unsigned>(bc.guessSize));
      return;
    case kGUESS_LIMIT:
      if (has) bc.guessLimit = static_cast<uint16_t>(clampU32(static_cast<uint32_t>(num), 2, 256));
      out.printf("  Current GUESS_LIMIT is : %u\n", static_cast<unsigned>(bc.guessLimit));
      return;
    case kGUESS_COLPCT:
      if (has) bc.guessColpct = static_cast<uint16_t>(clampU32(static_cast<uint32_t>(num), 5, 85));
      out.printf("  Current GUESS_COLPCT is : %u\n", static_cast<unsigned>(bc.guessColpct));
      return;
    case kGUESS_SCORE:
      if (has) bc.guessScore = static_cast<uint16_t>(clampU32(static_cast<uint16_t>(num), 10, 100));
      out.printf("  Current GUESS_SCORE is : %u\n", static_cast<unsigned>(bc.guessScore));
      return;
    case kGUESS_COLSIZE: return setFlag(out, name, v, has, bc.guessColsize, "TRUE", "FALSE", "TRUE, FALSE");
    case kDELETED_ROW: return setFlag(out, name, v, has, s.deletedRow, "TRUE", "FALSE", "TRUE, FALSE");
    case kCOMMITED_ONLY: return setFlag(out, name, v, has, s.commitedOnly, "TRUE", "FALSE", "TRUE, FALSE");
    case kOUTPUT_STYLE: return setStyle(out, v, has, bc.outputStyle);
    case kFIELD_TAG:
      s.fieldTagSet = s.fieldTagSet || has;
      return setTag(out, name, v, has, s.fieldTag, s.fieldTagLen);
    case kRECORD_TAG: return setTag(out, name, v, has, s.recordTag, s.recordTagLen);
    case kLONG_TAG:
      s.longTagLen = static_cast<uint16_t>(has ? copyToken(v, s.longTag, kTagMax) : copyToken({}, s.longTag, kTagMax));
      out.printf("  Current %s : %s\n", "LONG_TAG", s.longTag);
      return;
    case kCACHE_SIZE: {
      uint32_t kb = has ? clampU32(static_cast<uint32_t>(num), 64, 8192) : kPrimaryCacheDefault / 1024;
      rc.caches[0].allocate(kb * 1024);
      return;
    }
    case kTRANS_OFFSET:
      if (has) {
        bc.transOffset = static_cast<uint16_t>(num);
        if (bc.transOffset >= bc.blockSize) bc.transOffset = 0;
      }
      out.printf("  Current TRANS_OFFSET is : %d\n", bc.transOffset);
      return;
    case kTRANS_COUNT:
      if (has) bc.transCount = static_cast<uint16_t>(num);
      out.printf("  Current TRANS_COUNT is : %d\n", bc.transCount);
      return;
    case kBIGFILE: return setFlag(out, name, v, has, bc.bigfile, "YES", "NO", "YES, NO");
    case kUNIQUE_TNAME: return setFlag(out, name, v, has, s.uniqueTname, "YES", "NO", "YES, NO");
    case kEMPTY_FILES: return setFlag(out, name, v, has, s.emptyFiles, "YES", "NO", "YES, NO");
    case kIGNORE_NOTNULL: return setFlag(out, name, v, has, s.ignoreNotnull, "YES", "NO", "YES, NO");
    case kTHREADS:
      if (has) bc.threads = static_cast<uint16_t>(clampU32(static_cast<uint32_t>(num), 1, kMaxThreads));
      out.printf("  Current THREADS is : %u\n", static_cast<unsigned>(bc.threads));
      return;
  }
}

}  // namespace bex
