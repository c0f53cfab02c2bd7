#include "value/charset.h"

#include <unicode/ustring.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/cmdline.h"

namespace bex {

const OracleCharset OracleCharsetTable[] = {
    {"US7ASCII", 1},
    {"WE8DEC", 2},
    {"WE8HP", 3},
    {"US8PC437", 4},
    {"WE8EBCDIC37", 5},
    {"WE8EBCDIC500", 6},
    {"WE8EBCDIC1140", 7},
    {"WE8EBCDIC285", 8},
    {"WE8EBCDIC1146", 9},
    {"WE8PC850", 10},
    {"D7DEC", 11},
    {"F7DEC", 12},
    {"S7DEC", 13},
    {"E7DEC", 14},
    {"SF7ASCII", 15},
    {"NDK7DEC", 16},
    {"I7DEC", 17},
    {"NL7DEC", 18},
    {"CH7DEC", 19},
    {"YUG7ASCII", 20},
    {"SF7DEC", 21},
    {"TR7DEC", 22},
    {"IW7IS960", 23},
    {"IN8ISCII", 25},
    {"WE8EBCDIC1148", 27},
    {"WE8PC858", 28},
    {"WE8ISO8859P1", 31},
    {"EE8ISO8859P2", 32},
    {"SE8ISO8859P3", 33},
    {"NEE8ISO8859P4", 34},
    {"CL8ISO8859P5", 35},
    {"AR8ISO8859P6", 36},
    {"EL8ISO8859P7", 37},
    {"IW8ISO8859P8", 38},
    {"WE8ISO8859P9", 39},
    {"NE8ISO8859P10", 40},
    {"TH8TISASCII", 41},
    {"TH8TISEBCDIC", 42},
    {"BN8BSCII", 43},
    {"VN8VN3", 44},
    {"VN8MSWIN1258", 45},
    {"WE8ISO8859P15", 46},
    {"BLT8ISO8859P13", 47},
    {"CEL8ISO8859P14", 48},
    {"CL8ISOIR111", 49},
    {"WE8NEXTSTEP", 50},
    {"CL8KOI8U", 51},
    {"AZ8ISO8859P9E", 52},
    {"AR8ASMO708PLUS", 61},
    {"AR8EBCDICX", 70},
    {"AR8XBASIC", 72},
    {"EL8DEC", 81},
    {"TR8DEC", 82},
    {"WE8EBCDIC37C", 90},
    {"WE8EBCDIC500C", 91},
    {"IW8EBCDIC424", 92},
    {"TR8EBCDIC1026", 93},
    {"WE8EBCDIC871", 94},
    {"WE8EBCDIC284", 95},
    {"WE8EBCDIC1047", 96},
    {"WE8EBCDIC1140C", 97},
    {"WE8EBCDIC1145", 98},
    {"WE8EBCDIC1148C", 99},
    {"WE8EBCDIC1047E", 100},
    {"WE8EBCDIC924", 101},
    {"EEC8EUROASCI", 110},
    {"EEC8EUROPA3", 113},
    {"LA8PASSPORT", 114},
    {"BG8PC437S", 140},
    {"EE8PC852", 150},
    {"RU8PC866", 152},
    {"RU8BESTA", 153},
    {"IW8PC1507", 154},
    {"RU8PC855", 155},
    {"TR8PC857", 156},
    {"CL8MACCYRILLIC", 158},
    {"CL8MACCYRILLICS", 159},
    {"WE8PC860", 160},
    {"IS8PC861", 161},
    {"EE8MACCES", 162},
    {"EE8MACCROATIANS", 163},
    {"TR8MACTURKISHS", 164},
    {"IS8MACICELANDICS", 165},
    {"EL8MACGREEKS", 166},
    {"IW8MACHEBREWS", 167},
    {"EE8MSWIN1250", 170},
    {"CL8MSWIN1251", 171},
    {"ET8MSWIN923", 172},
    {"BG8MSWIN", 173},
    {"EL8MSWIN1253", 174},
    {"IW8MSWIN1255", 175},
    {"LT8MSWIN921", 176},
    {"TR8MSWIN1254", 177},
    {"WE8MSWIN1252", 178},
    {"BLT8MSWIN1257", 179},
    {"D8EBCDIC273", 180},
    {"I8EBCDIC280", 181},
    {"DK8EBCDIC277", 182},
    {"S8EBCDIC278", 183},
    {"EE8EBCDIC870", 184},
    {"CL8EBCDIC1025", 185},
    {"F8EBCDIC297", 186},
    {"IW8EBCDIC1086", 187},
    {"CL8EBCDIC1025X", 188},
    {"D8EBCDIC1141", 189},
    {"N8PC865", 190},
    {"BLT8CP921", 191},
    {"LV8PC1117", 192},
    {"LV8PC8LR", 193},
    {"BLT8EBCDIC1112", 194},
    {"LV8RST104090", 195},
    {"CL8KOI8R", 196},
    {"BLT8PC775", 197},
    {"DK8EBCDIC1142", 198},
    {"S8EBCDIC1143", 199},
    {"I8EBCDIC1144", 200},
    {"F7SIEMENS9780X", 201},
    {"E7SIEMENS9780X", 202},
    {"S7SIEMENS9780X", 203},
    {"DK7SIEMENS9780X", 204},
    {"N7SIEMENS9780X", 205},
    {"I7SIEMENS9780X", 206},
    {"D7SIEMENS9780X", 207},
    {"F8EBCDIC1147", 208},
    {"WE8GCOS7", 210},
    {"EL8GCOS7", 211},
    {"US8BS2000", 221},
    {"D8BS2000", 222},
    {"F8BS2000", 223},
    {"E8BS2000", 224},
    {"DK8BS2000", 225},
    {"S8BS2000", 226},
    {"WE8BS2000E", 230},
    {"WE8BS2000", 231},
    {"EE8BS2000", 232},
    {"CE8BS2000", 233},
    {"CL8BS2000", 235},
    {"WE8BS2000L5", 239},
    {"WE8DG", 241},
    {"WE8NCR4970", 251},
    {"WE8ROMAN8", 261},
    {"EE8MACCE", 262},
    {"EE8MACCROATIAN", 263},
    {"TR8MACTURKISH", 264},
    {"IS8MACICELANDIC", 265},
    {"EL8MACGREEK", 266},
    {"IW8MACHEBREW", 267},
    {"US8ICL", 277},
    {"WE8ICL", 278},
    {"WE8ISOICLUK", 279},
    {"EE8EBCDIC870C", 301},
    {"EL8EBCDIC875S", 311},
    {"TR8EBCDIC1026S", 312},
    {"BLT8EBCDIC1112S", 314},
    {"IW8EBCDIC424S", 315},
    {"EE8EBCDIC870S", 316},
    {"CL8EBCDIC1025S", 317},
    {"TH8TISEBCDICS", 319},
    {"AR8EBCDIC420S", 320},
    {"CL8EBCDIC1025C", 322},
    {"CL8EBCDIC1025R", 323},
    {"EL8EBCDIC875R", 324},
    {"CL8EBCDIC1158", 325},
    {"CL8EBCDIC1158R", 326},
    {"EL8EBCDIC423R", 327},
    {"WE8MACROMAN8", 351},
    {"WE8MACROMAN8S", 352},
    {"TH8MACTHAI", 353},
    {"TH8MACTHAIS", 354},
    {"HU8CWI2", 368},
    {"EL8PC437S", 380},
    {"EL8EBCDIC875", 381},
    {"EL8PC737", 382},
    {"LT8PC772", 383},
    {"LT8PC774", 384},
    {"EL8PC869", 385},
    {"EL8PC851", 386},
    {"CDN8PC863", 390},
    {"HU8ABMOD", 401},
    {"AR8ASMO8X", 500},
    {"AR8NAFITHA711T", 504},
    {"AR8SAKHR707T", 505},
    {"AR8MUSSAD768T", 506},
    {"AR8ADOS710T", 507},
    {"AR8ADOS720T", 508},
    {"AR8APTEC715T", 509},
    {"AR8NAFITHA721T", 511},
    {"AR8HPARABIC8T", 514},
    {"AR8NAFITHA711", 554},
    {"AR8SAKHR707", 555},
    {"AR8MUSSAD768", 556},
    {"AR8ADOS710", 557},
    {"AR8ADOS720", 558},
    {"AR8APTEC715", 559},
    {"AR8MSWIN1256", 560},
    {"AR8NAFITHA721", 561},
    {"AR8SAKHR706", 563},
    {"AR8ARABICMAC", 565},
    {"AR8ARABICMACS", 566},
    {"AR8ARABICMACT", 567},
    {"LA8ISO6937", 590},
    {"JA16VMS", 829},
    {"JA16EUC", 830},
    {"JA16EUCYEN", 831},
    {"JA16SJIS", 832},
    {"JA16DBCS", 833},
    {"JA16SJISYEN", 834},
    {"JA16EBCDIC930", 835},
    {"JA16MACSJIS", 836},
    {"JA16EUCTILDE", 837},
    {"JA16SJISTILDE", 838},
    {"KO16KSC5601", 840},
    {"KO16DBCS", 842},
    {"KO16KSCCS", 845},
    {"KO16MSWIN949", 846},
    {"ZHS16CGB231280", 850},
    {"ZHS16MACCGB231280", 851},
    {"ZHS16GBK", 852},
    {"ZHS16DBCS", 853},
    {"ZHS32GB18030", 854},
    {"ZHT32EUC", 860},
    {"ZHT32SOPS", 861},
    {"ZHT16DBT", 862},
    {"ZHT32TRIS", 863},
    {"ZHT16DBCS", 864},
    {"ZHT16BIG5", 865},
    {"ZHT16CCDC", 866},
    {"ZHT16MSWIN950", 867},
    {"ZHT16HKSCS", 868},
    {"AL24UTFFSS", 870},
    {"UTF8", 871},
    {"UTFE", 872},
    {"AL32UTF8", 873},
    {"ZHT16HKSCS31", 992},
    {"JA16EUCFIXED", 1830},
    {"JA16SJISFIXED", 1832},
    {"JA16DBCSFIXED", 1833},
    {"KO16KSC5601FIXED", 1840},
    {"KO16DBCSFIXED", 1842},
    {"ZHS16CGB231280FIXED", 1850},
    {"ZHS16GBKFIXED", 1852},
    {"ZHS16DBCSFIXED", 1853},
    {"ZHT32EUCFIXED", 1860},
    {"ZHT32TRISFIXED", 1863},
    {"ZHT16DBCSFIXED", 1864},
    {"ZHT16BIG5FIXED", 1865},
    {"AL16UTF16", 2000},
    {nullptr, 0},
};

static_assert(sizeof OracleCharsetTable / sizeof OracleCharsetTable[0] == kOracleCharsetCount + 1);

uint16_t findCharsetId(std::string_view name) {
  for (const OracleCharset* r = OracleCharsetTable; r->name; r++)
    if (keywordMatch(name, r->name)) return static_cast<uint16_t>(r->id);
  uint64_t v = 0;
  for (size_t i = 0; i < name.size() && name[i] >= '0' && name[i] <= '9'; i++) v = v * 10 + static_cast<uint64_t>(name[i] - '0');
  return static_cast<uint16_t>(v);
}

const char* charsetName(uint16_t id) {
  for (const OracleCharset* r = OracleCharsetTable; r->name; r++)
    if (static_cast<uint16_t>(r->id) == id) return r->name;
  return nullptr;
}

void listCharsets(Sink& out) {
  out.write("\n");
  size_t n = 0;
  for (const OracleCharset* r = OracleCharsetTable; r->name; r++) {
    n++;
    out.printf(" %-19s = %4d", r->name, static_cast<int>(r->id));
    if (n % 4 == 0)
      out.write("\n");
    else if (r[1].name)
      out.write(" |");
  }
  if (n % 4 != 0) out.write("\n");
  out.write("\n");
}

namespace {

// The sets an Oracle database is commonly created in, by the names GNU
// iconv gives them.
constexpr IconvCharset kIconvCharsets[] = {
    {1, "ASCII", false},          {4, "CP437", false},          {10, "CP850", false},
    {31, "ISO-8859-1", false},    {32, "ISO-8859-2", false},    {33, "ISO-8859-3", false},
    {34, "ISO-8859-4", false},    {35, "ISO-8859-5", false},    {36, "ISO-8859-6", false},
    {37, "ISO-8859-7", false},    {38, "ISO-8859-8", false},    {39, "ISO-8859-9", false},
    {40, "ISO-8859-10", false},   {41, "TIS-620", false},       {45, "CP1258", false},
    {46, "ISO-8859-15", false},   {47, "ISO-8859-13", false},   {51, "KOI8-U", false},
    {150, "CP852", false},        {152, "CP866", false},        {170, "CP1250", false},
    {171, "CP1251", false},       {174, "CP1253", false},       {175, "CP1255", false},
    {177, "CP1254", false},       {178, "CP1252", false},       {179, "CP1257", false},
    {196, "KOI8-R", false},       {560, "CP1256", false},       {830, "EUC-JP", true},
    {832, "SHIFT_JIS", true},     {840, "EUC-KR", true},        {846, "CP949", true},
    {850, "GB2312", true},        {852, "GBK", true},           {854, "GB18030", true},
    {860, "EUC-TW", true},        {865, "BIG5", true},          {867, "CP950", true},
    {868, "BIG5-HKSCS", true},    {871, "UTF-8", true},         {873, "UTF-8", true},
    {kCharsetAl16Utf16, "UTF-16BE", true},
};

}  // namespace

const IconvCharset* iconvCharset(uint16_t id) {
  for (const IconvCharset& c : kIconvCharsets)
    if (c.id == id) return &c;
  return nullptr;
}

// National-character data is stored big-endian without a byte-order mark.
// Some iconv libraries read such "UTF-16" in the machine's order instead,
// which would turn every NCHAR value into other characters: the name is
// therefore pinned to big-endian.
static const char* storedOrder(const char* name) {
  return keywordMatch(name, "UTF-16") || keywordMatch(name, "UTF16") ? "UTF-16BE" : name;
}

namespace {

constexpr size_t kFailed = static_cast<size_t>(-1);

// iconv never writes through its input pointer; the cast only fits its signature.
char* inputOf(const void* p) { return static_cast<char*>(const_cast<void*>(p)); }

// 0 when p[0, n) converts whole on its own, else the errno of the failure.
int conversionError(iconv_t cd, const void* p, size_t n) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char out[64];
  char* o = out;
  size_t outLeft = sizeof out;
  char* in = inputOf(p);
  size_t inLeft = n;
  const int e = iconv(cd, &in, &inLeft, &o, &outLeft) == kFailed ? errno : 0;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  return e;
}

// The bytes of the UTF-8 text in the source set, without the byte-order
// mark a source may begin with: the text is converted twice and the second
// time kept. 0 when the source has no such text.
size_t sourceBytes(const char* source, const char* utf8, uint8_t* out, size_t cap) {
  iconv_t cd = iconv_open(source, "UTF-8");
  if (cd == kInvalidIconv) return 0;
  size_t n = 0;
  for (int pass = 0; pass < 2; pass++) {
    char* in = inputOf(utf8);
    size_t inLeft = strlen(utf8);
    char* o = reinterpret_cast<char*>(out);
    size_t outLeft = cap;
    n = iconv(cd, &in, &inLeft, &o, &outLeft) == kFailed ? 0 : cap - outLeft;
  }
  iconv_close(cd);
  return n;
}

}  // namespace

void Conversion::open(const char* from, const char* to) {
  close();
  snprintf(source, sizeof source, "%s", from);
  snprintf(target, sizeof target, "%s", to);
  const char* source = storedOrder(from);
  cd = iconv_open(to, source);
  if (!valid()) return;
  measure = iconv_open("UTF-8", source);
  findSubstitute(source);
  utf16ToUtf8 = keywordMatch(source, "UTF-16BE") && (keywordMatch(to, "UTF-8") || keywordMatch(to, "UTF8")) &&
                substituteLen == 2 && substitute[0] == 0xFF && substitute[1] == 0xFD;
}

void Conversion::findSubstitute(const char* source) {
  uint8_t question[sizeof substitute];
  const size_t questionLen = sourceBytes(source, "?", question, sizeof question);
  unit = questionLen ? questionLen : 1;
  substituteLen = 0;
  for (const char* c : {"\xEF\xBF\xBD", "?"}) {  // U+FFFD, then "?"
    const size_t n = sourceBytes(source, c, substitute, sizeof substitute);
    if (n && conversionError(cd, substitute, n) == 0) {
      substituteLen = n;
      return;
    }
  }
}

void Conversion::close() {
  if (valid()) iconv_close(cd);
  if (measure != kInvalidIconv) iconv_close(measure);
  cd = measure = kInvalidIconv;
  utf16ToUtf8 = false;
}

size_t Conversion::rejectedLength(const uint8_t* p, size_t n) const {
  size_t k = unit;
  for (; k <= n && k <= kCharacterMax; k += unit) {
    const int e = measure == kInvalidIconv ? EILSEQ : conversionError(measure, p, k);
    if (e != EINVAL) return e == 0 ? k : unit;  // a whole character, or none at all
  }
  return k > n ? 0 : unit;
}

void Conversions::openDefaults() {
  nchar.open("UTF-16", "GBK");
  nclob.open("UCS-2BE", "GBK");
  clob.open("UCS-2BE", "GBK");
}

bool Conversion::openLike(const Conversion& from) {
  if (from.valid()) {
    open(from.source, from.target);
    return valid() && (measure == kInvalidIconv) == (from.measure == kInvalidIconv);
  }
  close();
  snprintf(source, sizeof source, "%s", from.source);
  snprintf(target, sizeof target, "%s", from.target);
  return true;
}

bool Conversions::openLike(const Conversions& from) {
  const bool n = nchar.openLike(from.nchar), l = nclob.openLike(from.nclob), c = clob.openLike(from.clob);
  return n && l && c;
}

void Conversions::closeAll() {
  nchar.close();
  nclob.close();
  clob.close();
}

void convertValue(Sink& out, Conversion& conv, const uint8_t* value, size_t length) {
  if (!conv.valid()) {
    out.write(value, length);
    return;
  }
  iconv(conv.cd, nullptr, nullptr, nullptr, nullptr);  // fresh shift state for every value
  char converted[kConvertOutMax];
  char* in = inputOf(value);
  size_t inLeft = length;
  char* o = converted;
  size_t outLeft = sizeof converted;
  if (iconv(conv.cd, &in, &inLeft, &o, &outLeft) == kFailed || inLeft != 0) {
    out.write(value, length);
    return;
  }
  out.write(converted, sizeof converted - outLeft);
}

void LobConverter::begin() {
  carryLen_ = 0;
  replaced_ = 0;
  if (conv_.valid()) iconv(conv_.cd, nullptr, nullptr, nullptr, nullptr);
}

void LobConverter::end() {
  if (carryLen_ > 0) substitute();  // a character cut off by the value's end
  carryLen_ = 0;
  if (!conv_.valid()) return;
  char shift[32];
  char* o = shift;
  size_t outLeft = sizeof shift;
  iconv(conv_.cd, nullptr, nullptr, &o, &outLeft);  // back to the initial shift state
  out_.write(shift, sizeof shift - outLeft);
}

void LobConverter::piece(const uint8_t* p, size_t length) {
  if (!conv_.valid()) return out_.write(p, length);
  void (LobConverter::*run)(const uint8_t*, size_t) =
      conv_.utf16ToUtf8 ? &LobConverter::convertUtf16Run : &LobConverter::convertRun;
  // Complete the carried character with the first bytes of this piece.
  while (carryLen_ > 0 && length > 0) {
    carry_[carryLen_++] = *p++;
    length--;
    size_t had = carryLen_;
    carryLen_ = 0;
    uint8_t joined[kCharacterMax];
    memcpy(joined, carry_, had);
    (this->*run)(joined, had);
  }
  if (length > 0) (this->*run)(p, length);
}

void LobConverter::substitute() {
  replaced_++;
  char out[64];
  char* o = out;
  size_t outLeft = sizeof out;
  char* in = inputOf(conv_.substitute);
  size_t inLeft = conv_.substituteLen;
  iconv(conv_.cd, &in, &inLeft, &o, &outLeft);
  out_.write(out, sizeof out - outLeft);
}

namespace {

constexpr size_t kUtf16Chunk = 2048;  // code units converted at a time

bool highSurrogate(UChar u) { return u >= 0xD800 && u <= 0xDBFF; }

UChar unitAt(const uint8_t* p, size_t i) { return static_cast<UChar>(p[2 * i] << 8 | p[2 * i + 1]); }

}  // namespace

// UTF-16BE to UTF-8 as the iconv descriptor converts it: every code unit
// of a surrogate left unpaired is the substitute U+FFFD; an odd byte, or a
// high surrogate with nothing after it, ends the run and is carried. A pair
// is never cut between two chunks.
void LobConverter::convertUtf16Run(const uint8_t* p, size_t length) {
  size_t units = length / 2;
  if (units > 0 && highSurrogate(unitAt(p, units - 1))) units--;
  UChar chunk[kUtf16Chunk];
  char converted[kUtf16Chunk * 3];
  for (size_t at = 0; at < units;) {
    size_t n = units - at < kUtf16Chunk ? units - at : kUtf16Chunk;
    for (size_t i = 0; i < n; i++) chunk[i] = unitAt(p, at + i);
    if (at + n < units && highSurrogate(chunk[n - 1])) n--;
    int32_t written = 0, replaced = 0;
    UErrorCode status = U_ZERO_ERROR;
    u_strToUTF8WithSub(converted, sizeof converted, &written, chunk, static_cast<int32_t>(n), 0xFFFD, &replaced,
                       &status);
    out_.write(converted, static_cast<size_t>(written));
    replaced_ += static_cast<uint64_t>(replaced);
    at += n;
  }
  carryLen_ = length - 2 * units;
  memcpy(carry_, p + 2 * units, carryLen_);
}

// Converts through a fixed buffer; an incomplete character at the end is
// kept in the carry, a rejected one written as the substitute.
void LobConverter::convertRun(const uint8_t* p, size_t length) {
  char converted[kConvertOutMax];
  char* in = inputOf(p);
  size_t inLeft = length;
  while (inLeft > 0) {
    char* o = converted;
    size_t outLeft = sizeof converted;
    const size_t r = iconv(conv_.cd, &in, &inLeft, &o, &outLeft);
    const int e = errno;
    out_.write(converted, sizeof converted - outLeft);
    if (r != kFailed) break;
    if (e == E2BIG) continue;
    size_t n = e == EINVAL ? 0 : conv_.rejectedLength(reinterpret_cast<const uint8_t*>(in), inLeft);
    if (n == 0 && inLeft < kCharacterMax) {  // cut by the piece's end: the next piece completes it
      memcpy(carry_, in, inLeft);
      carryLen_ = inLeft;
      return;
    }
    if (n == 0) n = conv_.unit < inLeft ? conv_.unit : inLeft;
    substitute();
    in += n;
    inLeft -= n;
  }
}

}  // namespace bex
